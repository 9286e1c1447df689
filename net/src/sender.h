#pragma once
// The client side of one transfer, on a thread of its own: connect,
// handshake, query, reply, then the payload in pieces; the outcome goes to
// the log. It works on its own copies only.
#include <cstdint>
#include <memory>

#include "appconfig.h"
#include "cmn/mblock.h"
#include "net/protocol.h"
#include "transfer.h"

namespace net {

class ServerCore;

class Sender : public Transfer {
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

  void Entry() override;

 private:
  void Transfer(const Timeouts& timeouts);
  void CheckClosing() const;

  const std::shared_ptr<ServerCore> core_;
  const std::uint32_t localAddress_;
};

}  // namespace net
