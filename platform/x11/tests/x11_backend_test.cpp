// The X11 backend against a private Xvfb with openbox and real clients:
// xclip, xdotool and the small test client.
#include <gtest/gtest.h>
#include <X11/Xlib.h>
#include <png.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <string>
#include <vector>

#include "../../tests/test_data_object.h"
#include "platform/atoms.h"
#include "platform/clipboard.h"
#include "platform/clipformats.h"
#include "platform/gdi.h"
#include "platform/global.h"
#include "platform/hooks.h"
#include "platform/input.h"
#include "platform/process.h"
#include "platform/shortcuts.h"
#include "platform/window.h"
#include "platform/x11.h"
#include "sandbox.h"
#include "xserver.h"

namespace {

using x11test::Process;
using x11test::PumpUntil;
using Clock = std::chrono::steady_clock;

const std::string kXclip = "/usr/bin/xclip";
const std::string kXdotool = "/usr/bin/xdotool";

// What a clipboard viewer saw when WM_DRAWCLIPBOARD arrived.
struct Seen {
  std::vector<UINT> formats;
  std::wstring text;
  std::string html;
  std::vector<BYTE> dib;
  std::vector<BYTE> png;
  HWND owner = nullptr;
  std::wstring ownerExe;
};

std::wstring ExeOf(DWORD pid) {
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid);
  if (snap == INVALID_HANDLE_VALUE) return L"";
  MODULEENTRY32W m{};
  m.dwSize = sizeof m;
  std::wstring out;
  if (Module32FirstW(snap, &m)) out = m.szExePath;
  CloseHandle(snap);
  return out;
}

std::vector<BYTE> BlockOf(IDataObject* d, UINT cf) {
  FORMATETC fe{static_cast<CLIPFORMAT>(cf), nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM m{};
  std::vector<BYTE> out;
  if (d->GetData(&fe, &m) != S_OK) return out;
  const BYTE* p = static_cast<const BYTE*>(GlobalLock(m.hGlobal));
  if (p) out.assign(p, p + GlobalSize(m.hGlobal));
  GlobalUnlock(m.hGlobal);
  ReleaseStgMedium(&m);
  return out;
}

// A clipboard viewer of ours, as the manager is: joins the chain, passes
// every notice on, and reads the clipboard through OLE each time.
struct Viewer {
  HWND hwnd = nullptr;
  HWND next = nullptr;
  std::vector<Seen> seen;
  bool readBitmap = true;  // as the manager does when bitmaps are recorded
  static Viewer* current;

  static LRESULT Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Viewer* v = current;
    if (msg == WM_DRAWCLIPBOARD && v) {
      v->Read();
      if (v->next) SendMessageW(v->next, msg, wParam, lParam);
      return 0;
    }
    if (msg == WM_CHANGECBCHAIN && v) {
      if (reinterpret_cast<HWND>(wParam) == v->next) v->next = reinterpret_cast<HWND>(lParam);
      else if (v->next) SendMessageW(v->next, msg, wParam, lParam);
      return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
  }

  void Join() {
    current = this;
    hwnd = platform::CreateToolkitWindow(L"TestViewer", L"viewer", nullptr, &Proc);
    next = SetClipboardViewer(hwnd);
    seen.clear();  // what was there before joining
  }
  ~Viewer() {
    if (hwnd) ChangeClipboardChain(hwnd, next);
    current = nullptr;
  }

  void Read() {
    Seen s;
    s.owner = GetClipboardOwner();
    DWORD pid = 0;
    GetWindowThreadProcessId(s.owner, &pid);
    if (pid) s.ownerExe = ExeOf(pid);
    IDataObject* d = nullptr;
    if (OleGetClipboard(&d) == S_OK && d) {
      IEnumFORMATETC* e = nullptr;
      if (d->EnumFormatEtc(DATADIR_GET, &e) == S_OK && e) {
        FORMATETC fe;
        ULONG got = 0;
        while (e->Next(1, &fe, &got) == S_OK && got == 1) s.formats.push_back(fe.cfFormat);
        e->Release();
      }
      std::vector<BYTE> t = BlockOf(d, CF_UNICODETEXT);
      if (t.size() >= 2) s.text = platform::Utf16ToWide(reinterpret_cast<const char16_t*>(t.data()), t.size() / 2);
      while (!s.text.empty() && s.text.back() == 0) s.text.pop_back();
      std::vector<BYTE> h = BlockOf(d, RegisterClipboardFormatW(L"HTML Format"));
      s.html.assign(h.begin(), h.end());
      while (!s.html.empty() && s.html.back() == 0) s.html.pop_back();
      if (readBitmap) s.dib = BlockOf(d, CF_DIB);
      s.png = BlockOf(d, RegisterClipboardFormatW(L"PNG"));
      d->Release();
    }
    seen.push_back(std::move(s));
  }
};
Viewer* Viewer::current = nullptr;

bool Has(const std::vector<UINT>& v, UINT f) { return std::find(v.begin(), v.end(), f) != v.end(); }

class X11Test : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Start(true)) << "Xvfb or openbox did not start";
    std::string error;
    ASSERT_TRUE(platform::x11::Start(server_.display().c_str(), &error)) << error;
    x11test::Settle();
  }
  void TearDown() override {
    clients_.clear();
    platform::x11::Stop();
    server_.Stop();
  }
  Process& Run(const std::vector<std::string>& argv, const std::string* input = nullptr) {
    clients_.push_back(Process::Run(argv, server_.display(), input));
    return clients_.back();
  }
  // The test client, mapped and focused by the window manager.
  Process& StartClient() {
    Process& p = Run({x11test::TestClientPath(), "field"});
    bool focused = x11test::FocusClient(p, server_.display(), 15000);
    EXPECT_TRUE(focused) << p.Output();
    // The window manager's notice of it may come a moment after the client's.
    bool inFront = PumpUntil(
        [&] {
          DWORD pid = 0;
          GetWindowThreadProcessId(GetForegroundWindow(), &pid);
          return pid == static_cast<DWORD>(p.pid());
        },
        3000);
    EXPECT_TRUE(inFront);
    return p;
  }
  static bool Printed(Process& p, const std::string& line) {
    for (auto& l : p.Lines())
      if (l == line) return true;
    return false;
  }
  // xclip -o of one target, with the loop running so that we can answer.
  std::string ReadBack(const std::string& target) {
    Process& p = Run({kXclip, "-o", "-selection", "clipboard", "-t", target});
    PumpUntil(
        [&] {
          p.Lines();  // keeps its pipe from filling up
          return !p.running();
        },
        4000);
    return p.Output();
  }

  x11test::XServer server_;
  std::deque<Process> clients_;  // references stay valid as it grows
};

