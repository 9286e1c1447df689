#include <algorithm>
#include <cstring>
#include <cstdint>
#include <mutex>
#include <new>
#include <unordered_map>

#include "gdi_internal.h"
#include "platform/gdi.h"
#include "platform/memory.h"

namespace {
using platform::BitmapPixels;
using platform::DibLayout;

// The bitmap behind an HBITMAP: 32-bit pixels plus the format it came in.
struct BitmapFormat {
  LONG width = 0;
  LONG height = 0;
  WORD bitCount = 32;
  DWORD compression = BI_RGB;
  DWORD masks[4] = {0, 0, 0, 0};
  std::vector<RGBQUAD> palette;
  LONG xPels = 0;
  LONG yPels = 0;
  bool hasAlpha = false;
};
struct Bitmap : BitmapFormat {
  platform::detail::PixelStore argb;  // top-down, 0xAARRGGBB
  platform::detail::PendingRowsPtr pending;  // rows not decoded yet, if any
  // Held while rows are decoded: readers on two threads decode each row
  // once, and a reader only reads rows decoded before it.
  std::mutex decoding;
};

platform::detail::HandleTable<Bitmap>& Bitmaps() {
  static platform::detail::HandleTable<Bitmap> table;
  return table;
}

HDC ScreenDC() {
  static int screen;
  return reinterpret_cast<HDC>(&screen);
}

using platform::detail::Le16;
using platform::detail::Le32;
void Put32(BYTE* p, std::uint32_t v) {
  p[0] = BYTE(v);
  p[1] = BYTE(v >> 8);
  p[2] = BYTE(v >> 16);
  p[3] = BYTE(v >> 24);
}
void Put16(BYTE* p, std::uint16_t v) {
  p[0] = BYTE(v);
  p[1] = BYTE(v >> 8);
}

bool SidesOk(std::int64_t w, std::int64_t h) {
  return w > 0 && h > 0 && w <= platform::kMaxBitmapSide && h <= platform::kMaxBitmapSide &&
         std::uint64_t(w) * std::uint64_t(h) <= platform::kMaxBitmapPixels;
}

std::size_t Stride(LONG width, WORD bitCount) {
  return ((std::size_t(width) * bitCount + 31) / 32) * 4;
}

bool ContiguousMask(DWORD m) {
  if (!m) return false;
  while (!(m & 1)) m >>= 1;
  return (m & (m + 1)) == 0;
}

int Shift(DWORD m) {
  int s = 0;
  while (m && !(m & 1)) {
    m >>= 1;
    ++s;
  }
  return s;
}

BYTE Extract(std::uint32_t v, DWORD mask) {
  if (!mask) return 0;
  int s = Shift(mask);
  std::uint32_t max = mask >> s;
  return static_cast<BYTE>((((v & mask) >> s) * 255 + max / 2) / max);
}

std::uint32_t Insert(BYTE c, DWORD mask) {
  if (!mask) return 0;
  int s = Shift(mask);
  std::uint32_t max = mask >> s;
  return ((std::uint32_t(c) * max + 127) / 255) << s;
}

std::uint32_t FromQuad(const RGBQUAD& q) {
  return (std::uint32_t(q.rgbRed) << 16) | (std::uint32_t(q.rgbGreen) << 8) | q.rgbBlue;
}
RGBQUAD ToQuad(std::uint32_t c) {
  return RGBQUAD{BYTE(c), BYTE(c >> 8), BYTE(c >> 16), 0};
}

// Default tables for packing into a palette depth when the bitmap brings none
// that fits: black and white; the sixteen basic colours; a 6x6x6 cube plus greys.
std::vector<RGBQUAD> DefaultPalette(WORD bitCount) {
  std::vector<RGBQUAD> p;
  if (bitCount == 1) {
    p = {ToQuad(0x000000), ToQuad(0xFFFFFF)};
  } else if (bitCount == 4) {
    const std::uint32_t basic[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                                     0x008080, 0xC0C0C0, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00,
                                     0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
    for (auto c : basic) p.push_back(ToQuad(c));
  } else {
    for (int r = 0; r < 6; ++r)
      for (int g = 0; g < 6; ++g)
        for (int b = 0; b < 6; ++b) p.push_back(ToQuad((r * 51u << 16) | (g * 51u << 8) | (b * 51u)));
    for (int i = 0; i < 40; ++i) {
      std::uint32_t v = static_cast<std::uint32_t>(i * 255 / 39);
      p.push_back(ToQuad((v << 16) | (v << 8) | v));
    }
  }
  return p;
}

class PaletteMatcher {
 public:
  explicit PaletteMatcher(const std::vector<RGBQUAD>& p) : palette_(p) {
    for (std::size_t i = 0; i < p.size(); ++i) exact_.emplace(FromQuad(p[i]), static_cast<BYTE>(i));
  }
  BYTE Index(std::uint32_t argb) {
    std::uint32_t c = argb & 0xFFFFFF;
    auto it = exact_.find(c);
    if (it != exact_.end()) return it->second;
    int best = 0;
    long bestD = -1;
    for (std::size_t i = 0; i < palette_.size(); ++i) {
      long dr = long((c >> 16) & 0xFF) - palette_[i].rgbRed;
      long dg = long((c >> 8) & 0xFF) - palette_[i].rgbGreen;
      long db = long(c & 0xFF) - palette_[i].rgbBlue;
      long d = dr * dr + dg * dg + db * db;
      if (bestD < 0 || d < bestD) {
        bestD = d;
        best = static_cast<int>(i);
      }
    }
    exact_.emplace(c, static_cast<BYTE>(best));
    return static_cast<BYTE>(best);
  }

 private:
  const std::vector<RGBQUAD>& palette_;
  std::unordered_map<std::uint32_t, BYTE> exact_;
};

// The output format of a pack request, resolved against the bitmap.
struct PackFormat {
  WORD bitCount = 32;
  DWORD compression = BI_RGB;
  DWORD masks[3] = {0, 0, 0};
  std::vector<RGBQUAD> palette;
  std::size_t stride = 0;
  std::size_t tableBytes = 0;  // colour table or masks after the header
};

bool ResolveFormat(const Bitmap& bm, WORD bitCount, DWORD compression, PackFormat* f) {
  if (bitCount == 0) {
    bitCount = bm.bitCount;
    compression = bm.compression;
  }
  switch (bitCount) {
    case 1:
    case 4:
    case 8:
    case 24:
      if (compression != BI_RGB) return false;
      break;
    case 16:
    case 32:
      if (compression != BI_RGB && compression != BI_BITFIELDS) return false;
      break;
    default:
      return false;
  }
  f->bitCount = bitCount;
  f->compression = compression;
  if (bitCount <= 8) {
    std::size_t max = std::size_t(1) << bitCount;
    f->palette = (!bm.palette.empty() && bm.palette.size() <= max) ? bm.palette : DefaultPalette(bitCount);
    f->tableBytes = f->palette.size() * sizeof(RGBQUAD);
  } else if (compression == BI_BITFIELDS) {
    bool own = bm.compression == BI_BITFIELDS && bm.bitCount == bitCount;
    if (own) {
      std::copy(bm.masks, bm.masks + 3, f->masks);
    } else if (bitCount == 16) {
      f->masks[0] = 0xF800;
      f->masks[1] = 0x07E0;
      f->masks[2] = 0x001F;
    } else {
      f->masks[0] = 0xFF0000;
      f->masks[1] = 0x00FF00;
      f->masks[2] = 0x0000FF;
    }
    f->tableBytes = 12;
  } else if (bitCount == 16) {
    f->masks[0] = 0x7C00;
    f->masks[1] = 0x03E0;
    f->masks[2] = 0x001F;
  }
  f->stride = Stride(bm.width, bitCount);
  return true;
}

void PackRow(const Bitmap& bm, const PackFormat& f, PaletteMatcher* matcher, LONG row, BYTE* out) {
  const std::uint32_t* src = bm.argb.data() + std::size_t(row) * bm.width;
  std::memset(out, 0, f.stride);
  for (LONG x = 0; x < bm.width; ++x) {
    std::uint32_t c = src[x];
    BYTE r = BYTE(c >> 16), g = BYTE(c >> 8), b = BYTE(c), a = BYTE(c >> 24);
    switch (f.bitCount) {
      case 32:
        if (f.compression == BI_BITFIELDS) {
          Put32(out + 4 * x, Insert(r, f.masks[0]) | Insert(g, f.masks[1]) | Insert(b, f.masks[2]));
        } else {
          out[4 * x] = b;
          out[4 * x + 1] = g;
          out[4 * x + 2] = r;
          out[4 * x + 3] = a;
        }
        break;
      case 24:
        out[3 * x] = b;
        out[3 * x + 1] = g;
        out[3 * x + 2] = r;
        break;
      case 16:
        Put16(out + 2 * x,
              static_cast<std::uint16_t>(Insert(r, f.masks[0]) | Insert(g, f.masks[1]) | Insert(b, f.masks[2])));
        break;
      default: {
        BYTE idx = matcher->Index(c);
        int perByte = 8 / f.bitCount;
        int shift = 8 - f.bitCount * (1 + x % perByte);
        out[x / perByte] |= static_cast<BYTE>(idx << shift);
      }
    }
  }
}

std::size_t PackedSize(const Bitmap& bm, const PackFormat& f) {
  return sizeof(BITMAPINFOHEADER) + f.tableBytes + f.stride * std::size_t(bm.height);
}

void FillHeader(const Bitmap& bm, const PackFormat& f, bool topDown, BITMAPINFOHEADER* h) {
  std::memset(h, 0, sizeof(*h));
  h->biSize = sizeof(BITMAPINFOHEADER);
  h->biWidth = bm.width;
  h->biHeight = topDown ? -bm.height : bm.height;
  h->biPlanes = 1;
  h->biBitCount = f.bitCount;
  h->biCompression = f.compression;
  h->biSizeImage = static_cast<DWORD>(f.stride * std::size_t(bm.height));
  h->biXPelsPerMeter = bm.xPels;
  h->biYPelsPerMeter = bm.yPels;
  h->biClrUsed = f.bitCount <= 8 ? static_cast<DWORD>(f.palette.size()) : 0;
}

void WriteTable(const PackFormat& f, BYTE* out) {
  if (f.bitCount <= 8) {
    std::memcpy(out, f.palette.data(), f.tableBytes);
  } else if (f.compression == BI_BITFIELDS) {
    for (int i = 0; i < 3; ++i) Put32(out + 4 * i, f.masks[i]);
  }
}

void WriteBits(const Bitmap& bm, const PackFormat& f, bool topDown, UINT start, UINT lines, BYTE* out) {
  PaletteMatcher matcher(f.palette);
  for (UINT i = 0; i < lines; ++i) {
    // Scan line numbers count from the bottom for bottom-up output.
    UINT line = start + i;
    LONG row = topDown ? LONG(line) : bm.height - 1 - LONG(line);
    PackRow(bm, f, &matcher, row, out + std::size_t(i) * f.stride);
  }
}

std::unique_ptr<Bitmap> Decode(const BYTE* p, std::size_t size, const DibLayout& L) {
  auto bm = std::make_unique<Bitmap>();
  bm->width = L.width;
  bm->height = L.height;
  bm->bitCount = L.bitCount;
  bm->compression = L.compression;
  std::copy(L.masks, L.masks + 4, bm->masks);
  bm->xPels = static_cast<LONG>(Le32(p + 24));
  bm->yPels = static_cast<LONG>(Le32(p + 28));
  if (L.bitCount <= 8) {
    for (DWORD i = 0; i < L.colours; ++i) {
      const BYTE* q = p + L.tableOffset + 4 * std::size_t(i);
      bm->palette.push_back(RGBQUAD{q[0], q[1], q[2], 0});
    }
  }
  platform::detail::SizePixelStore(bm->argb, std::size_t(L.width) * L.height);  // every pixel written below
  bool anyAlpha = false;
  DWORD masks[3] = {L.masks[0], L.masks[1], L.masks[2]};
  if (L.bitCount == 16 && L.compression == BI_RGB) {
    masks[0] = 0x7C00;
    masks[1] = 0x03E0;
    masks[2] = 0x001F;
  }
  for (LONG y = 0; y < L.height; ++y) {
    const BYTE* row = p + L.bitsOffset + L.stride * std::size_t(L.topDown ? y : L.height - 1 - y);
    std::uint32_t* dst = bm->argb.data() + std::size_t(y) * L.width;
    for (LONG x = 0; x < L.width; ++x) {
      std::uint32_t c = 0;
      switch (L.bitCount) {
        case 32:
          if (L.compression == BI_BITFIELDS) {
            std::uint32_t v = Le32(row + 4 * x);
            c = (std::uint32_t(Extract(v, masks[0])) << 16) | (std::uint32_t(Extract(v, masks[1])) << 8) |
                Extract(v, masks[2]);
          } else {
            c = Le32(row + 4 * x);  // blue, green, red, alpha in memory order
            if (c >> 24) anyAlpha = true;
          }
          break;
        case 24:
          c = (std::uint32_t(row[3 * x + 2]) << 16) | (std::uint32_t(row[3 * x + 1]) << 8) | row[3 * x];
          break;
        case 16: {
          std::uint32_t v = Le16(row + 2 * x);
          c = (std::uint32_t(Extract(v, masks[0])) << 16) | (std::uint32_t(Extract(v, masks[1])) << 8) |
              Extract(v, masks[2]);
          break;
        }
        default: {
          int perByte = 8 / L.bitCount;
          int shift = 8 - L.bitCount * (1 + x % perByte);
          DWORD idx = (row[x / perByte] >> shift) & ((1u << L.bitCount) - 1);
          // An index past a short colour table names no colour; packed again
          // it would name another one. Such a bitmap is refused.
          if (idx >= bm->palette.size()) return nullptr;
          c = FromQuad(bm->palette[idx]);
        }
      }
      dst[x] = c;
    }
  }
  (void)size;
  bm->hasAlpha = anyAlpha;
  return bm;
}

Bitmap* Find(HBITMAP h) { return Bitmaps().Find(h); }

// The bitmap with at least its first `rows` rows of pixels decoded; what
// reads pixels finds its bitmap here.
Bitmap* DecodedRows(Bitmap* bm, LONG rows) {
  if (bm == nullptr) return nullptr;
  std::lock_guard<std::mutex> hold(bm->decoding);
  if (bm->pending && platform::detail::DecodeRows(*bm->pending, bm->argb.data(), rows) >= bm->height)
    bm->pending.reset();  // and with it the file it decoded from
  return bm;
}

Bitmap* FindRows(HBITMAP h, LONG rows) { return DecodedRows(Find(h), rows); }

Bitmap* FindWhole(HBITMAP h) {
  Bitmap* bm = Find(h);
  return bm ? DecodedRows(bm, bm->height) : nullptr;
}
}  // namespace

namespace platform::detail {
bool IsBitmap(HGDIOBJ h) { return Bitmaps().Find(h) != nullptr; }
bool DeleteBitmap(HGDIOBJ h) { return Bitmaps().Remove(h); }
std::size_t LiveBitmaps() { return Bitmaps().Size(); }
}  // namespace platform::detail

HDC GetDC(HWND) { return ScreenDC(); }
int ReleaseDC(HWND, HDC hdc) { return hdc == ScreenDC() ? 1 : 0; }
HDC CreateCompatibleDC(HDC) { return ScreenDC(); }
BOOL DeleteDC(HDC hdc) { return hdc == ScreenDC() ? TRUE : FALSE; }
int GetDeviceCaps(HDC, int index) {
  switch (index) {
    case BITSPIXEL:
      return 32;
    case PLANES:
      return 1;
    case LOGPIXELSX:
    case LOGPIXELSY:
      return 96;
    default:
      return 0;
  }
}

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitCount, const void* bits) {
  if (planes != 1 || bitCount != 32 || !SidesOk(width, height)) return nullptr;
  try {
    auto bm = std::make_unique<Bitmap>();
    bm->width = width;
    bm->height = height;
    platform::detail::SizePixelStore(bm->argb, std::size_t(width) * height);
    if (!bits) std::fill(bm->argb.begin(), bm->argb.end(), 0u);
    if (bits) {
      const BYTE* p = static_cast<const BYTE*>(bits);
      for (std::size_t i = 0; i < bm->argb.size(); ++i) {
        bm->argb[i] = Le32(p + 4 * i);
        if (bm->argb[i] >> 24) bm->hasAlpha = true;
      }
    }
    return Bitmaps().Add<HBITMAP>(std::move(bm));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

HBITMAP CreateCompatibleBitmap(HDC, int width, int height) {
  return CreateBitmap(width, height, 1, 32, nullptr);
}

HANDLE CopyImage(HANDLE h, UINT type, int cx, int cy, UINT) {
  Bitmap* bm = FindWhole(static_cast<HBITMAP>(h));
  if (type != IMAGE_BITMAP || !bm) return nullptr;
  if ((cx && cx != bm->width) || (cy && cy != bm->height)) return nullptr;
  try {
    auto copy = std::make_unique<Bitmap>();
    static_cast<BitmapFormat&>(*copy) = *bm;
    platform::detail::SizePixelStore(copy->argb, bm->argb.size());
    std::copy(bm->argb.begin(), bm->argb.end(), copy->argb.begin());
    return Bitmaps().Add<HBITMAP>(std::move(copy));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

int GetObjectW(HANDLE h, int size, LPVOID out) {
  Bitmap* bm = Find(static_cast<HBITMAP>(h));
  if (!bm) return 0;
  if (!out) return sizeof(BITMAP);
  if (size < static_cast<int>(sizeof(BITMAP))) return 0;
  BITMAP b{};
  b.bmType = 0;
  b.bmWidth = bm->width;
  b.bmHeight = bm->height;
  b.bmWidthBytes = bm->width * 4;
  b.bmPlanes = 1;
  b.bmBitsPixel = 32;
  b.bmBits = nullptr;
  std::memcpy(out, &b, sizeof(b));
  return sizeof(BITMAP);
}

LONG GetBitmapBits(HBITMAP bitmap, LONG size, LPVOID bits) {
  Bitmap* bm = FindWhole(bitmap);
  if (!bm || size <= 0 || !bits) return 0;
  std::size_t n = std::min<std::size_t>(std::size_t(size) / 4, bm->argb.size());
  BYTE* p = static_cast<BYTE*>(bits);
  for (std::size_t i = 0; i < n; ++i) Put32(p + 4 * i, bm->argb[i]);
  return static_cast<LONG>(n * 4);
}

int GetDIBits(HDC, HBITMAP bitmap, UINT start, UINT lines, LPVOID bits, BITMAPINFO* info, UINT usage) {
  Bitmap* bm = Find(bitmap);
  if (!bm || !info || usage != DIB_RGB_COLORS || info->bmiHeader.biSize < sizeof(BITMAPINFOHEADER)) return 0;
  BITMAPINFOHEADER& h = info->bmiHeader;
  PackFormat f;
  if (!bits && h.biBitCount == 0) {
    if (!ResolveFormat(*bm, 0, 0, &f)) return 0;
    FillHeader(*bm, f, false, &h);
    return 1;
  }
  if (!ResolveFormat(*bm, h.biBitCount, h.biCompression, &f)) return 0;
  bool topDown = h.biHeight < 0;
  FillHeader(*bm, f, topDown, &h);
  WriteTable(f, reinterpret_cast<BYTE*>(info->bmiColors));
  if (!bits) return 1;
  if (start >= UINT(bm->height)) return 0;
  lines = std::min<UINT>(lines, UINT(bm->height) - start);
  DecodedRows(bm, bm->height);  // the pixels, now that they are asked for
  WriteBits(*bm, f, topDown, start, lines, static_cast<BYTE*>(bits));
  return static_cast<int>(lines);
}

namespace platform {
bool ParsePackedDib(const void* data, std::size_t size, DibLayout* out) {
  if (!data || size < sizeof(BITMAPINFOHEADER)) return false;
  const BYTE* p = static_cast<const BYTE*>(data);
  DibLayout L;
  L.headerSize = Le32(p);
  switch (L.headerSize) {
    case 40:
    case 52:
    case 56:
    case 108:
    case 124:
      break;
    default:
      return false;
  }
  if (L.headerSize > size) return false;
  std::int64_t w = static_cast<std::int32_t>(Le32(p + 4));
  std::int64_t h = static_cast<std::int32_t>(Le32(p + 8));
  L.topDown = h < 0;
  if (h < 0) h = -h;
  if (!SidesOk(w, h) || Le16(p + 12) != 1) return false;
  L.width = static_cast<LONG>(w);
  L.height = static_cast<LONG>(h);
  L.bitCount = Le16(p + 14);
  L.compression = Le32(p + 16);
  DWORD sizeImage = Le32(p + 20);
  DWORD clrUsed = Le32(p + 32);
  switch (L.bitCount) {
    case 1:
    case 4:
    case 8:
    case 24:
      if (L.compression != BI_RGB) return false;
      break;
    case 16:
    case 32:
      if (L.compression != BI_RGB && L.compression != BI_BITFIELDS) return false;
      break;
    default:
      return false;
  }
  // Top-down bitmaps cannot be compressed; the depths above never are.
  std::size_t pos = L.headerSize;
  if (L.compression == BI_BITFIELDS) {
    const BYTE* m;
    if (L.headerSize == 40) {
      if (size - pos < 12) return false;
      m = p + pos;
      pos += 12;
    } else {
      m = p + 40;
    }
    for (int i = 0; i < 3; ++i) L.masks[i] = Le32(m + 4 * i);
    if (L.headerSize >= 56) L.masks[3] = Le32(p + 52);
    DWORD all = 0;
    DWORD limit = L.bitCount == 16 ? 0xFFFFu : 0xFFFFFFFFu;
    for (int i = 0; i < 3; ++i) {
      if (!ContiguousMask(L.masks[i]) || (L.masks[i] & all) || (L.masks[i] & ~limit)) return false;
      all |= L.masks[i];
    }
  }
  if (L.bitCount <= 8) {
    DWORD max = 1u << L.bitCount;
    if (clrUsed > max) return false;
    L.colours = clrUsed ? clrUsed : max;
  } else {
    // A table before true-colour bits is allowed and skipped; bound it.
    if (clrUsed > 256) return false;
    L.colours = clrUsed;
  }
  L.tableOffset = pos;
  std::size_t table = std::size_t(L.colours) * 4;
  if (size - pos < table) return false;
  pos += table;
  L.stride = Stride(L.width, L.bitCount);
  L.bitsSize = L.stride * std::size_t(L.height);
  L.bitsOffset = pos;
  if (size - pos < L.bitsSize) return false;
  if (sizeImage != 0 && sizeImage < L.bitsSize) return false;
  if (sizeImage > size - pos) return false;
  if (out) *out = L;
  return true;
}

HBITMAP BitmapFromPackedDib(const void* data, std::size_t size) {
  DibLayout L;
  if (!ParsePackedDib(data, size, &L)) return nullptr;
  try {
    std::unique_ptr<Bitmap> bm = Decode(static_cast<const BYTE*>(data), size, L);
    if (!bm) return nullptr;
    return Bitmaps().Add<HBITMAP>(std::move(bm));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

std::size_t PackedDibSize(HBITMAP bitmap, WORD bitCount, DWORD compression) {
  Bitmap* bm = Find(bitmap);
  PackFormat f;
  if (!bm || !ResolveFormat(*bm, bitCount, compression, &f)) return 0;
  return PackedSize(*bm, f);
}

bool WritePackedDib(HBITMAP bitmap, void* out, std::size_t size, WORD bitCount, DWORD compression,
                    bool topDown) {
  Bitmap* bm = FindWhole(bitmap);
  PackFormat f;
  if (!bm || !out || !ResolveFormat(*bm, bitCount, compression, &f)) return false;
  if (size < PackedSize(*bm, f)) return false;
  BYTE* p = static_cast<BYTE*>(out);
  BITMAPINFOHEADER h;
  FillHeader(*bm, f, topDown, &h);
  std::memcpy(p, &h, sizeof(h));
  WriteTable(f, p + sizeof(h));
  WriteBits(*bm, f, topDown, 0, UINT(bm->height), p + sizeof(h) + f.tableBytes);
  return true;
}

std::vector<BYTE> PackedDibFromBitmap(HBITMAP bitmap, WORD bitCount, DWORD compression, bool topDown) {
  std::vector<BYTE> out(PackedDibSize(bitmap, bitCount, compression));
  if (out.empty() || !WritePackedDib(bitmap, out.data(), out.size(), bitCount, compression, topDown)) return {};
  return out;
}

bool ReadBitmapPixels(HBITMAP bitmap, BitmapPixels* out) {
  Bitmap* bm = FindWhole(bitmap);
  if (!bm || !out) return false;
  try {
    platform::detail::ReservePixels(out->argb, bm->argb.size());
    out->argb.assign(bm->argb.begin(), bm->argb.end());
  } catch (const std::bad_alloc&) {
    return false;
  }
  out->width = bm->width;
  out->height = bm->height;
  out->hasAlpha = bm->hasAlpha;
  return true;
}

bool ReadBitmapPixels(HBITMAP bitmap, const RECT& part, BitmapPixels* out) {
  Bitmap* bm = FindRows(bitmap, part.bottom);
  if (!bm || !out) return false;
  const LONG left = std::max<LONG>(part.left, 0);
  const LONG top = std::max<LONG>(part.top, 0);
  const LONG right = std::min<LONG>(part.right, bm->width);
  const LONG bottom = std::min<LONG>(part.bottom, bm->height);
  if (left >= right || top >= bottom) return false;
  out->width = right - left;
  out->height = bottom - top;
  out->hasAlpha = bm->hasAlpha;
  try {
    platform::detail::ReservePixels(out->argb, std::size_t(out->width) * std::size_t(out->height));
    for (LONG y = top; y < bottom; ++y) {
      const auto row = bm->argb.begin() + std::ptrdiff_t(std::size_t(y) * std::size_t(bm->width));
      out->argb.insert(out->argb.end(), row + left, row + right);
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

HBITMAP CreateBitmapFromPixels(const BitmapPixels& px) {
  const std::size_t count = std::size_t(px.width) * std::size_t(px.height);
  if (!SidesOk(px.width, px.height) || px.argb.size() < count) return nullptr;
  try {
    detail::PixelStore argb;
    detail::SizePixelStore(argb, count);
    const std::uint32_t keep = px.hasAlpha ? 0xFFFFFFFFu : 0xFFFFFFu;
    for (std::size_t i = 0; i < count; ++i) argb[i] = px.argb[i] & keep;
    return detail::AdoptPixelStore(px.width, px.height, std::move(argb), px.hasAlpha);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
}  // namespace platform

namespace platform::detail {
bool ViewBitmapPixels(HBITMAP bitmap, PixelView* out) {
  const Bitmap* bm = FindWhole(bitmap);
  if (!bm || !out) return false;
  out->width = bm->width;
  out->height = bm->height;
  out->argb = bm->argb.data();
  out->hasAlpha = bm->hasAlpha;
  return true;
}

HBITMAP AdoptPixelStore(LONG width, LONG height, PixelStore&& argb, bool hasAlpha, PendingRowsPtr pending) {
  const std::size_t count = std::size_t(width) * std::size_t(height);
  if (!SidesOk(width, height) || argb.size() < count) return nullptr;
  try {
    auto bm = std::make_unique<Bitmap>();
    bm->width = width;
    bm->height = height;
    argb.resize(count);
    bm->argb.swap(argb);
    bm->hasAlpha = hasAlpha;
    bm->pending = std::move(pending);
    return Bitmaps().Add<HBITMAP>(std::move(bm));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
}  // namespace platform::detail
