#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <vector>

#include "../src/clipboard_internal.h"
#include "platform/clipboard.h"
#include "platform/global.h"
#include "platform/sim/clipboard.h"
#include "platform/storage.h"
#include "sandbox.h"
#include "sim_fixture.h"
#include "test_data_object.h"

namespace {
// One of our own windows as a well-behaved viewer: it records what reaches it
// and passes the chain messages on.
struct OwnViewer {
  HWND hwnd = nullptr;
  HWND next = nullptr;
  std::vector<UINT> got;
};
OwnViewer* g_own = nullptr;

LRESULT OwnViewerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!g_own || hwnd != g_own->hwnd) return DefWindowProcW(hwnd, msg, wParam, lParam);
  if (msg == WM_DRAWCLIPBOARD) {
    g_own->got.push_back(msg);
    if (g_own->next) SendMessageW(g_own->next, msg, wParam, lParam);
    return 0;
  }
  if (msg == WM_CHANGECBCHAIN) {
    g_own->got.push_back(msg);
    if (reinterpret_cast<HWND>(wParam) == g_own->next) {
      g_own->next = reinterpret_cast<HWND>(lParam);
    } else if (g_own->next) {
      SendMessageW(g_own->next, msg, wParam, lParam);
    }
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

int Count(const std::vector<UINT>& v, UINT m) { return static_cast<int>(std::count(v.begin(), v.end(), m)); }
int Draws(HWND simWindow) {
  int n = 0;
  for (const auto& r : sim::Messages(simWindow)) n += r.message == WM_DRAWCLIPBOARD;
  return n;
}

std::vector<BYTE> Utf16Bytes(const std::u16string& s, bool terminate = true) {
  std::vector<BYTE> out;
  for (char16_t c : s) {
    out.push_back(BYTE(c));
    out.push_back(BYTE(c >> 8));
  }
  if (terminate) out.insert(out.end(), {0, 0});
  return out;
}

std::vector<BYTE> Block(HGLOBAL h) {
  std::vector<BYTE> out(GlobalSize(h));
  if (!out.empty()) std::memcpy(out.data(), GlobalLock(h), out.size());
  GlobalUnlock(h);
  return out;
}

std::vector<BYTE> SmallDib() {
  HBITMAP bm = CreateBitmap(3, 2, 1, 32, nullptr);
  std::vector<BYTE> dib = platform::PackedDibFromBitmap(bm, 24);
  DeleteObject(bm);
  return dib;
}

test::TestDataObject::Offer GlobalOffer(CLIPFORMAT cf, std::vector<BYTE> bytes) {
  return {cf, TYMED_HGLOBAL,
          [bytes](STGMEDIUM* m) {
            m->hGlobal = platform::GlobalFromBytes(bytes.data(), bytes.size());
            return m->hGlobal ? S_OK : E_OUTOFMEMORY;
          },
          nullptr};
}

std::vector<FORMATETC> Enumerate(IDataObject* d) {
  std::vector<FORMATETC> out;
  IEnumFORMATETC* e = nullptr;
  EXPECT_EQ(d->EnumFormatEtc(DATADIR_GET, &e), S_OK);
  if (!e) return out;
  FORMATETC fe;
  ULONG n = 0;
  while (e->Next(1, &fe, &n) == S_OK) out.push_back(fe);
  e->Release();
  return out;
}

class Clipboard : public SimDesktop {
 protected:
  void SetUp() override {
    SimDesktop::SetUp();
    own_.hwnd = platform::CreateToolkitWindow(L"TestViewer", L"", nullptr, OwnViewerProc);
    g_own = &own_;
  }
  void TearDown() override {
    g_own = nullptr;
    sim::Reset();  // the clipboard lets go of every object of this test
  }
  void JoinOwn() { own_.next = SetClipboardViewer(own_.hwnd); }
  OwnViewer own_;
  // Outlives TearDown, where the clipboard lets go of it.
  test::TestDataObject src_;
};

TEST_F(Clipboard, ViewersJoinLeaveAndRepairTheChain) {
  JoinOwn();
  EXPECT_EQ(own_.next, nullptr) << "the first viewer has no next";
  EXPECT_EQ(Count(own_.got, WM_DRAWCLIPBOARD), 1) << "sent during SetClipboardViewer";

  HWND a = sim::AddClipboardViewer(editorThread);
  EXPECT_EQ(sim::ViewerNext(a), own_.hwnd);
  ASSERT_TRUE(sim::PutClipboard(editorFrame, {sim::UnicodeText(L"one")}));
  EXPECT_EQ(Count(own_.got, WM_DRAWCLIPBOARD), 2) << "passed on by the other viewer";
  EXPECT_EQ(Draws(a), 2);

  // A viewer that does not pass the message on breaks the chain behind it.
  HWND broken = sim::AddClipboardViewer(editorThread, false);
  sim::PutClipboard(editorFrame, {sim::UnicodeText(L"two")});
  EXPECT_EQ(Count(own_.got, WM_DRAWCLIPBOARD), 2);
  EXPECT_EQ(Draws(a), 2);

  // It leaves properly: the chain heals.
  sim::RemoveClipboardViewer(broken);
  EXPECT_EQ(GetClipboardViewer(), a);
  sim::PutClipboard(editorFrame, {sim::UnicodeText(L"three")});
  EXPECT_EQ(Count(own_.got, WM_DRAWCLIPBOARD), 3);

  // A viewer in the middle leaves: the one before it learns its new next.
  HWND c = sim::AddClipboardViewer(editorThread);
  ASSERT_EQ(sim::ViewerNext(c), a);
  sim::RemoveClipboardViewer(a);
  EXPECT_EQ(sim::ViewerNext(c), own_.hwnd);
  sim::PutClipboard(editorFrame, {sim::UnicodeText(L"four")});
  EXPECT_EQ(Count(own_.got, WM_DRAWCLIPBOARD), 4);

  // We leave while behind another viewer: WM_CHANGECBCHAIN goes to the first.
  EXPECT_TRUE(ChangeClipboardChain(own_.hwnd, own_.next));
  EXPECT_EQ(sim::ViewerNext(c), nullptr);
  sim::PutClipboard(editorFrame, {sim::UnicodeText(L"five")});
  EXPECT_EQ(Count(own_.got, WM_DRAWCLIPBOARD), 4);
}

TEST_F(Clipboard, TheWriterOwnsTheClipboardUntilItsWindowGoes) {
  EXPECT_EQ(GetClipboardOwner(), nullptr);
  ASSERT_TRUE(sim::PutClipboard(editorFrame, {sim::UnicodeText(L"kept")}));
  EXPECT_EQ(GetClipboardOwner(), editorFrame);
  sim::EndProcess(editorPid);
  EXPECT_EQ(GetClipboardOwner(), nullptr);
  std::wstring text;
  ASSERT_TRUE(sim::ClipboardText(&text));
  EXPECT_EQ(text, L"kept") << "the data outlives its owner";
}

TEST_F(Clipboard, TextFormatsAreOfferedForEachOther) {
  ASSERT_TRUE(sim::PutClipboard(editorFrame, {sim::UnicodeText(L"caf\u00e9 \u20ac \u4e2d")}));
  EXPECT_EQ(sim::ClipboardFormats(), (std::vector<UINT>{CF_UNICODETEXT, CF_LOCALE, CF_TEXT}));
  std::vector<BYTE> ansi = sim::ClipboardBytes(CF_TEXT);
  ASSERT_GE(ansi.size(), 9u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(ansi.data())), "caf\xe9 \x80 ?");
  std::vector<BYTE> lcid = sim::ClipboardBytes(CF_LOCALE);
  ASSERT_GE(lcid.size(), 4u);
  EXPECT_EQ(lcid[0] | (lcid[1] << 8), 0x0409);

  ASSERT_TRUE(sim::PutClipboard(editorFrame, {sim::AnsiText("\x80uro")}));
  EXPECT_EQ(sim::ClipboardFormats(), (std::vector<UINT>{CF_TEXT, CF_LOCALE, CF_UNICODETEXT}));
  std::wstring text;
  ASSERT_TRUE(sim::ClipboardText(&text));
  EXPECT_EQ(text, L"\u20acuro");

  // Given both, nothing is made up.
  sim::PutClipboard(editorFrame, {sim::UnicodeText(L"a"), sim::AnsiText("b"), sim::Bytes(CF_LOCALE, "\x07\x04\0\0")});
  EXPECT_EQ(sim::ClipboardFormats(), (std::vector<UINT>{CF_UNICODETEXT, CF_TEXT, CF_LOCALE}));
}

