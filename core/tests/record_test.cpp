#include <cstring>
#include <sstream>

#include <boost/make_shared.hpp>
#include <boost/serialization/shared_ptr.hpp>
#include <gtest/gtest.h>
#include <wx/log.h>
#include <wx/mstream.h>

#include "collecting_log.h"
#include "cmn/archive.h"
#include "pq/dataobject.h"
#include "pq/item.h"
#include "pq/itemtype.h"
#include "settings.h"
#include "pq/record.h"
#include "pq/tagid.h"

namespace {

// Another application's clipboard data: formats in the order given, each
// rendered from its bytes into a fresh global block.
class FakeClip : public IDataObject {
 public:
  struct Entry {
    CLIPFORMAT format;
    std::string bytes;
  };
  explicit FakeClip(std::vector<Entry> entries) : entries_(std::move(entries)) {}

  HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override { return --refs_; }  // lives on the test's stack

  HRESULT GetData(FORMATETC* fe, STGMEDIUM* m) override {
    const Entry* e = Find(fe);
    if (!e) return DV_E_FORMATETC;
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, e->bytes.size());
    std::memcpy(GlobalLock(h), e->bytes.data(), e->bytes.size());
    GlobalUnlock(h);
    m->tymed = TYMED_HGLOBAL;
    m->hGlobal = h;
    m->pUnkForRelease = nullptr;
    return S_OK;
  }
  HRESULT GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT QueryGetData(FORMATETC* fe) override {
    for (const auto& e : entries_)
      if (e.format == fe->cfFormat) return S_OK;
    return DV_E_FORMATETC;
  }
  HRESULT GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
  HRESULT SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  HRESULT EnumFormatEtc(DWORD dir, IEnumFORMATETC** out) override {
    *out = nullptr;
    if (dir != DATADIR_GET || failEnum) return E_NOTIMPL;
    *out = new Enum(*this);
    return S_OK;
  }
  HRESULT DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
  HRESULT DUnadvise(DWORD) override { return E_NOTIMPL; }
  HRESULT EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }

  bool failEnum = false;
  ULONG refs() const { return refs_; }

 private:
  struct Enum : IEnumFORMATETC {
    explicit Enum(FakeClip& c) : clip(c) {}
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override {
      if (--refs) return refs;
      delete this;
      return 0;
    }
    HRESULT Next(ULONG celt, FORMATETC* out, ULONG* fetched) override {
      if (celt != 1 || at >= clip.entries_.size()) return S_FALSE;
      *out = FORMATETC{clip.entries_[at++].format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
      if (fetched) *fetched = 1;
      return S_OK;
    }
    HRESULT Skip(ULONG) override { return E_NOTIMPL; }
    HRESULT Reset() override { return E_NOTIMPL; }
    HRESULT Clone(IEnumFORMATETC**) override { return E_NOTIMPL; }
    virtual ~Enum() = default;
    FakeClip& clip;
    std::size_t at = 0;
    ULONG refs = 1;
  };
  const Entry* Find(const FORMATETC* fe) const {
    if (fe->tymed != TYMED_HGLOBAL) return nullptr;
    for (const auto& e : entries_)
      if (e.format == fe->cfFormat) return &e;
    return nullptr;
  }
  std::vector<Entry> entries_;
  ULONG refs_ = 1;
};

std::string Utf16(const std::string& ascii) {
  std::string out;
  for (char c : ascii) {
    out += c;
    out += '\0';
  }
  return out + std::string(2, '\0');
}

// A 1 x 1 packed 24-bit device-independent bitmap.
std::string Dib() {
  std::string b(40 + 4, '\0');
  auto put32 = [&](std::size_t at, std::uint32_t v) { std::memcpy(&b[at], &v, 4); };
  auto put16 = [&](std::size_t at, std::uint16_t v) { std::memcpy(&b[at], &v, 2); };
  put32(0, 40);
  put32(4, 1);
  put32(8, 1);
  put16(12, 1);
  put16(14, 24);
  put32(20, 4);
  b[40] = '\x10';
  b[41] = '\x20';
  b[42] = '\x30';
  return b;
}