TEST(X11Start, WithoutADisplayItSaysSo) {
  std::string error;
  EXPECT_FALSE(platform::x11::Start(":4987", &error));
  EXPECT_NE(error.find(":4987"), std::string::npos) << error;
  EXPECT_FALSE(platform::x11::Running());
  EXPECT_EQ(platform::x11::EventFd(), -1);

  const char* display = std::getenv("DISPLAY");
  std::string saved = display ? display : "";
  unsetenv("DISPLAY");
  EXPECT_FALSE(platform::x11::Start(nullptr, &error));
  if (display) setenv("DISPLAY", saved.c_str(), 1);
  EXPECT_EQ(error, "DISPLAY is not set");
}

TEST_F(X11Test, TextFromXclipReachesTheChainWithXclipAsItsSource) {
  Viewer v;
  v.Join();
  std::string text = "caf\xC3\xA9 \xE2\x82\xAC line\nend";
  Process& xclip = Run({kXclip, "-quiet", "-selection", "clipboard", "-i"}, &text);
  ASSERT_TRUE(PumpUntil([&] { return !v.seen.empty(); }, 5000));
  const Seen& s = v.seen.back();
  EXPECT_EQ(s.text, L"caf\u00e9 \u20ac line\nend");
  EXPECT_TRUE(Has(s.formats, CF_UNICODETEXT));
  EXPECT_TRUE(Has(s.formats, CF_TEXT));  // made from the text, as Windows does
  EXPECT_TRUE(Has(s.formats, CF_LOCALE));
  EXPECT_EQ(s.ownerExe, L"/usr/bin/xclip");
  DWORD pid = 0;
  GetWindowThreadProcessId(s.owner, &pid);
  EXPECT_EQ(pid, static_cast<DWORD>(xclip.pid()));
  // The owner's process can be opened and counts as idle at once.
  HANDLE h = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(WaitForInputIdle(h, 3000), 0u);
  CloseHandle(h);
}

TEST_F(X11Test, TextIsTerminatedAndNoCharacterIsLost) {
  Viewer v;
  v.Join();
  std::string text = "abc";  // xclip sends exactly three bytes, no terminator
  Run({kXclip, "-quiet", "-selection", "clipboard", "-i"}, &text);
  ASSERT_TRUE(PumpUntil([&] { return !v.seen.empty(); }, 5000));
  ASSERT_TRUE(OpenClipboard(v.hwnd));
  HANDLE h = GetClipboardData(CF_UNICODETEXT);
  ASSERT_NE(h, nullptr);
  const char16_t* p = static_cast<const char16_t*>(GlobalLock(h));
  ASSERT_GE(GlobalSize(h), 8u);
  EXPECT_EQ(std::u16string(p, 4), std::u16string(u"abc\0", 4));
  GlobalUnlock(h);
  CloseClipboard();
}

TEST_F(X11Test, HtmlOnlyClipBecomesHtmlFormat) {
  Viewer v;
  v.Join();
  std::string html = "<b>bold</b> and <i>more</i>";
  Run({kXclip, "-quiet", "-selection", "clipboard", "-t", "text/html", "-i"}, &html);
  ASSERT_TRUE(PumpUntil([&] { return !v.seen.empty(); }, 5000));
  const Seen& s = v.seen.back();
  UINT htmlFormat = RegisterClipboardFormatW(L"HTML Format");
  EXPECT_TRUE(Has(s.formats, htmlFormat));
  EXPECT_FALSE(Has(s.formats, CF_UNICODETEXT));
  ASSERT_EQ(s.html.rfind("Version:", 0), 0u) << s.html;
  auto number = [&](const char* key) {
    std::size_t p = s.html.find(key);
    return p == std::string::npos ? std::size_t(0) : static_cast<std::size_t>(std::stoul(s.html.substr(p + std::strlen(key))));
  };
  std::size_t fs = number("StartFragment:"), fe = number("EndFragment:");
  std::size_t hs = number("StartHTML:"), he = number("EndHTML:");
  ASSERT_LE(fe, s.html.size());
  EXPECT_EQ(s.html.substr(fs, fe - fs), html);
  EXPECT_EQ(he, s.html.size());
  EXPECT_EQ(s.html.compare(hs, 6, "<html>"), 0);
}

