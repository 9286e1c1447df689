#include "fuzz_archive.h"

#include <fstream>
#include <stdexcept>

#include <zlib.h>

#include "sandbox.h"

namespace testing_fuzz {

namespace {
std::string Deflate(const std::uint8_t* data, std::size_t size) {
  uLongf out = compressBound(static_cast<uLong>(size));
  std::string packed(out, '\0');
  if (compress(reinterpret_cast<Bytef*>(&packed[0]), &out, data, static_cast<uLong>(size)) != Z_OK)
    throw std::runtime_error("compress");
  packed.resize(out);
  return packed;
}

bool StartsWithZlibHeader(const std::uint8_t* data, std::size_t size) {
  return size >= 2 && (data[0] & 0x0F) == 8 && ((data[0] << 8) | data[1]) % 31 == 0;
}
}  // namespace

std::string FileBytes(const std::uint8_t* data, std::size_t size, std::uint32_t magic) {
  std::string head(4, '\0');
  for (int i = 0; i < 4; ++i) head[i] = static_cast<char>(magic >> (8 * i));
  if (size >= 4 && std::string(reinterpret_cast<const char*>(data), 4) == head)
    return std::string(reinterpret_cast<const char*>(data), size);
  return head + ZlibStream(data, size);
}

std::string ZlibStream(const std::uint8_t* data, std::size_t size) {
  if (StartsWithZlibHeader(data, size)) return std::string(reinterpret_cast<const char*>(data), size);
  return Deflate(data, size);
}

std::string WriteInput(const std::string& bytes) {
  static const std::string path = testing_sandbox::MakeTempDir("fuzz") + "/input";
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return path;
}

}  // namespace testing_fuzz