// The old-style picture the clipboard offers for an enhanced metafile.
METAFILEPICT OfferedPict() {
  METAFILEPICT pict{};
  if (!OpenClipboard(nullptr)) {
    ADD_FAILURE() << "the clipboard does not open";
    return pict;
  }
  HGLOBAL block = GetClipboardData(CF_METAFILEPICT);
  if (GlobalSize(block) >= sizeof pict) {
    std::memcpy(&pict, GlobalLock(block), sizeof pict);
    GlobalUnlock(block);
  } else {
    ADD_FAILURE() << "no picture offered";
  }
  CloseClipboard();
  return pict;
}

TEST_F(Clipboard, PicturesAreOfferedInTheOtherKindToo) {
  std::vector<BYTE> dib = SmallDib();
  ASSERT_TRUE(sim::PutClipboard(editorFrame, {sim::Dib(dib)}));
  EXPECT_EQ(sim::ClipboardFormats(), (std::vector<UINT>{CF_DIB, CF_BITMAP}));
  ASSERT_TRUE(OpenClipboard(nullptr));
  auto bm = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP));
  BITMAP info{};
  ASSERT_EQ(GetObjectW(bm, sizeof info, &info), int(sizeof info));
  EXPECT_EQ(info.bmWidth, 3);
  CloseClipboard();

  sim::PutClipboard(editorFrame, {sim::Bitmap(CreateBitmap(5, 4, 1, 32, nullptr))});
  EXPECT_EQ(sim::ClipboardFormats(), (std::vector<UINT>{CF_BITMAP, CF_DIB}));
  std::vector<BYTE> made = sim::ClipboardBytes(CF_DIB);
  platform::DibLayout L;
  ASSERT_TRUE(platform::ParsePackedDib(made.data(), made.size(), &L));
  EXPECT_EQ(L.width, 5);

  std::vector<BYTE> emf = platform::MakeEnhMetaFile(RECTL{0, 0, 1000, 500});
  sim::PutClipboard(editorFrame, {sim::EnhMetaFile(emf)});
  EXPECT_EQ(sim::ClipboardFormats(), (std::vector<UINT>{CF_ENHMETAFILE, CF_METAFILEPICT}));
  const METAFILEPICT pict = OfferedPict();
  EXPECT_EQ(pict.mm, MM_ANISOTROPIC);
  EXPECT_EQ(pict.xExt, 1000);
}

