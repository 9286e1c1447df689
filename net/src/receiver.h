#pragma once
// The server side of one transfer, on a thread of its own: the
// handshake, the query, the version and trust checks, the reply, then the
// payload read into a new record, record list or history that is queued for
// the GUI thread together with the trusted client it came from.
#include <memory>

#include "net/socket.h"
#include "transfer.h"

namespace net {

class ServerCore;
struct Timeouts;

class Receiver : public Transfer {
 public:
  // Registers itself with the server's state (GUI thread).
  Receiver(Socket socket, const Endpoint& peer, std::shared_ptr<ServerCore> core);
  // Unregisters (a notice to the server) and closes the connection.
  ~Receiver() override;

  void Entry() override;

 private:
  void Serve(const Timeouts& timeouts);
  // Throws e_app_closing when the application shuts down.
  void CheckClosing() const;
  template <class Object>
  void ReceiveObject(Object& object, const Timeouts& timeouts);

  Socket socket_;
  const Endpoint peer_;
  const std::shared_ptr<ServerCore> core_;
  // Whether shut-down can reach the socket; not when it had begun already.
  bool socketRegistered_ = false;
};

}  // namespace net
