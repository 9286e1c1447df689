#include <gtest/gtest.h>

#include <cstring>

#include "platform/clipformats.h"
#include "platform/com.h"
#include "platform/gdi.h"
#include "platform/global.h"

namespace {
// Counts releases so a test can see who released what.
class CountingUnknown : public IUnknown {
 public:
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown) return E_NOINTERFACE;
    *ppv = this;
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++refs; }
  ULONG Release() override { return --refs; }
  ULONG refs = 1;
};
}  // namespace

TEST(GlobalMemory, SizesAreRoundedUpAndExtraBytesAreZero) {
  platform::ScopedGlobalGranularity g(16);
  struct Case {
    SIZE_T asked, reported;
  } cases[] = {{0, 0}, {1, 16}, {15, 16}, {16, 16}, {17, 32}, {100, 112}};
  for (const auto& c : cases) {
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, c.asked);
    ASSERT_NE(h, nullptr) << c.asked;
    EXPECT_EQ(GlobalSize(h), c.reported) << c.asked;
    auto* p = static_cast<unsigned char*>(GlobalLock(h));
    ASSERT_NE(p, nullptr);
    for (SIZE_T i = 0; i < c.reported; ++i) EXPECT_EQ(p[i], 0) << i;
    GlobalUnlock(h);
    EXPECT_EQ(GlobalFree(h), nullptr);
  }
}

TEST(GlobalMemory, ExactGranularityGivesExactSizes) {
  platform::ScopedGlobalGranularity g(1);
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 7);
  EXPECT_EQ(GlobalSize(h), 7u);
  GlobalFree(h);
}

TEST(GlobalMemory, LocksCountAndStaleHandlesFailCleanly) {
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 8);
  ASSERT_NE(GlobalLock(h), nullptr);
  ASSERT_NE(GlobalLock(h), nullptr);
  EXPECT_EQ(platform::GlobalLockCount(h), 2u);
  EXPECT_NE(GlobalUnlock(h), FALSE);  // still locked once
  EXPECT_EQ(GlobalUnlock(h), FALSE);  // now unlocked
  EXPECT_EQ(GlobalUnlock(h), FALSE);  // not locked at all
  EXPECT_EQ(GlobalFree(h), nullptr);
  // The handle is gone: every call fails, none crashes.
  EXPECT_EQ(GlobalLock(h), nullptr);
  EXPECT_EQ(GlobalSize(h), 0u);
  EXPECT_EQ(GlobalFree(h), h);
  int junk;
  EXPECT_EQ(GlobalSize(reinterpret_cast<HGLOBAL>(&junk)), 0u);
}

TEST(GlobalMemory, HostileSizesAreRefused) {
  EXPECT_EQ(GlobalAlloc(GMEM_MOVEABLE, SIZE_T(-1)), nullptr);
  EXPECT_EQ(GlobalAlloc(GMEM_MOVEABLE, platform::GlobalLimit() + 1), nullptr);
}

TEST(GlobalMemory, DuplicateKeepsReportedSizeAndContents) {
  platform::ScopedGlobalGranularity g(16);
  HGLOBAL h = platform::GlobalFromBytes("abc", 3);
  HGLOBAL d = platform::GlobalDuplicate(h);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(GlobalSize(d), 16u);
  EXPECT_EQ(std::memcmp(GlobalLock(d), "abc\0\0", 5), 0);
  GlobalUnlock(d);
  GlobalFree(h);
  GlobalFree(d);
}

TEST(StorageMedium, ReleaseFreesTheHandleUnlessAnOwnerIsGiven) {
  SIZE_T before = platform::GlobalLiveBlocks();
  STGMEDIUM m{};
  m.tymed = TYMED_HGLOBAL;
  m.hGlobal = GlobalAlloc(GMEM_MOVEABLE, 4);
  ReleaseStgMedium(&m);
  EXPECT_EQ(platform::GlobalLiveBlocks(), before);
  EXPECT_EQ(m.hGlobal, nullptr);

  CountingUnknown owner;
  HGLOBAL kept = GlobalAlloc(GMEM_MOVEABLE, 4);
  m.tymed = TYMED_HGLOBAL;
  m.hGlobal = kept;
  m.pUnkForRelease = &owner;
  owner.AddRef();
  ReleaseStgMedium(&m);
  EXPECT_EQ(owner.refs, 1u);
  EXPECT_EQ(GlobalSize(kept), 16u) << "the owner's block must survive";
  GlobalFree(kept);
  ReleaseStgMedium(nullptr);
}

