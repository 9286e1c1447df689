#pragma once
// Bitmaps and metafiles: a device-dependent bitmap behind HBITMAP, the packed
// device-independent bitmap (header, colour table, bits) in both directions,
// and enhanced and old-style metafiles behind their handles.
//
// Clipboard data is untrusted: every function that reads a packed bitmap or
// metafile takes the size of the block it reads from and checks headers,
// colour counts, strides and record sizes against it before reading; a block
// that claims more than it holds is refused.
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/types.h"

using HGDIOBJ = void*;

#pragma pack(push, 2)
struct BITMAPFILEHEADER {
  WORD bfType;
  DWORD bfSize;
  WORD bfReserved1;
  WORD bfReserved2;
  DWORD bfOffBits;
};
#pragma pack(pop)

struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;  // positive: bottom-up rows; negative: top-down
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40, "packed bitmap header is 40 bytes");

struct RGBQUAD {
  BYTE rgbBlue;
  BYTE rgbGreen;
  BYTE rgbRed;
  BYTE rgbReserved;
};

struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
};

struct BITMAP {
  LONG bmType;
  LONG bmWidth;
  LONG bmHeight;
  LONG bmWidthBytes;
  WORD bmPlanes;
  WORD bmBitsPixel;
  LPVOID bmBits;
};

enum : DWORD {
  BI_RGB = 0,
  BI_RLE8 = 1,
  BI_RLE4 = 2,
  BI_BITFIELDS = 3,
  BI_JPEG = 4,
  BI_PNG = 5,
};
enum : UINT {
  DIB_RGB_COLORS = 0,
  DIB_PAL_COLORS = 1,
};
enum : DWORD { CBM_INIT = 4 };
enum : UINT { IMAGE_BITMAP = 0 };
enum : int { BITSPIXEL = 12, PLANES = 14, LOGPIXELSX = 88, LOGPIXELSY = 90 };

// ---- Device contexts (only the screen's; enough for conversions) ---------------
HDC GetDC(HWND hwnd);
int ReleaseDC(HWND hwnd, HDC hdc);
HDC CreateCompatibleDC(HDC hdc);
BOOL DeleteDC(HDC hdc);
int GetDeviceCaps(HDC hdc, int index);

// ---- Device-dependent bitmaps ------------------------------------------------------
// Our device is 32 bits per pixel. CreateBitmap accepts 32 bits per pixel only
// (rows top-down, blue, green, red, alpha; `bits` may be null for black).
HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitCount, const void* bits);
HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height);
// A copy of a bitmap (cx = cy = 0: the same size; other sizes are refused).
HANDLE CopyImage(HANDLE h, UINT type, int cx, int cy, UINT flags);
// BITMAP for an HBITMAP; returns the bytes written, 0 for a bad handle.
int GetObjectW(HANDLE h, int size, LPVOID out);
// 32-bit top-down rows; returns the bytes copied.
LONG GetBitmapBits(HBITMAP bitmap, LONG size, LPVOID bits);
// Frees a bitmap; FALSE for a handle that is not a live GDI object.
BOOL DeleteObject(HGDIOBJ object);

// As on the system we stand in for: `info` must have room for the colour
// table (or the three masks) of the depth asked for, and `bits` room for
// `lines` rows. bits null and biBitCount 0: fills the header with the
// bitmap's own format. Returns the rows copied (nonzero when only the header
// or table was asked for), 0 on failure.
int GetDIBits(HDC hdc, HBITMAP bitmap, UINT start, UINT lines, LPVOID bits, BITMAPINFO* info, UINT usage);

