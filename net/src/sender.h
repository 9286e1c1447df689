#pragma once
// The client side of one transfer, on a detached thread of its own: connect,
// handshake, query, reply, then the payload in pieces; the outcome goes to
// the log. It works on its own copies only.
#include <cstdint>
#include <memory>

#include <wx/thread.h>

#include "appconfig.h"
#include "cmn/mblock.h"
#include "net/protocol.h"

namespace net {

class ServerCore;

class Sender : public wxThread {
 public:
  // Registers itself with the server's state (GUI thread); its connections
  // leave from `localAddress` (0: the system's choice).
  Sender(std::shared_ptr<ServerCore> core, std::uint32_t localAddress);
  // Unregisters (a notice to the server).
  ~Sender() override;

  QueryInfo query;
  cmn::mblock<char> payload;  // the payload frame's body
  NetworkAddress address;     // the destination

  // "host:port" of the destination, as the log shows it.
  wxString Destination() const;

 protected:
  ExitCode Entry() override;

 private:
  void Transfer(const Timeouts& timeouts);
  void CheckClosing() const;

  const std::shared_ptr<ServerCore> core_;
  const std::uint32_t localAddress_;
};

}  // namespace net