// A frame from INT_MIN to 100 is wider than a LONG: the old-style picture
// gets the largest extent, not a wrapped-around negative one.
TEST_F(Clipboard, AnOverwideMetafileFrameGivesTheLargestExtent) {
  std::ifstream in(testing_sandbox::DataFile("repro/emf-frame-overflow.emf"), std::ios::binary);
  const std::vector<BYTE> emf((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_EQ(emf.size(), 108u);
  ASSERT_TRUE(sim::PutClipboard(editorFrame, {sim::EnhMetaFile(emf)}));
  const METAFILEPICT pict = OfferedPict();
  EXPECT_EQ(pict.xExt, std::numeric_limits<LONG>::max()) << "right 100 minus left INT_MIN";
  EXPECT_EQ(pict.yExt, 100);
}

TEST_F(Clipboard, DataMadeOnRequestIsMadeOnceAndOnlyWhenAskedFor) {
  int made = 0;
  std::vector<BYTE> dib = SmallDib();
  auto render = [&made, dib]() -> HANDLE {
    ++made;
    return platform::GlobalFromBytes(dib.data(), dib.size());
  };
  ASSERT_TRUE(OpenClipboard(editorFrame));
  EmptyClipboard();
  ASSERT_TRUE(platform::detail::SetClipboardDataLater(CF_DIB, render));
  CloseClipboard();
  EXPECT_EQ(sim::ClipboardFormats(), (std::vector<UINT>{CF_DIB, CF_BITMAP}));
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_DIB));
  EXPECT_EQ(made, 0) << "listed, not made";

  IDataObject* d = nullptr;
  ASSERT_EQ(OleGetClipboard(&d), S_OK);
  FORMATETC bitmap{CF_BITMAP, nullptr, DVASPECT_CONTENT, -1, TYMED_GDI};
  STGMEDIUM m{};
  ASSERT_EQ(d->GetData(&bitmap, &m), S_OK) << "made from the bitmap it is made from";
  ReleaseStgMedium(&m);
  EXPECT_EQ(made, 1);
  EXPECT_EQ(sim::ClipboardBytes(CF_DIB), dib);
  EXPECT_EQ(made, 1) << "made once";
  d->Release();

  // Nothing to give: the format goes, and is not tried again.
  ASSERT_TRUE(OpenClipboard(editorFrame));
  EmptyClipboard();
  ASSERT_TRUE(platform::detail::SetClipboardDataLater(CF_DIB, [&made]() -> HANDLE {
    ++made;
    return nullptr;
  }));
  CloseClipboard();
  ASSERT_TRUE(OpenClipboard(nullptr));
  EXPECT_EQ(GetClipboardData(CF_DIB), nullptr);
  EXPECT_EQ(GetClipboardData(CF_DIB), nullptr);
  CloseClipboard();
  EXPECT_EQ(made, 2);
  EXPECT_FALSE(IsClipboardFormatAvailable(CF_DIB));

  // Replaced before anyone asked: never made.
  ASSERT_TRUE(OpenClipboard(editorFrame));
  EmptyClipboard();
  ASSERT_TRUE(platform::detail::SetClipboardDataLater(CF_DIB, render));
  EmptyClipboard();
  CloseClipboard();
  EXPECT_FALSE(platform::detail::SetClipboardDataLater(CF_DIB, render)) << "the clipboard is closed";
  EXPECT_EQ(made, 2);
}