// An RGBA image as PNG, rows top-down, pixels 0xAARRGGBB.
std::vector<unsigned char> RgbaPng(int w, int h, const std::vector<std::uint32_t>& argb, bool interlaced) {
  std::vector<unsigned char> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(
      png, &out,
      [](png_structp p, png_bytep d, png_size_t n) {
        auto* o = static_cast<std::vector<unsigned char>*>(png_get_io_ptr(p));
        o->insert(o->end(), d, d + n);
      },
      [](png_structp) {});
  png_set_IHDR(png, info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h), 8, PNG_COLOR_TYPE_RGB_ALPHA,
               interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(png, 1);
  png_write_info(png, info);
  std::vector<std::vector<unsigned char>> rows(static_cast<std::size_t>(h), std::vector<unsigned char>(static_cast<std::size_t>(w) * 4));
  std::vector<png_bytep> pointers;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      std::uint32_t v = argb[argb.size() == 1 ? 0 : static_cast<std::size_t>(y * w + x)];
      unsigned char* p = rows[static_cast<std::size_t>(y)].data() + x * 4;
      p[0] = static_cast<unsigned char>(v >> 16);
      p[1] = static_cast<unsigned char>(v >> 8);
      p[2] = static_cast<unsigned char>(v);
      p[3] = static_cast<unsigned char>(v >> 24);
    }
    pointers.push_back(rows[static_cast<std::size_t>(y)].data());
  }
  png_write_image(png, pointers.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

std::string WriteFile(const std::string& name, const std::vector<unsigned char>& bytes) {
  std::string file = testing_sandbox::MakeTempDir() + "/" + name;
  std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
  return file;
}

// Kilobytes of the process's memory: resident now, and the most resident
// since the last ResetPeakMemory.
long StatusKb(const char* key) {
  std::ifstream f("/proc/self/status");
  std::string line;
  while (std::getline(f, line))
    if (line.rfind(key, 0) == 0) return std::stol(line.substr(std::strlen(key)));
  return 0;
}
void ResetPeakMemory() { std::ofstream("/proc/self/clear_refs") << "5"; }

TEST_F(X11Test, AnImageOfferedAsPngAndAsBitmapFileIsTakenFromThePngWithItsAlpha) {
  Viewer v;
  v.Join();
  // 5 x 3, every pixel its own, half of them translucent; interlaced, so
  // that the rows arrive in passes.
  std::vector<std::uint32_t> argb;
  for (std::uint32_t i = 0; i < 15; ++i) argb.push_back(((i % 2) ? 0xFF000000u : 0x40000000u) | (i * 0x110B07u));
  std::vector<unsigned char> png = RgbaPng(5, 3, argb, true);
  HBITMAP green = CreateBitmap(5, 3, 1, 32, std::vector<std::uint32_t>(15, 0x0000FF00u).data());
  std::vector<BYTE> dib = platform::PackedDibFromBitmap(green, 24);
  DeleteObject(green);
  std::vector<unsigned char> bmp(14, 0);
  bmp[0] = 'B';
  bmp[1] = 'M';
  bmp.insert(bmp.end(), dib.begin(), dib.end());
  Process& owner = Run({x11test::ClipOwnerPath(), "--offer", "image/bmp=" + WriteFile("green.bmp", bmp),
                        "image/png=" + WriteFile("translucent.png", png)});
  ASSERT_TRUE(PumpUntil([&] { return !v.seen.empty(); }, 5000)) << owner.Output();
  const Seen& s = v.seen.back();
  // Kept as the client gave it (blocks are rounded up in size).
  ASSERT_GE(s.png.size(), png.size());
  EXPECT_TRUE(std::equal(png.begin(), png.end(), s.png.begin()));
  HBITMAP bm = platform::BitmapFromPackedDib(s.dib.data(), s.dib.size());
  ASSERT_NE(bm, nullptr);
  platform::BitmapPixels px;
  ASSERT_TRUE(platform::ReadBitmapPixels(bm, &px));
  DeleteObject(bm);
  EXPECT_TRUE(px.hasAlpha);
  EXPECT_EQ(px.argb, argb);
  PumpUntil([&] { return Printed(owner, "SERVED image/png"); }, 2000);
  EXPECT_FALSE(Printed(owner, "SERVED image/bmp")) << "the bitmap file was not needed";
}

// A small PNG can stand for a great many pixels: the layer takes the bytes
// at once, but decodes them only for a bitmap asked for, and not at all
// beyond its pixel budget.
TEST_F(X11Test, AnImageIsDecodedOnlyWhenABitmapIsAskedForAndOnlyWithinItsPixelBudget) {
  Viewer v;
  v.readBitmap = false;  // bitmaps are not recorded: nothing asks for one
  v.Join();
  std::vector<unsigned char> png = RgbaPng(4096, 4096, {0xFF336699u}, false);  // 64 MiB of pixels
  long before = StatusKb("VmRSS:");
  ResetPeakMemory();
  Run({kXclip, "-quiet", "-selection", "clipboard", "-t", "image/png", "-i", WriteFile("big.png", png)});
  ASSERT_TRUE(PumpUntil([&] { return !v.seen.empty(); }, 5000));
  EXPECT_GE(v.seen.back().png.size(), png.size());
  EXPECT_LT(StatusKb("VmHWM:") - before, 24 * 1024) << "decoded before a bitmap was asked for";
  ASSERT_TRUE(OpenClipboard(v.hwnd));
  HANDLE dib = GetClipboardData(CF_DIB);
  ASSERT_NE(dib, nullptr);
  EXPECT_GE(GlobalSize(dib), 40u + 4u * 4096u * 4096u);
  const BYTE* p = static_cast<const BYTE*>(GlobalLock(dib));
  EXPECT_EQ(p[40] | p[41] << 8 | p[42] << 16, 0x336699);
  GlobalUnlock(dib);
  CloseClipboard();
  EXPECT_GT(StatusKb("VmHWM:") - before, 60 * 1024) << "the measure sees a decoded image";

  // 8000 x 8000 pixels in 250 KB: refused from its header, the bytes kept.
  v.seen.clear();
  std::string bomb = std::string(PASTIQ_X11_SELECTION_CORPUS) + "/png-8000x8000.png";
  Run({kXclip, "-quiet", "-selection", "clipboard", "-t", "image/png", "-i", bomb});
  ASSERT_TRUE(PumpUntil([&] { return !v.seen.empty(); }, 5000));
  EXPECT_GE(v.seen.back().png.size(), 248899u);
  before = StatusKb("VmRSS:");
  ResetPeakMemory();
  auto start = Clock::now();
  ASSERT_TRUE(OpenClipboard(v.hwnd));
  EXPECT_EQ(GetClipboardData(CF_DIB), nullptr);
  EXPECT_EQ(GetClipboardData(CF_BITMAP), nullptr);
  CloseClipboard();
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500));
  EXPECT_LT(StatusKb("VmHWM:") - before, 16 * 1024);
  EXPECT_FALSE(IsClipboardFormatAvailable(CF_DIB));
}

