#pragma once
// Images between the clipboard's bitmaps and what X clients exchange: PNG
// (image/png) and bitmap files (image/bmp). Every image here comes from
// another client or goes to one, so each decoder checks what it reads.
#include <cstdint>
#include <vector>

#include "platform/gdi.h"
#include "platform/types.h"

namespace platform::x11::detail {

// A received image is decoded only up to this many pixels (an 8K screen, a
// 32-megapixel photo): four bytes each.
constexpr std::uint64_t kMaxImagePixels = std::uint64_t(1) << 25 < kMaxBitmapPixels ? std::uint64_t(1) << 25
                                                                                      : kMaxBitmapPixels;

bool IsPng(const std::vector<unsigned char>& bytes);
// A packed 32-bit bitmap in a new global block, decoded straight into it;
// null for anything libpng refuses and for images over kMaxImagePixels,
// which are refused from their header before any pixel memory is taken.
HGLOBAL DibFromPng(const std::vector<unsigned char>& png);
// PNG bytes of a packed bitmap (with its alpha where it has one); empty when
// the bitmap is refused.
std::vector<unsigned char> PngFromDib(const std::vector<BYTE>& dib);
// A bitmap file is a packed bitmap behind a 14-byte file header; empty when
// the bitmap is refused.
std::vector<BYTE> DibFromBmp(const std::vector<unsigned char>& bmp);
std::vector<unsigned char> BmpFromDib(const std::vector<BYTE>& dib);

}  // namespace platform::x11::detail
