#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "platform/atoms.h"
#include "platform/global.h"
#include "platform/ole.h"
#include "platform/storage.h"
#include "sandbox.h"
#include "test_data_object.h"

namespace {
const DWORD kRW = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
const CLSID kClass = {0x12345678, 0x9abc, 0xdef0, {1, 2, 3, 4, 5, 6, 7, 8}};

IStorage* NewStorage() {
  ILockBytes* lb = nullptr;
  EXPECT_EQ(CreateILockBytesOnHGlobal(nullptr, TRUE, &lb), S_OK);
  IStorage* stg = nullptr;
  EXPECT_EQ(StgCreateDocfileOnILockBytes(lb, STGM_CREATE | kRW, 0, &stg), S_OK);
  lb->Release();
  return stg;
}

void WriteStream(IStorage* stg, const wchar_t* name, const std::string& data) {
  IStream* s = nullptr;
  ASSERT_EQ(stg->CreateStream(name, kRW | STGM_CREATE, 0, 0, &s), S_OK);
  ULONG written = 0;
  ASSERT_EQ(s->Write(data.data(), static_cast<ULONG>(data.size()), &written), S_OK);
  EXPECT_EQ(written, data.size());
  s->Release();
}

std::string ReadStream(IStorage* stg, const wchar_t* name) {
  IStream* s = nullptr;
  if (stg->OpenStream(name, nullptr, kRW, 0, &s) != S_OK) return "<missing>";
  std::string out;
  char buf[7];
  ULONG got = 0;
  while (s->Read(buf, sizeof buf, &got) == S_OK && got) out.append(buf, got);
  s->Release();
  return out;
}

// A source object as another application keeps it: class, streams, a
// sub-storage.
void FillObject(IStorage* stg) {
  WriteClassStg(stg, kClass);
  WriteStream(stg, L"Contents", "the object's data");
  WriteStream(stg, L"\x01Ole", std::string("\x01\x00\x00\x02", 4));
  IStorage* sub = nullptr;
  ASSERT_EQ(stg->CreateStorage(L"Inner", kRW | STGM_CREATE, 0, 0, &sub), S_OK);
  WriteStream(sub, L"Deep", std::string(10000, 'x'));
  sub->Release();
}

void ExpectObject(IStorage* stg) {
  CLSID clsid;
  ASSERT_EQ(ReadClassStg(stg, &clsid), S_OK);
  EXPECT_TRUE(clsid == kClass);
  EXPECT_EQ(ReadStream(stg, L"Contents"), "the object's data");
  EXPECT_EQ(ReadStream(stg, L"\x01Ole"), std::string("\x01\x00\x00\x02", 4));
  IStorage* sub = nullptr;
  ASSERT_EQ(stg->OpenStorage(L"Inner", nullptr, kRW, nullptr, 0, &sub), S_OK);
  EXPECT_EQ(ReadStream(sub, L"Deep"), std::string(10000, 'x'));
  sub->Release();
}

CLIPFORMAT EmbeddedObject() { return static_cast<CLIPFORMAT>(RegisterClipboardFormatW(L"Embedded Object")); }

// Offers `object` as an embedding; with `here` it can also copy into a
// storage the caller gives.
void OfferEmbedding(test::TestDataObject& src, IStorage* object, bool here) {
  test::TestDataObject::Offer o;
  o.cf = EmbeddedObject();
  o.tymed = TYMED_ISTORAGE;
  o.render = [object](STGMEDIUM* m) { return platform::CopyStorageToNew(object, &m->pstg); };
  if (here) o.renderHere = [object](STGMEDIUM* m) { return object->CopyTo(0, nullptr, nullptr, m->pstg); };
  src.offers.push_back(o);
}

// The embedded-object capture: the source's object saved into bytes, as the
// clipboard item keeps it.
std::vector<BYTE> SaveObjectFrom(IDataObject* src, HRESULT* result) {
  ILockBytes* lb = nullptr;
  EXPECT_EQ(CreateILockBytesOnHGlobal(nullptr, TRUE, &lb), S_OK);
  IStorage* stg = nullptr;
  EXPECT_EQ(StgCreateDocfileOnILockBytes(lb, STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, &stg), S_OK);
  IOleObject* obj = nullptr;
  *result = OleCreateFromData(src, IID_IOleObject, OLERENDER_NONE, nullptr, nullptr, stg,
                              reinterpret_cast<void**>(&obj));
  std::vector<BYTE> bytes;
  if (*result == S_OK) {
    EXPECT_EQ(stg->Commit(STGC_DEFAULT), S_OK);
    EXPECT_EQ(lb->Flush(), S_OK);
    STATSTG st;
    EXPECT_EQ(lb->Stat(&st, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(st.cbSize.u.HighPart, 0u);
    HGLOBAL h = nullptr;
    EXPECT_EQ(GetHGlobalFromILockBytes(lb, &h), S_OK);
    EXPECT_GE(GlobalSize(h), st.cbSize.QuadPart);
    auto* p = static_cast<BYTE*>(GlobalLock(h));
    bytes.assign(p, p + st.cbSize.u.LowPart);
    GlobalUnlock(h);
    obj->Release();
  }
  stg->Release();
  lb->Release();
  return bytes;
}

// The render: the kept bytes opened as a storage again.
HRESULT OpenKept(const std::vector<BYTE>& bytes, IStorage** out) {
  HGLOBAL h = platform::GlobalFromBytes(bytes.data(), bytes.size());
  ILockBytes* lb = nullptr;
  HRESULT hr = CreateILockBytesOnHGlobal(h, TRUE, &lb);
  if (FAILED(hr)) return hr;
  hr = StgOpenStorageOnILockBytes(lb, nullptr, STGM_READWRITE | STGM_SHARE_EXCLUSIVE, nullptr, 0, out);
  lb->Release();
  return hr;
}

class Storage : public ::testing::Test {
 protected:
  void SetUp() override { blocks_ = platform::GlobalLiveBlocks(); }
  void TearDown() override { EXPECT_EQ(platform::GlobalLiveBlocks(), blocks_) << "global blocks leaked"; }
  SIZE_T blocks_ = 0;
};

TEST_F(Storage, AnObjectSavedFromADataObjectOpensAgainAndRendersTheSameData) {
  for (bool here : {false, true}) {
    IStorage* object = NewStorage();
    FillObject(object);
    test::TestDataObject src;
    OfferEmbedding(src, object, here);
    HRESULT hr;
    std::vector<BYTE> kept = SaveObjectFrom(&src, &hr);
    ASSERT_EQ(hr, S_OK);
    object->Release();

    IStorage* opened = nullptr;
    ASSERT_EQ(OpenKept(kept, &opened), S_OK);
    ExpectObject(opened);
    // A caller's storage receives a full copy.
    IStorage* dest = NewStorage();
    EXPECT_EQ(opened->CopyTo(0, nullptr, nullptr, dest), S_OK);
    ExpectObject(dest);
    dest->Release();
    // The object loads from its storage and hands its embedding back.
    IOleObject* obj = nullptr;
    ASSERT_EQ(OleLoad(opened, IID_IOleObject, nullptr, reinterpret_cast<void**>(&obj)), S_OK);
    IDataObject* data = nullptr;
    ASSERT_EQ(obj->GetClipboardData(0, &data), S_OK);
    FORMATETC fe{EmbeddedObject(), nullptr, DVASPECT_CONTENT, -1, TYMED_ISTORAGE};
    STGMEDIUM m{};
    ASSERT_EQ(data->GetData(&fe, &m), S_OK);
    ExpectObject(m.pstg);
    ReleaseStgMedium(&m);
    HRESULT again;
    EXPECT_EQ(SaveObjectFrom(data, &again), kept) << "saving the rendered object gives the same bytes";
    data->Release();
    obj->Release();
    opened->Release();
  }
}

TEST_F(Storage, AnObjectNeedsAnEmbeddingAndAStorage) {
  test::TestDataObject src;
  src.offers.push_back({EmbeddedObject(), TYMED_HGLOBAL, [](STGMEDIUM*) { return E_FAIL; }, nullptr});
  HRESULT hr;
  EXPECT_TRUE(SaveObjectFrom(&src, &hr).empty());
  EXPECT_EQ(hr, OLE_E_STATIC);
  IStorage* stg = NewStorage();
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(OleCreateFromData(nullptr, IID_IOleObject, OLERENDER_NONE, nullptr, nullptr, stg, &out), E_INVALIDARG);
  EXPECT_EQ(out, nullptr);
  IStorage* object = NewStorage();
  test::TestDataObject good;
  OfferEmbedding(good, object, false);
  EXPECT_EQ(OleCreateFromData(&good, IID_IStorage, OLERENDER_NONE, nullptr, nullptr, stg, &out), E_NOINTERFACE);
  EXPECT_EQ(OleCreateFromData(&good, IID_IOleObject, OLERENDER_DRAW, nullptr, nullptr, stg, &out), E_NOTIMPL);
  // A failing copy reports the source's result.
  test::TestDataObject failing;
  failing.offers.push_back({EmbeddedObject(), TYMED_ISTORAGE, [](STGMEDIUM*) { return E_OUTOFMEMORY; }, nullptr});
  EXPECT_EQ(OleCreateFromData(&failing, IID_IOleObject, OLERENDER_NONE, nullptr, nullptr, stg, &out), E_OUTOFMEMORY);
  object->Release();
  stg->Release();
}

TEST_F(Storage, DamagedBytesGiveAnErrorNeverACrash) {
  IStorage* object = NewStorage();
  FillObject(object);
  std::vector<BYTE> good;
  ASSERT_EQ(platform::StorageToBytes(object, &good), S_OK);
  object->Release();
  IStorage* stg = nullptr;
  for (std::size_t n = 0; n < good.size(); n += (n < 200 ? 1 : 97)) {
    std::vector<BYTE> cut(good.begin(), good.begin() + n);
    HRESULT hr = platform::StorageFromBytes(cut.data(), cut.size(), &stg);
    EXPECT_TRUE(hr == STG_E_FILEALREADYEXISTS || hr == STG_E_DOCFILECORRUPT) << n << " " << std::hex << hr;
    EXPECT_EQ(stg, nullptr);
  }
  std::mt19937 rng(3);
  for (int i = 0; i < 3000; ++i) {
    std::vector<BYTE> d = good;
    d[rng() % 120] = BYTE(rng());
    if (platform::StorageFromBytes(d.data(), d.size(), &stg) == S_OK) stg->Release();
  }
  // Slack after the stored body, as a rounded block has, is fine.
  std::vector<BYTE> slack = good;
  slack.resize(good.size() + 13, 0);
  ASSERT_EQ(platform::StorageFromBytes(slack.data(), slack.size(), &stg), S_OK);
  ExpectObject(stg);
  stg->Release();
  const char notOurs[] = "{\\rtf1 this is not a storage}";
  EXPECT_EQ(platform::StorageFromBytes(notOurs, sizeof notOurs, &stg), STG_E_FILEALREADYEXISTS);
}

// Two elements whose names differ only after a NUL would be one name to
// every caller (names are C strings): opening would find one, a copy write
// the other in its place. Such a storage is refused.
TEST_F(Storage, ANameHoldingANulIsRefused) {
  std::ifstream in(testing_sandbox::DataFile("repro/storage-name-with-zero.bin"), std::ios::binary);
  const std::vector<BYTE> repro((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_EQ(repro.size(), 82u);
  IStorage* stg = nullptr;
  EXPECT_EQ(platform::StorageFromBytes(repro.data(), repro.size(), &stg), STG_E_DOCFILECORRUPT);
  EXPECT_EQ(stg, nullptr);

  // The same storage without the NUL ("A" and "AB") opens, and its copy holds
  // what opening finds.
  std::vector<BYTE> fixed = repro;
  const std::size_t second = 16 + 1 + 16 + 4 + 4 + 2 + 2 + 1 + 8 + 5;  // the name "A\0B" after "first"
  ASSERT_EQ(fixed[second + 2], 'A');
  fixed.erase(fixed.begin() + second + 4, fixed.begin() + second + 6);
  fixed[second] = 2;
  fixed[8] = static_cast<BYTE>(fixed[8] - 2);
  ASSERT_EQ(platform::StorageFromBytes(fixed.data(), fixed.size(), &stg), S_OK);
  EXPECT_EQ(ReadStream(stg, L"A"), "first");
  EXPECT_EQ(ReadStream(stg, L"AB"), "second");
  IStorage* copy = NewStorage();
  ASSERT_EQ(stg->CopyTo(0, nullptr, nullptr, copy), S_OK);
  EXPECT_EQ(ReadStream(copy, L"A"), "first");
  EXPECT_EQ(ReadStream(copy, L"AB"), "second");
  copy->Release();
  stg->Release();
}

TEST_F(Storage, ElementsFollowTheirRules) {
  IStorage* stg = NewStorage();
  IStream* s = nullptr;
  EXPECT_EQ(stg->CreateStream(L"A", kRW, 0, 0, &s), S_OK);
  s->Release();
  EXPECT_EQ(stg->CreateStream(L"a", kRW, 0, 0, &s), STG_E_FILEALREADYEXISTS) << "names ignore case";
  EXPECT_EQ(s, nullptr);
  EXPECT_EQ(stg->CreateStream(L"bad/name", kRW, 0, 0, &s), STG_E_INVALIDNAME);
  EXPECT_EQ(stg->CreateStream(std::wstring(32, L'n').c_str(), kRW, 0, 0, &s), STG_E_INVALIDNAME);
  EXPECT_EQ(stg->OpenStream(L"missing", nullptr, kRW, 0, &s), STG_E_FILENOTFOUND);
  IStorage* sub = nullptr;
  EXPECT_EQ(stg->OpenStorage(L"A", nullptr, kRW, nullptr, 0, &sub), STG_E_FILENOTFOUND) << "A is a stream";
  EXPECT_EQ(stg->RenameElement(L"A", L"B"), S_OK);
  EXPECT_EQ(stg->DestroyElement(L"A"), STG_E_FILENOTFOUND);
  EXPECT_EQ(stg->DestroyElement(L"B"), S_OK);

  // Seek, read back, truncate.
  WriteStream(stg, L"S", "0123456789");
  ASSERT_EQ(stg->OpenStream(L"S", nullptr, kRW, 0, &s), S_OK);
  LARGE_INTEGER off;
  off.QuadPart = -3;
  ULARGE_INTEGER pos;
  EXPECT_EQ(s->Seek(off, STREAM_SEEK_END, &pos), S_OK);
  EXPECT_EQ(pos.QuadPart, 7u);
  char buf[8] = {};
  ULONG got = 0;
  EXPECT_EQ(s->Read(buf, 8, &got), S_OK);
  EXPECT_EQ(std::string(buf, got), "789");
  off.QuadPart = -100;
  EXPECT_EQ(s->Seek(off, STREAM_SEEK_CUR, &pos), STG_E_INVALIDFUNCTION);
  ULARGE_INTEGER size;
  size.QuadPart = 4;
  EXPECT_EQ(s->SetSize(size), S_OK);
  STATSTG st;
  EXPECT_EQ(s->Stat(&st, STATFLAG_DEFAULT), S_OK);
  EXPECT_EQ(st.cbSize.QuadPart, 4u);
  EXPECT_EQ(std::wstring(st.pwcsName), L"S");
  CoTaskMemFree(st.pwcsName);
  s->Release();

  // A stream opened for reading only refuses writes.
  ASSERT_EQ(stg->OpenStream(L"S", nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, &s), S_OK);
  ULONG written = 7;
  EXPECT_EQ(s->Write("x", 1, &written), STG_E_ACCESSDENIED);
  EXPECT_EQ(written, 0u);
  s->Release();

  IEnumSTATSTG* e = nullptr;
  ASSERT_EQ(stg->EnumElements(0, nullptr, 0, &e), S_OK);
  STATSTG item;
  ULONG n = 0;
  EXPECT_EQ(e->Next(1, &item, &n), S_OK);
  EXPECT_EQ(std::wstring(item.pwcsName), L"S");
  CoTaskMemFree(item.pwcsName);
  EXPECT_EQ(e->Next(1, &item, &n), S_FALSE);
  e->Release();
  stg->Release();
}

TEST_F(Storage, CopyToHonoursExclusionsAndRefusesItsOwnDescendant) {
  IStorage* from = NewStorage();
  FillObject(from);
  IStorage* to = NewStorage();
  WriteStream(to, L"Contents", "old");
  WriteStream(to, L"Other", "kept");
  const IID noStorages[] = {IID_IStorage};
  EXPECT_EQ(from->CopyTo(1, noStorages, nullptr, to), S_OK);
  EXPECT_EQ(ReadStream(to, L"Contents"), "the object's data") << "replaced";
  EXPECT_EQ(ReadStream(to, L"Other"), "kept");
  IStorage* sub = nullptr;
  EXPECT_EQ(to->OpenStorage(L"Inner", nullptr, kRW, nullptr, 0, &sub), STG_E_FILENOTFOUND);
  OLECHAR name[] = L"Contents";
  OLECHAR* names[] = {name, nullptr};
  IStorage* to2 = NewStorage();
  EXPECT_EQ(from->CopyTo(0, nullptr, names, to2), S_OK);
  EXPECT_EQ(ReadStream(to2, L"Contents"), "<missing>");
  EXPECT_EQ(ReadStream(to2, L"\x01Ole"), std::string("\x01\x00\x00\x02", 4));
  ASSERT_EQ(from->OpenStorage(L"Inner", nullptr, kRW, nullptr, 0, &sub), S_OK);
  EXPECT_EQ(from->CopyTo(0, nullptr, nullptr, sub), STG_E_ACCESSDENIED);
  EXPECT_EQ(from->CopyTo(0, nullptr, nullptr, nullptr), STG_E_INVALIDPOINTER);
  sub->Release();
  to2->Release();
  to->Release();
  from->Release();
}

TEST_F(Storage, DocfilesAreCreatedOnlyWhereAskedAndLockBytesGrow) {
  ILockBytes* lb = nullptr;
  ASSERT_EQ(CreateILockBytesOnHGlobal(nullptr, TRUE, &lb), S_OK);
  ULARGE_INTEGER off;
  off.QuadPart = 5;
  ULONG n = 0;
  EXPECT_EQ(lb->WriteAt(off, "abc", 3, &n), S_OK);
  STATSTG st;
  EXPECT_EQ(lb->Stat(&st, STATFLAG_NONAME), S_OK);
  EXPECT_EQ(st.cbSize.QuadPart, 8u) << "the logical size, not the block's rounded one";
  EXPECT_EQ(st.pwcsName, nullptr);
  char buf[16];
  off.QuadPart = 6;
  EXPECT_EQ(lb->ReadAt(off, buf, 16, &n), S_OK);
  EXPECT_EQ(n, 2u);
  IStorage* stg = nullptr;
  EXPECT_EQ(StgCreateDocfileOnILockBytes(lb, kRW, 0, &stg), STG_E_FILEALREADYEXISTS);
  EXPECT_EQ(StgOpenStorageOnILockBytes(lb, nullptr, kRW, nullptr, 0, &stg), STG_E_FILEALREADYEXISTS);
  EXPECT_EQ(StgIsStorageILockBytes(lb), S_FALSE);
  ASSERT_EQ(StgCreateDocfileOnILockBytes(lb, STGM_CREATE | kRW, 0, &stg), S_OK);
  EXPECT_EQ(StgIsStorageILockBytes(lb), S_OK);
  // Direct mode: releasing the storage writes what was changed.
  WriteStream(stg, L"Late", "written on release");
  stg->Release();
  ASSERT_EQ(StgOpenStorageOnILockBytes(lb, nullptr, kRW, nullptr, 0, &stg), S_OK);
  EXPECT_EQ(ReadStream(stg, L"Late"), "written on release");
  stg->Release();
  lb->Release();

  // A caller's block is used as given and survives without delete-on-release.
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 0);
  ASSERT_EQ(CreateILockBytesOnHGlobal(h, FALSE, &lb), S_OK);
  HGLOBAL back = nullptr;
  EXPECT_EQ(GetHGlobalFromILockBytes(lb, &back), S_OK);
  EXPECT_EQ(back, h);
  lb->Release();
  EXPECT_EQ(GlobalFree(h), nullptr);
  EXPECT_EQ(CreateILockBytesOnHGlobal(h, FALSE, &lb), E_INVALIDARG) << "a freed block";
}
}  // namespace
