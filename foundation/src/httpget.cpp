#include "httpget.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

namespace cmn {
namespace http {

namespace {
using Clock = std::chrono::steady_clock;

// Waits in short slices, so a cancel is seen within one of them.
constexpr int kSliceMs = 100;

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

bool StartsWithNoCase(const std::string& s, const char* prefix) {
  const std::size_t n = std::strlen(prefix);
  return s.size() >= n && Lower(s.substr(0, n)) == prefix;
}

std::string Trim(const std::string& s) {
  const std::size_t first = s.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  const std::size_t last = s.find_last_not_of(" \t");
  return s.substr(first, last - first + 1);
}

bool AllDigits(const std::string& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isdigit(c); });
}

class Socket {
 public:
  Socket() = default;
  ~Socket() {
    if (fd_ >= 0) ::close(fd_);
  }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  void Reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }
  int fd() const { return fd_; }
  int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_ = -1;
};

// Waits until fd is ready for events; false at the deadline, on cancel or on
// an error of the wait itself.
bool WaitFor(int fd, short events, Clock::time_point deadline, const std::atomic<bool>& cancel) {
  for (;;) {
    if (cancel.load()) return false;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    pollfd p{fd, events, 0};
    const int rc = ::poll(&p, 1, static_cast<int>(std::min<long long>(left, kSliceMs)));
    if (rc > 0) return true;
    if (rc < 0 && errno != EINTR) return false;
  }
}

// A connected socket to one address, or -1.
int ConnectOne(const addrinfo* ai, Clock::time_point deadline, const std::atomic<bool>& cancel) {
  Socket s;
  s.Reset(::socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai->ai_protocol));
  if (s.fd() < 0) return -1;
  if (::connect(s.fd(), ai->ai_addr, ai->ai_addrlen) != 0) {
    if (errno != EINPROGRESS) return -1;
    if (!WaitFor(s.fd(), POLLOUT, deadline, cancel)) return -1;
    int error = 0;
    socklen_t len = sizeof error;
    if (::getsockopt(s.fd(), SOL_SOCKET, SO_ERROR, &error, &len) != 0 || error != 0) return -1;
  }
  return s.Release();
}

bool SendAll(int fd, const std::string& data, Clock::time_point deadline, const std::atomic<bool>& cancel) {
  std::size_t sent = 0;
  while (sent < data.size()) {
    const ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
      if (!WaitFor(fd, POLLOUT, deadline, cancel)) return false;
    } else {
      return false;
    }
  }
  return true;
}

// Everything the server sends until it closes; false past maxBytes.
bool ReceiveAll(int fd, std::size_t maxBytes, Clock::time_point deadline, const std::atomic<bool>& cancel,
                std::string* out) {
  char buf[4096];
  for (;;) {
    const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n == 0) return true;
    if (n > 0) {
      if (out->size() + static_cast<std::size_t>(n) > maxBytes) return false;
      out->append(buf, static_cast<std::size_t>(n));
    } else if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
      if (!WaitFor(fd, POLLIN, deadline, cancel)) return false;
    } else {
      return false;
    }
  }
}
}  // namespace

bool ParseUrl(const std::string& url, Url* out) {
  if (!StartsWithNoCase(url, "http://")) return false;
  for (unsigned char c : url)
    if (c <= 0x20 || c == 0x7F) return false;
  const std::string rest = url.substr(7);
  const std::size_t slash = rest.find('/');
  const std::string authority = rest.substr(0, slash);
  Url u;
  u.path = slash == std::string::npos ? "/" : rest.substr(slash);
  if (authority.find('@') != std::string::npos) return false;
  std::string portText;
  if (!authority.empty() && authority[0] == '[') {
    const std::size_t close = authority.find(']');
    if (close == std::string::npos) return false;
    u.host = authority.substr(1, close - 1);
    const std::string after = authority.substr(close + 1);
    if (!after.empty()) {
      if (after[0] != ':') return false;
      portText = after.substr(1);
      if (portText.empty()) return false;
    }
  } else {
    const std::size_t colon = authority.find(':');
    u.host = authority.substr(0, colon);
    if (colon != std::string::npos) {
      portText = authority.substr(colon + 1);
      if (portText.empty()) return false;
    }
  }
  if (u.host.empty()) return false;
  if (!portText.empty()) {
    if (!AllDigits(portText) || portText.size() > 5 || std::stoul(portText) > 65535) return false;
    u.port = portText;
  } else {
    u.port = "80";
  }
  *out = u;
  return true;
}

