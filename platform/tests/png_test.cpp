// PNG files decoded into bitmaps: a bitmap that keeps its file decodes its
// rows as they are read and must end with the very pixels a whole decoding
// gives, whatever reads them first; a file damaged where no CRC shows it
// still gives a bitmap, its lost rows black.
#include <png.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/gdi.h"

namespace {

constexpr LONG kWidth = 37;
constexpr LONG kHeight = 120;

platform::BitmapPixels Picture(bool alpha) {
  platform::BitmapPixels px;
  px.width = kWidth;
  px.height = kHeight;
  px.hasAlpha = alpha;
  std::uint32_t v = 12345;
  for (LONG i = 0; i < kWidth * kHeight; ++i) {
    v = v * 1103515245u + 12345u;  // little to compress: the rows spread over the file
    const std::uint32_t a = alpha ? (v >> 24) | 1 : 0;
    px.argb.push_back((a << 24) | ((v >> 4) & 0xFFFFFF));
  }
  return px;
}

// Written with libpng itself, independent of the code under test.
std::vector<BYTE> WritePng(const platform::BitmapPixels& px, bool interlaced) {
  std::vector<BYTE> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return {};
  }
  png_set_write_fn(
      png, &out,
      [](png_structp p, png_bytep data, png_size_t n) {
        auto* v = static_cast<std::vector<BYTE>*>(png_get_io_ptr(p));
        v->insert(v->end(), data, data + n);
      },
      nullptr);
  png_set_IHDR(png, info, png_uint_32(px.width), png_uint_32(px.height), 8,
               px.hasAlpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB,
               interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  std::vector<png_byte> rows;
  for (std::uint32_t c : px.argb) {
    rows.push_back(png_byte(c >> 16));
    rows.push_back(png_byte(c >> 8));
    rows.push_back(png_byte(c));
    if (px.hasAlpha) rows.push_back(png_byte(c >> 24));
  }
  std::vector<png_bytep> pointers;
  const std::size_t stride = std::size_t(px.width) * (px.hasAlpha ? 4 : 3);
  for (LONG y = 0; y < px.height; ++y) pointers.push_back(rows.data() + stride * std::size_t(y));
  png_write_image(png, pointers.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

std::uint32_t Be32(const BYTE* p) {
  return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}
void PutBe32(BYTE* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = BYTE(v >> (24 - 8 * i));
}

// The file with its one IDAT cut to `keep` of its data, the chunk's length
// and CRC made right again: only inflating the rows finds the fault.
std::vector<BYTE> CutImageData(const std::vector<BYTE>& png, double keep) {
  std::size_t pos = 8;
  while (pos + 12 <= png.size() && std::memcmp(&png[pos + 4], "IDAT", 4) != 0) pos += 12 + Be32(&png[pos]);
  const std::uint32_t length = Be32(&png[pos]);
  const auto kept = std::uint32_t(length * keep);
  std::vector<BYTE> out(png.begin(), png.begin() + std::ptrdiff_t(pos + 8 + kept));
  PutBe32(&out[pos], kept);
  out.resize(out.size() + 4);
  PutBe32(&out[out.size() - 4], std::uint32_t(crc32(0, &out[pos + 4], kept + 4)));
  out.insert(out.end(), png.begin() + std::ptrdiff_t(pos + 12 + length), png.end());
  return out;
}

struct Kept {
  std::shared_ptr<const BYTE> bytes;
  std::size_t size;
};
Kept Keep(const std::vector<BYTE>& png) {
  auto copy = std::make_shared<std::vector<BYTE>>(png);
  return {std::shared_ptr<const BYTE>(copy, copy->data()), copy->size()};
}

std::vector<std::uint32_t> Whole(HBITMAP bitmap) {
  platform::BitmapPixels px;
  EXPECT_TRUE(platform::ReadBitmapPixels(bitmap, &px));
  return px.argb;
}

std::vector<std::uint32_t> Rows(HBITMAP bitmap, LONG top, LONG bottom) {
  platform::BitmapPixels px;
  EXPECT_TRUE(platform::ReadBitmapPixels(bitmap, RECT{0, top, kWidth, bottom}, &px));
  return px.argb;
}

class PngTest : public ::testing::Test {
 protected:
  void SetUp() override { live = platform::LiveGdiObjects(); }
  void TearDown() override { EXPECT_EQ(platform::LiveGdiObjects(), live) << "bitmap leak"; }
  std::size_t live = 0;
};

// Every way of reading a bitmap's pixels, each giving them as 0xAARRGGBB.
struct Reading {
  const char* name;
  std::function<std::vector<std::uint32_t>(HBITMAP)> read;
};

std::vector<Reading> Readings() {
  return {
      {"ReadBitmapPixels", Whole},
      {"a part at a time from the bottom up",
       [](HBITMAP b) {
         std::vector<std::uint32_t> all;
         for (LONG top = kHeight - 30; top >= 0; top -= 30) {
           std::vector<std::uint32_t> part = Rows(b, top, top + 30);
           all.insert(all.begin(), part.begin(), part.end());
         }
         return all;
       }},
      {"GetDIBits of the last rows",
       [](HBITMAP b) {
         BITMAPINFO info{};
         info.bmiHeader.biSize = sizeof info.bmiHeader;
         info.bmiHeader.biWidth = kWidth;
         info.bmiHeader.biHeight = -kHeight;  // top-down
         info.bmiHeader.biPlanes = 1;
         info.bmiHeader.biBitCount = 32;
         std::vector<std::uint32_t> px(std::size_t(kWidth) * kHeight);
         EXPECT_EQ(GetDIBits(nullptr, b, 0, UINT(kHeight), px.data(), &info, DIB_RGB_COLORS), kHeight);
         return px;
       }},
      {"a copy",
       [](HBITMAP b) {
         HBITMAP copy = static_cast<HBITMAP>(CopyImage(b, IMAGE_BITMAP, 0, 0, 0));
         std::vector<std::uint32_t> px = Whole(copy);
         DeleteObject(copy);
         return px;
       }},
      {"encoded again",
       [](HBITMAP b) {
         const std::vector<BYTE> png = platform::PngFromBitmap(b);
         HBITMAP back = platform::BitmapFromPng(png.data(), png.size());
         std::vector<std::uint32_t> px = Whole(back);
         DeleteObject(back);
         return px;
       }},
  };
}

TEST_F(PngTest, ABitmapDecodedOnDemandEndsWithThePixelsOfAWholeDecoding) {
  struct Kind {
    const char* name;
    bool alpha;
    bool interlaced;
  };
  for (const Kind kind : {Kind{"RGB", false, false}, Kind{"RGB and alpha", true, false},
                          Kind{"interlaced", false, true}}) {
    const std::vector<BYTE> png = WritePng(Picture(kind.alpha), kind.interlaced);
    HBITMAP eager = platform::BitmapFromPng(png.data(), png.size());
    ASSERT_NE(eager, nullptr) << kind.name;
    const std::vector<std::uint32_t> expected = Whole(eager);
    DeleteObject(eager);
    EXPECT_EQ(expected, Picture(kind.alpha).argb) << kind.name;
    for (const Reading& reading : Readings()) {
      SCOPED_TRACE(std::string(kind.name) + ", " + reading.name);
      const Kept kept = Keep(png);
      HBITMAP lazy = platform::BitmapFromPngOnDemand(kept.bytes, kept.size);
      ASSERT_NE(lazy, nullptr);
      BITMAP info;
      ASSERT_NE(GetObjectW(lazy, sizeof info, &info), 0);
      EXPECT_EQ(info.bmWidth, kWidth);
      EXPECT_EQ(info.bmHeight, kHeight);
      // The top first, as a view shows it; then all of it another way.
      EXPECT_EQ(Rows(lazy, 0, 10),
                std::vector<std::uint32_t>(expected.begin(), expected.begin() + 10 * kWidth));
      EXPECT_EQ(reading.read(lazy), expected);
      // Once every row is there, the file is let go.
      EXPECT_EQ(kept.bytes.use_count(), 1);
      DeleteObject(lazy);
    }
  }
}

TEST_F(PngTest, AFileIsKeptOnlyUntilItsLastRowOrItsBitmapGoes) {
  const std::vector<BYTE> png = WritePng(Picture(false), false);
  const Kept kept = Keep(png);
  HBITMAP lazy = platform::BitmapFromPngOnDemand(kept.bytes, kept.size);
  ASSERT_NE(lazy, nullptr);
  Rows(lazy, 0, kHeight / 2);
  EXPECT_GT(kept.bytes.use_count(), 1) << "rows are still to come";
  DeleteObject(lazy);
  EXPECT_EQ(kept.bytes.use_count(), 1);
}

TEST_F(PngTest, DamageACrcShowsIsRefusedAtOnce) {
  const std::vector<BYTE> png = WritePng(Picture(false), false);
  std::vector<BYTE> damaged = png;
  damaged[png.size() / 2] ^= 0x40;  // inside the image data
  std::vector<BYTE> noEnd(png.begin(), png.end() - 12);  // IEND missing
  for (const std::vector<BYTE>* bytes : {&damaged, &noEnd}) {
    EXPECT_EQ(platform::BitmapFromPng(bytes->data(), bytes->size()), nullptr);
    const Kept kept = Keep(*bytes);
    EXPECT_EQ(platform::BitmapFromPngOnDemand(kept.bytes, kept.size), nullptr);
    EXPECT_EQ(kept.bytes.use_count(), 1);
  }
}

TEST_F(PngTest, ImageDataCutShortLeavesTheRowsItLostBlack) {
  const std::vector<BYTE> whole = WritePng(Picture(false), false);
  const std::vector<BYTE> cut = CutImageData(whole, 0.6);
  // Decoded at once, the fault is found now: no picture.
  EXPECT_EQ(platform::BitmapFromPng(cut.data(), cut.size()), nullptr);

  const Kept kept = Keep(cut);
  HBITMAP lazy = platform::BitmapFromPngOnDemand(kept.bytes, kept.size);
  ASSERT_NE(lazy, nullptr) << "the fault lies in rows not decoded yet";
  const std::vector<std::uint32_t> expected = Picture(false).argb;
  const std::vector<std::uint32_t> got = Whole(lazy);
  ASSERT_EQ(got.size(), expected.size());
  LONG intact = 0;
  while (intact < kHeight && std::equal(got.begin() + intact * kWidth, got.begin() + (intact + 1) * kWidth,
                                        expected.begin() + intact * kWidth))
    ++intact;
  EXPECT_GT(intact, kHeight / 3);
  EXPECT_LT(intact, kHeight);
  EXPECT_TRUE(std::all_of(got.begin() + (intact + 1) * kWidth, got.end(), [](std::uint32_t c) { return c == 0; }))
      << "after the fault every row is black";
  EXPECT_EQ(kept.bytes.use_count(), 1);
  DeleteObject(lazy);
}

}  // namespace
