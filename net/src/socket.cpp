#include "net/socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <climits>

namespace net {

namespace {

sockaddr_in ToSockaddr(const Endpoint& e) {
  sockaddr_in a;
  std::memset(&a, 0, sizeof a);
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(e.address);
  a.sin_port = htons(static_cast<std::uint16_t>(e.port));
  return a;
}

Endpoint FromSockaddr(const sockaddr_in& a) {
  Endpoint e;
  e.address = ntohl(a.sin_addr.s_addr);
  e.port = ntohs(a.sin_port);
  return e;
}

bool ValidPort(int port) { return port >= 0 && port <= 65535; }

// Milliseconds left until the deadline, for poll(): 0 once it passed.
int MillisecondsLeft(Deadline deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  if (left <= 0) return 0;
  return static_cast<int>(std::min<long long>(left + 1, INT_MAX));
}

}  // namespace

std::string Endpoint::AddressText() const {
  in_addr a;
  a.s_addr = htonl(address);
  char text[INET_ADDRSTRLEN] = {0};
  if (!inet_ntop(AF_INET, &a, text, sizeof text)) return std::string();
  return text;
}

bool Endpoint::ParseAddress(const std::string& text, std::uint32_t& address) {
  in_addr a;
  if (inet_pton(AF_INET, text.c_str(), &a) != 1) return false;
  address = ntohl(a.s_addr);
  return true;
}

Socket& Socket::operator=(Socket&& o) noexcept {
  if (this != &o) {
    Close();
    fd_ = o.fd_;
    o.fd_ = -1;
  }
  return *this;
}

bool Socket::Open(const Endpoint& local) {
  Close();
  if (!ValidPort(local.port)) return false;
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return false;
  // Small frames go out at once: the handshake and the query wait for answers.
  const int on = 1;
  ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  if (local.address != 0 || local.port != 0) {
    const sockaddr_in a = ToSockaddr(local);
    if (::bind(fd_, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
      Close();
      return false;
    }
  }
  return true;
}

bool Socket::StartConnect(const Endpoint& to) {
  if (fd_ < 0 || !ValidPort(to.port) || to.port == 0) return false;
  const sockaddr_in a = ToSockaddr(to);
  if (::connect(fd_, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0) return true;
  return errno == EINPROGRESS || errno == EINTR;
}

bool Socket::FinishConnect(Deadline deadline) {
  if (!Wait(POLLOUT, deadline)) return false;
  int error = 0;
  socklen_t length = sizeof error;
  if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) return false;
  // A connection shut down while it was being made reports no error; it has
  // no peer.
  Endpoint peer;
  return PeerEndpoint(peer);
}

bool Socket::Wait(short events, Deadline deadline) const {
  while (true) {
    pollfd p{fd_, events, 0};
    const int r = ::poll(&p, 1, MillisecondsLeft(deadline));
    if (r > 0) return true;  // ready, or an error the next call reports
    if (r == 0) return false;
    if (errno != EINTR) return false;
  }
}

long Socket::Receive(void* buffer, std::size_t n, Deadline deadline) {
  if (fd_ < 0 || n == 0) return -1;
  while (true) {
    const ssize_t r = ::recv(fd_, buffer, n, 0);
    if (r > 0) return static_cast<long>(r);
    if (r == 0) return -1;  // the peer closed the connection
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return -1;
    if (!Wait(POLLIN, deadline)) return -1;
  }
}

long Socket::Send(const void* buffer, std::size_t n, Deadline deadline) {
  if (fd_ < 0 || n == 0) return -1;
  while (true) {
    const ssize_t r = ::send(fd_, buffer, n, MSG_NOSIGNAL);
    if (r > 0) return static_cast<long>(r);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return -1;
    if (!Wait(POLLOUT, deadline)) return -1;
  }
}

void Socket::Shutdown() {
  if (fd_ >= 0) ::shutdown(fd_, SHUT_RDWR);
}

void Socket::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool Socket::PeerEndpoint(Endpoint& out) const {
  sockaddr_in a;
  socklen_t length = sizeof a;
  if (fd_ < 0 || ::getpeername(fd_, reinterpret_cast<sockaddr*>(&a), &length) != 0 || a.sin_family != AF_INET)
    return false;
  out = FromSockaddr(a);
  return true;
}

bool Socket::LocalEndpoint(Endpoint& out) const {
  sockaddr_in a;
  socklen_t length = sizeof a;
  if (fd_ < 0 || ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &length) != 0 || a.sin_family != AF_INET)
    return false;
  out = FromSockaddr(a);
  return true;
}

bool Listener::Open(const Endpoint& at, int backlog) {
  Close();
  if (!ValidPort(at.port)) return false;
  Socket s(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!s.IsOpen()) return false;
  const int on = 1;
  if (::setsockopt(s.Fd(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0) return false;
  const sockaddr_in a = ToSockaddr(at);
  if (::bind(s.Fd(), reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) return false;
  if (::listen(s.Fd(), backlog) != 0) return false;
  socket_ = std::move(s);
  return true;
}

int Listener::Port() const {
  Endpoint e;
  return socket_.LocalEndpoint(e) ? e.port : 0;
}

Listener::AcceptResult Listener::Accept(Socket& out, Endpoint& peer) {
  while (true) {
    sockaddr_in a;
    socklen_t length = sizeof a;
    const int fd = ::accept4(socket_.Fd(), reinterpret_cast<sockaddr*>(&a), &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd >= 0) {
      out = Socket(fd);
      const int on = 1;
      ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
      peer = a.sin_family == AF_INET ? FromSockaddr(a) : Endpoint();
      return AcceptResult::Accepted;
    }
    switch (errno) {
      case EINTR:
        continue;
      case EMFILE:
      case ENFILE:
      case ENOBUFS:
      case ENOMEM:
        return AcceptResult::Exhausted;
      default:  // nothing waiting, or a connection reset before it was taken
        return AcceptResult::None;
    }
  }
}

bool ResolveHost(const std::string& host, std::uint32_t& address) {
  if (host.empty()) return false;
  if (Endpoint::ParseAddress(host, address)) return true;
  addrinfo hints;
  std::memset(&hints, 0, sizeof hints);
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) return false;
  const auto* a = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
  address = ntohl(a->sin_addr.s_addr);
  ::freeaddrinfo(found);
  return true;
}

}  // namespace net
