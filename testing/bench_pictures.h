#pragma once
// The large pictures the benchmarks of the bitmap path use: 4000 x 3000
// pixels, either screenshot-like (flat areas with lines of "text", which PNG
// packs to well under a megabyte) or noise (the worst case for the PNG a
// record keeps). Header only; needs nothing but the platform layer.
#include <cstddef>
#include <cstdint>
#include <random>

#include "platform/gdi.h"

namespace testing_bench {

constexpr LONG kPictureWidth = 4000;
constexpr LONG kPictureHeight = 3000;

inline platform::BitmapPixels LargePicture(std::mt19937& rng, bool noise) {
  platform::BitmapPixels px;
  px.width = kPictureWidth;
  px.height = kPictureHeight;
  px.argb.resize(std::size_t(px.width) * std::size_t(px.height));
  for (LONG y = 0; y < px.height; ++y)
    for (LONG x = 0; x < px.width; ++x) {
      std::uint32_t r, g, b;
      if (noise) {
        const std::uint32_t v = rng();
        r = v & 0xFF;
        g = (v >> 8) & 0xFF;
        b = (v >> 16) & 0xFF;
      } else {
        const bool ink = (y % 20 < 12) && ((x / 7 + y / 20) % 5 != 0) && ((x * 31 + y * 17) % 11 < 4);
        r = ink ? 20 : 230 - (x / 400) * 8;
        g = ink ? 20 : 230;
        b = ink ? 40 : 240 - (y / 300) * 6;
      }
      px.argb[std::size_t(y) * std::size_t(px.width) + std::size_t(x)] = (r << 16) | (g << 8) | b;
    }
  return px;
}

}  // namespace testing_bench