TEST(StorageMedium, ReleaseFreesBitmapsAndMetafiles) {
  std::size_t before = platform::LiveGdiObjects();
  STGMEDIUM m{};
  m.tymed = TYMED_GDI;
  m.hBitmap = CreateBitmap(2, 2, 1, 32, nullptr);
  ASSERT_NE(m.hBitmap, nullptr);
  ReleaseStgMedium(&m);
  std::vector<BYTE> emf = platform::MakeEnhMetaFile(RECTL{0, 0, 100, 100});
  m.tymed = TYMED_ENHMF;
  m.hEnhMetaFile = SetEnhMetaFileBits(static_cast<UINT>(emf.size()), emf.data());
  ASSERT_NE(m.hEnhMetaFile, nullptr);
  ReleaseStgMedium(&m);
  EXPECT_EQ(platform::LiveGdiObjects(), before);
}

TEST(Identities, InterfaceIdsCompareByValue) {
  IID copy = IID_IDataObject;
  EXPECT_TRUE(IsEqualIID(copy, IID_IDataObject));
  EXPECT_TRUE(copy == IID_IDataObject);
  EXPECT_FALSE(IID_IDataObject == IID_IUnknown);
  EXPECT_FALSE(IID_IEnumFORMATETC == IID_IDataObject);
  EXPECT_TRUE(FAILED(DV_E_FORMATETC));
  EXPECT_TRUE(SUCCEEDED(DATA_S_SAMEFORMATETC));
  EXPECT_TRUE(SUCCEEDED(S_FALSE));
  EXPECT_EQ(static_cast<std::uint32_t>(E_OUTOFMEMORY), 0x8007000Eu);
}

TEST(ResultCodes, AreDescribedInHexadecimalWithWhatTheyMean) {
  const struct {
    HRESULT hr;
    const char* text;
  } cases[] = {
      {E_NOTIMPL, "0x80004001 (not implemented)"},
      {E_FAIL, "0x80004005 (unspecified failure)"},
      {CLIPBRD_E_CANT_OPEN, "0x800401D0 (the clipboard cannot be opened)"},
      {S_OK, "0x00000000 (success)"},
      {MakeHresult(0x8badf00du), "0x8BADF00D"},  // not one of ours: the number alone
  };
  for (const auto& c : cases) EXPECT_EQ(platform::DescribeResult(c.hr), c.text);
}

TEST(AnsiCodePage, Windows1252RoundTripsWithReplacementForTheRest) {
  EXPECT_EQ(GetACP(), 1252u);
  std::wstring text = L"caf\u00e9 \u20ac \u201cq\u201d";
  std::string ansi = platform::WideToAnsi(text);
  EXPECT_EQ(ansi, std::string("caf\xe9 \x80 \x93q\x94"));
  EXPECT_EQ(platform::AnsiToWide(ansi), text);
  // One unmappable character costs that character only.
  EXPECT_EQ(platform::WideToAnsi(L"a\u4e2db"), "a?b");
  // Bytes 1252 leaves undefined become the replacement character.
  EXPECT_EQ(platform::AnsiToWide("x\x81y"), std::wstring(L"x\ufffdy"));
}

TEST(AnsiCodePage, WindowsStyleCallsCountTheTerminatorAndReportDefaults) {
  BOOL used = FALSE;
  int need = WideCharToMultiByte(CP_ACP, 0, L"ab\u4e2d", -1, nullptr, 0, nullptr, nullptr);
  EXPECT_EQ(need, 4);
  char buf[4];
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, L"ab\u4e2d", -1, buf, 4, nullptr, &used), 4);
  EXPECT_STREQ(buf, "ab?");
  EXPECT_TRUE(used);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, L"abc", -1, buf, 3, nullptr, nullptr), 0) << "too small";
  wchar_t wbuf[8];
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "\x80x", -1, wbuf, 8), 3);
  EXPECT_EQ(std::wstring(wbuf), L"\u20acx");
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "\xe2\x82\xac", 3, wbuf, 8), 1);
  EXPECT_EQ(wbuf[0], L'\u20ac');
  EXPECT_EQ(WideCharToMultiByte(12345, 0, L"a", -1, buf, 4, nullptr, nullptr), 0);
}

TEST(Utf16, SurrogatePairsAndBrokenUnits) {
  std::wstring s = L"a\U0001F600b";
  std::u16string u = platform::WideToUtf16(s);
  ASSERT_EQ(u.size(), 4u);
  EXPECT_EQ(platform::Utf16ToWide(u), s);
  const char16_t lone[] = {u'x', 0xD800, u'y'};
  EXPECT_EQ(platform::Utf16ToWide(lone, 3), std::wstring(L"x\ufffdy"));
  // Raw bytes: odd trailing byte ignored, stops at the first zero unit.
  const unsigned char raw[] = {'h', 0, 'i', 0, 0, 0, 'z', 0, 'q'};
  EXPECT_EQ(platform::Utf16BytesToWide(raw, sizeof raw), L"hi");
  EXPECT_EQ(platform::Utf16BytesToWide(raw, 3), L"h");
}
