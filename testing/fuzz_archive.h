#pragma once
// Inputs for the fuzz targets of the archive loaders. A whole file (starting
// with its magic) or a zlib stream is taken as it is, so the seeds are real
// files and blocks; anything else is taken as archive text and compressed,
// so that mutations reach the archive reader rather than stopping at zlib's
// checks.
#include <cstddef>
#include <cstdint>
#include <string>

namespace testing_fuzz {

// The bytes of an archive file with `magic`.
std::string FileBytes(const std::uint8_t* data, std::size_t size, std::uint32_t magic);
// A zlib stream: the input when it starts with a zlib header, else the
// input compressed.
std::string ZlibStream(const std::uint8_t* data, std::size_t size);
// Writes `bytes` to one file of the sandbox (the same each time) and
// returns its path.
std::string WriteInput(const std::string& bytes);

}  // namespace testing_fuzz