// The item classes of a data object, in order.
std::vector<std::string> Kinds(const pq::DataObject& d) {
  std::vector<std::string> out;
  for (const pq::Item* item : d.Items()) {
    if (typeid(*item) == typeid(pq::TextItem))
      out.push_back("text:" + static_cast<const pq::TextItem*>(item)->GetText());
    else if (typeid(*item) == typeid(pq::HtmlItem))
      out.push_back("html:" + std::string(static_cast<const pq::SimpleItem*>(item)->GetBlock().data(),
                                          static_cast<const pq::SimpleItem*>(item)->GetBlock().size()).substr(0, 2));
    else if (typeid(*item) == typeid(pq::PastiqTagItem))
      out.push_back("tag");
    else if (typeid(*item) == typeid(pq::BitmapItem))
      out.push_back("bitmap");
    else
      out.push_back("other");
  }
  return out;
}

struct DataObjectRef {
  explicit DataObjectRef(pq::DataObject* p) : d(p) {}
  ~DataObjectRef() {
    if (d) d->Release();
  }
  pq::DataObject* d;
};

std::vector<std::string> Contents(const pq::Record& r) {
  DataObjectRef d(r.CreateDataObject(nullptr));
  if (!d.d) return {"<null>"};
  return Kinds(*d.d);
}

// The record switches as a first start sets them, in a store of our own.
class RecordTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int id : {1001, 1002, 1003, 1004, 1008}) store.Set(id, true);
    for (int id : {1005, 1006, 1007}) store.Set(id, false);
  }
  testing_settings::ScopedSettings settings{testing_settings::kNoOptions};
  cmn::option<int>& store = settings.options();
  pq::Record record;
};

TEST_F(RecordTest, EachFamilyFoldsIntoOneItemAtItsFirstPosition) {
  store.Set(1005, true);
  struct Case {
    std::vector<FakeClip::Entry> clip;
    std::vector<std::string> contents;
    int textIndex;
  };
  const std::string html = "<b>x</b>";
  const Case cases[] = {
      {{{CF_TEXT, "ansi"}, {pq::CfHtml(), html}, {CF_UNICODETEXT, Utf16("wide")}},
       {"text:wide", "html:<b", "tag"}, 0},  // the text item reads the wide form
      {{{pq::CfHtml(), html}, {CF_UNICODETEXT, Utf16("wide")}, {CF_TEXT, "ansi"}},
       {"html:<b", "text:wide", "tag"}, 1},
      {{{CF_BITMAP, ""}, {pq::CfHtml(), html}, {CF_DIB, Dib()}, {CF_UNICODETEXT, Utf16("t")}},
       {"bitmap", "html:<b", "text:t", "tag"}, 2},
  };
  for (const auto& c : cases) {
    FakeClip clip(c.clip);
    pq::Record r;
    ASSERT_TRUE(r.LoadFromDataObject(&clip));
    EXPECT_EQ(Contents(r), c.contents);
    EXPECT_EQ(r.textIndex, c.textIndex);
    EXPECT_EQ(clip.refs(), 1u);  // every reference given back
  }
}

TEST_F(RecordTest, AnotherFormatListedTwiceGivesTwoItems) {
  FakeClip clip({{pq::CfHtml(), "<a>"}, {pq::CfHtml(), "<a>"}, {CF_UNICODETEXT, Utf16("t")}});
  ASSERT_TRUE(record.LoadFromDataObject(&clip));
  EXPECT_EQ(Contents(record), (std::vector<std::string>{"html:<a", "html:<a", "text:t", "tag"}));
}

TEST_F(RecordTest, OurOwnTagIsNeverRecorded) {
  FakeClip clip({{CF_UNICODETEXT, Utf16("mine")}, {pq::CfPastiqTag(), std::string(12, '\0')}});
  EXPECT_FALSE(record.LoadFromDataObject(&clip));
  EXPECT_TRUE(record.items.empty());
  EXPECT_TRUE(record.text.empty());
}

TEST_F(RecordTest, NothingIsRecordedWithEveryFormatSwitchedOff) {
  for (int id = 1000; id <= 1008; ++id) store.Set(id, false);
  FakeClip clip({{CF_UNICODETEXT, Utf16("t")}, {pq::CfHtml(), "<a>"}, {pq::CfRtf(), "{\\rtf}"},
                 {pq::CfCsv(), "a,b"}, {CF_LOCALE, "\x09\x04\0\0"}, {CF_DIB, Dib()}});
  EXPECT_FALSE(record.LoadFromDataObject(&clip));
}

