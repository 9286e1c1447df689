// The data object and its format enumerator: HRESULTs, lookups, reference
// counts.
#include <gtest/gtest.h>

#include "fakesource.h"
#include "pq/dataobject.h"
#include "pq/itemtype.h"

using namespace pqtest;

namespace {

// An item that tells when it is deleted.
class WatchedItem : public pq::CsvItem {
 public:
  explicit WatchedItem(bool* deleted) : m_deleted(deleted) {}
  ~WatchedItem() override { *m_deleted = true; }

 private:
  bool* m_deleted;
};

pq::DataObject* TextAndHtml() {
  auto* d = new pq::DataObject;
  d->Items().push_back(new pq::TextItem("abc"));
  auto* html = new pq::HtmlItem;
  html->SetBlock("<i>", 3);
  d->Items().push_back(html);
  return d;
}

FORMATETC Fe(CLIPFORMAT f, DWORD tymed) {
  FORMATETC fe;
  fe.cfFormat = f;
  fe.ptd = reinterpret_cast<DVTARGETDEVICE*>(0x1234);  // never looked at
  fe.dwAspect = DVASPECT_ICON;
  fe.lindex = 7;
  fe.tymed = tymed;
  return fe;
}

}  // namespace

TEST(DataObject, GetDataAndQueryTable) {
  Ref<pq::DataObject> d(TextAndHtml());
  struct Case {
    CLIPFORMAT f;
    DWORD tymed;
    HRESULT expected;
  } cases[] = {
      {CF_UNICODETEXT, TYMED_HGLOBAL, S_OK},
      {CF_TEXT, TYMED_HGLOBAL, S_OK},
      {pq::CfHtml(), TYMED_HGLOBAL, S_OK},
      {pq::CfHtml(), TYMED_ISTREAM, DV_E_FORMATETC},
      {pq::CfHtml(), TYMED_HGLOBAL | TYMED_ISTREAM, DV_E_FORMATETC},
      {CF_DIB, TYMED_HGLOBAL, DV_E_FORMATETC},
  };
  for (const Case& c : cases) {
    FORMATETC fe = Fe(c.f, c.tymed);
    EXPECT_EQ(d->QueryGetData(&fe), c.expected) << c.f;
    STGMEDIUM m = EmptyMedium();
    EXPECT_EQ(d->GetData(&fe, &m), c.expected) << c.f;
    if (c.expected == S_OK) {
      EXPECT_EQ(m.tymed, TYMED_HGLOBAL);
      EXPECT_NE(m.hGlobal, nullptr);
      ReleaseStgMedium(&m);
    }
  }
  FORMATETC fe = Fe(CF_TEXT, TYMED_HGLOBAL);
  STGMEDIUM m = EmptyMedium();
  EXPECT_EQ(d->GetData(nullptr, &m), E_INVALIDARG);
  EXPECT_EQ(d->GetData(&fe, nullptr), E_INVALIDARG);
  EXPECT_EQ(d->GetDataHere(nullptr, &m), E_INVALIDARG);
  EXPECT_EQ(d->GetDataHere(&fe, nullptr), E_INVALIDARG);
  EXPECT_EQ(d->QueryGetData(nullptr), E_INVALIDARG);
}

TEST(DataObject, GetDataHereGoesToTheItem) {
  platform::ScopedGlobalGranularity exact(1);
  Ref<pq::DataObject> d(TextAndHtml());
  FORMATETC fe = Fe(pq::CfHtml(), TYMED_HGLOBAL);
  for (SIZE_T size : {3u, 2u}) {
    STGMEDIUM m = EmptyMedium();
    m.hGlobal = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    EXPECT_EQ(d->GetDataHere(&fe, &m), size == 3 ? S_OK : E_INVALIDARG);
    GlobalFree(m.hGlobal);
  }
}

TEST(DataObject, FirstItemForAPairWins) {
  Ref<pq::DataObject> d(new pq::DataObject);
  auto* first = new pq::HtmlItem;
  first->SetBlock("1", 1);
  auto* second = new pq::HtmlItem;
  second->SetBlock("2", 1);
  d->Items() = {first, second};
  FORMATETC fe = Fe(pq::CfHtml(), TYMED_HGLOBAL);
  STGMEDIUM m = EmptyMedium();
  ASSERT_EQ(d->GetData(&fe, &m), S_OK);
  EXPECT_EQ(BlockBytes(m.hGlobal)[0], '1');
  ReleaseStgMedium(&m);
}

