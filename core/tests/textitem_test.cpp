// The text item: rendered bytes, fallbacks, terminators and the producer's
// block.
#include <gtest/gtest.h>

#include "fakesource.h"
#include "pq/item.h"

using namespace pqtest;

namespace {

std::vector<char> Render(const std::string& text, CLIPFORMAT f) {
  platform::ScopedGlobalGranularity exact(1);
  pq::TextItem item(text);
  STGMEDIUM m = EmptyMedium();
  EXPECT_EQ(item.GetData({f, TYMED_HGLOBAL}, &m), S_OK);
  std::vector<char> out = BlockBytes(m.hGlobal);
  ReleaseStgMedium(&m);
  return out;
}

// UTF-16LE bytes of `s` (which holds its own terminator where wanted).
std::vector<char> Utf16(const std::u16string& s) {
  std::vector<char> out;
  for (char16_t u : s) {
    out.push_back(static_cast<char>(u & 0xFF));
    out.push_back(static_cast<char>(u >> 8));
  }
  return out;
}

std::u16string WithNul(std::u16string s) {
  s.push_back(u'\0');
  return s;
}

}  // namespace

TEST(TextItem, RenderedBytes) {
  struct Case {
    std::string text;
    std::vector<char> unicode;
    std::vector<char> ansi;
  } cases[] = {
      {"abc", Utf16(WithNul(u"abc")), Bytes("abc", 4)},
      {"", Utf16(WithNul(u"")), Bytes("", 1)},
      // An embedded NUL ends the text in every rendering.
      {std::string("ab\0cd", 5), Utf16(WithNul(u"ab")), Bytes("ab", 3)},
      // "é€" is in Windows-1252; U+1F600 is not and is outside the BMP.
      {"\xC3\xA9\xE2\x82\xAC", Utf16(WithNul(u"\u00E9\u20AC")), Bytes("\xE9\x80", 3)},
      {"\xF0\x9F\x98\x80", Utf16(WithNul(u"\U0001F600")), Bytes("?", 2)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Render(c.text, CF_UNICODETEXT), c.unicode) << c.text;
    EXPECT_EQ(Render(c.text, CF_TEXT), c.ansi) << c.text;
  }
  EXPECT_EQ(Render("abc", CF_UNICODETEXT).size(), 8u);
  EXPECT_EQ(Render("abc", CF_TEXT).size(), 4u);
}

TEST(TextItem, GetDataHereSizes) {
  platform::ScopedGlobalGranularity exact(1);
  pq::TextItem item("abc");
  struct Case {
    CLIPFORMAT f;
    SIZE_T size;
    HRESULT expected;
  } cases[] = {{CF_UNICODETEXT, 8, S_OK},
               {CF_UNICODETEXT, 7, E_INVALIDARG},
               {CF_TEXT, 4, S_OK},
               {CF_TEXT, 3, E_INVALIDARG}};
  for (const Case& c : cases) {
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, c.size);
    std::memset(GlobalLock(h), '#', c.size);
    GlobalUnlock(h);
    STGMEDIUM m = EmptyMedium();
    m.hGlobal = h;
    EXPECT_EQ(item.GetDataHere({c.f, TYMED_HGLOBAL}, &m), c.expected);
    std::vector<char> got = BlockBytes(h);
    if (c.expected == S_OK)
      EXPECT_EQ(got, Render("abc", c.f));
    else
      EXPECT_EQ(got, std::vector<char>(c.size, '#')) << "nothing copied";
    GlobalFree(h);
  }
}

TEST(TextItem, LoadTable) {
  platform::ScopedGlobalGranularity exact(1);
  struct Case {
    const char* what;
    bool offerUnicode;
    std::vector<char> unicode;
    bool offerAnsi;
    std::vector<char> ansi;
    bool ok;
    std::string text;
  } cases[] = {
      {"unicode", true, Utf16(WithNul(u"h\u00E9")), true, Bytes("x", 2), true, "h\xC3\xA9"},
      {"2 bytes: empty", true, Bytes("\0\0", 2), true, Bytes("x", 2), true, ""},
      {"1 byte falls back", true, Bytes("a", 1), true, Bytes("x", 2), true, "x"},
      {"0 bytes falls back", true, {}, true, Bytes("x", 2), true, "x"},
      {"no terminator loses last", true, Utf16(u"abc"), false, {}, true, "ab"},
      {"odd size: last whole unit", true, Bytes("a\0b\0c", 5), false, {}, true, "a"},
      {"stops at first NUL", true, Utf16(WithNul(WithNul(u"ab") + u"cd")), false, {}, true, "ab"},
      {"ansi only", false, {}, true, Bytes("caf\xE9", 5), true, "caf\xC3\xA9"},
      {"ansi without terminator", false, {}, true, Bytes("abc", 3), true, "ab"},
      {"ansi 0 bytes fails", false, {}, true, {}, false, "kept"},
      {"nothing", false, {}, false, {}, false, "kept"},
  };
  for (const Case& c : cases) {
    Ref<FakeSource> src(FakeSource::Create());
    if (c.offerUnicode) src->OfferBytes(CF_UNICODETEXT, c.unicode);
    if (c.offerAnsi) src->OfferBytes(CF_TEXT, c.ansi);
    pq::TextItem item("kept");
    EXPECT_EQ(item.Load(src.get()), c.ok) << c.what;
    EXPECT_EQ(item.GetText(), c.text) << c.what;
  }
}

// The forced terminator goes into our copy, never the producer's block.
TEST(TextItem, ProducerBlockUntouched) {
  platform::ScopedGlobalGranularity exact(1);
  const std::vector<char> original = Utf16(u"abc");
  HGLOBAL shared = GlobalAlloc(GMEM_MOVEABLE, original.size());
  std::memcpy(GlobalLock(shared), original.data(), original.size());
  GlobalUnlock(shared);
  HGLOBAL shared8 = GlobalAlloc(GMEM_MOVEABLE, 3);
  std::memcpy(GlobalLock(shared8), "abc", 3);
  GlobalUnlock(shared8);

  // The producer keeps its blocks: a release object owns the data.
  struct Keeper : pq::SimpleUnknownImpl<IUnknown, IID_IUnknown> {};
  Ref<Keeper> keeper(new Keeper);
  auto lend = [&](HGLOBAL h) {
    return [h, &keeper](STGMEDIUM* m) {
      m->tymed = TYMED_HGLOBAL;
      m->hGlobal = h;
      keeper->AddRef();
      m->pUnkForRelease = keeper.get();
      return S_OK;
    };
  };
  for (CLIPFORMAT f : {CF_UNICODETEXT, CF_TEXT}) {
    Ref<FakeSource> src(FakeSource::Create());
    src->Offer(f, TYMED_HGLOBAL, lend(f == CF_TEXT ? shared8 : shared));
    pq::TextItem item;
    ASSERT_TRUE(item.Load(src.get()));
    EXPECT_EQ(item.GetText(), "ab");
  }
  EXPECT_EQ(BlockBytes(shared), original);
  EXPECT_EQ(BlockBytes(shared8), Bytes("abc", 3));
  EXPECT_EQ(keeper->AddRef(), 2u) << "every lent medium was released";
  keeper->Release();
  GlobalFree(shared);
  GlobalFree(shared8);
}