TEST_F(Clipboard, OleRoundTripListsTheProducersPairsThenTheSynthesisedOnes) {
  JoinOwn();
  own_.got.clear();
  const CLIPFORMAT html = static_cast<CLIPFORMAT>(RegisterClipboardFormatW(L"HTML Format"));
  const CLIPFORMAT embedded = static_cast<CLIPFORMAT>(RegisterClipboardFormatW(L"Embedded Object"));
  platform::ScopedGlobalGranularity g(16);
  test::TestDataObject& src = src_;
  src.offers.push_back(GlobalOffer(CF_UNICODETEXT, Utf16Bytes(u"hello")));
  src.offers.push_back(GlobalOffer(html, {'<', 'b', '>'}));
  src.offers.push_back({html, TYMED_ISTREAM,
                        [](STGMEDIUM* m) {
                          return CreateStreamOnHGlobal(platform::GlobalFromBytes("<i>", 3), TRUE, &m->pstm);
                        },
                        nullptr});
  IStorage* object = nullptr;
  {
    std::vector<BYTE> empty;
    ILockBytes* lb = nullptr;
    CreateILockBytesOnHGlobal(nullptr, TRUE, &lb);
    StgCreateDocfileOnILockBytes(lb, STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, &object);
    lb->Release();
    IStream* s = nullptr;
    object->CreateStream(L"Contents", STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, 0, &s);
    s->Write("obj", 3, nullptr);
    s->Release();
  }
  src.offers.push_back({embedded, TYMED_ISTORAGE,
                        [object](STGMEDIUM* m) { return platform::CopyStorageToNew(object, &m->pstg); }, nullptr});
  src.offers.push_back({CF_BITMAP, TYMED_GDI,
                        [](STGMEDIUM* m) {
                          m->hBitmap = CreateBitmap(2, 2, 1, 32, nullptr);
                          return S_OK;
                        },
                        nullptr});

  ASSERT_EQ(OleSetClipboard(&src), S_OK);
  EXPECT_EQ(Count(own_.got, WM_DRAWCLIPBOARD), 1) << "the chain was walked during the call";
  EXPECT_EQ(OleIsCurrentClipboard(&src), S_OK);
  EXPECT_EQ(OleIsCurrentClipboard(nullptr), S_FALSE);
  DWORD pid = 0;
  GetWindowThreadProcessId(GetClipboardOwner(), &pid);
  EXPECT_EQ(pid, GetCurrentProcessId()) << "our process owns the clipboard";
  EXPECT_EQ(src.getDataCalls, 0) << "nothing is rendered before it is asked for";

  IDataObject* clip = nullptr;
  ASSERT_EQ(OleGetClipboard(&clip), S_OK);
  std::vector<std::pair<CLIPFORMAT, DWORD>> pairs;
  for (const FORMATETC& fe : Enumerate(clip)) {
    pairs.emplace_back(fe.cfFormat, fe.tymed);
    EXPECT_EQ(fe.ptd, nullptr);
    EXPECT_EQ(fe.dwAspect, DWORD(DVASPECT_CONTENT));
    EXPECT_EQ(fe.lindex, -1);
  }
  std::vector<std::pair<CLIPFORMAT, DWORD>> want = {
      {CF_UNICODETEXT, TYMED_HGLOBAL}, {html, TYMED_HGLOBAL},     {html, TYMED_ISTREAM},
      {embedded, TYMED_ISTORAGE},      {CF_BITMAP, TYMED_GDI},    {CF_LOCALE, TYMED_HGLOBAL},
      {CF_TEXT, TYMED_HGLOBAL},        {CF_DIB, TYMED_HGLOBAL}};
  EXPECT_EQ(pairs, want);

  FORMATETC fe{CF_UNICODETEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM m{};
  ASSERT_EQ(clip->GetData(&fe, &m), S_OK);
  EXPECT_EQ(m.tymed, DWORD(TYMED_HGLOBAL));
  EXPECT_EQ(m.pUnkForRelease, nullptr);
  EXPECT_EQ(GlobalSize(m.hGlobal), 16u) << "the producer's rounded block";
  EXPECT_EQ(platform::Utf16BytesToWide(GlobalLock(m.hGlobal), GlobalSize(m.hGlobal)), L"hello");
  GlobalUnlock(m.hGlobal);
  ReleaseStgMedium(&m);

  fe = {CF_TEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  ASSERT_EQ(clip->GetData(&fe, &m), S_OK);
  EXPECT_STREQ(static_cast<const char*>(GlobalLock(m.hGlobal)), "hello");
  GlobalUnlock(m.hGlobal);
  ReleaseStgMedium(&m);

  fe = {html, nullptr, DVASPECT_CONTENT, -1, TYMED_ISTREAM};
  ASSERT_EQ(clip->GetData(&fe, &m), S_OK);
  EXPECT_EQ(m.tymed, DWORD(TYMED_ISTREAM));
  char buf[8] = {};
  ULONG got = 0;
  m.pstm->Read(buf, 3, &got);
  EXPECT_EQ(std::string(buf, got), "<b>") << "one block per format, from the first pair that rendered";
  ReleaseStgMedium(&m);

  fe = {embedded, nullptr, DVASPECT_CONTENT, -1, TYMED_ISTORAGE};
  ASSERT_EQ(clip->GetData(&fe, &m), S_OK);
  IStream* s = nullptr;
  ASSERT_EQ(m.pstg->OpenStream(L"Contents", nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, &s), S_OK);
  s->Read(buf, 8, &got);
  EXPECT_EQ(std::string(buf, got), "obj");
  s->Release();
  ReleaseStgMedium(&m);

  fe = {CF_DIB, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  ASSERT_EQ(clip->GetData(&fe, &m), S_OK);
  EXPECT_TRUE(platform::ParsePackedDib(GlobalLock(m.hGlobal), GlobalSize(m.hGlobal), nullptr));
  GlobalUnlock(m.hGlobal);
  ReleaseStgMedium(&m);

  fe = {CF_BITMAP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  EXPECT_EQ(clip->GetData(&fe, &m), DV_E_TYMED);
  fe = {static_cast<CLIPFORMAT>(RegisterClipboardFormatW(L"Csv")), nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  EXPECT_EQ(clip->GetData(&fe, &m), DV_E_FORMATETC);
  EXPECT_EQ(clip->QueryGetData(&fe), DV_E_FORMATETC);
  fe = {html, nullptr, DVASPECT_CONTENT, -1, TYMED_NULL};
  EXPECT_EQ(clip->QueryGetData(&fe), S_OK) << "TYMED_NULL asks only for the format";
  EXPECT_EQ(clip->GetData(nullptr, &m), E_INVALIDARG);
  EXPECT_EQ(clip->DAdvise(&fe, 0, nullptr, nullptr), OLE_E_ADVISENOTSUPPORTED);
  clip->Release();
  object->Release();
}

TEST_F(Clipboard, FlushKeepsTheDataAfterTheObjectIsReleased) {
  test::TestDataObject& src = src_;
  src.offers.push_back(GlobalOffer(CF_UNICODETEXT, Utf16Bytes(u"stay")));
  src.offers.push_back({static_cast<CLIPFORMAT>(RegisterClipboardFormatW(L"Csv")), TYMED_HGLOBAL,
                        [](STGMEDIUM*) { return E_OUTOFMEMORY; }, nullptr});
  ASSERT_EQ(OleSetClipboard(&src), S_OK);
  EXPECT_EQ(src.refs, 2u);
  ASSERT_EQ(OleFlushClipboard(), S_OK);
  EXPECT_EQ(src.refs, 1u) << "the clipboard let go of the object";
  EXPECT_EQ(OleIsCurrentClipboard(&src), S_FALSE);
  src.offers.clear();  // the object could render nothing more now
  std::wstring text;
  ASSERT_TRUE(sim::ClipboardText(&text));
  EXPECT_EQ(text, L"stay");
  IDataObject* clip = nullptr;
  ASSERT_EQ(OleGetClipboard(&clip), S_OK);
  std::vector<CLIPFORMAT> formats;
  for (const FORMATETC& fe : Enumerate(clip)) formats.push_back(fe.cfFormat);
  EXPECT_EQ(formats, (std::vector<CLIPFORMAT>{CF_UNICODETEXT, CF_LOCALE, CF_TEXT})) << "what failed is gone";
  clip->Release();
  EXPECT_EQ(OleFlushClipboard(), S_OK) << "nothing left to flush";
}

TEST_F(Clipboard, AWriterDuringTheFlushKeepsItsData) {
  // While our object renders for the flush (the clipboard's lock let go),
  // another application writes: the flush must leave its data alone.
  test::TestDataObject& src = src_;
  HWND editor = editorFrame;
  src.offers.push_back({CF_UNICODETEXT, TYMED_HGLOBAL,
                        [editor](STGMEDIUM* m) {
                          sim::PutClipboard(editor, {sim::UnicodeText(L"theirs")});
                          std::vector<BYTE> bytes = Utf16Bytes(u"ours");
                          m->hGlobal = platform::GlobalFromBytes(bytes.data(), bytes.size());
                          return S_OK;
                        },
                        nullptr});
  ASSERT_EQ(OleSetClipboard(&src), S_OK);
  EXPECT_EQ(OleFlushClipboard(), S_OK);
  EXPECT_EQ(src.refs, 1u) << "the clipboard let go of the object once";
  EXPECT_EQ(GetClipboardOwner(), editorFrame);
  std::wstring text;
  ASSERT_TRUE(sim::ClipboardText(&text));
  EXPECT_EQ(text, L"theirs");
}

TEST_F(Clipboard, TheTargetDevicesAProducerListsAreFreed) {
  // Checked by the leak checker of a sanitised build; here the pairs arrive.
  test::TestDataObject src;
  src.listDevices = true;
  src.offers.push_back(GlobalOffer(CF_UNICODETEXT, Utf16Bytes(u"dev")));
  ASSERT_EQ(OleSetClipboard(&src), S_OK);
  std::wstring text;
  ASSERT_TRUE(sim::ClipboardText(&text));
  EXPECT_EQ(text, L"dev");
  ASSERT_EQ(OleSetClipboard(nullptr), S_OK);
  EXPECT_EQ(src.refs, 1u);
}

TEST_F(Clipboard, AnotherWriterReplacesOurObject) {
  test::TestDataObject& src = src_;
  src.offers.push_back(GlobalOffer(CF_UNICODETEXT, Utf16Bytes(u"ours")));
  ASSERT_EQ(OleSetClipboard(&src), S_OK);
  ASSERT_TRUE(sim::PutClipboard(editorFrame, {sim::UnicodeText(L"theirs")}));
  EXPECT_EQ(src.refs, 1u);
  EXPECT_EQ(OleIsCurrentClipboard(&src), S_FALSE);
  EXPECT_EQ(GetClipboardOwner(), editorFrame);
  bool destroyed = false;
  for (const auto& r : sim::Messages(editorFrame)) destroyed |= r.message == WM_DESTROYCLIPBOARD;
  EXPECT_FALSE(destroyed);
  // And back: the previous owner is told that it lost the clipboard.
  ASSERT_EQ(OleSetClipboard(&src), S_OK);
  for (const auto& r : sim::Messages(editorFrame)) destroyed |= r.message == WM_DESTROYCLIPBOARD;
  EXPECT_TRUE(destroyed);
  ASSERT_EQ(OleSetClipboard(nullptr), S_OK);
  EXPECT_EQ(src.refs, 1u);
  EXPECT_TRUE(sim::ClipboardFormats().empty());
}

TEST_F(Clipboard, AHungApplicationHoldingTheClipboardOpenBlocksUntilItLetsGo) {
  ASSERT_TRUE(sim::PutClipboard(editorFrame, {sim::UnicodeText(L"x")}));
  ASSERT_TRUE(sim::HoldClipboard(editorFrame, 25));
  IDataObject* clip = nullptr;
  test::TestDataObject& src = src_;
  EXPECT_EQ(OleGetClipboard(&clip), CLIPBRD_E_CANT_OPEN);
  EXPECT_EQ(clip, nullptr);
  EXPECT_EQ(OleSetClipboard(&src), CLIPBRD_E_CANT_OPEN);
  EXPECT_EQ(src.refs, 1u);
  EXPECT_EQ(GetOpenClipboardWindow(), editorFrame);
  int tries = 1;
  while (OleGetClipboard(&clip) != S_OK && tries < 6) {
    Sleep(10);
    ++tries;
  }
  EXPECT_EQ(tries, 4) << "free once 25 ms of virtual time passed";
  ASSERT_NE(clip, nullptr);
  clip->Release();
  ASSERT_TRUE(sim::HoldClipboard(editorFrame, INFINITE));
  EXPECT_FALSE(OpenClipboard(nullptr));
  sim::ReleaseClipboard();
  EXPECT_TRUE(OpenClipboard(nullptr));
  CloseClipboard();
}

TEST_F(Clipboard, DataThatLiesAboutItsSizeIsRefusedWhereItIsInterpreted) {
  platform::ScopedGlobalGranularity g(1);
  std::vector<BYTE> dib = SmallDib();
  std::vector<BYTE> liar = dib;
  liar[8] = 200;  // claims 200 rows
  std::vector<BYTE> storage;
  {
    IStorage* stg = nullptr;
    ILockBytes* lb = nullptr;
    CreateILockBytesOnHGlobal(nullptr, TRUE, &lb);
    StgCreateDocfileOnILockBytes(lb, STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, &stg);
    lb->Release();
    platform::StorageToBytes(stg, &storage);
    stg->Release();
  }
  storage.resize(storage.size() - 2);
  std::vector<BYTE> noTerminator = Utf16Bytes(u"abc", false);
  sim::ClipData listedOnly = sim::Named(L"Rich Text Format", "");
  listedOnly.noData = true;
  sim::ClipData roomy = sim::UnicodeText(L"pad");
  roomy.blockSize = 64;
  ASSERT_TRUE(sim::PutClipboard(editorFrame, {sim::Dib(liar), sim::Storage(storage), sim::Bytes(CF_UNICODETEXT, noTerminator),
                                              sim::Named(L"Csv", "a,b"), sim::EnhMetaFile({1, 2, 3, 4}), listedOnly}));
  IDataObject* clip = nullptr;
  ASSERT_EQ(OleGetClipboard(&clip), S_OK);
  STGMEDIUM m{};
  FORMATETC fe{CF_DIB, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  ASSERT_EQ(clip->GetData(&fe, &m), S_OK) << "raw bytes pass through for their reader to check";
  EXPECT_FALSE(platform::ParsePackedDib(GlobalLock(m.hGlobal), GlobalSize(m.hGlobal), nullptr));
  GlobalUnlock(m.hGlobal);
  ReleaseStgMedium(&m);
  fe = {CF_BITMAP, nullptr, DVASPECT_CONTENT, -1, TYMED_GDI};
  EXPECT_EQ(clip->GetData(&fe, &m), DV_E_FORMATETC) << "no bitmap is made from a lying header";
  fe = {static_cast<CLIPFORMAT>(RegisterClipboardFormatW(L"Embedded Object")), nullptr, DVASPECT_CONTENT, -1,
        TYMED_ISTORAGE};
  EXPECT_EQ(clip->GetData(&fe, &m), STG_E_DOCFILECORRUPT);
  fe = {CF_TEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  ASSERT_EQ(clip->GetData(&fe, &m), S_OK);
  EXPECT_EQ(Block(m.hGlobal), (std::vector<BYTE>{'a', 'b', 'c', 0})) << "read no further than the block";
  ReleaseStgMedium(&m);
  fe = {CF_ENHMETAFILE, nullptr, DVASPECT_CONTENT, -1, TYMED_ENHMF};
  EXPECT_EQ(clip->GetData(&fe, &m), DV_E_FORMATETC) << "refused metafile bytes give no data";
  fe = {static_cast<CLIPFORMAT>(listedOnly.format), nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  EXPECT_EQ(clip->GetData(&fe, &m), DV_E_FORMATETC) << "listed without data";
  bool listed = false;
  for (const FORMATETC& f : Enumerate(clip)) listed |= f.cfFormat == listedOnly.format;
  EXPECT_TRUE(listed);
  clip->Release();

  // A block larger than its data is handed on whole.
  sim::PutClipboard(editorFrame, {roomy});
  ASSERT_EQ(OleGetClipboard(&clip), S_OK);
  fe = {CF_UNICODETEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  ASSERT_EQ(clip->GetData(&fe, &m), S_OK);
  EXPECT_EQ(GlobalSize(m.hGlobal), 64u);
  ReleaseStgMedium(&m);
  clip->Release();
}

TEST_F(Clipboard, EditControlsPasteTheClipboardText) {
  HWND rich = sim::AddRichEdit(editorThread, editorFrame);
  sim::SetEditText(editor, L"> ");
  ASSERT_TRUE(sim::PutClipboard(editorFrame, {sim::UnicodeText(L"pasted")}));
  PostMessageW(editor, WM_PASTE, 0, 0);
  sim::Settle();
  EXPECT_EQ(sim::EditText(editor), L"> pasted");

  test::TestDataObject& src = src_;
  src.offers.push_back(GlobalOffer(CF_UNICODETEXT, Utf16Bytes(u" typed")));
  ASSERT_EQ(OleSetClipboard(&src), S_OK);
  ASSERT_TRUE(sim::SetFocus(rich));
  sim::Chord({VK_CONTROL, 'V'});
  sim::Settle();
  EXPECT_EQ(sim::EditText(rich), L" typed");

  sim::PutClipboard(editorFrame, {sim::Dib(SmallDib())});
  PostMessageW(editor, WM_PASTE, 0, 0);
  sim::Settle();
  EXPECT_EQ(sim::EditText(editor), L"> pasted") << "nothing to paste without text";
}

TEST_F(Clipboard, AFreshDesktopHasAnEmptyClipboardAndNoViewers) {
  JoinOwn();
  test::TestDataObject& src = src_;
  src.offers.push_back(GlobalOffer(CF_UNICODETEXT, Utf16Bytes(u"old")));
  ASSERT_EQ(OleSetClipboard(&src), S_OK);
  sim::Reset();
  EXPECT_EQ(src.refs, 1u);
  EXPECT_EQ(GetClipboardViewer(), nullptr);
  EXPECT_EQ(GetClipboardOwner(), nullptr);
  EXPECT_TRUE(sim::ClipboardFormats().empty());
}
}  // namespace

namespace {
// Keeps a block and counts how often a receiver let go of it.
class BlockOwner : public IUnknown {
 public:
  HRESULT QueryInterface(REFIID, void** ppv) override {
    if (ppv) *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++refs; }
  ULONG Release() override { return --refs; }
  ULONG refs = 1;
};

TEST_F(Clipboard, MediaTheProducerKeepsAreCopiedAndHandedBack) {
  BlockOwner owner;
  HGLOBAL shared = platform::GlobalFromBytes("s\0h\0\0\0", 6);
  test::TestDataObject& src = src_;
  src.offers.push_back({CF_UNICODETEXT, TYMED_HGLOBAL,
                        [&](STGMEDIUM* m) {
                          m->hGlobal = shared;
                          m->pUnkForRelease = &owner;
                          owner.AddRef();
                          return S_OK;
                        },
                        nullptr});
  ASSERT_EQ(OleSetClipboard(&src), S_OK);
  std::wstring text;
  ASSERT_TRUE(sim::ClipboardText(&text));
  EXPECT_EQ(text, L"sh");
  EXPECT_EQ(owner.refs, 1u) << "the producer's hold was released";
  EXPECT_EQ(GlobalSize(shared), platform::GlobalGranularity()) << "its block was copied, not taken";
  GlobalFree(shared);
}

TEST_F(Clipboard, AProducerThatCannotListItsFormatsLeavesAnEmptyClipboard) {
  class NoFormats : public test::TestDataObject {
   public:
    HRESULT EnumFormatEtc(DWORD, IEnumFORMATETC** out) override {
      *out = nullptr;
      return E_OUTOFMEMORY;
    }
  };
  NoFormats bad;
  EXPECT_EQ(OleSetClipboard(&bad), E_OUTOFMEMORY);
  EXPECT_EQ(bad.refs, 1u);
  EXPECT_EQ(OleIsCurrentClipboard(&bad), S_FALSE);
  EXPECT_TRUE(sim::ClipboardFormats().empty());
}
}  // namespace