TEST_F(RecordTest, AFormatSwitchedOffIsLeftOut) {
  store.Set(1004, false);
  FakeClip clip({{pq::CfHtml(), "<a>"}, {CF_UNICODETEXT, Utf16("t")}});
  ASSERT_TRUE(record.LoadFromDataObject(&clip));
  EXPECT_EQ(Contents(record), (std::vector<std::string>{"text:t", "tag"}));
  EXPECT_EQ(record.textIndex, 0);
}

TEST_F(RecordTest, AClipWithoutFormatsOrWithoutAnEnumeratorRecordsNothing) {
  FakeClip empty({});
  EXPECT_FALSE(record.LoadFromDataObject(&empty));
  FakeClip broken({{CF_UNICODETEXT, Utf16("t")}});
  broken.failEnum = true;
  EXPECT_FALSE(record.LoadFromDataObject(&broken));
}

// Keeps what is logged while it is the toolkit's log target.
class CollectedLog : public wxLog {
 public:
  CollectedLog() : previous_(wxLog::SetActiveTarget(this)) {}
  ~CollectedLog() override { wxLog::SetActiveTarget(previous_); }
  std::vector<std::pair<wxLogLevel, std::string>> lines;

 protected:
  void DoLogRecord(wxLogLevel level, const wxString& msg, const wxLogRecordInfo&) override {
    lines.emplace_back(level, msg.utf8_string());
  }

 private:
  wxLog* previous_;
};

TEST_F(RecordTest, AFailedEnumerationIsLoggedWithItsCodeInHexadecimal) {
  FakeClip broken({{CF_UNICODETEXT, Utf16("t")}});
  broken.failEnum = true;
  CollectedLog log;
  EXPECT_FALSE(record.LoadFromDataObject(&broken));
  wxLog::FlushActive();
  ASSERT_EQ(log.lines.size(), 1u);
  EXPECT_EQ(log.lines[0].first, wxLOG_Error);
  EXPECT_EQ(log.lines[0].second,
            "Failed to retrieve the supported clipboard formats: error 0x80004001 (not implemented)");
}

TEST_F(RecordTest, ABitmapOnlyClipIsNamedAfterItsType) {
  store.Set(1005, true);
  FakeClip clip({{CF_DIB, Dib()}});
  ASSERT_TRUE(record.LoadFromDataObject(&clip));
  EXPECT_EQ(record.text, "[Bitmap Picture]");
  EXPECT_EQ(record.textIndex, -1);
  EXPECT_EQ(Contents(record), (std::vector<std::string>{"bitmap", "tag"}));
}

TEST_F(RecordTest, SetTextHoldsAnEmptyBlockOfItemsAndTheTextFirst) {
  record.SetText(wxString::FromUTF8("caf\xC3\xA9"));
  EXPECT_EQ(record.text, "caf\xC3\xA9");
  EXPECT_EQ(record.textIndex, 0);
  pq::DataObject* d = new pq::DataObject;
  ASSERT_TRUE(record.DecompressItems(*d));
  EXPECT_TRUE(d->Items().empty());
  d->Release();
  EXPECT_EQ(Contents(record), (std::vector<std::string>{"text:caf\xC3\xA9", "tag"}));
}

TEST_F(RecordTest, TheTagNamesTheRecordTheListAndThisProcess) {
  record.SetText("x");
  pq::RecordList list;
  DataObjectRef d(record.CreateDataObject(&list));
  ASSERT_TRUE(d.d);
  pq::PastiqTagItem::Tag tag;
  ASSERT_TRUE(static_cast<pq::PastiqTagItem*>(d.d->Items().back())->GetTag(tag));
  EXPECT_EQ(pq::tagid::Resolve(tag.record), &record);
  EXPECT_EQ(pq::tagid::Resolve(tag.list), &list);
  pq::PastiqTagItem::Tag own;
  ASSERT_TRUE(pq::PastiqTagItem().GetTag(own));
  EXPECT_EQ(tag.process, own.process);
  DataObjectRef none(record.CreateDataObject(nullptr));
  pq::PastiqTagItem::Tag noList;
  ASSERT_TRUE(static_cast<pq::PastiqTagItem*>(none.d->Items().back())->GetTag(noList));
  EXPECT_EQ(noList.list, 0u);
}