TEST(DataObject, EmptyObject) {
  Ref<pq::DataObject> d(new pq::DataObject);
  FORMATETC fe = Fe(CF_UNICODETEXT, TYMED_HGLOBAL);
  EXPECT_EQ(d->QueryGetData(&fe), DV_E_FORMATETC);
  Ref<IEnumFORMATETC> e;
  ASSERT_EQ(d->EnumFormatEtc(DATADIR_GET, e.out()), S_OK);
  FORMATETC out;
  ULONG fetched = 99;
  EXPECT_EQ(e->Next(1, &out, &fetched), S_FALSE);
  EXPECT_EQ(fetched, 0u);
}

TEST(DataObject, FixedAnswers) {
  Ref<pq::DataObject> d(TextAndHtml());
  FORMATETC in = Fe(CF_TEXT, TYMED_HGLOBAL);
  FORMATETC out;
  std::memset(&out, 0xCC, sizeof out);
  EXPECT_EQ(d->GetCanonicalFormatEtc(&in, &out), DATA_S_SAMEFORMATETC);
  EXPECT_EQ(out.cfFormat, CF_TEXT);
  EXPECT_EQ(out.ptd, nullptr);
  EXPECT_EQ(out.dwAspect, DWORD(DVASPECT_CONTENT));
  EXPECT_EQ(out.lindex, -1);
  EXPECT_EQ(out.tymed, DWORD(TYMED_HGLOBAL));
  EXPECT_EQ(d->GetCanonicalFormatEtc(&in, nullptr), E_INVALIDARG);
  EXPECT_EQ(d->GetCanonicalFormatEtc(nullptr, &out), E_INVALIDARG);

  STGMEDIUM m = EmptyMedium();
  EXPECT_EQ(d->SetData(&in, &m, TRUE), E_NOTIMPL);
  DWORD conn = 0;
  EXPECT_EQ(d->DAdvise(&in, 0, nullptr, &conn), OLE_E_ADVISENOTSUPPORTED);
  EXPECT_EQ(d->DUnadvise(conn), E_NOTIMPL);
  EXPECT_EQ(d->EnumDAdvise(nullptr), OLE_E_ADVISENOTSUPPORTED);

  EXPECT_EQ(d->EnumFormatEtc(DATADIR_GET, nullptr), E_INVALIDARG);
  IEnumFORMATETC* e = reinterpret_cast<IEnumFORMATETC*>(0x1);
  EXPECT_EQ(d->EnumFormatEtc(DATADIR_SET, &e), E_NOTIMPL);
  EXPECT_EQ(e, nullptr);
}

TEST(DataObject, QueryInterface) {
  Ref<pq::DataObject> d(new pq::DataObject);
  void* p = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(d->QueryInterface(IID_IStorage, &p), E_NOINTERFACE);
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(d->QueryInterface(IID_IDataObject, nullptr), E_POINTER);
  ASSERT_EQ(d->QueryInterface(IID_IUnknown, &p), S_OK);
  EXPECT_EQ(p, static_cast<IDataObject*>(d.get()));
  ASSERT_EQ(d->QueryInterface(IID_IDataObject, &p), S_OK);
  EXPECT_EQ(d->AddRef(), 4u);
  EXPECT_EQ(d->Release(), 3u);
  d->Release();
  d->Release();
}

// The last reference, whoever holds it, deletes the object and its items.
TEST(DataObject, ReferenceCountDownToDeletion) {
  bool deleted = false;
  auto* d = new pq::DataObject;
  d->Items().push_back(new WatchedItem(&deleted));
  IEnumFORMATETC* e = nullptr;
  ASSERT_EQ(d->EnumFormatEtc(DATADIR_GET, &e), S_OK);
  IEnumFORMATETC* clone = nullptr;
  ASSERT_EQ(e->Clone(&clone), S_OK);
  EXPECT_EQ(d->AddRef(), 4u) << "one for us, one per enumerator";
  EXPECT_EQ(d->Release(), 3u);
  EXPECT_EQ(d->Release(), 2u);
  EXPECT_FALSE(deleted);
  EXPECT_EQ(e->Release(), 0u);
  EXPECT_FALSE(deleted) << "the clone still holds the owner";
  EXPECT_EQ(clone->Release(), 0u);
  EXPECT_TRUE(deleted);
}

// ---- The enumerator -------------------------------------------------------------

class Enumerator : public ::testing::Test {
 protected:
  // Text (two pairs) then HTML (one pair): three pairs.
  void SetUp() override {
    d = TextAndHtml();
    ASSERT_EQ(d->EnumFormatEtc(DATADIR_GET, &e), S_OK);
  }
  void TearDown() override {
    if (e) e->Release();
    d->Release();
  }
  pq::DataObject* d = nullptr;
  IEnumFORMATETC* e = nullptr;
};

