// The bitmap and metafile items.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "fakesource.h"
#include "sandbox.h"
#include "pq/item.h"

using namespace pqtest;

namespace {

platform::BitmapPixels Pixels3x2() {
  platform::BitmapPixels px;
  px.width = 3;
  px.height = 2;
  px.argb = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu, 0xFF000000u, 0xFF808080u};
  return px;
}

std::vector<char> Dib(WORD bits) {
  HBITMAP b = platform::CreateBitmapFromPixels(Pixels3x2());
  std::vector<BYTE> dib = platform::PackedDibFromBitmap(b, bits);
  DeleteObject(b);
  return std::vector<char>(dib.begin(), dib.end());
}

std::vector<std::uint32_t> Rgb(HBITMAP b) {
  platform::BitmapPixels px;
  EXPECT_TRUE(platform::ReadBitmapPixels(b, &px));
  for (auto& v : px.argb) v &= 0xFFFFFF;
  return px.argb;
}

const std::vector<std::uint32_t> kRgb = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000, 0x808080};

// A medium's global block checked as a packed bitmap.
bool IsDib(HGLOBAL h, platform::DibLayout* layout) {
  std::vector<char> bytes = BlockBytes(h);
  return platform::ParsePackedDib(bytes.data(), bytes.size(), layout);
}

}  // namespace

class BitmapItemTest : public ::testing::Test {
 protected:
  void SetUp() override { liveBefore = platform::LiveGdiObjects(); }
  void TearDown() override { EXPECT_EQ(platform::LiveGdiObjects(), liveBefore) << "GDI leak"; }
  std::size_t liveBefore = 0;
};

TEST_F(BitmapItemTest, LoadsDibsOfEveryDepth) {
  for (WORD bits : {24, 32}) {
    Ref<FakeSource> src(FakeSource::Create());
    src->OfferBytes(CF_DIB, Dib(bits));
    pq::BitmapItem item;
    ASSERT_TRUE(item.Load(src.get())) << bits;
    EXPECT_EQ(item.GetWidth(), 3);
    EXPECT_EQ(item.GetHeight(), 2);
    EXPECT_EQ(item.GetDepth(), bits);
    EXPECT_EQ(Rgb(item.GetHandle()), kRgb);
    EXPECT_EQ(src->Calls(CF_BITMAP), 0) << "only CF_DIB is asked for";
  }
}

TEST_F(BitmapItemTest, RefusesDamagedDibsAndKeepsItsPicture) {
  const std::vector<char> good = Dib(24);
  std::vector<char> shortRows(good.begin(), good.end() - 1);
  std::vector<char> hugeWidth = good;
  hugeWidth[4] = '\x7F';  // biWidth far beyond the block
  std::vector<char> badBits = good;
  badBits[14] = 7;  // biBitCount 7
  std::vector<char> headerOnly(good.begin(), good.begin() + 20);
  for (const auto& bytes : {shortRows, hugeWidth, badBits, headerOnly, std::vector<char>()}) {
    platform::ScopedGlobalGranularity exact(1);
    Ref<FakeSource> src(FakeSource::Create());
    src->OfferBytes(CF_DIB, bytes);
    pq::BitmapItem item;
    item.SetHandle(platform::CreateBitmapFromPixels(Pixels3x2()));
    HBITMAP before = item.GetHandle();
    EXPECT_FALSE(item.Load(src.get())) << bytes.size();
    EXPECT_EQ(item.GetHandle(), before);
  }
}

TEST_F(BitmapItemTest, RendersBothPairs) {
  pq::BitmapItem item;
  item.SetHandle(platform::CreateBitmapFromPixels(Pixels3x2()));
  STGMEDIUM m = EmptyMedium();
  ASSERT_EQ(item.GetData({CF_DIB, TYMED_HGLOBAL}, &m), S_OK);
  platform::DibLayout layout;
  ASSERT_TRUE(IsDib(m.hGlobal, &layout));
  EXPECT_EQ(layout.width, 3);
  EXPECT_EQ(layout.height, 2);
  ReleaseStgMedium(&m);

  // The receiver owns its bitmap; the item's own survives its release.
  m = EmptyMedium();
  ASSERT_EQ(item.GetData({CF_BITMAP, TYMED_GDI}, &m), S_OK);
  EXPECT_EQ(m.tymed, DWORD(TYMED_GDI));
  EXPECT_EQ(m.pUnkForRelease, nullptr);
  ASSERT_NE(m.hBitmap, nullptr);
  EXPECT_NE(m.hBitmap, item.GetHandle());
  EXPECT_EQ(Rgb(m.hBitmap), kRgb);
  ReleaseStgMedium(&m);
  EXPECT_EQ(Rgb(item.GetHandle()), kRgb);

  m = EmptyMedium();
  ASSERT_EQ(item.GetDataHere({CF_BITMAP, TYMED_GDI}, &m), S_OK);
  EXPECT_NE(m.hBitmap, item.GetHandle());
  ReleaseStgMedium(&m);
}

