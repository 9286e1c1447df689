// PNG files to and from bitmaps, through libpng, with the bitmap's own pixels
// as the rows libpng reads or writes: a large picture is never copied on the
// way.
//
// libpng reports a fault by jumping back to the setjmp of its caller. So each
// step that can fail is a function of its own whose locals have no
// destructors, and everything that has one (the pixels, the output, the
// library's structures) lives in its caller.
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "gdi_internal.h"
#include "platform/gdi.h"

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "a 0xAARRGGBB pixel must be blue, green, red, alpha in memory");

namespace {
using platform::detail::PixelView;

// Faults end the step that met them; warnings are of no use to anyone here.
[[noreturn]] void OnError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void OnWarning(png_structp, png_const_charp) {}

// Memory for the chunks before the pixels: what a real picture needs, far
// from what would hurt.
constexpr png_uint_32 kChunkCacheMax = 128;
constexpr png_alloc_size_t kChunkMallocMax = png_alloc_size_t(8) << 20;

// ---- Reading ----------------------------------------------------------------------

std::uint32_t BigEndian32(const png_byte* p) {
  return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
         std::uint32_t(p[3]);
}

// The file's chunks, checked before libpng sees any: each one whole with its
// CRC right, IHDR first, an IDAT, then IEND. So a damaged or cut file is
// refused at once, even when its rows are decoded only later, and libpng
// need not check the CRCs again.
bool ChunksSound(const png_byte* p, std::size_t size) {
  std::size_t pos = 8;
  bool idat = false;
  while (size - pos >= 12) {
    const std::uint32_t length = BigEndian32(p + pos);
    if (length > PNG_UINT_31_MAX || length > size - pos - 12) return false;
    const png_byte* type = p + pos + 4;
    if (crc32_z(crc32_z(0, Z_NULL, 0), type, std::size_t(length) + 4) != BigEndian32(type + 4 + length))
      return false;
    if (pos == 8 && std::memcmp(type, "IHDR", 4) != 0) return false;
    if (std::memcmp(type, "IDAT", 4) == 0) idat = true;
    if (std::memcmp(type, "IEND", 4) == 0) return idat;
    pos += 12 + std::size_t(length);
  }
  return false;
}

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

// libpng's read or write state and its info, made and freed together.
template <bool kWrite>
class PngState {
 public:
  PngState()
      : png_(kWrite ? png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, &OnError, &OnWarning)
                    : png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, &OnError, &OnWarning)),
        info_(png_ != nullptr ? png_create_info_struct(png_) : nullptr) {}
  ~PngState() {
    if (kWrite)
      png_destroy_write_struct(&png_, info_ != nullptr ? &info_ : nullptr);
    else
      png_destroy_read_struct(&png_, info_ != nullptr ? &info_ : nullptr, nullptr);
  }
  PngState(const PngState&) = delete;
  PngState& operator=(const PngState&) = delete;
  bool Ok() const { return info_ != nullptr; }
  png_structp png() const { return png_; }
  png_infop info() const { return info_; }

 private:
  png_structp png_;
  png_infop info_;
};
using Reader = PngState<false>;

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

// Rows from *next on into `argb` until `rows` of them are there (an
// interlaced picture all at once, pass by pass), then, after the last row,
// the chunks after the pixels. *next counts the rows done, also when libpng
// jumps out on a fault (false). `row` holds one row of libpng's own kind.
bool ReadRows(png_structp png, png_infop info, const Header& h, png_bytep row, std::uint32_t* argb,
              png_uint_32 rows, png_uint_32* next) {
  if (setjmp(png_jmpbuf(png))) return false;
  if (h.interlaced) {
    for (int pass = 0; pass < PNG_INTERLACE_ADAM7_PASSES; ++pass)
      for (png_uint_32 y = 0; y < h.height; ++y)
        png_read_row(png, reinterpret_cast<png_bytep>(argb + std::size_t(y) * h.width), nullptr);
    *next = h.height;
  } else {
    for (; *next < rows; ++*next) {
      png_read_row(png, row, nullptr);
      (h.alpha ? FromRgba : FromRgb)(row, argb + std::size_t(*next) * h.width, h.width);
    }
  }
  if (*next == h.height) png_read_end(png, info);
  return true;
}

