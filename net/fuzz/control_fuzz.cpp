// The control frames a peer sends before it is trusted: a frame body decoded
// as the server decodes a query and as a client decodes a reply. An input
// that is no zlib stream is taken as archive text and compressed first
// (testing/fuzz_archive.h).
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_archive.h"
#include "net/protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string body = testing_fuzz::ZlibStream(data, size);
  if (body.size() > net::kMaxControlBytes) return 0;  // refused before it is read
  const char* bytes = body.data();
  size = body.size();
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