TEST_F(X11Test, PngClipBecomesABitmap) {
  Viewer v;
  v.Join();
  std::vector<std::uint32_t> argb(35, 0xFF0000FFu);
  std::fill(argb.begin(), argb.begin() + 7, 0xFFFF0000u);  // the top row red
  Run({kXclip, "-quiet", "-selection", "clipboard", "-t", "image/png", "-i", WriteFile("red.png", RgbaPng(7, 5, argb, false))});
  ASSERT_TRUE(PumpUntil([&] { return !v.seen.empty(); }, 5000));
  const Seen& s = v.seen.back();
  EXPECT_TRUE(Has(s.formats, CF_DIB));
  HBITMAP bmp = platform::BitmapFromPackedDib(s.dib.data(), s.dib.size());
  ASSERT_NE(bmp, nullptr);
  platform::BitmapPixels px;
  ASSERT_TRUE(platform::ReadBitmapPixels(bmp, &px));
  DeleteObject(bmp);
  EXPECT_EQ(px.width, 7);
  EXPECT_EQ(px.height, 5);
  EXPECT_EQ(px.argb[0] & 0xFFFFFF, 0xFF0000u);                          // top row red
  EXPECT_EQ(px.argb[px.argb.size() - 1] & 0xFFFFFF, 0x0000FFu);          // the rest blue
  EXPECT_FALSE(px.hasAlpha) << "opaque everywhere: no alpha, as a bitmap made without one";
}

HGLOBAL Block(const void* p, std::size_t n) { return platform::GlobalFromBytes(p, n); }