// A picture whose alpha says nothing (every pixel opaque) is kept as one
// without alpha, as a bitmap without alpha is: its alpha bytes cleared.
bool KeepAlpha(platform::detail::PixelStore& argb) {
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

using Writer = PngState<true>;

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

namespace platform::detail {

// A picture being decoded: libpng's state between the rows it has given and
// those still to come, and the file's bytes (kept only when the picture is
// decoded on demand).
struct PendingRows {
  Reader reader;
  std::shared_ptr<const BYTE> kept;
  Source source{nullptr, 0, 0};
  Header header;
  std::vector<png_byte> row;
  png_uint_32 next = 0;
  bool failed = false;
};

void PendingRowsDeleter::operator()(PendingRows* pending) const { delete pending; }

LONG DecodeRows(PendingRows& p, std::uint32_t* argb, LONG rows) {
  const png_uint_32 wanted = std::min(png_uint_32(std::max<LONG>(rows, 0)), p.header.height);
  if (!p.failed && p.next < wanted &&
      !ReadRows(p.reader.png(), p.reader.info(), p.header, p.row.data(), argb, wanted, &p.next)) {
    p.failed = true;
    // The rows that will never come are black, not whatever the memory held.
    const std::size_t done = std::size_t(p.next) * p.header.width;
    std::fill(argb + done, argb + std::size_t(p.header.height) * p.header.width, 0u);
  }
  return p.failed ? LONG(p.header.height) : LONG(p.next);
}

}  // namespace platform::detail

namespace {

// A decoder for a whole, sound PNG whose header is read and within the
// limits, with `argb` sized for its picture (nothing written yet); null
// otherwise. `bytes` must outlive the decoding.
platform::detail::PendingRowsPtr StartPng(const png_byte* bytes, std::size_t size, std::uint64_t maxPixels,
                                          platform::detail::PixelStore* argb) {
  using platform::detail::PendingRows;
  using platform::detail::PendingRowsPtr;
  if (bytes == nullptr || size < 8 || png_sig_cmp(bytes, 0, 8) != 0 || !ChunksSound(bytes, size)) return nullptr;
  PendingRowsPtr p;
  try {
    p.reset(new PendingRows);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  png_structp png = p->reader.png();
  if (!p->reader.Ok()) return nullptr;
  p->source = Source{bytes, size, 0};
  png_set_read_fn(png, &p->source, &ReadSource);
  png_set_user_limits(png, png_uint_32(platform::kMaxBitmapSide), png_uint_32(platform::kMaxBitmapSide));
  png_set_chunk_cache_max(png, kChunkCacheMax);
  png_set_chunk_malloc_max(png, kChunkMallocMax);
  // Only the chunks that make the pixels are read; text, colour profiles and
  // the like are skipped unparsed.
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
  // Every CRC was checked above; the checksum of the inflated pixels adds
  // nothing to them but a pass over all the pixels.
  png_set_crc_action(png, PNG_CRC_QUIET_USE, PNG_CRC_QUIET_USE);
  png_set_option(png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
  if (!ReadHeader(png, p->reader.info(), std::min(maxPixels, platform::kMaxBitmapPixels), &p->header))
    return nullptr;
  try {
    platform::detail::SizePixelStore(*argb, std::size_t(p->header.width) * std::size_t(p->header.height));
    if (!p->header.interlaced) p->row.resize(std::size_t(p->header.width) * 4);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  return p;
}

// Decodes every row now; null when any step meets a fault.
HBITMAP FinishPng(platform::detail::PendingRowsPtr p, platform::detail::PixelStore&& argb) {
  const Header& h = p->header;
  platform::detail::DecodeRows(*p, argb.data(), LONG(h.height));
  if (p->failed) return nullptr;
  const bool alpha = h.alpha && KeepAlpha(argb);
  return platform::detail::AdoptPixelStore(LONG(h.width), LONG(h.height), std::move(argb), alpha);
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
  detail::PixelStore argb;
  detail::PendingRowsPtr p = StartPng(static_cast<const png_byte*>(data), size, maxPixels, &argb);
  return p ? FinishPng(std::move(p), std::move(argb)) : nullptr;
}

HBITMAP BitmapFromPngOnDemand(std::shared_ptr<const BYTE> data, std::size_t size, std::uint64_t maxPixels) {
  detail::PixelStore argb;
  detail::PendingRowsPtr p = StartPng(data.get(), size, maxPixels, &argb);
  if (!p) return nullptr;
  // Whether alpha says anything is known only from every pixel; the passes
  // of an interlaced picture cover all rows.
  if (p->header.alpha || p->header.interlaced) return FinishPng(std::move(p), std::move(argb));
  p->kept = std::move(data);
  const LONG width = LONG(p->header.width), height = LONG(p->header.height);
  return detail::AdoptPixelStore(width, height, std::move(argb), false, std::move(p));
}

}  // namespace platform
