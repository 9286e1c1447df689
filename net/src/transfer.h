#pragma once
// One transfer's work, run on a thread of its own that the server starts
// and joins (Server::StartTransfer).
namespace net {

class Transfer {
 public:
  virtual ~Transfer() = default;
  // The thread's body.
  virtual void Entry() = 0;
};

}  // namespace net
