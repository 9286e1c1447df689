#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "platform/gdi.h"
#include "sandbox.h"

namespace {
std::vector<BYTE> ReadData(const std::string& name) {
  std::ifstream in(testing_sandbox::DataFile(name), std::ios::binary);
  return std::vector<BYTE>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Put32(std::vector<BYTE>& v, std::size_t at, std::uint32_t x) {
  for (int i = 0; i < 4; ++i) v[at + i] = BYTE(x >> (8 * i));
}
void Put16(std::vector<BYTE>& v, std::size_t at, std::uint16_t x) {
  v[at] = BYTE(x);
  v[at + 1] = BYTE(x >> 8);
}

// A packed bitmap written by hand, independent of the code under test.
struct DibSpec {
  LONG width = 5;
  LONG height = 3;
  WORD bitCount = 24;
  DWORD compression = BI_RGB;
  bool topDown = false;
  DWORD clrUsed = 0;
  std::vector<std::uint32_t> masks;  // for BI_BITFIELDS with a 40-byte header
};

std::size_t StrideOf(LONG w, WORD bpp) { return ((std::size_t(w) * bpp + 31) / 32) * 4; }

std::size_t TableEntries(const DibSpec& s) {
  if (s.bitCount > 8) return s.clrUsed;
  return s.clrUsed ? s.clrUsed : (1u << s.bitCount);
}

// Fills the bits with a pattern that uses every bit of every pixel.
std::vector<BYTE> MakeDib(const DibSpec& s) {
  std::size_t table = TableEntries(s) * 4 + s.masks.size() * 4;
  std::size_t stride = StrideOf(s.width, s.bitCount);
  std::vector<BYTE> v(40 + table + stride * s.height, 0);
  Put32(v, 0, 40);
  Put32(v, 4, static_cast<std::uint32_t>(s.width));
  Put32(v, 8, static_cast<std::uint32_t>(s.topDown ? -s.height : s.height));
  Put16(v, 12, 1);
  Put16(v, 14, s.bitCount);
  Put32(v, 16, s.compression);
  Put32(v, 20, static_cast<std::uint32_t>(stride * s.height));
  Put32(v, 32, s.clrUsed);
  std::size_t pos = 40;
  for (auto m : s.masks) {
    Put32(v, pos, m);
    pos += 4;
  }
  for (std::size_t i = 0; i < TableEntries(s); ++i, pos += 4) {
    v[pos] = BYTE(i * 37 + 1);
    v[pos + 1] = BYTE(i * 91 + 7);
    v[pos + 2] = BYTE(i * 13 + 200);
  }
  std::size_t rowBits = std::size_t(s.width) * s.bitCount;
  for (LONG y = 0; y < s.height; ++y) {
    BYTE* row = v.data() + pos + stride * y;
    for (std::size_t b = 0; b < (rowBits + 7) / 8; ++b) row[b] = BYTE(y * 59 + b * 23 + 5);
    // Keep padding bits zero, as any writer does.
    if (rowBits % 8) row[rowBits / 8] &= BYTE(0xFF << (8 - rowBits % 8));
    if (s.bitCount <= 8 && s.clrUsed) {  // a short table: only indices it holds
      std::memset(row, 0, stride);
      for (LONG x = 0; x < s.width; ++x) {
        int perByte = 8 / s.bitCount;
        int idx = int((x + 3 * y) % LONG(s.clrUsed));
        row[x / perByte] |= BYTE(idx << (8 - s.bitCount * (1 + x % perByte)));
      }
    }
    if (s.bitCount == 32)  // no alpha, no bits outside the masks: round trips exactly
      for (LONG x = 0; x < s.width; ++x) row[4 * x + 3] = 0;
    if (s.bitCount == 16 && s.compression == BI_RGB)
      for (LONG x = 0; x < s.width; ++x) row[2 * x + 1] &= 0x7F;  // 5-5-5 leaves the top bit unused
  }
  return v;
}

std::vector<BYTE> Bits(const std::vector<BYTE>& dib, std::size_t offset) {
  return std::vector<BYTE>(dib.begin() + offset, dib.end());
}

struct DepthCase {
  WORD bitCount;
  DWORD compression;
  std::vector<std::uint32_t> masks;
  DWORD clrUsed;
};

class DibRoundTrip : public ::testing::TestWithParam<std::tuple<DepthCase, bool>> {};

TEST_P(DibRoundTrip, PackingAtItsOwnDepthGivesBackTheSameTableAndBits) {
  const auto& [depth, topDown] = GetParam();
  DibSpec s;
  s.bitCount = depth.bitCount;
  s.compression = depth.compression;
  s.masks = depth.masks;
  s.clrUsed = depth.clrUsed;
  s.topDown = topDown;
  std::vector<BYTE> in = MakeDib(s);
  platform::DibLayout L;
  ASSERT_TRUE(platform::ParsePackedDib(in.data(), in.size(), &L));
  EXPECT_EQ(L.topDown, topDown);
  HBITMAP bm = platform::BitmapFromPackedDib(in.data(), in.size());
  ASSERT_NE(bm, nullptr);
  BITMAP info{};
  ASSERT_EQ(GetObjectW(bm, sizeof info, &info), int(sizeof info));
  EXPECT_EQ(info.bmWidth, s.width);
  EXPECT_EQ(info.bmHeight, s.height);

  std::vector<BYTE> out = platform::PackedDibFromBitmap(bm, 0, BI_RGB, topDown);
  ASSERT_EQ(out.size(), in.size());
  EXPECT_EQ(Bits(out, 40), Bits(in, 40)) << "table and bits";
  platform::DibLayout O;
  ASSERT_TRUE(platform::ParsePackedDib(out.data(), out.size(), &O));
  EXPECT_EQ(O.bitCount, s.bitCount);
  EXPECT_EQ(O.compression, s.compression);
  EXPECT_EQ(O.topDown, topDown);

  // The other row order holds the same rows reversed.
  std::vector<BYTE> flipped = platform::PackedDibFromBitmap(bm, 0, BI_RGB, !topDown);
  ASSERT_EQ(flipped.size(), in.size());
  std::size_t stride = L.stride;
  for (LONG y = 0; y < s.height; ++y)
    EXPECT_EQ(0, std::memcmp(flipped.data() + L.bitsOffset + stride * y,
                             in.data() + L.bitsOffset + stride * (s.height - 1 - y), stride))
        << "row " << y;
  EXPECT_TRUE(DeleteObject(bm));
}

INSTANTIATE_TEST_SUITE_P(
    EveryDepth, DibRoundTrip,
    ::testing::Combine(::testing::Values(DepthCase{1, BI_RGB, {}, 0}, DepthCase{4, BI_RGB, {}, 0},
                                         DepthCase{4, BI_RGB, {}, 9}, DepthCase{8, BI_RGB, {}, 0},
                                         DepthCase{8, BI_RGB, {}, 200}, DepthCase{16, BI_RGB, {}, 0},
                                         DepthCase{16, BI_BITFIELDS, {0xF800, 0x07E0, 0x001F}, 0},
                                         DepthCase{24, BI_RGB, {}, 0}, DepthCase{32, BI_RGB, {}, 0},
                                         DepthCase{32, BI_BITFIELDS, {0xFF0000, 0xFF00, 0xFF}, 0}),
                       ::testing::Bool()));

std::vector<BYTE> Dib24(LONG w, LONG h, const std::vector<std::uint32_t>& topDownRgb, bool topDown) {
  DibSpec s;
  s.width = w;
  s.height = h;
  s.topDown = topDown;
  std::vector<BYTE> v = MakeDib(s);
  std::size_t stride = StrideOf(w, 24);
  for (LONG y = 0; y < h; ++y) {
    LONG memRow = topDown ? y : h - 1 - y;
    for (LONG x = 0; x < w; ++x) {
      std::uint32_t c = topDownRgb[std::size_t(y) * w + x];
      BYTE* p = v.data() + 40 + stride * memRow + 3 * x;
      p[0] = BYTE(c);
      p[1] = BYTE(c >> 8);
      p[2] = BYTE(c >> 16);
    }
  }
  return v;
}

TEST(Dib, BottomUpRowsAreReadFromTheBottom) {
  const std::vector<std::uint32_t> rgb = {0xFF0000, 0x0000FF};  // top red, bottom blue
  for (bool topDown : {false, true}) {
    std::vector<BYTE> dib = Dib24(1, 2, rgb, topDown);
    HBITMAP bm = platform::BitmapFromPackedDib(dib.data(), dib.size());
    platform::BitmapPixels px;
    ASSERT_TRUE(platform::ReadBitmapPixels(bm, &px));
    EXPECT_EQ(px.argb, rgb) << topDown;
    EXPECT_FALSE(px.hasAlpha);
    DeleteObject(bm);
  }
}

TEST(Dib, PackingAtEveryOtherDepthKeepsColoursThatDepthCanHold) {
  const std::vector<std::uint32_t> colours = {0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
  std::vector<BYTE> dib = Dib24(3, 2, colours, false);
  HBITMAP bm = platform::BitmapFromPackedDib(dib.data(), dib.size());
  ASSERT_NE(bm, nullptr);
  struct Out {
    WORD bits;
    DWORD compression;
    bool blackAndWhiteOnly;
  } outs[] = {{1, BI_RGB, true},        {4, BI_RGB, false}, {8, BI_RGB, false},
              {16, BI_RGB, false},      {16, BI_BITFIELDS, false}, {24, BI_RGB, false},
              {32, BI_RGB, false},      {32, BI_BITFIELDS, false}};
  for (const auto& o : outs) {
    std::vector<BYTE> packed = platform::PackedDibFromBitmap(bm, o.bits, o.compression);
    ASSERT_FALSE(packed.empty()) << o.bits;
    EXPECT_EQ(packed.size(), platform::PackedDibSize(bm, o.bits, o.compression));
    HBITMAP back = platform::BitmapFromPackedDib(packed.data(), packed.size());
    ASSERT_NE(back, nullptr) << o.bits;
    platform::BitmapPixels px;
    ASSERT_TRUE(platform::ReadBitmapPixels(back, &px));
    for (std::size_t i = 0; i < colours.size(); ++i) {
      std::uint32_t want = colours[i];
      if (o.blackAndWhiteOnly) {
        if (want != 0xFFFFFF) want = 0;
        // Pure red, green and blue are nearer to black than to white.
      }
      EXPECT_EQ(px.argb[i] & 0xFFFFFF, want) << o.bits << " bpp, pixel " << i;
    }
    DeleteObject(back);
  }
  EXPECT_EQ(platform::PackedDibSize(bm, 24, BI_BITFIELDS), 0u);
  EXPECT_EQ(platform::PackedDibSize(bm, 7, BI_RGB), 0u);
  DeleteObject(bm);
}

TEST(Dib, WritingIntoATooSmallBlockIsRefused) {
  std::vector<BYTE> dib = Dib24(4, 4, std::vector<std::uint32_t>(16, 0x123456), false);
  HBITMAP bm = platform::BitmapFromPackedDib(dib.data(), dib.size());
  std::size_t need = platform::PackedDibSize(bm);
  std::vector<BYTE> buf(need, 0xAB);
  EXPECT_FALSE(platform::WritePackedDib(bm, buf.data(), need - 1));
  EXPECT_EQ(buf[0], 0xAB) << "nothing written";
  EXPECT_TRUE(platform::WritePackedDib(bm, buf.data(), need));
  DeleteObject(bm);
}

TEST(Dib, AlphaOfThirtyTwoBitPixelsIsKept) {
  DibSpec s;
  s.width = 2;
  s.height = 1;
  s.bitCount = 32;
  std::vector<BYTE> v = MakeDib(s);
  const BYTE px[8] = {1, 2, 3, 0x80, 4, 5, 6, 0xFF};
  std::memcpy(v.data() + 40, px, 8);
  HBITMAP bm = platform::BitmapFromPackedDib(v.data(), v.size());
  platform::BitmapPixels p;
  ASSERT_TRUE(platform::ReadBitmapPixels(bm, &p));
  EXPECT_TRUE(p.hasAlpha);
  EXPECT_EQ(p.argb[0], 0x80030201u);
  EXPECT_EQ(p.argb[1], 0xFF060504u);
  DeleteObject(bm);
}

TEST(Dib, APartOfTheBitmapIsReadClippedToIt) {
  platform::BitmapPixels px;
  px.width = 4;
  px.height = 3;
  for (std::uint32_t i = 0; i < 12; ++i) px.argb.push_back(i);
  HBITMAP bm = platform::CreateBitmapFromPixels(px);
  struct Case {
    RECT part;
    bool read;
    LONG width, height;
    std::vector<std::uint32_t> argb;
  } cases[] = {
      {{1, 1, 3, 3}, true, 2, 2, {5, 6, 9, 10}},
      {{-5, -5, 1, 2}, true, 1, 2, {0, 4}},          // clipped at the top left
      {{3, 2, 100, 100}, true, 1, 1, {11}},          // and at the bottom right
      {{0, 0, 4, 3}, true, 4, 3, px.argb},
      {{4, 0, 6, 3}, false, 0, 0, {}},               // beside the bitmap
      {{2, 2, 2, 3}, false, 0, 0, {}},               // empty
      {{3, 1, 1, 2}, false, 0, 0, {}},               // inverted
  };
  for (const Case& c : cases) {
    platform::BitmapPixels part;
    SCOPED_TRACE(std::to_string(c.part.left) + "," + std::to_string(c.part.top));
    ASSERT_EQ(platform::ReadBitmapPixels(bm, c.part, &part), c.read);
    if (!c.read) continue;
    EXPECT_EQ(part.width, c.width);
    EXPECT_EQ(part.height, c.height);
    EXPECT_EQ(part.argb, c.argb);
  }
  platform::BitmapPixels none;
  EXPECT_FALSE(platform::ReadBitmapPixels(nullptr, RECT{0, 0, 1, 1}, &none));
  DeleteObject(bm);
}

TEST(Dib, GetDIBitsReportsTheFormatThenFillsRows) {
  std::vector<BYTE> dib = Dib24(3, 2, {1, 2, 3, 4, 5, 6}, false);
  HBITMAP bm = platform::BitmapFromPackedDib(dib.data(), dib.size());
  HDC dc = GetDC(nullptr);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  ASSERT_NE(GetDIBits(dc, bm, 0, 2, nullptr, &info, DIB_RGB_COLORS), 0);
  EXPECT_EQ(info.bmiHeader.biBitCount, 24);
  EXPECT_EQ(info.bmiHeader.biWidth, 3);
  EXPECT_EQ(info.bmiHeader.biSizeImage, 2 * StrideOf(3, 24));
  std::vector<BYTE> rows(info.bmiHeader.biSizeImage);
  EXPECT_EQ(GetDIBits(dc, bm, 0, 2, rows.data(), &info, DIB_RGB_COLORS), 2);
  EXPECT_EQ(rows, Bits(dib, 40));
  EXPECT_EQ(GetDIBits(dc, nullptr, 0, 2, rows.data(), &info, DIB_RGB_COLORS), 0);
  ReleaseDC(nullptr, dc);
  DeleteObject(bm);
}

TEST(Dib, BitmapsFromPixelsAndCopiesAreIndependent) {
  platform::BitmapPixels px;
  px.width = 2;
  px.height = 2;
  px.argb = {0xFF112233, 0x00445566, 0, 0xFFFFFF};
  HBITMAP a = platform::CreateBitmapFromPixels(px);
  ASSERT_NE(a, nullptr);
  HBITMAP b = static_cast<HBITMAP>(CopyImage(a, IMAGE_BITMAP, 0, 0, 0));
  ASSERT_NE(b, nullptr);
  EXPECT_TRUE(DeleteObject(a));
  platform::BitmapPixels back;
  ASSERT_TRUE(platform::ReadBitmapPixels(b, &back));
  EXPECT_EQ(back.argb[0], 0x112233u) << "no alpha asked for";
  EXPECT_FALSE(DeleteObject(a)) << "already gone";
  DeleteObject(b);
  px.argb.pop_back();
  EXPECT_EQ(platform::CreateBitmapFromPixels(px), nullptr) << "too few pixels";
}

// Each case damages one field of a valid 8-bit bitmap.
struct Damage {
  const char* what;
  void (*apply)(std::vector<BYTE>&);
};

TEST(Dib, MalformedBlocksAreRefused) {
  DibSpec s;
  s.width = 6;
  s.height = 4;
  s.bitCount = 8;
  const Damage cases[] = {
      {"header size 12", [](std::vector<BYTE>& v) { Put32(v, 0, 12); }},
      {"header size 41", [](std::vector<BYTE>& v) { Put32(v, 0, 41); }},
      {"header larger than block", [](std::vector<BYTE>& v) { Put32(v, 0, 124); v.resize(100); }},
      {"zero width", [](std::vector<BYTE>& v) { Put32(v, 4, 0); }},
      {"negative width", [](std::vector<BYTE>& v) { Put32(v, 4, 0xFFFFFFFA); }},
      {"zero height", [](std::vector<BYTE>& v) { Put32(v, 8, 0); }},
      {"most negative height", [](std::vector<BYTE>& v) { Put32(v, 8, 0x80000000u); }},
      {"huge sides", [](std::vector<BYTE>& v) { Put32(v, 4, 0x7FFFFFFF); Put32(v, 8, 0x7FFFFFFF); }},
      {"two planes", [](std::vector<BYTE>& v) { Put16(v, 12, 2); }},
      {"3 bits", [](std::vector<BYTE>& v) { Put16(v, 14, 3); }},
      {"0 bits", [](std::vector<BYTE>& v) { Put16(v, 14, 0); }},
      {"run-length", [](std::vector<BYTE>& v) { Put32(v, 16, BI_RLE8); }},
      {"bit fields at 8 bits", [](std::vector<BYTE>& v) { Put32(v, 16, BI_BITFIELDS); }},
      {"jpeg", [](std::vector<BYTE>& v) { Put32(v, 16, BI_JPEG); }},
      {"257 colours", [](std::vector<BYTE>& v) { Put32(v, 32, 257); }},
      {"image size beyond block", [](std::vector<BYTE>& v) { Put32(v, 20, 10000); }},
      {"image size too small", [](std::vector<BYTE>& v) { Put32(v, 20, 8); }},
      {"bits one byte short", [](std::vector<BYTE>& v) { v.pop_back(); }},
      {"only the header", [](std::vector<BYTE>& v) { v.resize(40); }},
      {"shorter than a header", [](std::vector<BYTE>& v) { v.resize(39); }},
  };
  for (const auto& c : cases) {
    std::vector<BYTE> v = MakeDib(s);
    ASSERT_NE(platform::BitmapFromPackedDib(v.data(), v.size()), nullptr) << "control";
    c.apply(v);
    EXPECT_EQ(platform::BitmapFromPackedDib(v.data(), v.size()), nullptr) << c.what;
  }
  EXPECT_EQ(platform::BitmapFromPackedDib(nullptr, 100), nullptr);
}

TEST(Dib, BadBitFieldMasksAreRefused) {
  const std::vector<std::vector<std::uint32_t>> bad = {
      {0, 0x07E0, 0x001F}, {0xF800, 0xF800, 0x001F}, {0xF0F0, 0x0F00, 0x000F}, {0x1F0000, 0x7E0, 0x1F}};
  for (const auto& m : bad) {
    DibSpec s;
    s.bitCount = 16;
    s.compression = BI_BITFIELDS;
    s.masks = m;
    std::vector<BYTE> v = MakeDib(s);
    EXPECT_EQ(platform::BitmapFromPackedDib(v.data(), v.size()), nullptr) << std::hex << m[0] << " " << m[1];
  }
  DibSpec s;
  s.bitCount = 16;
  s.compression = BI_BITFIELDS;  // masks missing after a 40-byte header
  std::vector<BYTE> v = MakeDib(s);
  v.resize(40 + 8);
  EXPECT_EQ(platform::BitmapFromPackedDib(v.data(), v.size()), nullptr);
}

// An index past a short colour table names no colour: read it as one and
// the bitmap packs again as another. Such a bitmap is refused; indices within
// a short table come back as they were.
TEST(Dib, AnIndexPastAShortColourTableIsRefused) {
  const std::vector<BYTE> repro = ReadData("repro/dib-short-colour-table.dib");
  ASSERT_EQ(repro.size(), 48u);
  EXPECT_EQ(platform::BitmapFromPackedDib(repro.data(), repro.size()), nullptr) << "one colour, pixel index 1";

  DibSpec s;
  s.width = 4;
  s.height = 1;
  s.bitCount = 8;
  s.clrUsed = 2;
  std::vector<BYTE> v = MakeDib(s);
  const BYTE within[4] = {0, 1, 1, 0};
  std::memcpy(v.data() + 40 + 8, within, 4);
  HBITMAP bm = platform::BitmapFromPackedDib(v.data(), v.size());
  ASSERT_NE(bm, nullptr);
  EXPECT_EQ(platform::PackedDibFromBitmap(bm), v) << "packed again at its own depth";
  DeleteObject(bm);

  for (BYTE past : {BYTE(2), BYTE(255)}) {
    std::vector<BYTE> bad = v;
    bad[40 + 8 + 2] = past;
    EXPECT_EQ(platform::BitmapFromPackedDib(bad.data(), bad.size()), nullptr) << int(past);
  }
}

TEST(Dib, EveryTruncationAndRandomDamageIsHandled) {
  DibSpec s;
  s.width = 7;
  s.height = 5;
  s.bitCount = 4;
  std::vector<BYTE> v = MakeDib(s);
  for (std::size_t n = 0; n < v.size(); ++n) EXPECT_EQ(platform::BitmapFromPackedDib(v.data(), n), nullptr) << n;
  std::mt19937 rng(7);
  std::size_t before = platform::LiveGdiObjects();
  for (int i = 0; i < 2000; ++i) {
    std::vector<BYTE> d = v;
    for (int k = 0; k < 3; ++k) d[rng() % 60] = BYTE(rng());
    HBITMAP bm = platform::BitmapFromPackedDib(d.data(), d.size());
    if (bm) DeleteObject(bm);
  }
  EXPECT_EQ(platform::LiveGdiObjects(), before);
}

// ---- Metafiles ----
std::vector<BYTE> Record(std::uint32_t type, std::size_t payload) {
  std::vector<BYTE> r(8 + payload, 0);
  Put32(r, 0, type);
  Put32(r, 4, static_cast<std::uint32_t>(r.size()));
  return r;
}

TEST(EnhMetaFile, BitsRoundTripThroughAHandle) {
  std::vector<BYTE> emf = platform::MakeEnhMetaFile(RECTL{0, 0, 2540, 1270}, {Record(27, 8), Record(70, 12)});
  HENHMETAFILE mf = SetEnhMetaFileBits(static_cast<UINT>(emf.size()), emf.data());
  ASSERT_NE(mf, nullptr);
  UINT n = GetEnhMetaFileBits(mf, 0, nullptr);
  ASSERT_EQ(n, emf.size());
  std::vector<BYTE> back(n);
  EXPECT_EQ(GetEnhMetaFileBits(mf, n - 1, back.data()), 0u) << "buffer too small";
  EXPECT_EQ(GetEnhMetaFileBits(mf, n, back.data()), n);
  EXPECT_EQ(back, emf);
  ENHMETAHEADER h;
  EXPECT_EQ(GetEnhMetaFileHeader(mf, sizeof h, &h), sizeof h);
  EXPECT_EQ(h.nRecords, 4u);
  EXPECT_EQ(h.rclFrame.right, 2540);
  HENHMETAFILE copy = CopyEnhMetaFileW(mf, nullptr);
  EXPECT_TRUE(DeleteEnhMetaFile(mf));
  EXPECT_FALSE(DeleteEnhMetaFile(mf));
  EXPECT_EQ(GetEnhMetaFileBits(mf, 0, nullptr), 0u);
  EXPECT_EQ(GetEnhMetaFileBits(copy, 0, nullptr), emf.size());
  DeleteEnhMetaFile(copy);
}

TEST(EnhMetaFile, MalformedBytesAreRefused) {
  const std::vector<BYTE> good = platform::MakeEnhMetaFile(RECTL{0, 0, 10, 10}, {Record(27, 8)});
  ASSERT_EQ(good.size(), 88u + 16 + 20);
  const Damage cases[] = {
      {"not a header record", [](std::vector<BYTE>& v) { Put32(v, 0, 2); }},
      {"bad signature", [](std::vector<BYTE>& v) { Put32(v, 40, 0x12345678); }},
      {"byte count beyond block", [](std::vector<BYTE>& v) { Put32(v, 48, 4096); }},
      {"byte count not a multiple of 4", [](std::vector<BYTE>& v) { Put32(v, 48, 123); }},
      {"record count wrong", [](std::vector<BYTE>& v) { Put32(v, 52, 5); }},
      {"zero-sized record", [](std::vector<BYTE>& v) { Put32(v, 88 + 4, 0); }},
      {"record past the end", [](std::vector<BYTE>& v) { Put32(v, 88 + 4, 0x1000); }},
      {"no end record", [](std::vector<BYTE>& v) { Put32(v, 88 + 16, 27); }},
      {"header size beyond block", [](std::vector<BYTE>& v) { Put32(v, 4, 0x10000); }},
      {"description past the header", [](std::vector<BYTE>& v) { Put32(v, 60, 1000); Put32(v, 64, 80); }},
      {"truncated", [](std::vector<BYTE>& v) { v.resize(v.size() - 4); }},
      {"tiny", [](std::vector<BYTE>& v) { v.resize(20); }},
  };
  for (const auto& c : cases) {
    std::vector<BYTE> v = good;
    c.apply(v);
    EXPECT_EQ(SetEnhMetaFileBits(static_cast<UINT>(v.size()), v.data()), nullptr) << c.what;
  }
  EXPECT_EQ(SetEnhMetaFileBits(100, nullptr), nullptr);
  // Slack after the declared bytes is dropped, not kept.
  std::vector<BYTE> slack = good;
  slack.resize(slack.size() + 8, 0);
  HENHMETAFILE mf = SetEnhMetaFileBits(static_cast<UINT>(slack.size()), slack.data());
  ASSERT_NE(mf, nullptr);
  EXPECT_EQ(GetEnhMetaFileBits(mf, 0, nullptr), good.size());
  DeleteEnhMetaFile(mf);
}

std::vector<BYTE> MakeOldMetaFile() {
  // Header (memory metafile, nine words, version 3), one record (SetMapMode 8),
  // then the end record.
  std::vector<BYTE> v = {1, 0, 9, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                         4, 0, 0, 0, 0x03, 0x01, 8, 0, 3, 0, 0, 0, 0, 0};
  Put32(v, 6, static_cast<std::uint32_t>(v.size() / 2));
  Put32(v, 12, 4);
  return v;
}

TEST(OldMetaFile, ChecksTheWordCountsAndTheEndRecord) {
  std::vector<BYTE> wmf = MakeOldMetaFile();
  HMETAFILE mf = SetMetaFileBitsEx(static_cast<UINT>(wmf.size()), wmf.data());
  ASSERT_NE(mf, nullptr);
  EXPECT_EQ(GetMetaFileBitsEx(mf, 0, nullptr), wmf.size());
  DeleteMetaFile(mf);
  std::vector<BYTE> lie = wmf;
  Put32(lie, 6, 1000);
  EXPECT_EQ(SetMetaFileBitsEx(static_cast<UINT>(lie.size()), lie.data()), nullptr);
  std::vector<BYTE> zero = wmf;
  Put32(zero, 18, 0);
  EXPECT_EQ(SetMetaFileBitsEx(static_cast<UINT>(zero.size()), zero.data()), nullptr);
  std::vector<BYTE> noEnd = wmf;
  noEnd[18 + 8 + 4] = 1;
  EXPECT_EQ(SetMetaFileBitsEx(static_cast<UINT>(noEnd.size()), noEnd.data()), nullptr);
  // Handles of one kind are not taken for the other.
  EXPECT_FALSE(DeleteEnhMetaFile(reinterpret_cast<HENHMETAFILE>(mf)));
}

TEST(MetaFileConversion, EachKindSurvivesATripThroughTheOther) {
  std::vector<BYTE> emf(platform::MakeEnhMetaFile(RECTL{0, 0, 500, 500}, {Record(27, 0x5000)}));
  HENHMETAFILE e = SetEnhMetaFileBits(static_cast<UINT>(emf.size()), emf.data());
  UINT n = GetWinMetaFileBits(e, 0, nullptr, MM_ANISOTROPIC, nullptr);
  ASSERT_GT(n, 0u);
  std::vector<BYTE> wmf(n);
  ASSERT_EQ(GetWinMetaFileBits(e, n, wmf.data(), MM_ANISOTROPIC, nullptr), n);
  HMETAFILE w = SetMetaFileBitsEx(n, wmf.data());
  ASSERT_NE(w, nullptr) << "the carrier is a valid old-style metafile";
  HENHMETAFILE e2 = SetWinMetaFileBits(n, wmf.data(), nullptr, nullptr);
  ASSERT_NE(e2, nullptr);
  std::vector<BYTE> back(GetEnhMetaFileBits(e2, 0, nullptr));
  GetEnhMetaFileBits(e2, static_cast<UINT>(back.size()), back.data());
  EXPECT_EQ(back, emf);

  std::vector<BYTE> old = MakeOldMetaFile();
  METAFILEPICT pict{MM_ANISOTROPIC, 1000, 500, nullptr};
  HENHMETAFILE carrier = SetWinMetaFileBits(static_cast<UINT>(old.size()), old.data(), nullptr, &pict);
  ASSERT_NE(carrier, nullptr);
  ENHMETAHEADER h;
  GetEnhMetaFileHeader(carrier, sizeof h, &h);
  EXPECT_EQ(h.rclFrame.right, 1000);
  std::vector<BYTE> oldBack(GetWinMetaFileBits(carrier, 0, nullptr, MM_ANISOTROPIC, nullptr));
  GetWinMetaFileBits(carrier, static_cast<UINT>(oldBack.size()), oldBack.data(), MM_ANISOTROPIC, nullptr);
  EXPECT_EQ(oldBack, old);
  DeleteEnhMetaFile(e);
  DeleteEnhMetaFile(e2);
  DeleteEnhMetaFile(carrier);
  DeleteMetaFile(w);
}
}  // namespace
