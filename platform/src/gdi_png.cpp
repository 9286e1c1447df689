// PNG files to and from bitmaps, through libpng, with the bitmap's own pixels
// as the rows libpng reads or writes: a large picture is never copied on the
// way.
//
// libpng reports a fault by jumping back to the setjmp of its caller. So each
// step that can fail is a function of its own whose locals have no
// destructors, and everything that has one (the pixels, the output, the
// library's structures) lives in its caller.
#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <new>
#include <utility>

#include "gdi_internal.h"
#include "platform/gdi.h"

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "a 0xAARRGGBB pixel must be blue, green, red, alpha in memory");

namespace {
using platform::BitmapPixels;
using platform::detail::PixelView;

// Faults end the step that met them; warnings are of no use to anyone here.
[[noreturn]] void OnError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void OnWarning(png_structp, png_const_charp) {}

// Memory for the chunks before the pixels: what a real picture needs, far
// from what would hurt.
constexpr png_uint_32 kChunkCacheMax = 128;
constexpr png_alloc_size_t kChunkMallocMax = png_alloc_size_t(8) << 20;

// ---- Reading ----------------------------------------------------------------------

struct Source {
  const png_byte* data;
  std::size_t size;
  std::size_t pos;
};

void ReadSource(png_structp png, png_bytep out, png_size_t n) {
  auto* src = static_cast<Source*>(png_get_io_ptr(png));
  if (n > src->size - src->pos) png_error(png, "truncated");
  std::memcpy(out, src->data + src->pos, n);
  src->pos += n;
}

class Reader {
 public:
  Reader()
      : png_(png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, &OnError, &OnWarning)),
        info_(png_ != nullptr ? png_create_info_struct(png_) : nullptr) {}
  ~Reader() { png_destroy_read_struct(&png_, info_ != nullptr ? &info_ : nullptr, nullptr); }
  Reader(const Reader&) = delete;
  Reader& operator=(const Reader&) = delete;
  bool Ok() const { return info_ != nullptr; }
  png_structp png() const { return png_; }
  png_infop info() const { return info_; }

 private:
  png_structp png_;
  png_infop info_;
};

struct Header {
  png_uint_32 width = 0;
  png_uint_32 height = 0;
  bool alpha = false;
  bool interlaced = false;
};

// Everything up to the pixels, and the transforms that make every row one of
// 8-bit RGB or RGBA; false for a fault or a picture over the limits, found
// before any pixel is decoded. An interlaced picture's passes must each land
// in the kept rows, so libpng makes those rows of 0xAARRGGBB itself (alpha 0
// for a picture without it); the others come through one row of its own
// kind, turned into ours by FromRgb or FromRgba, which are several times
// faster than libpng's swap and filler.
bool ReadHeader(png_structp png, png_infop info, std::uint64_t maxPixels, Header* out) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_info(png, info);
  const png_uint_32 width = png_get_image_width(png, info);
  const png_uint_32 height = png_get_image_height(png, info);
  if (width == 0 || height == 0 || std::uint64_t(width) * height > maxPixels) return false;
  const bool alpha = (png_get_color_type(png, info) & PNG_COLOR_MASK_ALPHA) != 0 ||
                     png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  png_set_expand(png);
  png_set_strip_16(png);
  png_set_gray_to_rgb(png);
  const bool interlaced = png_set_interlace_handling(png) > 1;
  if (interlaced) {
    png_set_bgr(png);
    if (!alpha) png_set_filler(png, 0, PNG_FILLER_AFTER);
  }
  png_read_update_info(png, info);
  const std::size_t pixelBytes = interlaced || alpha ? 4 : 3;
  if (png_get_rowbytes(png, info) != std::size_t(width) * pixelBytes) return false;
  out->width = width;
  out->height = height;
  out->alpha = alpha;
  out->interlaced = interlaced;
  return true;
}

// A row of red, green, blue bytes as 0x00RRGGBB. Each pixel is read as the
// four bytes from its red on (the row has room for a fourth byte after its
// last pixel): 0xXXBBGGRR, whose reversed bytes shifted down are ours.
void FromRgb(const png_byte* in, std::uint32_t* out, png_uint_32 width) {
  for (png_uint_32 x = 0; x < width; ++x) {
    std::uint32_t v;
    std::memcpy(&v, in + 3 * std::size_t(x), 4);
    out[x] = __builtin_bswap32(v) >> 8;
  }
}

// A row of red, green, blue, alpha bytes (0xAABBGGRR read as a word) as
// 0xAARRGGBB: reversed (0xRRGGBBAA), then turned by a byte.
void FromRgba(const png_byte* in, std::uint32_t* out, png_uint_32 width) {
  for (png_uint_32 x = 0; x < width; ++x) {
    std::uint32_t v;
    std::memcpy(&v, in + 4 * std::size_t(x), 4);
    v = __builtin_bswap32(v);
    out[x] = (v >> 8) | (v << 24);
  }
}

