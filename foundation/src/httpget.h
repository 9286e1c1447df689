#pragma once
// A small HTTP/1.0 GET for the version check, on plain sockets: it has one
// deadline for the whole fetch, a cap on what it takes, gives up as soon as
// its caller cancels, and uses nothing of the toolkit, so a fetch still
// running while the program ends touches nothing that is being torn down.
#include <atomic>
#include <chrono>
#include <cstddef>
#include <string>

namespace cmn {
namespace http {

struct Url {
  std::string host;  // without the brackets of an IPv6 literal
  std::string port;  // "80" when the address names none
  std::string path;  // "/" when the address names none
};

// Only "http://host[:port][/path]" (the scheme in any letter case); no user
// part, no blanks or control characters. False for anything else.
bool ParseUrl(const std::string& url, Url* out);

struct Limits {
  std::chrono::milliseconds timeout{15000};  // the whole fetch, connect included
  std::size_t maxBytes = 64 * 1024;          // status line, headers and body
};

// The body of a 200 response to a GET of url. False when the address is not
// one ParseUrl takes, the host does not resolve or answer, the deadline
// passes, the response is larger than maxBytes or not a complete 200, or
// cancel becomes true. Name resolution is the system's and has no deadline
// of ours.
bool Get(const std::string& url, const Limits& limits, const std::atomic<bool>& cancel, std::string* body);

// The body of a complete response: a "200" status line of HTTP/1.x, headers
// up to a blank line, no transfer coding, and when a Content-Length is given,
// at least that many bytes (the body is cut to it).
bool ParseResponse(const std::string& response, std::string* body);

}  // namespace http
}  // namespace cmn
