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
// Makes `argb` hold `count` zeroed pixels, in memory of its own; a large
// picture's on huge pages (platform/memory.h): touched 4 KB at a time, the
// 48 MB of a 4000 x 3000 picture cost more than decoding it does.
void SizePixels(std::vector<std::uint32_t>& argb, std::size_t count);
// The pixels of a live bitmap where they are kept (valid until the bitmap is
// deleted); false for a handle that is not a bitmap.
struct PixelView {
  LONG width = 0;
  LONG height = 0;
  const std::uint32_t* argb = nullptr;  // top-down, 0xAARRGGBB
  bool hasAlpha = false;
};
bool ViewBitmapPixels(HBITMAP bitmap, PixelView* out);
// A new bitmap that keeps `pixels` as they are: the caller has already
// cleared every alpha byte of a bitmap without alpha. Null for sizes out of
// bounds or too few pixels.
HBITMAP AdoptBitmapPixels(BitmapPixels&& pixels);
bool DeleteBitmap(HGDIOBJ h);
std::size_t LiveBitmaps();
std::size_t LiveMetaFiles();
}  // namespace platform::detail