TEST_F(BitmapItemTest, WrongMediaAndNoPicture) {
  pq::BitmapItem empty;
  for (int here = 0; here < 2; ++here) {
    for (auto request : {pq::ItemFormat(CF_DIB, TYMED_GDI), pq::ItemFormat(CF_BITMAP, TYMED_HGLOBAL)}) {
      STGMEDIUM m = EmptyMedium();
      EXPECT_EQ(here ? empty.GetDataHere(request, &m) : empty.GetData(request, &m), DV_E_FORMATETC);
    }
    // Offered pairs without a picture: a failure, never an empty success.
    for (auto request : {pq::ItemFormat(CF_DIB, TYMED_HGLOBAL), pq::ItemFormat(CF_BITMAP, TYMED_GDI)}) {
      STGMEDIUM m = EmptyMedium();
      if (here) m.hGlobal = GlobalAlloc(GMEM_MOVEABLE, 4096);
      EXPECT_EQ(here ? empty.GetDataHere(request, &m) : empty.GetData(request, &m), E_FAIL);
      if (here) GlobalFree(m.hGlobal);
    }
  }
}

TEST_F(BitmapItemTest, GetDataHereExactAndOneShort) {
  platform::ScopedGlobalGranularity exact(1);
  pq::BitmapItem item;
  item.SetHandle(platform::CreateBitmapFromPixels(Pixels3x2()));
  const std::size_t needed = platform::PackedDibSize(item.GetHandle());
  ASSERT_GT(needed, 40u);
  for (std::size_t size : {needed, needed - 1}) {
    STGMEDIUM m = EmptyMedium();
    m.hGlobal = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    EXPECT_EQ(item.GetDataHere({CF_DIB, TYMED_HGLOBAL}, &m), size == needed ? S_OK : E_INVALIDARG);
    platform::DibLayout layout;
    EXPECT_EQ(IsDib(m.hGlobal, &layout), size == needed);
    GlobalFree(m.hGlobal);
  }
}

TEST_F(BitmapItemTest, PngRoundTrip) {
  pq::BitmapItem item;
  platform::BitmapPixels px = Pixels3x2();
  px.argb[0] = 0x80FF0000u;  // some alpha
  px.hasAlpha = true;
  item.SetHandle(platform::CreateBitmapFromPixels(px));
  const std::vector<BYTE> png = item.EncodePng();
  ASSERT_GT(png.size(), 8u);
  EXPECT_EQ(std::string(png.begin() + 1, png.begin() + 4), "PNG");
  pq::BitmapItem back;
  back.DecodePng(png.data(), png.size());
  ASSERT_FALSE(back.IsEmpty());
  platform::BitmapPixels got;
  ASSERT_TRUE(platform::ReadBitmapPixels(back.GetHandle(), &got));
  EXPECT_EQ(got.argb, px.argb);
  // Damaged PNG: empty, and no message (the test would hang on a dialog).
  std::vector<BYTE> broken = png;
  broken.resize(png.size() / 2);
  back.DecodePng(broken.data(), broken.size());
  EXPECT_TRUE(back.IsEmpty());
  EXPECT_TRUE(pq::BitmapItem().EncodePng().empty());
}

