#pragma once
// Small helpers shared by the foundation tests.
#include <cstdint>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>

#include <zlib.h>

namespace foundation_test {

inline std::string ReadBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Inflates a zlib (or, with gzip = true, a gzip) stream; throws on damage.
inline std::string Inflate(const std::string& in, bool gzip = false, std::size_t* consumed = nullptr) {
  z_stream z{};
  if (inflateInit2(&z, gzip ? 31 : 15) != Z_OK) throw std::runtime_error("inflateInit");
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
  z.avail_in = static_cast<uInt>(in.size());
  std::string out;
  char buf[16384];
  int rc = Z_OK;
  while (rc != Z_STREAM_END) {
    z.next_out = reinterpret_cast<Bytef*>(buf);
    z.avail_out = sizeof buf;
    rc = inflate(&z, Z_NO_FLUSH);
    if (rc != Z_OK && rc != Z_STREAM_END) {
      inflateEnd(&z);
      throw std::runtime_error("inflate");
    }
    out.append(buf, sizeof buf - z.avail_out);
  }
  if (consumed) *consumed = in.size() - z.avail_in;
  inflateEnd(&z);
  return out;
}

inline std::string Deflate(const std::string& in, bool gzip) {
  z_stream z{};
  if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, gzip ? 31 : 15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    throw std::runtime_error("deflateInit");
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
  z.avail_in = static_cast<uInt>(in.size());
  std::string out;
  char buf[16384];
  int rc = Z_OK;
  while (rc != Z_STREAM_END) {
    z.next_out = reinterpret_cast<Bytef*>(buf);
    z.avail_out = sizeof buf;
    rc = deflate(&z, Z_FINISH);
    out.append(buf, sizeof buf - z.avail_out);
  }
  deflateEnd(&z);
  return out;
}

inline std::string MagicBytes(std::uint32_t m) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[i] = static_cast<char>((m >> (8 * i)) & 0xFF);
  return s;
}

}  // namespace foundation_test
