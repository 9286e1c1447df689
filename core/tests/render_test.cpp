// What every item's renders share, and the plain-block items.
#include <gtest/gtest.h>

#include <memory>

#include "fakesource.h"
#include "pq/item.h"
#include "pq/itemtype.h"
#include "pq/tagid.h"

using namespace pqtest;

namespace {

// A medium full of junk, so that a test sees what a render really set.
STGMEDIUM JunkMedium() {
  STGMEDIUM m;
  std::memset(&m, 0xAB, sizeof m);
  return m;
}

const DWORD kAllMedia[] = {TYMED_NULL, TYMED_HGLOBAL, TYMED_FILE, TYMED_ISTREAM, TYMED_ISTORAGE,
                           TYMED_GDI, TYMED_MFPICT, TYMED_ENHMF, TYMED_HGLOBAL | TYMED_ISTREAM};

}  // namespace

// Every registered class: a pair it does not offer gets DV_E_FORMATETC with
// no release object and the requested medium type; nothing else is touched.
TEST(RenderStart, UnofferedPairsOfEveryClass) {
  for (pq::ItemType* type : pq::ItemType::GetItemTypes()) {
    std::unique_ptr<pq::Item> item(type->CreateItem());
    std::vector<pq::ItemFormat> offered;
    item->EnumFormats(offered);
    ASSERT_FALSE(offered.empty()) << type->GetName();
    const CLIPFORMAT formats[] = {type->GetFormat(), CF_TEXT, CF_BITMAP, CF_DIB, 0x7777};
    for (CLIPFORMAT f : formats) {
      for (DWORD tymed : kAllMedia) {
        const pq::ItemFormat request(f, tymed);
        bool isOffered = false;
        for (const auto& o : offered) isOffered |= (o == request);
        EXPECT_EQ(item->MatchesFormat(request), isOffered);
        if (isOffered) continue;
        for (int here = 0; here < 2; ++here) {
          STGMEDIUM m = JunkMedium();
          const STGMEDIUM before = m;
          HRESULT hr = here ? item->GetDataHere(request, &m) : item->GetData(request, &m);
          const bool metafileHere = here && type->GetId() == 1006;
          if (metafileHere) {
            // The metafile item renders nothing in place, and says so first.
            EXPECT_EQ(hr, E_NOTIMPL);
            EXPECT_EQ(std::memcmp(&m, &before, sizeof m), 0);
            continue;
          }
          EXPECT_EQ(hr, DV_E_FORMATETC) << type->GetName() << " " << f << "/" << tymed;
          EXPECT_EQ(m.pUnkForRelease, nullptr);
          EXPECT_EQ(m.tymed, tymed);
          EXPECT_EQ(m.hGlobal, before.hGlobal) << "the handle must stay untouched";
        }
      }
    }
  }
}

TEST(RenderStart, OfferedPairsOfEveryClass) {
  struct Expect {
    int id;
    std::vector<pq::ItemFormat> pairs;
  };
  const Expect table[] = {
      {1000, {{pq::CfPastiqTag(), TYMED_HGLOBAL}}},
      {1001, {{CF_UNICODETEXT, TYMED_HGLOBAL}, {CF_TEXT, TYMED_HGLOBAL}}},
      {1002, {{CF_LOCALE, TYMED_HGLOBAL}}},
      {1003, {{pq::CfRtf(), TYMED_HGLOBAL}}},
      {1004, {{pq::CfHtml(), TYMED_HGLOBAL}}},
      {1005, {{CF_BITMAP, TYMED_GDI}, {CF_DIB, TYMED_HGLOBAL}}},
      {1006, {{CF_ENHMETAFILE, TYMED_ENHMF}}},
      {1007, {{pq::CfEmbeddedObject(), TYMED_ISTORAGE}}},
      {1008, {{pq::CfCsv(), TYMED_HGLOBAL}}},
  };
  for (const Expect& e : table) {
    std::unique_ptr<pq::Item> item(pq::ItemType::FindById(e.id)->CreateItem());
    std::vector<pq::ItemFormat> pairs;
    item->EnumFormats(pairs);
    EXPECT_EQ(pairs, e.pairs) << e.id;
  }
}

// ---- SimpleItem --------------------------------------------------------------