void OurData(test::TestDataObject* d, const std::wstring& text, const std::string& htmlFormat) {
  std::u16string u = platform::WideToUtf16(text);
  u.push_back(u'\0');
  d->offers.push_back({CF_UNICODETEXT, TYMED_HGLOBAL, [u](STGMEDIUM* m) {
                         m->hGlobal = Block(u.data(), u.size() * 2);
                         return S_OK;
                       }, nullptr});
  UINT html = RegisterClipboardFormatW(L"HTML Format");
  d->offers.push_back({static_cast<CLIPFORMAT>(html), TYMED_HGLOBAL, [htmlFormat](STGMEDIUM* m) {
                         m->hGlobal = Block(htmlFormat.c_str(), htmlFormat.size() + 1);
                         return S_OK;
                       }, nullptr});
  UINT tag = RegisterClipboardFormatW(L"Pastiq Tag");
  d->offers.push_back({static_cast<CLIPFORMAT>(tag), TYMED_HGLOBAL, [](STGMEDIUM* m) {
                         BYTE bytes[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
                         m->hGlobal = Block(bytes, 12);
                         return S_OK;
                       }, nullptr});
}

TEST_F(X11Test, OurWriteIsServedBackAndLostWhenAnotherClientTakesOver) {
  Viewer v;
  v.Join();
  std::string doc = "<html><body><p>x &amp; y</p></body></html>";
  char header[200];
  const char* fmt = "Version:0.9\r\nStartHTML:%010d\r\nEndHTML:%010d\r\nStartFragment:%010d\r\nEndFragment:%010d\r\n";
  int h = std::snprintf(header, sizeof header, fmt, 0, 0, 0, 0);
  int fragment = static_cast<int>(doc.find("<p>"));
  std::snprintf(header, sizeof header, fmt, h, h + static_cast<int>(doc.size()), h + fragment,
                h + static_cast<int>(doc.find("</body>")));
  test::TestDataObject obj;
  test::TestDataObject* d = &obj;
  OurData(d, L"pasted \u00e9\u4e2d", std::string(header) + doc);
  ASSERT_EQ(OleSetClipboard(d), S_OK);
  v.seen.clear();  // our own write was seen on the chain; the check below is X's
  EXPECT_EQ(ReadBack("UTF8_STRING"), "pasted \xC3\xA9\xE4\xB8\xAD");
  EXPECT_EQ(ReadBack("text/html"), doc);
  std::string targets = ReadBack("TARGETS");
  EXPECT_NE(targets.find("application/x-pastiq-tag"), std::string::npos) << targets;
  EXPECT_NE(targets.find("text/html"), std::string::npos) << targets;
  EXPECT_EQ(OleIsCurrentClipboard(d), S_OK);
  // Nothing of ours came back as another application's clip.
  EXPECT_TRUE(v.seen.empty());

  std::string other = "someone else";
  Run({kXclip, "-quiet", "-selection", "clipboard", "-i"}, &other);
  ASSERT_TRUE(PumpUntil([&] { return !v.seen.empty(); }, 5000));
  EXPECT_EQ(v.seen.back().text, L"someone else");
  EXPECT_EQ(OleIsCurrentClipboard(d), S_FALSE);
  EXPECT_EQ(d->refs, 1u);  // the clipboard let go of it
}

TEST_F(X11Test, LargeWriteIsServedInIncrements) {
  Viewer v;
  v.Join();
  std::wstring big;
  for (int i = 0; i < 300000; ++i) big.push_back(static_cast<wchar_t>(L'a' + i % 26));
  test::TestDataObject obj;
  test::TestDataObject* d = &obj;
  OurData(d, big, "Version:0.9\r\n<p>x</p>");
  ASSERT_EQ(OleSetClipboard(d), S_OK);
  std::string back = ReadBack("UTF8_STRING");
  EXPECT_EQ(back.size(), big.size());
  EXPECT_TRUE(back == std::string(big.begin(), big.end()));
  OleSetClipboard(nullptr);
  EXPECT_EQ(d->refs, 1u);  // the clipboard let go of it
}

TEST_F(X11Test, AnOwnerThatNeverAnswersDoesNotFreezeUs) {
  Viewer v;
  v.Join();
  // Another connection takes the clipboard and never reads its requests.
  x11test::HungOwner hung;
  ASSERT_TRUE(hung.Take(server_.display()));
  auto start = Clock::now();
  ASSERT_TRUE(PumpUntil([&] { return !v.seen.empty(); }, 5000));
  auto took = Clock::now() - start;
  EXPECT_LT(took, std::chrono::milliseconds(2500));
  EXPECT_TRUE(v.seen.back().formats.empty());
  // Still alive: the next clip of a well-behaved client arrives.
  std::string text = "after the hang";
  Run({kXclip, "-quiet", "-selection", "clipboard", "-i"}, &text);
  ASSERT_TRUE(PumpUntil([&] { return !v.seen.empty() && v.seen.back().text == L"after the hang"; }, 5000));
}

// A keyboard hook standing in for the hook library: swallows Win+V.
std::vector<std::pair<int, bool>> hookKeys;
LRESULT SwallowWinV(int code, WPARAM vk, LPARAM flags) {
  bool win = (GetKeyState(VK_LWIN) & 0x8000) || (GetKeyState(VK_RWIN) & 0x8000);
  bool up = (static_cast<DWORD>(flags) & 0x80000000u) != 0;
  hookKeys.push_back({static_cast<int>(vk), win});
  if (code >= 0 && vk == 'V' && win && !up) return 1;
  return CallNextHookEx(nullptr, code, vk, flags);
}

TEST_F(X11Test, SuperVReachesTheHookAndNotTheFocusedWindow) {
  Process& client = StartClient();
  hookKeys.clear();
  HHOOK hook = SetWindowsHookExA(WH_KEYBOARD, &SwallowWinV, GetModuleHandleW(nullptr), 0);
  ASSERT_NE(hook, nullptr);
  Process& key = Run({kXdotool, "key", "super+v"});
  ASSERT_TRUE(PumpUntil([&] { return !key.running(); }, 4000));
  ASSERT_TRUE(PumpUntil(
      [&] {
        for (auto& k : hookKeys)
          if (k.first == 'V' && k.second) return true;
        return false;
      },
      3000));
  // A key that is not a shortcut still reaches the window, and the V never did.
  Run({kXdotool, "key", "x"});
  ASSERT_TRUE(PumpUntil([&] { return Printed(client, "KEY x none"); }, 4000)) << client.Output();
  for (auto& l : client.Lines()) EXPECT_EQ(l.find("KEY v"), std::string::npos) << l;
  EXPECT_TRUE(platform::x11::FailedGrabs().empty());
  UnhookWindowsHookEx(hook);
}

// Keys handled after their modifiers were let go: Escape typed with Super
// held and Super released at once, both read only later (a busy program),
// still reach the hooks as Super+Escape, then Super's release.
TEST_F(X11Test, AKeyReachesTheHooksWithTheModifiersItWasTypedWithNotThoseHeldWhenItIsRead) {
  StartClient();
  hookKeys.clear();
  HHOOK hook = SetWindowsHookExA(WH_KEYBOARD, &SwallowWinV, GetModuleHandleW(nullptr), 0);
  ASSERT_NE(hook, nullptr);
  Process& engage = Run({kXdotool, "keydown", "super", "key", "v"});
  ASSERT_TRUE(PumpUntil([&] { return !engage.running() && !hookKeys.empty() && hookKeys.back().first == 'V'; }, 4000));
  Process& burst = Run({kXdotool, "key", "Escape", "keyup", "super"});
  ASSERT_EQ(burst.Wait(4000), 0);  // all typed before we read any of it
  ASSERT_TRUE(PumpUntil([&] { return hookKeys.back().first == VK_LWIN; }, 4000));
  std::vector<std::pair<int, bool>> escapes;
  for (const auto& k : hookKeys)
    if (k.first == VK_ESCAPE) escapes.push_back(k);
  ASSERT_EQ(escapes.size(), 2u) << "its press and its release";
  EXPECT_TRUE(escapes[0].second) << "Escape was seen without Super";
  EXPECT_TRUE(escapes[1].second);
  EXPECT_FALSE(hookKeys.back().second) << "Super's release leaves it up";
  EXPECT_EQ(GetAsyncKeyState(VK_LWIN) & 0x8000, 0) << "the keyboard's own state is now's";
  UnhookWindowsHookEx(hook);
}

LRESULT PassEverything(int code, WPARAM vk, LPARAM flags) {
  bool win = (GetKeyState(VK_LWIN) & 0x8000) || (GetKeyState(VK_RWIN) & 0x8000);
  hookKeys.push_back({static_cast<int>(vk), win});
  return CallNextHookEx(nullptr, code, vk, flags);
}

TEST_F(X11Test, AGrabbedKeyNoHookSwallowsGoesOnToTheFocusedWindow) {
  Process& client = StartClient();
  hookKeys.clear();
  HHOOK hook = SetWindowsHookExA(WH_KEYBOARD, &PassEverything, GetModuleHandleW(nullptr), 0);
  ASSERT_NE(hook, nullptr);
  Run({kXdotool, "key", "super+v"});
  EXPECT_TRUE(PumpUntil([&] { return Printed(client, "KEY v super+"); }, 4000)) << client.Output();
  EXPECT_FALSE(hookKeys.empty());
  UnhookWindowsHookEx(hook);
}

TEST_F(X11Test, TheShortcutIsSeenWithNumLockAndCapsLockOn) {
  StartClient();
  hookKeys.clear();
  HHOOK hook = SetWindowsHookExA(WH_KEYBOARD, &SwallowWinV, GetModuleHandleW(nullptr), 0);
  ASSERT_NE(hook, nullptr);
  Process& locks = Run({kXdotool, "key", "Num_Lock", "Caps_Lock", "super+v", "Caps_Lock", "Num_Lock"});
  ASSERT_TRUE(PumpUntil([&] { return !locks.running(); }, 4000));
  EXPECT_TRUE(PumpUntil(
      [&] {
        for (auto& k : hookKeys)
          if (k.first == 'V' && k.second) return true;
        return false;
      },
      3000));
  UnhookWindowsHookEx(hook);
}

TEST_F(X11Test, TheFocusedClientIsReportedToTheFocusHooksWithItsClassAndProcess) {
  static std::vector<HWND> gained;
  gained.clear();
  HHOOK cbt = SetWindowsHookExA(
      WH_CBT,
      [](int code, WPARAM w, LPARAM l) -> LRESULT {
        if (code == HCBT_SETFOCUS) gained.push_back(reinterpret_cast<HWND>(w));
        return CallNextHookEx(nullptr, code, w, l);
      },
      GetModuleHandleW(nullptr), 0);
  ASSERT_NE(cbt, nullptr);
  Process& client = StartClient();
  ASSERT_TRUE(PumpUntil([&] { return !gained.empty(); }, 3000));
  HWND h = gained.back();
  wchar_t cls[64] = {};
  GetClassNameW(h, cls, 64);
  EXPECT_STREQ(cls, L"PastiqTestClient");
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  EXPECT_EQ(pid, static_cast<DWORD>(client.pid()));
  std::string path = x11test::TestClientPath();
  EXPECT_EQ(ExeOf(pid), std::wstring(path.begin(), path.end()));
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  ASSERT_TRUE(GetGUIThreadInfo(0, &info));
  EXPECT_EQ(info.hwndActive, h);
  EXPECT_EQ(GetForegroundWindow(), h);
  EXPECT_TRUE(IsWindowVisible(h));
  UnhookWindowsHookEx(cbt);
}

INPUT Key(WORD vk, bool up) {
  INPUT in{};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = vk;
  in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  return in;
}

TEST_F(X11Test, SynthesisedCtrlVPastesIntoTheClientEvenWithSuperHeld) {
  Process& client = StartClient();
  test::TestDataObject obj;
  test::TestDataObject* d = &obj;
  OurData(d, L"from the history", "Version:0.9\r\n<p>x</p>");
  ASSERT_EQ(OleSetClipboard(d), S_OK);
  // The user still holds the Windows key, as after choosing from the popup.
  Process& hold = Run({kXdotool, "keydown", "super"});
  ASSERT_TRUE(PumpUntil([&] { return !hold.running(); }, 4000));
  INPUT keys[] = {Key(VK_CONTROL, false), Key('V', false), Key('V', true), Key(VK_CONTROL, true)};
  EXPECT_EQ(SendInput(4, keys, sizeof(INPUT)), 4u);
  ASSERT_TRUE(PumpUntil([&] { return Printed(client, "PASTE from the history"); }, 4000)) << client.Output();
  EXPECT_TRUE(Printed(client, "KEY v ctrl+")) << client.Output();
  Process& release = Run({kXdotool, "keyup", "super"});
  PumpUntil([&] { return !release.running(); }, 4000);
  OleSetClipboard(nullptr);
}

TEST_F(X11Test, ThePhysicalKeyStateIsReadWhenItIsAskedFor) {
  Process& down = Run({kXdotool, "keydown", "ctrl"});
  ASSERT_TRUE(PumpUntil([&] { return !down.running(); }, 4000));
  EXPECT_NE(GetAsyncKeyState(VK_CONTROL) & 0x8000, 0) << "held";
  Process& up = Run({kXdotool, "keyup", "ctrl"});
  ASSERT_TRUE(PumpUntil([&] { return !up.running(); }, 4000));
  EXPECT_EQ(GetAsyncKeyState(VK_CONTROL) & 0x8000, 0) << "released";
}

// A walk reads a process's details as it passes it: the processes with
// windows (the ones looked for) come first, then every other one, once.
TEST_F(X11Test, AProcessWalkGivesTheProcessesOfWindowsFirstThenAllOthers) {
  Process& client = StartClient();
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  ASSERT_NE(snap, INVALID_HANDLE_VALUE);
  PROCESSENTRY32W pe{};
  pe.dwSize = sizeof pe;
  std::vector<DWORD> pids;
  std::wstring clientName;
  DWORD clientParent = 0;
  for (BOOL ok = Process32FirstW(snap, &pe); ok; ok = Process32NextW(snap, &pe)) {
    pids.push_back(pe.th32ProcessID);
    if (pe.th32ProcessID == static_cast<DWORD>(client.pid())) {
      clientName = pe.szExeFile;
      clientParent = pe.th32ParentProcessID;
    }
  }
  CloseHandle(snap);
  ASSERT_FALSE(pids.empty());
  EXPECT_EQ(pids.front(), static_cast<DWORD>(client.pid()));
  EXPECT_EQ(clientName, L"pastiq_x11_test_client");
  EXPECT_EQ(clientParent, static_cast<DWORD>(getpid()));
  std::vector<DWORD> sorted = pids;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end()) << "a process listed twice";
  EXPECT_TRUE(std::binary_search(sorted.begin(), sorted.end(), static_cast<DWORD>(getpid())));
  EXPECT_TRUE(std::binary_search(sorted.begin(), sorted.end(), static_cast<DWORD>(getppid())));
}

