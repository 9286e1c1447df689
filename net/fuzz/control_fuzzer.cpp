// The control frames a peer sends before it is trusted: a frame body decoded
// as the server decodes a query and as a client decodes a reply.
#include <cstddef>
#include <cstdint>

#include "net/protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > net::kMaxControlBytes) return 0;  // refused before it is read
  const char* bytes = reinterpret_cast<const char*>(data);
  try {
    net::QueryInfo query;
    net::DecodeObject(bytes, size, query, net::kMaxControlBytes);
  } catch (const std::exception&) {
  }
  try {
    net::ReplyInfo reply;
    net::DecodeObject(bytes, size, reply, net::kMaxControlBytes);
  } catch (const std::exception&) {
  }
  return 0;
}