TEST(SimpleItem, GetDataCopiesExactly) {
  pq::HtmlItem item;
  item.SetBlock("<b>x</b>", 8);
  STGMEDIUM m = JunkMedium();
  ASSERT_EQ(item.GetData({pq::CfHtml(), TYMED_HGLOBAL}, &m), S_OK);
  EXPECT_EQ(m.tymed, TYMED_HGLOBAL);
  EXPECT_EQ(m.pUnkForRelease, nullptr);
  std::vector<char> got = BlockBytes(m.hGlobal);
  ASSERT_GE(got.size(), 8u);
  EXPECT_EQ(std::string(got.data(), 8), "<b>x</b>");
  ReleaseStgMedium(&m);
}

TEST(SimpleItem, LoadsAnEmptyBlock) {
  Ref<FakeSource> src(FakeSource::Create());
  platform::ScopedGlobalGranularity exact(1);
  src->OfferBytes(pq::CfCsv(), {});
  pq::CsvItem item;
  item.SetBlock("x", 1);
  EXPECT_TRUE(item.Load(src.get()));
  EXPECT_EQ(item.GetBlock().size(), 0u);
}

TEST(SimpleItem, EmptyBlockRendersEmptyGlobal) {
  pq::CsvItem item;
  STGMEDIUM m = EmptyMedium();
  ASSERT_EQ(item.GetData({pq::CfCsv(), TYMED_HGLOBAL}, &m), S_OK);
  ASSERT_NE(m.hGlobal, nullptr);
  EXPECT_EQ(GlobalSize(m.hGlobal), 0u);
  ReleaseStgMedium(&m);
}

TEST(SimpleItem, GetDataHereExactAndOneShort) {
  platform::ScopedGlobalGranularity exact(1);
  pq::RtfItem item;
  item.SetBlock("{\\rtf1}", 7);
  struct Case {
    SIZE_T size;
    HRESULT expected;
  } cases[] = {{7, S_OK}, {6, E_INVALIDARG}, {12, S_OK}, {0, E_INVALIDARG}};
  for (const Case& c : cases) {
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, c.size);
    if (c.size) {
      std::memset(GlobalLock(h), '#', c.size);
      GlobalUnlock(h);
    }
    STGMEDIUM m = EmptyMedium();
    m.hGlobal = h;
    EXPECT_EQ(item.GetDataHere({pq::CfRtf(), TYMED_HGLOBAL}, &m), c.expected) << c.size;
    EXPECT_EQ(m.hGlobal, h);
    std::vector<char> got = BlockBytes(h);
    if (c.expected == S_OK) {
      EXPECT_EQ(std::string(got.data(), 7), "{\\rtf1}");
      EXPECT_EQ(std::string(got.begin() + 7, got.end()), std::string(c.size - 7, '#'))
          << "the rest of a larger block is left as it was";
    } else {
      EXPECT_EQ(std::string(got.begin(), got.end()), std::string(c.size, '#'));
    }
    GlobalFree(h);
  }
}

TEST(SimpleItem, LoadKeepsWholeRoundedBlock) {
  platform::ScopedGlobalGranularity rounded(16);
  Ref<FakeSource> src(FakeSource::Create());
  src->OfferBytes(pq::CfHtml(), Bytes("hello", 5));
  pq::HtmlItem item;
  ASSERT_TRUE(item.Load(src.get()));
  ASSERT_EQ(item.GetBlock().size(), 16u) << "GlobalSize, trailing bytes included";
  EXPECT_EQ(std::string(item.GetBlock().data(), 5), "hello");
  EXPECT_EQ(std::string(item.GetBlock().data() + 5, 11), std::string(11, '\0'));
}

TEST(SimpleItem, FailedLoadKeepsData) {
  Ref<FakeSource> src(FakeSource::Create());
  pq::LocaleItem item;
  item.SetBlock("\x09\x04\0\0", 4);
  // Not offered; offered in another medium; a null block.
  EXPECT_FALSE(item.Load(src.get()));
  src->Offer(CF_LOCALE, TYMED_ISTREAM, [](STGMEDIUM* m) {
    m->tymed = TYMED_ISTREAM;
    return S_OK;
  });
  EXPECT_FALSE(item.Load(src.get()));
  src->Offer(CF_LOCALE, TYMED_HGLOBAL, [](STGMEDIUM* m) {
    m->tymed = TYMED_HGLOBAL;
    m->hGlobal = nullptr;
    return S_OK;
  });
  EXPECT_FALSE(item.Load(src.get()));
  src->Offer(CF_LOCALE, TYMED_HGLOBAL, [](STGMEDIUM* m) {
    m->tymed = TYMED_HGLOBAL;
    m->hGlobal = reinterpret_cast<HGLOBAL>(0x5150);  // made up: does not lock
    return S_OK;
  });
  EXPECT_FALSE(item.Load(src.get()));
  EXPECT_FALSE(item.Load(nullptr));
  ASSERT_EQ(item.GetBlock().size(), 4u);
  EXPECT_EQ(item.GetBlock().data()[0], '\x09');
}