TEST_F(X11Test, SetForegroundWindowActivatesThroughTheWindowManager) {
  StartClient();
  HWND first = GetForegroundWindow();
  Process& second = Run({x11test::TestClientPath(), "second"});
  unsigned long secondX = x11test::WaitReady(second, 5000);
  ASSERT_NE(secondX, 0u);
  HWND other = platform::x11::WindowFor(secondX);
  ASSERT_NE(other, nullptr);
  ASSERT_NE(other, first);
  for (HWND h : {other, first}) {
    EXPECT_TRUE(SetForegroundWindow(h));
    EXPECT_EQ(GetForegroundWindow(), h);
    unsigned long x = platform::x11::XWindowOf(h);
    // The window manager does it on its own time.
    EXPECT_TRUE(PumpUntil([&] { return x11test::ActiveWindow(server_.display()) == x; }, 3000));
  }
}

TEST_F(X11Test, AnOlderInstancesMainFrameIsFoundByItsClassAndReachedByPosting) {
  Process& older = Run({x11test::PeerPath()});
  ASSERT_TRUE(PumpUntil([&] { return Printed(older, "READY"); }, 5000)) << older.Output();
  // This instance starts after it, as a newer version would.
  std::string error;
  ASSERT_TRUE(platform::x11::Start(server_.display().c_str(), &error)) << error;
  HWND frame = FindWindowW(L"PastiqMainFrame{35F7679D-4441-4728-9159-36A8119613F7}", nullptr);
  ASSERT_NE(frame, nullptr);
  DWORD pid = 0;
  GetWindowThreadProcessId(frame, &pid);
  EXPECT_EQ(pid, static_cast<DWORD>(older.pid()));
  EXPECT_TRUE(PostMessageW(frame, WM_COMMAND, 0xE141, 0));
  EXPECT_TRUE(PumpUntil([&] { return Printed(older, "COMMAND 57665"); }, 5000)) << older.Output();
}

