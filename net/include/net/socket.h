#pragma once
// A TCP socket over IPv4 with deadlines of our own: every wait ends at a
// given moment, writes never raise SIGPIPE, and another thread may shut the
// socket down to wake a thread blocked on it. The descriptor is
// non-blocking; the waits are poll() calls, so any descriptor number works.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace net {

using Clock = std::chrono::steady_clock;
using Deadline = Clock::time_point;

// An IPv4 address and port, in host byte order.
struct Endpoint {
  std::uint32_t address = 0;  // 0: every local address
  int port = 0;

  // Dotted decimal ("192.168.1.20").
  std::string AddressText() const;
  // The dotted decimal form only; false for anything else.
  static bool ParseAddress(const std::string& text, std::uint32_t& address);
};

class Socket {
 public:
  Socket() = default;
  explicit Socket(int fd) : fd_(fd) {}
  ~Socket() { Close(); }
  Socket(Socket&& o) noexcept : fd_(o.fd_) { o.fd_ = -1; }
  Socket& operator=(Socket&& o) noexcept;
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;

  bool IsOpen() const { return fd_ >= 0; }
  int Fd() const { return fd_; }

  // A new TCP socket, bound to `local` when its address or port is set.
  // False (and closed) when it cannot be made or bound.
  bool Open(const Endpoint& local = Endpoint());
  // Starts connecting the open socket; false when that fails at once.
  bool StartConnect(const Endpoint& to);
  // Waits until the connection started by StartConnect is made; false when it
  // failed or the deadline passed.
  bool FinishConnect(Deadline deadline);

  // Moves at most n bytes (n > 0): the count moved, or -1 when the socket
  // failed, the peer closed it (reading), or the deadline passed first.
  long Receive(void* buffer, std::size_t n, Deadline deadline);
  long Send(const void* buffer, std::size_t n, Deadline deadline);

  // Both directions; a thread waiting on the socket wakes at once. Safe from
  // another thread while this one stays open.
  void Shutdown();
  void Close();

  // The other end's address; false when it is not connected.
  bool PeerEndpoint(Endpoint& out) const;
  // The local end's address.
  bool LocalEndpoint(Endpoint& out) const;

 private:
  // Waits for `events` (poll flags) until the deadline; false on time-out.
  bool Wait(short events, Deadline deadline) const;
  int fd_ = -1;
};

// A listening TCP socket (address reuse on, so a restart can listen again at
// once), non-blocking: Accept never waits.
class Listener {
 public:
  enum class AcceptResult {
    Accepted,
    None,       // nothing waiting (or the connection was gone again)
    Exhausted,  // out of descriptors or memory: try again later
  };

  bool Open(const Endpoint& at, int backlog = 128);
  void Close() { socket_.Close(); }
  bool IsOpen() const { return socket_.IsOpen(); }
  int Fd() const { return socket_.Fd(); }
  // The port listened on (the one chosen by the system for port 0).
  int Port() const;

  AcceptResult Accept(Socket& out, Endpoint& peer);

 private:
  Socket socket_;
};

// Resolves a host name or dotted address to IPv4; false for an empty name or
// one that does not resolve. Blocks for as long as the system's resolver.
bool ResolveHost(const std::string& host, std::uint32_t& address);

}  // namespace net
