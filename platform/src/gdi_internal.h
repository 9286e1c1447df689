#pragma once
// Shared between the bitmap and metafile halves of the GDI code.
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "handles.h"
#include "platform/gdi.h"
#include "platform/memory.h"

namespace platform::detail {
// Little-endian fields of packed bitmaps and metafiles, read without alignment.
inline std::uint32_t Le32(const BYTE* p) {
  return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
         (std::uint32_t(p[3]) << 24);
}
inline std::uint16_t Le16(const BYTE* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

bool IsBitmap(HGDIOBJ h);

// A bitmap's own pixels. Growing it leaves the new pixels as they are, so
// that each is written once: whoever sizes it writes every pixel before any
// is read.
template <class T>
struct UninitializedAllocator : std::allocator<T> {
  template <class U>
  struct rebind {
    using other = UninitializedAllocator<U>;
  };
  UninitializedAllocator() = default;
  template <class U>
  UninitializedAllocator(const UninitializedAllocator<U>&) noexcept {}
  template <class U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <class U, class... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};
using PixelStore = std::vector<std::uint32_t, UninitializedAllocator<std::uint32_t>>;

// Room for `count` pixels in memory of `pixels`' own, nothing written yet; a
// large picture's on huge pages (platform/memory.h): touched 4 KB at a time,
// the 48 MB of a 4000 x 3000 picture cost more than decoding it does.
template <class Pixels>
void ReservePixels(Pixels& pixels, std::size_t count) {
  Pixels fresh;
  fresh.reserve(count);
  if (count * sizeof(std::uint32_t) >= kHugePageHintBytes)
    AdviseHugePages(fresh.data(), count * sizeof(std::uint32_t));
  pixels.swap(fresh);
}
// `store` holding `count` pixels not written yet.
inline void SizePixelStore(PixelStore& store, std::size_t count) {
  ReservePixels(store, count);
  store.resize(count);
}

// The pixels of a live bitmap where they are kept (valid until the bitmap is
// deleted); false for a handle that is not a bitmap.
struct PixelView {
  LONG width = 0;
  LONG height = 0;
  const std::uint32_t* argb = nullptr;  // top-down, 0xAARRGGBB
  bool hasAlpha = false;
};
bool ViewBitmapPixels(HBITMAP bitmap, PixelView* out);
// The rows of a picture still to be decoded (gdi_png.cpp): a bitmap made
// from a PNG it may keep decodes its rows when they are first read.
struct PendingRows;
struct PendingRowsDeleter {
  void operator()(PendingRows* pending) const;
};
using PendingRowsPtr = std::unique_ptr<PendingRows, PendingRowsDeleter>;
// Decodes rows into `argb` until its first `rows` rows are there. Returns how
// many rows are final: all of them once decoding is over, also when it met
// a fault (the rows after it stay black).
LONG DecodeRows(PendingRows& pending, std::uint32_t* argb, LONG rows);
// A new bitmap that keeps `argb` (`width` x `height` pixels, every alpha byte
// cleared unless `hasAlpha`). With `pending`, the rows from the first one it
// has not decoded on are decoded when read, and are not written yet. Null
// for sizes out of bounds or too few pixels.
HBITMAP AdoptPixelStore(LONG width, LONG height, PixelStore&& argb, bool hasAlpha,
                        PendingRowsPtr pending = nullptr);
bool DeleteBitmap(HGDIOBJ h);
std::size_t LiveBitmaps();
std::size_t LiveMetaFiles();
}  // namespace platform::detail