TEST_F(X11Test, ShortcutsAreGrabbedOnlyWhileAKeyboardHookIsInstalled) {
  {
    // No hook yet (a second instance checks for the first one here): the
    // keys are nobody's but their owner's.
    x11test::KeyHolder other;
    ASSERT_TRUE(other.GrabSuperV(server_.display())) << "grabbed before any hook was installed";
    std::vector<std::string> warnings;
    platform::x11::SetWarningHandler([&](const std::string& w) { warnings.push_back(w); });
    HHOOK hook = SetWindowsHookExA(WH_KEYBOARD, &PassEverything, GetModuleHandleW(nullptr), 0);
    ASSERT_NE(hook, nullptr);
    EXPECT_EQ(platform::x11::FailedGrabs(), std::vector<std::string>{"Win+V"});
    platform::SetHookShortcuts(platform::HookShortcuts());  // grabbed again: not warned again
    platform::x11::SetWarningHandler(nullptr);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("Win+V"), std::string::npos) << warnings[0];
    UnhookWindowsHookEx(hook);
    EXPECT_TRUE(platform::x11::FailedGrabs().empty());
  }
  HHOOK hook = SetWindowsHookExA(WH_KEYBOARD, &PassEverything, GetModuleHandleW(nullptr), 0);
  ASSERT_NE(hook, nullptr);
  {
    x11test::KeyHolder other;
    EXPECT_FALSE(other.GrabSuperV(server_.display())) << "ours while the hook is installed";
  }
  UnhookWindowsHookEx(hook);
  x11test::KeyHolder later;
  EXPECT_TRUE(later.GrabSuperV(server_.display())) << "given back with the hook";
}