TEST_F(RecordTest, ATagOutlivingItsRecordAndListNamesNothing) {
  pq::PastiqTagItem::Tag tag;
  {
    pq::Record gone;
    gone.SetText("x");
    pq::RecordList list;
    DataObjectRef d(gone.CreateDataObject(&list));
    ASSERT_TRUE(static_cast<pq::PastiqTagItem*>(d.d->Items().back())->GetTag(tag));
    ASSERT_EQ(pq::tagid::Resolve(tag.record), &gone);
  }
  EXPECT_EQ(pq::tagid::Resolve(tag.record), nullptr);
  EXPECT_EQ(pq::tagid::Resolve(tag.list), nullptr);
}

TEST_F(RecordTest, ABlockThatCannotHoldTheTextGivesNoDataObject) {
  EXPECT_EQ(record.CreateDataObject(nullptr), nullptr);  // no block at all
  record.SetText("x");
  record.textIndex = 2;  // the block holds no items
  EXPECT_EQ(record.CreateDataObject(nullptr), nullptr);
  record.textIndex = -1;
  EXPECT_EQ(Contents(record), (std::vector<std::string>{"tag"}));
}

TEST_F(RecordTest, ADamagedBlockThrowsAndLeaksNothing) {
  record.SetText("x");
  for (std::size_t cut : {record.items.size() / 2, std::size_t(3)}) {
    pq::Record damaged;
    damaged.items.assign(record.items.data(), cut);
    EXPECT_ANY_THROW(damaged.CreateDataObject(nullptr)) << cut;
  }
}

TEST_F(RecordTest, SetItemsRefusesAnEmptyObjectAndAnUnregisteredFirstItem) {
  struct Unknown : pq::HtmlItem {};
  DataObjectRef d(new pq::DataObject);
  EXPECT_FALSE(record.SetItems(*d.d));
  d.d->Items().push_back(new Unknown);
  EXPECT_FALSE(record.SetItems(*d.d));
  EXPECT_TRUE(record.items.empty());
}

TEST_F(RecordTest, TheFirstTextItemIsTakenOutAtItsPosition) {
  DataObjectRef d(new pq::DataObject);
  d.d->Items().push_back(new pq::HtmlItem);
  d.d->Items().push_back(new pq::TextItem("plain"));
  ASSERT_TRUE(record.SetItems(*d.d));
  EXPECT_EQ(record.text, "plain");
  EXPECT_EQ(record.textIndex, 1);
  EXPECT_EQ(d.d->Items().size(), 1u);
}

TEST_F(RecordTest, TheArchiveBodyKeepsEveryField) {
  auto r = boost::make_shared<pq::Record>();
  r->SetText("hello");
  r->application = "/opt/app/bin/editor";
  r->time = 0x5A2B3C4Du;
  r->textIndex = -1;
  wxMemoryOutputStream out;
  cmn::WriteArchive(out, [&](cmn::oarchive& ar) { ar << r; });
  wxMemoryInputStream in(out);
  pq::RecordPtr back;
  cmn::ReadArchive(in, [&](cmn::iarchive& ar) { ar >> back; }, cmn::kFileReadBudget);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->items, r->items);
  EXPECT_EQ(back->text, "hello");
  EXPECT_EQ(back->application, "/opt/app/bin/editor");
  EXPECT_EQ(back->time, 0x5A2B3C4Du);
  EXPECT_EQ(back->textIndex, -1);
}

// --- The item block's limits ------------------------------------------------------

using core_test::CollectingLog;