// The pixels into `argb`, then the chunks after them. `row` holds one row of
// libpng's own kind (4 bytes a pixel); an interlaced picture does not use it.
bool ReadPixels(png_structp png, png_infop info, const Header& h, png_bytep row, std::uint32_t* argb) {
  if (setjmp(png_jmpbuf(png))) return false;
  if (h.interlaced) {
    for (int pass = 0; pass < PNG_INTERLACE_ADAM7_PASSES; ++pass)
      for (png_uint_32 y = 0; y < h.height; ++y)
        png_read_row(png, reinterpret_cast<png_bytep>(argb + std::size_t(y) * h.width), nullptr);
  } else {
    for (png_uint_32 y = 0; y < h.height; ++y) {
      png_read_row(png, row, nullptr);
      (h.alpha ? FromRgba : FromRgb)(row, argb + std::size_t(y) * h.width, h.width);
    }
  }
  png_read_end(png, info);
  return true;
}

// A picture whose alpha says nothing (every pixel opaque) is kept as one
// without alpha, as a bitmap without alpha is: its alpha bytes cleared.
bool KeepAlpha(std::vector<std::uint32_t>& argb) {
  const bool translucent =
      std::any_of(argb.begin(), argb.end(), [](std::uint32_t c) { return (c >> 24) != 0xFF; });
  if (!translucent)
    for (auto& c : argb) c &= 0xFFFFFF;
  return translucent;
}

// ---- Writing ----------------------------------------------------------------------

void WriteSink(png_structp png, png_bytep data, png_size_t n) {
  auto* out = static_cast<std::vector<BYTE>*>(png_get_io_ptr(png));
  bool grown = true;
  try {
    out->insert(out->end(), data, data + n);
  } catch (const std::bad_alloc&) {
    grown = false;
  }
  if (!grown) png_error(png, "out of memory");
}

void FlushSink(png_structp) {}

class Writer {
 public:
  Writer()
      : png_(png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, &OnError, &OnWarning)),
        info_(png_ != nullptr ? png_create_info_struct(png_) : nullptr) {}
  ~Writer() { png_destroy_write_struct(&png_, info_ != nullptr ? &info_ : nullptr); }
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;
  bool Ok() const { return info_ != nullptr; }
  png_structp png() const { return png_; }
  png_infop info() const { return info_; }

 private:
  png_structp png_;
  png_infop info_;
};

// The whole file: 8-bit RGB, or RGB and alpha; the filler byte of a pixel
// without alpha is dropped by libpng on its way out.
bool WriteFile(png_structp png, png_infop info, const PixelView& v) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_IHDR(png, info, png_uint_32(v.width), png_uint_32(v.height), 8,
               v.hasAlpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_set_bgr(png);
  if (!v.hasAlpha) png_set_filler(png, 0, PNG_FILLER_AFTER);
  // libpng copies each row before it transforms it; ours stay untouched.
  for (LONG y = 0; y < v.height; ++y)
    png_write_row(png, reinterpret_cast<png_const_bytep>(v.argb + std::size_t(y) * std::size_t(v.width)));
  png_write_end(png, info);
  return true;
}

}  // namespace

namespace platform {

std::vector<BYTE> PngFromBitmap(HBITMAP bitmap) {
  PixelView view;
  if (!detail::ViewBitmapPixels(bitmap, &view) || view.width <= 0 || view.height <= 0) return {};
  Writer w;
  if (!w.Ok()) return {};
  std::vector<BYTE> out;
  png_set_write_fn(w.png(), &out, &WriteSink, &FlushSink);
  if (!WriteFile(w.png(), w.info(), view)) return {};
  return out;
}

HBITMAP BitmapFromPng(const void* data, std::size_t size, std::uint64_t maxPixels) {
  const auto* bytes = static_cast<const png_byte*>(data);
  if (bytes == nullptr || size < 8 || png_sig_cmp(bytes, 0, 8) != 0) return nullptr;
  Reader r;
  if (!r.Ok()) return nullptr;
  Source source{bytes, size, 0};
  png_set_read_fn(r.png(), &source, &ReadSource);
  png_set_user_limits(r.png(), png_uint_32(kMaxBitmapSide), png_uint_32(kMaxBitmapSide));
  png_set_chunk_cache_max(r.png(), kChunkCacheMax);
  png_set_chunk_malloc_max(r.png(), kChunkMallocMax);
  // Only the chunks that make the pixels are read; text, colour profiles and
  // the like are skipped unparsed.
  png_set_keep_unknown_chunks(r.png(), PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
  // Every chunk's CRC is still checked; the checksum of the inflated pixels
  // adds nothing to it but a pass over all of them.
  png_set_option(r.png(), PNG_IGNORE_ADLER32, PNG_OPTION_ON);

  Header h;
  if (!ReadHeader(r.png(), r.info(), std::min(maxPixels, kMaxBitmapPixels), &h)) return nullptr;
  BitmapPixels px;
  px.width = LONG(h.width);
  px.height = LONG(h.height);
  std::vector<png_byte> row;
  try {
    platform::detail::SizePixels(px.argb, std::size_t(h.width) * std::size_t(h.height));
    if (!h.interlaced) row.resize(std::size_t(h.width) * 4);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  if (!ReadPixels(r.png(), r.info(), h, row.data(), px.argb.data())) return nullptr;
  px.hasAlpha = h.alpha && KeepAlpha(px.argb);
  return detail::AdoptBitmapPixels(std::move(px));
}

}  // namespace platform