// What the mouse hooks saw: each button message with its window and point.
struct MouseNotice {
  WPARAM msg;
  HWND hwnd;
  POINT pt;
};
std::vector<MouseNotice> mouseNotices;

LRESULT RecordMouse(int code, WPARAM wParam, LPARAM lParam) {
  const auto* info = reinterpret_cast<const MOUSEHOOKSTRUCT*>(lParam);
  if (code == HC_ACTION && info) mouseNotices.push_back({wParam, info->hwnd, info->pt});
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(X11Test, ButtonPressesAnywhereReachTheMouseHooksWhileTheClickedClientStillGetsThem) {
  Process& client = StartClient();
  const unsigned long clientX = x11test::WaitReady(client, 5000);
  ASSERT_NE(clientX, 0u);
  const HWND clientWindow = platform::x11::WindowFor(clientX);
  Display* dpy = XOpenDisplay(server_.display().c_str());
  ASSERT_NE(dpy, nullptr);
  const HWND desktop = platform::x11::WindowFor(DefaultRootWindow(dpy));
  // One of our own windows, as the toolkit names it to the layer.
  XSetWindowAttributes attrs{};
  attrs.override_redirect = True;
  const Window ownX = XCreateWindow(dpy, DefaultRootWindow(dpy), 400, 300, 150, 100, 0, CopyFromParent, InputOutput,
                                    CopyFromParent, CWOverrideRedirect, &attrs);
  XMapRaised(dpy, ownX);
  XSync(dpy, False);
  const HWND own = platform::CreateToolkitWindow(L"TestMenu", L"menu", nullptr, nullptr);
  platform::x11::SetNativeWindow(own, ownX);

  mouseNotices.clear();
  HHOOK hook = SetWindowsHookExA(WH_MOUSE, &RecordMouse, GetModuleHandleW(nullptr), 0);
  ASSERT_NE(hook, nullptr);
  struct Case {
    int x, y;
    const char* button;
    UINT msg;
    HWND expected;
  };
  // The window manager places the client where it likes; the desktop is
  // clicked in a corner that neither window covers.
  RECT cr{0, 0, 0, 0};
  ASSERT_TRUE(GetWindowRect(clientWindow, &cr));
  const POINT inClient{(cr.left + cr.right) / 2, (cr.top + cr.bottom) / 2};
  POINT bare{1270, 1014};
  if (bare.x < cr.right && bare.y < cr.bottom) bare = POINT{1270, 10};
  const Case cases[] = {
      {inClient.x, inClient.y, "1", WM_LBUTTONDOWN, clientWindow},  // another client's window
      {bare.x, bare.y, "3", WM_RBUTTONDOWN, desktop},                // the bare desktop
      {450, 350, "1", WM_LBUTTONDOWN, own},                          // ours
      {bare.x, bare.y, "4", 0, nullptr},                             // the wheel: no button message
      {bare.x, bare.y, "2", WM_MBUTTONDOWN, desktop},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y) + " button " + c.button);
    const std::size_t before = mouseNotices.size();
    Process& click = Run({kXdotool, "mousemove", std::to_string(c.x), std::to_string(c.y), "click", c.button});
    ASSERT_TRUE(PumpUntil([&] { return !click.running(); }, 4000));
    if (!c.msg) continue;  // the next press shows that this one went by unseen
    ASSERT_TRUE(PumpUntil([&] { return mouseNotices.size() >= before + 2; }, 4000));
    ASSERT_EQ(mouseNotices.size(), before + 2) << "a press and a release, and nothing from the wheel";
    EXPECT_EQ(mouseNotices[before].msg, c.msg);
    EXPECT_EQ(mouseNotices[before + 1].msg, c.msg + 1);
    EXPECT_EQ(mouseNotices[before].hwnd, c.expected);
    EXPECT_EQ(mouseNotices[before].pt.x, c.x);
    EXPECT_EQ(mouseNotices[before].pt.y, c.y);
  }
  // Nothing grabbed the pointer: the client clicked had its click.
  EXPECT_TRUE(PumpUntil([&] { return Printed(client, "CLICK 1"); }, 2000)) << client.Output();

  // Without a mouse hook nothing is watched; with a new one, again.
  UnhookWindowsHookEx(hook);
  Process& unseen = Run({kXdotool, "mousemove", "700", "700", "click", "1"});
  ASSERT_TRUE(PumpUntil([&] { return !unseen.running(); }, 4000));
  hook = SetWindowsHookExA(WH_MOUSE, &RecordMouse, GetModuleHandleW(nullptr), 0);
  const std::size_t before = mouseNotices.size();
  Run({kXdotool, "mousemove", "710", "510", "click", "1"});
  ASSERT_TRUE(PumpUntil([&] { return mouseNotices.size() >= before + 2; }, 4000));
  EXPECT_EQ(mouseNotices[before].pt.x, 710) << "the click made without a hook came through late";
  UnhookWindowsHookEx(hook);
  DestroyWindow(own);
  XDestroyWindow(dpy, ownX);
  XCloseDisplay(dpy);
}

}  // namespace