bool ParseResponse(const std::string& response, std::string* body) {
  std::size_t headerEnd = response.find("\r\n\r\n");
  std::size_t bodyStart = headerEnd == std::string::npos ? std::string::npos : headerEnd + 4;
  if (headerEnd == std::string::npos) {
    headerEnd = response.find("\n\n");
    if (headerEnd == std::string::npos) return false;
    bodyStart = headerEnd + 2;
  }
  const std::string head = response.substr(0, headerEnd);
  std::size_t lineStart = 0;
  bool first = true;
  bool haveLength = false;
  std::size_t length = 0;
  while (lineStart <= head.size()) {
    std::size_t lineEnd = head.find('\n', lineStart);
    if (lineEnd == std::string::npos) lineEnd = head.size();
    std::string line = head.substr(lineStart, lineEnd - lineStart);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lineStart = lineEnd + 1;
    if (first) {
      // "HTTP/1.x 200" and then the end or a blank.
      first = false;
      if (line.size() < 12 || line.compare(0, 7, "HTTP/1.") != 0 || !std::isdigit(static_cast<unsigned char>(line[7])) ||
          line[8] != ' ' || line.compare(9, 3, "200") != 0 || (line.size() > 12 && line[12] != ' '))
        return false;
      continue;
    }
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    const std::string name = Lower(Trim(line.substr(0, colon)));
    const std::string value = Trim(line.substr(colon + 1));
    if (name == "transfer-encoding" && Lower(value) != "identity") return false;
    if (name == "content-length") {
      if (!AllDigits(value) || value.size() > 18) return false;
      const std::size_t n = std::stoull(value);
      if (haveLength && n != length) return false;
      haveLength = true;
      length = n;
    }
  }
  if (first) return false;
  std::string b = response.substr(bodyStart);
  if (haveLength) {
    if (b.size() < length) return false;  // cut short
    b.resize(length);
  }
  *body = std::move(b);
  return true;
}

bool Get(const std::string& url, const Limits& limits, const std::atomic<bool>& cancel, std::string* body) {
  Url u;
  if (!ParseUrl(url, &u)) return false;
  const Clock::time_point deadline = Clock::now() + limits.timeout;

  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(u.host.c_str(), u.port.c_str(), &hints, &found) != 0 || !found) return false;
  Socket s;
  for (const addrinfo* ai = found; ai && s.fd() < 0; ai = ai->ai_next) {
    if (cancel.load() || Clock::now() >= deadline) break;
    s.Reset(ConnectOne(ai, deadline, cancel));
  }
  ::freeaddrinfo(found);
  if (s.fd() < 0) return false;

  const std::string hostHeader =
      (u.host.find(':') != std::string::npos ? "[" + u.host + "]" : u.host) + (u.port == "80" ? "" : ":" + u.port);
  const std::string request = "GET " + u.path + " HTTP/1.0\r\nHost: " + hostHeader +
                              "\r\nAccept: text/plain\r\nConnection: close\r\n\r\n";
  if (!SendAll(s.fd(), request, deadline, cancel)) return false;
  std::string response;
  if (!ReceiveAll(s.fd(), limits.maxBytes, deadline, cancel, &response)) return false;
  return ParseResponse(response, body);
}

}  // namespace http
}  // namespace cmn