// Lowers the limits so that small clips reach them, and puts them back.
class ItemBlockTest : public RecordTest {
 protected:
  void SetUp() override {
    RecordTest::SetUp();
    saved = pq::GetItemBlockLimits();
    previousLog = wxLog::SetActiveTarget(&log);
  }
  void TearDown() override {
    wxLog::SetActiveTarget(previousLog);
    pq::SetItemBlockLimits(saved);
    RecordTest::TearDown();
  }
  // A clip of text and about 20 KB of HTML that compresses poorly.
  FakeClip Clip() {
    std::string html;
    unsigned v = 1;
    for (int i = 0; i < 20000; ++i) html += static_cast<char>('!' + (v = v * 1103515245u + 12345u) % 90);
    return FakeClip({{CF_UNICODETEXT, Utf16("text")}, {pq::CfHtml(), html}});
  }
  // Records the clip under the limits; true when it was recorded, and then
  // it must unpack under the same limits.
  bool Records(const pq::ItemBlockLimits& limits) {
    pq::SetItemBlockLimits(limits);
    FakeClip clip = Clip();
    pq::Record r;
    log.warnings.clear();
    const bool recorded = r.LoadFromDataObject(&clip);
    wxLog::FlushActive();
    if (!recorded) {
      EXPECT_TRUE(r.items.empty());
      EXPECT_EQ(log.warnings.size(), 1u) << "a clip too large to keep is logged";
      return false;
    }
    EXPECT_TRUE(log.warnings.empty());
    EXPECT_EQ(Contents(r), (std::vector<std::string>{"text:text", "html:" + html().substr(0, 2), "tag"}))
        << "what is recorded unpacks within the same limits";
    return true;
  }
  std::string html() {
    FakeClip clip = Clip();
    FORMATETC fe{pq::CfHtml(), nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM m{};
    clip.GetData(&fe, &m);
    std::string out(static_cast<const char*>(GlobalLock(m.hGlobal)), GlobalSize(m.hGlobal));
    GlobalUnlock(m.hGlobal);
    ReleaseStgMedium(&m);
    return out;
  }
  pq::ItemBlockLimits saved;
  CollectingLog log;
  wxLog* previousLog = nullptr;
};

// Whatever is recorded can be saved and read back: a block over the packed
// limit is never made (it could not be saved), nor one whose archive would
// unpack past the budget it is read within.
TEST_F(ItemBlockTest, AClipOverEitherLimitIsNotRecordedAndIsLogged) {
  FakeClip clip = Clip();
  ASSERT_TRUE(record.LoadFromDataObject(&clip));
  const std::size_t packed = record.items.size();
  ASSERT_GT(packed, 10000u);
  const std::uint64_t unbounded = std::uint64_t(1) << 40;

  EXPECT_TRUE(Records({packed, unbounded})) << "exactly at the packed limit";
  EXPECT_FALSE(Records({packed - 1, unbounded})) << "one byte over it";

  // The block's archive text is larger than the block; somewhere above it
  // lies the unpacked limit, and every limit that records also unpacks.
  bool someRefused = false, someRecorded = false;
  for (std::uint64_t limit = packed; limit < packed + 64 * 1024; limit += 512) {
    const bool recorded = Records({cmn::kMaxBlockBytes, limit});
    (recorded ? someRecorded : someRefused) = true;
  }
  EXPECT_TRUE(someRefused && someRecorded);
}

// A block from outside (a file, a peer) is bounded when it is unpacked.
TEST_F(ItemBlockTest, ABlockThatUnpacksPastTheBudgetIsRefusedWhenUnpacked) {
  FakeClip clip = Clip();
  ASSERT_TRUE(record.LoadFromDataObject(&clip));
  pq::SetItemBlockLimits({cmn::kMaxBlockBytes, record.items.size()});
  EXPECT_THROW(record.CreateDataObject(nullptr), cmn::archive_too_large);
}

std::tm Tm(int year, int mon, int day, int h, int m, int s) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = mon - 1;
  t.tm_mday = day;
  t.tm_hour = h;
  t.tm_min = m;
  t.tm_sec = s;
  return t;
}

TEST(RecordTime, DosDateTimeFieldsAndClampedYears) {
  struct Case {
    std::tm tm;
    std::uint32_t dos;
  };
  const Case cases[] = {
      {Tm(2026, 12, 10, 9, 58, 25), (46u << 25) | (12u << 21) | (10u << 16) | (9u << 11) | (58u << 5) | 12u},
      {Tm(1980, 1, 1, 0, 0, 0), (1u << 21) | (1u << 16)},
      {Tm(1970, 6, 15, 12, 0, 0), (1u << 21) | (1u << 16)},
      {Tm(2107, 12, 31, 23, 59, 59), (127u << 25) | (12u << 21) | (31u << 16) | (23u << 11) | (59u << 5) | 29u},
      {Tm(2200, 1, 1, 0, 0, 0), (127u << 25) | (12u << 21) | (31u << 16) | (23u << 11) | (59u << 5) | 29u},
  };
  for (const auto& c : cases) EXPECT_EQ(pq::ToDosDateTime(c.tm), c.dos) << c.tm.tm_year + 1900;
  const pq::Record fresh;
  EXPECT_GE(fresh.time >> 25, 2026u - 1980u);
  EXPECT_EQ(fresh.textIndex, -1);
}

}  // namespace
