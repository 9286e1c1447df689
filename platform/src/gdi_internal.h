#pragma once
// Shared between the bitmap and metafile halves of the GDI code.
#include "handles.h"
#include "platform/gdi.h"

namespace platform::detail {
// Little-endian fields of packed bitmaps and metafiles, read without alignment.
inline std::uint32_t Le32(const BYTE* p) {
  return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
         (std::uint32_t(p[3]) << 24);
}
inline std::uint16_t Le16(const BYTE* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

bool IsBitmap(HGDIOBJ h);
bool DeleteBitmap(HGDIOBJ h);
std::size_t LiveBitmaps();
std::size_t LiveMetaFiles();
}  // namespace platform::detail