TEST(SimpleItem, LoadReleasesEveryMedium) {
  const SIZE_T before = platform::GlobalLiveBlocks();
  {
    Ref<FakeSource> src(FakeSource::Create());
    src->OfferBytes(pq::CfCsv(), Bytes("a,b", 3));
    pq::CsvItem item;
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(item.Load(src.get()));
  }
  EXPECT_EQ(platform::GlobalLiveBlocks(), before);
}

// ---- The tag ---------------------------------------------------------------------

TEST(PastiqTag, NewTagIsZeroZeroPid) {
  pq::PastiqTagItem tag;
  ASSERT_EQ(tag.GetBlock().size(), 12u);
  pq::PastiqTagItem::Tag t;
  ASSERT_TRUE(tag.GetTag(t));
  EXPECT_EQ(t.record, 0u);
  EXPECT_EQ(t.list, 0u);
  EXPECT_EQ(t.process, GetCurrentProcessId());
  const auto* b = reinterpret_cast<const unsigned char*>(tag.GetBlock().data());
  const std::uint32_t pid = b[8] | (b[9] << 8) | (b[10] << 16) | (std::uint32_t(b[11]) << 24);
  EXPECT_EQ(pid, t.process) << "little-endian words";
  EXPECT_FALSE(pq::PastiqTagItem::IsOwnAndComplete(t));
}

TEST(PastiqTag, IdentitiesMapBackInThisProcess) {
  int record = 0, list = 0, other = 0;
  pq::PastiqTagItem tag;
  tag.SetIdentities(&record, &list);
  pq::PastiqTagItem::Tag t;
  ASSERT_TRUE(tag.GetTag(t));
  EXPECT_TRUE(pq::PastiqTagItem::IsOwnAndComplete(t));
  EXPECT_EQ(pq::tagid::Resolve(t.record), &record);
  EXPECT_EQ(pq::tagid::Resolve(t.list), &list);
  EXPECT_EQ(pq::tagid::Register(&record), t.record) << "one id per object";
  EXPECT_NE(pq::tagid::Register(&other), t.record);
  pq::tagid::Forget(&record);
  EXPECT_EQ(pq::tagid::Resolve(t.record), nullptr);
  EXPECT_NE(pq::tagid::Register(&record), t.record) << "a forgotten id is never reused";
  EXPECT_EQ(pq::tagid::Register(nullptr), 0u);
  EXPECT_EQ(pq::tagid::Resolve(0), nullptr);
}

TEST(PastiqTag, ReadChecksSizeFirst) {
  platform::ScopedGlobalGranularity exact(1);
  const char full[16] = {1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 9, 9, 9, 9};
  for (std::size_t size : {0u, 4u, 11u, 12u, 16u}) {
    Ref<FakeSource> src(FakeSource::Create());
    src->OfferBytes(pq::CfPastiqTag(), Bytes(full, size));
    pq::PastiqTagItem::Tag t;
    const bool ok = pq::PastiqTagItem::Read(src.get(), t);
    EXPECT_EQ(ok, size >= 12) << size;
    if (ok) {
      EXPECT_EQ(t.record, 1u);
      EXPECT_EQ(t.list, 2u);
      EXPECT_EQ(t.process, 3u);
    }
  }
}

// A global block that cannot be had: E_OUTOFMEMORY, and no handle set.
TEST(RenderStart, OutOfGlobalMemory) {
  const SIZE_T limit = platform::GlobalLimit();
  platform::SetGlobalLimit(4);
  pq::HtmlItem html;
  html.SetBlock("<p>long enough</p>", 18);
  pq::TextItem text("long enough");
  struct Case {
    pq::Item* item;
    pq::ItemFormat request;
  } cases[] = {{&html, {pq::CfHtml(), TYMED_HGLOBAL}},
               {&text, {CF_UNICODETEXT, TYMED_HGLOBAL}},
               {&text, {CF_TEXT, TYMED_HGLOBAL}}};
  for (const Case& c : cases) {
    STGMEDIUM m = EmptyMedium();
    EXPECT_EQ(c.item->GetData(c.request, &m), E_OUTOFMEMORY);
    EXPECT_EQ(m.hGlobal, nullptr);
  }
  platform::SetGlobalLimit(limit);
}
