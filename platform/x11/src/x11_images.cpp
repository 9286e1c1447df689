// PNG and bitmap files from and to the clipboard's packed bitmaps.
#include "images.h"

#include <png.h>

#include <cstring>

#include "platform/global.h"

namespace platform::x11::detail {
namespace {

struct PngReader {
  const std::vector<unsigned char>* data;
  std::size_t pos;
};

void PngRead(png_structp png, png_bytep out, png_size_t n) {
  auto* r = static_cast<PngReader*>(png_get_io_ptr(png));
  if (r->pos + n > r->data->size()) png_error(png, "truncated");
  std::memcpy(out, r->data->data() + r->pos, n);
  r->pos += n;
}

// Failures end the decode quietly (the caller refuses the image); libpng's
// own handlers would print to the standard error stream.
void PngFail(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void PngWarn(png_structp, png_const_charp) {}

void PngWrite(png_structp png, png_bytep data, png_size_t n) {
  auto* out = static_cast<std::vector<unsigned char>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + n);
}
void PngFlush(png_structp) {}

}  // namespace

bool IsPng(const std::vector<unsigned char>& bytes) { return bytes.size() >= 8 && !png_sig_cmp(bytes.data(), 0, 8); }

HGLOBAL DibFromPng(const std::vector<unsigned char>& bytes) {
  if (!IsPng(bytes)) return nullptr;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, &PngFail, &PngWarn);
  if (!png) return nullptr;
  png_infop info = png_create_info_struct(png);
  // Set after setjmp and read after a longjmp: volatile.
  HGLOBAL volatile block = nullptr;
  BYTE* volatile dib = nullptr;
  if (!info || setjmp(png_jmpbuf(png))) {
    if (dib) GlobalUnlock(block);
    if (block) GlobalFree(block);
    png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    return nullptr;
  }
  PngReader reader{&bytes, 0};
  png_set_read_fn(png, &reader, &PngRead);
  png_set_user_limits(png, static_cast<png_uint_32>(kMaxBitmapSide), static_cast<png_uint_32>(kMaxBitmapSide));
  png_read_info(png, info);
  png_uint_32 w = png_get_image_width(png, info), h = png_get_image_height(png, info);
  if (w == 0 || h == 0 || static_cast<std::uint64_t>(w) * h > kMaxImagePixels) png_error(png, "too large");
  png_set_expand(png);
  png_set_strip_16(png);
  png_set_gray_to_rgb(png);
  png_set_bgr(png);
  png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
  int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != static_cast<std::size_t>(w) * 4) png_error(png, "unexpected layout");
  // Blue, green, red, alpha rows, bottom-up, behind a 40-byte header.
  const std::size_t stride = static_cast<std::size_t>(w) * 4;
  const std::size_t size = sizeof(BITMAPINFOHEADER) + stride * h;
  block = GlobalAlloc(GMEM_MOVEABLE, size);
  if (!block) png_error(png, "out of memory");
  dib = static_cast<BYTE*>(GlobalLock(block));
  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = static_cast<LONG>(w);
  header.biHeight = static_cast<LONG>(h);
  header.biPlanes = 1;
  header.biBitCount = 32;
  header.biCompression = BI_RGB;
  header.biSizeImage = static_cast<DWORD>(stride * h);
  std::memcpy(dib, &header, sizeof header);
  BYTE* bits = dib + sizeof header;
  for (int pass = 0; pass < passes; ++pass)
    for (png_uint_32 y = 0; y < h; ++y) png_read_row(png, bits + stride * (h - 1 - y), nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  // An image that is opaque everywhere carries no alpha, as a bitmap made
  // without one does.
  bool translucent = false;
  for (std::size_t i = 3; i < stride * h && !translucent; i += 4) translucent = bits[i] != 0xFF;
  if (!translucent)
    for (std::size_t i = 3; i < stride * h; i += 4) bits[i] = 0;
  GlobalUnlock(block);
  return block;
}

std::vector<unsigned char> PngFromDib(const std::vector<BYTE>& dib) {
  HBITMAP bmp = BitmapFromPackedDib(dib.data(), dib.size());
  if (!bmp) return {};
  BitmapPixels px;
  bool ok = ReadBitmapPixels(bmp, &px);
  DeleteObject(bmp);
  if (!ok || px.width <= 0 || px.height <= 0) return {};
  std::vector<unsigned char> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, &PngFail, &PngWarn);
  if (!png) return {};
  png_infop info = png_create_info_struct(png);
  std::vector<BYTE> row(static_cast<std::size_t>(px.width) * 4);
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, info ? &info : nullptr);
    return {};
  }
  png_set_write_fn(png, &out, &PngWrite, &PngFlush);
  png_set_IHDR(png, info, static_cast<png_uint_32>(px.width), static_cast<png_uint_32>(px.height), 8,
               PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(png, 1);
  png_write_info(png, info);
  for (LONG y = 0; y < px.height; ++y) {
    for (LONG x = 0; x < px.width; ++x) {
      std::uint32_t v = px.argb[static_cast<std::size_t>(y) * static_cast<std::size_t>(px.width) + static_cast<std::size_t>(x)];
      BYTE* p = row.data() + x * 4;
      p[0] = static_cast<BYTE>(v >> 16);
      p[1] = static_cast<BYTE>(v >> 8);
      p[2] = static_cast<BYTE>(v);
      p[3] = px.hasAlpha ? static_cast<BYTE>(v >> 24) : 0xFF;
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

std::vector<BYTE> DibFromBmp(const std::vector<unsigned char>& bytes) {
  if (bytes.size() < 14 + 40 || bytes[0] != 'B' || bytes[1] != 'M') return {};
  std::vector<BYTE> dib(bytes.begin() + 14, bytes.end());
  DibLayout layout;
  return ParsePackedDib(dib.data(), dib.size(), &layout) ? dib : std::vector<BYTE>{};
}

std::vector<unsigned char> BmpFromDib(const std::vector<BYTE>& dib) {
  DibLayout layout;
  if (!ParsePackedDib(dib.data(), dib.size(), &layout)) return {};
  std::vector<unsigned char> out(14, 0);
  std::uint32_t size = static_cast<std::uint32_t>(14 + dib.size());
  std::uint32_t offset = static_cast<std::uint32_t>(14 + layout.bitsOffset);
  out[0] = 'B';
  out[1] = 'M';
  std::memcpy(&out[2], &size, 4);
  std::memcpy(&out[10], &offset, 4);
  out.insert(out.end(), dib.begin(), dib.end());
  return out;
}


}  // namespace platform::x11::detail