// 64 million pixels from 250 KB of PNG, or a few megabytes of 1-bit DIB:
// refused from their headers, before any pixel is decoded.
TEST_F(BitmapItemTest, PicturesOverThePixelBudgetAreRefusedBeforeDecoding) {
  std::ifstream in(testing_sandbox::DataFile("repro/png-8000x8000.png"), std::ios::binary);
  const std::vector<char> png((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_EQ(png.size(), 248899u);
  pq::BitmapItem item;
  item.DecodePng(png.data(), png.size());
  EXPECT_TRUE(item.IsEmpty());

  // One row more than the budget holds at 8192 pixels a row, one bit each.
  const LONG width = 8192;
  const LONG height = static_cast<LONG>(pq::kMaxPicturePixels / width) + 1;
  const std::size_t stride = width / 8;
  std::vector<char> dib(40 + 8 + stride * std::size_t(height), '\0');
  auto put = [&](std::size_t at, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) dib[at + i] = static_cast<char>(v >> (8 * i));
  };
  put(0, 40, 4);
  put(4, width, 4);
  put(8, static_cast<std::uint32_t>(height), 4);
  put(12, 1, 2);
  put(14, 1, 2);
  put(40 + 4, 0xFFFFFF, 4);  // white; black is entry 0
  ASSERT_TRUE(platform::ParsePackedDib(dib.data(), dib.size(), nullptr)) << "a well-formed bitmap";
  Ref<FakeSource> src(FakeSource::Create());
  src->OfferBytes(CF_DIB, dib);
  EXPECT_FALSE(item.Load(src.get()));
  EXPECT_TRUE(item.IsEmpty());
}

// ---- Metafile ------------------------------------------------------------------

namespace {
std::vector<BYTE> Emf() { return platform::MakeEnhMetaFile({0, 0, 2540, 2540}); }
}  // namespace

TEST(EnhMetaFileItem, RendersItsBytes) {
  pq::EnhMetaFileItem item;
  const std::vector<BYTE> emf = Emf();
  item.SetBlock(emf.data(), emf.size());
  STGMEDIUM m = EmptyMedium();
  ASSERT_EQ(item.GetData({CF_ENHMETAFILE, TYMED_ENHMF}, &m), S_OK);
  EXPECT_EQ(m.tymed, DWORD(TYMED_ENHMF));
  std::vector<BYTE> back(GetEnhMetaFileBits(m.hEnhMetaFile, 0, nullptr));
  ASSERT_EQ(GetEnhMetaFileBits(m.hEnhMetaFile, back.size(), back.data()), emf.size());
  EXPECT_EQ(back, emf);
  ReleaseStgMedium(&m);
}

TEST(EnhMetaFileItem, RejectedBytesFail) {
  pq::EnhMetaFileItem item;
  STGMEDIUM m = EmptyMedium();
  EXPECT_EQ(item.GetData({CF_ENHMETAFILE, TYMED_ENHMF}, &m), E_FAIL) << "empty";
  item.SetBlock("not a metafile", 14);
  EXPECT_EQ(item.GetData({CF_ENHMETAFILE, TYMED_ENHMF}, &m), E_FAIL);
  EXPECT_EQ(m.hEnhMetaFile, nullptr);
}

TEST(EnhMetaFileItem, GetDataHereIsNotImplemented) {
  pq::EnhMetaFileItem item;
  const std::vector<BYTE> emf = Emf();
  item.SetBlock(emf.data(), emf.size());
  STGMEDIUM m;
  std::memset(&m, 0x5A, sizeof m);
  const STGMEDIUM before = m;
  EXPECT_EQ(item.GetDataHere({CF_ENHMETAFILE, TYMED_ENHMF}, &m), E_NOTIMPL);
  EXPECT_EQ(std::memcmp(&m, &before, sizeof m), 0) << "medium untouched";
}

TEST(EnhMetaFileItem, Load) {
  const std::vector<BYTE> emf = Emf();
  struct Case {
    const char* what;
    bool offer;
    bool bogus;
    bool ok;
  } cases[] = {{"metafile", true, false, true},
               {"nothing offered", false, false, false},
               {"handle without bytes", true, true, false}};
  for (const Case& c : cases) {
    Ref<FakeSource> src(FakeSource::Create());
    if (c.offer)
      src->Offer(CF_ENHMETAFILE, TYMED_ENHMF, [&](STGMEDIUM* m) {
        m->tymed = TYMED_ENHMF;
        m->hEnhMetaFile = c.bogus ? reinterpret_cast<HENHMETAFILE>(0x4321)
                                  : SetEnhMetaFileBits(emf.size(), emf.data());
        m->pUnkForRelease = nullptr;
        return S_OK;
      });
    pq::EnhMetaFileItem item;
    item.SetBlock("old", 3);
    const std::size_t live = platform::LiveGdiObjects();
    EXPECT_EQ(item.Load(src.get()), c.ok) << c.what;
    EXPECT_EQ(platform::LiveGdiObjects(), live) << c.what << ": the medium was released";
    if (c.ok)
      EXPECT_EQ(std::vector<BYTE>(item.GetBlock().data(), item.GetBlock().data() + item.GetBlock().size()), emf);
    else
      EXPECT_EQ(item.GetBlock().size(), 3u);
  }
}

TEST_F(BitmapItemTest, MaskColourBecomesTransparency) {
  wxImage image(2, 1);
  image.SetRGB(0, 0, 1, 2, 3);
  image.SetRGB(1, 0, 200, 100, 50);
  image.SetMaskColour(1, 2, 3);
  pq::BitmapItem item;
  ASSERT_TRUE(item.SetImage(image));
  const wxImage back = item.GetImage();
  ASSERT_TRUE(back.HasAlpha());
  EXPECT_EQ(back.GetAlpha(0, 0), 0);
  EXPECT_EQ(back.GetAlpha(1, 0), 255);
  EXPECT_EQ(back.GetRed(1, 0), 200);
  EXPECT_FALSE(item.SetImage(wxImage()));
  EXPECT_TRUE(item.IsEmpty());
}

TEST_F(BitmapItemTest, APartOfThePictureAsAnImage) {
  pq::BitmapItem item;
  item.SetHandle(platform::CreateBitmapFromPixels(Pixels3x2()));
  const wxImage part = item.GetImage(wxRect(1, 0, 5, 5));  // clipped to 2 x 2
  ASSERT_TRUE(part.IsOk());
  EXPECT_EQ(part.GetSize(), wxSize(2, 2));
  EXPECT_EQ(part.GetGreen(0, 0), 255);  // the picture's (1, 0)
  EXPECT_EQ(part.GetBlue(1, 0), 255);   // (2, 0)
  EXPECT_EQ(part.GetRed(1, 1), 0x80);   // (2, 1)
  EXPECT_FALSE(item.GetImage(wxRect(3, 0, 1, 1)).IsOk());
  EXPECT_FALSE(pq::BitmapItem().GetImage(wxRect(0, 0, 1, 1)).IsOk());
}