namespace platform {
// What a packed bitmap's header says, once checked against its block.
struct DibLayout {
  LONG width = 0;
  LONG height = 0;  // always positive
  bool topDown = false;
  WORD bitCount = 0;
  DWORD compression = BI_RGB;
  DWORD headerSize = 0;
  DWORD colours = 0;           // colour table entries
  DWORD masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha (bit fields)
  std::size_t tableOffset = 0;
  std::size_t stride = 0;      // bytes per row, 4-byte aligned
  std::size_t bitsOffset = 0;  // from the start of the block
  std::size_t bitsSize = 0;    // stride * height
};
// Upper bounds for a bitmap's sides and pixel count; larger ones are refused.
constexpr LONG kMaxBitmapSide = 1 << 16;
constexpr std::uint64_t kMaxBitmapPixels = std::uint64_t(1) << 26;

// Checks a packed bitmap (40, 52, 56, 108 or 124-byte header; 1, 4, 8, 16, 24
// or 32 bits; BI_RGB, or BI_BITFIELDS at 16 and 32 bits) against `size`.
bool ParsePackedDib(const void* data, std::size_t size, DibLayout* out);
// A new bitmap from a checked packed bitmap; null when the block is refused.
// The bitmap remembers the depth, masks and colour table it came with, so
// that packing it again at its own depth gives the same pixels.
HBITMAP BitmapFromPackedDib(const void* data, std::size_t size);
// The size of the packed bitmap that WritePackedDib makes; 0 on failure.
// bitCount 0: the bitmap's own depth and format; otherwise 1, 4, 8, 16, 24
// or 32 with BI_RGB, or 16 and 32 with BI_BITFIELDS. Rows bottom-up unless
// topDown.
std::size_t PackedDibSize(HBITMAP bitmap, WORD bitCount = 0, DWORD compression = BI_RGB);
// Writes it into `out`; false when `size` is smaller than PackedDibSize.
bool WritePackedDib(HBITMAP bitmap, void* out, std::size_t size, WORD bitCount = 0,
                    DWORD compression = BI_RGB, bool topDown = false);
std::vector<BYTE> PackedDibFromBitmap(HBITMAP bitmap, WORD bitCount = 0, DWORD compression = BI_RGB,
                                      bool topDown = false);

// Pixels as 0xAARRGGBB, rows top-down. `hasAlpha` is true only for a bitmap
// that came with 32 bits and a non-zero alpha somewhere.
struct BitmapPixels {
  LONG width = 0;
  LONG height = 0;
  std::vector<std::uint32_t> argb;
  bool hasAlpha = false;
};
bool ReadBitmapPixels(HBITMAP bitmap, BitmapPixels* out);
// Only the pixels of `part` (clipped to the bitmap), as a bitmap of their own:
// what a view that shows a part of a large picture reads. False when the
// bitmap is not one or nothing of `part` lies on it.
bool ReadBitmapPixels(HBITMAP bitmap, const RECT& part, BitmapPixels* out);

// A new 32-bit bitmap; null for sizes out of bounds or too few pixels.
HBITMAP CreateBitmapFromPixels(const BitmapPixels& pixels);

// PNG files, both ways, without a copy of the picture on the way: encoding
// reads the bitmap's own pixels, decoding writes straight into them.
// The bitmap as a PNG file: 8 bits a channel, RGB, or RGB and alpha when the
// bitmap has alpha; default compression and filters. Empty when `bitmap` is
// not one or encoding fails.
std::vector<BYTE> PngFromBitmap(HBITMAP bitmap);
// A new bitmap holding a PNG's picture (any colour type, depth or
// interlacing; 16-bit channels keep their high byte). As for packed bitmaps,
// `hasAlpha` holds only when some pixel is not opaque. Null when the bytes are
// not a whole PNG, a chunk's CRC fails, or the header announces a side over
// kMaxBitmapSide or more than `maxPixels` pixels: refused before any pixel is
// decoded. Never writes a message.
HBITMAP BitmapFromPng(const void* data, std::size_t size, std::uint64_t maxPixels = kMaxBitmapPixels);
// The same, for bytes the bitmap may keep: the file is checked whole (every
// chunk's CRC) and its header read now, and the rows of a picture without
// alpha are decoded only as they are first read (reading a part decodes down
// to that part), `data` kept until the last row is decoded. A fault within
// the compressed rows, which no CRC shows, leaves the rows after it black.
HBITMAP BitmapFromPngOnDemand(std::shared_ptr<const BYTE> data, std::size_t size,
                              std::uint64_t maxPixels = kMaxBitmapPixels);
// Live bitmaps and metafiles, for leak checks in tests.
std::size_t LiveGdiObjects();
}  // namespace platform

// ---- Metafiles ----------------------------------------------------------------------
struct RECTL {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};
struct SIZEL {
  LONG cx;
  LONG cy;
};

struct ENHMETAHEADER {
  DWORD iType;
  DWORD nSize;
  RECTL rclBounds;
  RECTL rclFrame;
  DWORD dSignature;
  DWORD nVersion;
  DWORD nBytes;
  DWORD nRecords;
  WORD nHandles;
  WORD sReserved;
  DWORD nDescription;
  DWORD offDescription;
  DWORD nPalEntries;
  SIZEL szlDevice;
  SIZEL szlMillimeters;
};
static_assert(sizeof(ENHMETAHEADER) == 88, "enhanced metafile header is 88 bytes");

enum : DWORD {
  EMR_HEADER = 1,
  EMR_EOF = 14,
  EMR_GDICOMMENT = 70,
  ENHMETA_SIGNATURE = 0x464D4520,
};

struct METAFILEPICT {
  LONG mm;
  LONG xExt;
  LONG yExt;
  HMETAFILE hMF;
};
enum : LONG { MM_TEXT = 1, MM_HIMETRIC = 3, MM_ISOTROPIC = 7, MM_ANISOTROPIC = 8 };

// Enhanced metafiles: the bytes are checked (header, signature, byte count,
// every record's size, the end record) before a handle is made; null when
// refused.
HENHMETAFILE SetEnhMetaFileBits(UINT size, const BYTE* data);
// bits null: the size needed; otherwise the bytes copied, 0 when `size` is
// too small or the handle bad.
UINT GetEnhMetaFileBits(HENHMETAFILE mf, UINT size, BYTE* bits);
UINT GetEnhMetaFileHeader(HENHMETAFILE mf, UINT size, ENHMETAHEADER* header);
HENHMETAFILE CopyEnhMetaFileW(HENHMETAFILE mf, LPCWSTR fileName);  // fileName must be null
BOOL DeleteEnhMetaFile(HENHMETAFILE mf);

// Old-style (16-bit) metafiles, checked the same way.
HMETAFILE SetMetaFileBitsEx(UINT size, const BYTE* data);
UINT GetMetaFileBitsEx(HMETAFILE mf, UINT size, LPVOID bits);
BOOL DeleteMetaFile(HMETAFILE mf);

// Conversions between the two kinds, which the clipboard uses to offer one
// kind for the other. An enhanced metafile travels inside the old one's
// comment records (and the other way round inside a comment record), so a
// round trip gives back the same bytes.
UINT GetWinMetaFileBits(HENHMETAFILE mf, UINT size, BYTE* bits, INT mapMode, HDC ref);
HENHMETAFILE SetWinMetaFileBits(UINT size, const BYTE* bits, HDC ref, const METAFILEPICT* pict);

namespace platform {
// A minimal valid enhanced metafile (header, the given records, end record)
// with the frame in 0.01 mm; for tests and for converted metafiles.
std::vector<BYTE> MakeEnhMetaFile(const RECTL& frame, const std::vector<std::vector<BYTE>>& records = {});
}  // namespace platform