TEST_F(Enumerator, NextTable) {
  struct Step {
    const char* what;
    ULONG celt;
    bool array;
    bool fetchedPtr;
    HRESULT expected;
    ULONG fetched;  // when fetchedPtr
    std::vector<CLIPFORMAT> written;
  } steps[] = {
      {"celt 0", 0, true, true, E_INVALIDARG, 77, {}},
      {"no array", 1, false, true, E_INVALIDARG, 77, {}},
      {"2 without count", 2, true, false, E_INVALIDARG, 0, {}},
      {"1 without count", 1, true, false, S_OK, 0, {CF_UNICODETEXT}},
      {"3 over 2 left", 3, true, true, S_FALSE, 2, {CF_TEXT, pq::CfHtml()}},
      {"at the end", 1, true, true, S_FALSE, 0, {}},
      {"at the end, many", 5, true, true, S_FALSE, 0, {}},
  };
  for (const Step& s : steps) {
    FORMATETC out[5];
    std::memset(out, 0xEE, sizeof out);
    ULONG fetched = 77;
    const HRESULT hr = e->Next(s.celt, s.array ? out : nullptr, s.fetchedPtr ? &fetched : nullptr);
    EXPECT_EQ(hr, s.expected) << s.what;
    if (s.fetchedPtr) {
      EXPECT_EQ(fetched, s.fetched) << s.what;
    }
    for (std::size_t i = 0; i < s.written.size(); ++i) {
      EXPECT_EQ(out[i].cfFormat, s.written[i]) << s.what;
      EXPECT_EQ(out[i].ptd, nullptr);
      EXPECT_EQ(out[i].dwAspect, DWORD(DVASPECT_CONTENT));
      EXPECT_EQ(out[i].lindex, -1);
      EXPECT_EQ(out[i].tymed, DWORD(TYMED_HGLOBAL));
    }
    EXPECT_EQ(out[s.written.size()].cfFormat, 0xEEEE) << s.what << ": nothing beyond";
  }
}

TEST_F(Enumerator, SkipResetTable) {
  auto* impl = static_cast<pq::EnumFormatEtc*>(e);
  struct Step {
    char op;  // 's' skip, 'r' reset
    ULONG n;
    HRESULT expected;
    std::size_t cursor;
  } steps[] = {
      {'s', 1, S_OK, 1},   {'s', 3, S_FALSE, 1},          {'s', 2, S_OK, 3},
      {'s', 0, S_OK, 3},   {'s', 1, S_FALSE, 3},          {'r', 0, S_OK, 0},
      {'s', 3, S_OK, 3},   {'r', 0, S_OK, 0},             {'s', 1, S_OK, 1},
      {'s', 0xFFFFFFFFu, S_FALSE, 1},  // cannot wrap around
  };
  for (const Step& s : steps) {
    const HRESULT hr = s.op == 's' ? e->Skip(s.n) : e->Reset();
    EXPECT_EQ(hr, s.expected) << s.op << s.n;
    EXPECT_EQ(impl->GetCursor(), s.cursor) << s.op << s.n;
  }
}

TEST_F(Enumerator, CloneIsIndependent) {
  ASSERT_EQ(e->Skip(1), S_OK);
  IEnumFORMATETC* c = nullptr;
  EXPECT_EQ(e->Clone(nullptr), E_INVALIDARG);
  ASSERT_EQ(e->Clone(&c), S_OK);
  FORMATETC out;
  ASSERT_EQ(c->Next(1, &out, nullptr), S_OK);
  EXPECT_EQ(out.cfFormat, CF_TEXT) << "the clone continues from the cursor";
  ASSERT_EQ(e->Next(1, &out, nullptr), S_OK);
  EXPECT_EQ(out.cfFormat, CF_TEXT) << "advancing the clone did not move the original";
  EXPECT_EQ(c->Release(), 0u);
}

TEST_F(Enumerator, DuplicatePairsAcrossItemsStay) {
  d->Items().push_back(new pq::TextItem("again"));
  IEnumFORMATETC* e2 = nullptr;
  ASSERT_EQ(d->EnumFormatEtc(DATADIR_GET, &e2), S_OK);
  EXPECT_EQ(static_cast<pq::EnumFormatEtc*>(e2)->GetFormats().size(), 5u);
  void* p = nullptr;
  ASSERT_EQ(e2->QueryInterface(IID_IEnumFORMATETC, &p), S_OK);
  EXPECT_EQ(p, e2);
  EXPECT_EQ(e2->Release(), 1u);
  EXPECT_EQ(e2->Release(), 0u);
}
