// The clipboard on the simulated desktop: other applications' writes and
// holds, well-behaved and broken viewers, and the edit controls' paste.
#include "platform/sim/clipboard.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>

#include "../src/clipboard_internal.h"
#include "platform/global.h"
#include "platform/process.h"
#include "platform/sim/desktop.h"
#include "platform/storage.h"
#include "platform/window.h"

namespace platform::sim {
namespace {

struct Viewer {
  HWND next = nullptr;
  bool forwards = true;
};

struct Viewers {
  std::mutex mu;
  std::map<HWND, Viewer> byWindow;
};

Viewers& V() {
  static Viewers* v = new Viewers;
  return *v;
}

Viewer* FindViewer(HWND hwnd) {
  auto it = V().byWindow.find(hwnd);
  return it == V().byWindow.end() ? nullptr : &it->second;
}

LRESULT ViewerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  HWND next = nullptr;
  bool forwards = false;
  {
    std::lock_guard<std::mutex> g(V().mu);
    Viewer* v = FindViewer(hwnd);
    if (!v) return DefWindowProcW(hwnd, msg, wParam, lParam);
    if (msg == WM_CHANGECBCHAIN && reinterpret_cast<HWND>(wParam) == v->next) {
      v->next = reinterpret_cast<HWND>(lParam);
      return 0;
    }
    next = v->next;
    forwards = v->forwards;
  }
  switch (msg) {
    case WM_DRAWCLIPBOARD:
    case WM_CHANGECBCHAIN:
      if (forwards && next && IsWindow(next)) SendMessageW(next, msg, wParam, lParam);
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

HGLOBAL Block(const ClipData& d) {
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, std::max<SIZE_T>(d.bytes.size(), d.blockSize));
  if (h && !d.bytes.empty()) {
    std::memcpy(GlobalLock(h), d.bytes.data(), d.bytes.size());
    GlobalUnlock(h);
  }
  return h;
}

HANDLE MakeHandle(const ClipData& d) {
  if (d.noData) return nullptr;
  switch (d.tymed) {
    case TYMED_GDI:
      return d.bitmap;
    case TYMED_ENHMF:
      return SetEnhMetaFileBits(static_cast<UINT>(d.bytes.size()), d.bytes.data());
    case TYMED_MFPICT: {
      HMETAFILE mf = SetMetaFileBitsEx(static_cast<UINT>(d.bytes.size()), d.bytes.data());
      if (!mf) return nullptr;
      METAFILEPICT pict{MM_ANISOTROPIC, d.extent.cx, d.extent.cy, mf};
      return GlobalFromBytes(&pict, sizeof pict);
    }
    default:
      return Block(d);
  }
}

bool PasteText(std::wstring* text) { return ClipboardText(text); }

DWORD ThreadOf(HWND hwnd) { return GetWindowThreadProcessId(hwnd, nullptr); }

// Registered once per process: the clipboard is part of every fresh desktop,
// and the edit controls paste from it.
struct Hookup {
  Hookup() {
    AddResetHandler([] {
      platform::detail::ResetClipboard();
      {
        std::lock_guard<std::mutex> g(V().mu);
        V().byWindow.clear();
      }
      // A test may have put another source in; a fresh desktop pastes ours.
      SetPasteSource(PasteText);
    });
    SetPasteSource(PasteText);
  }
};
const Hookup g_hookup;

}  // namespace

ClipData UnicodeText(const std::wstring& text) {
  ClipData d;
  d.format = CF_UNICODETEXT;
  for (char16_t c : platform::WideToUtf16(text)) {
    d.bytes.push_back(BYTE(c));
    d.bytes.push_back(BYTE(c >> 8));
  }
  d.bytes.push_back(0);
  d.bytes.push_back(0);
  return d;
}

ClipData AnsiText(const std::string& bytes) {
  ClipData d;
  d.format = CF_TEXT;
  d.bytes.assign(bytes.begin(), bytes.end());
  d.bytes.push_back(0);
  return d;
}

ClipData Bytes(UINT format, const std::vector<BYTE>& bytes) {
  ClipData d;
  d.format = format;
  d.bytes = bytes;
  return d;
}

ClipData Bytes(UINT format, const std::string& bytes) {
  return Bytes(format, std::vector<BYTE>(bytes.begin(), bytes.end()));
}

ClipData Named(const wchar_t* registeredFormat, const std::string& bytes) {
  return Bytes(RegisterClipboardFormatW(registeredFormat), bytes);
}

ClipData Dib(const std::vector<BYTE>& packedDib) { return Bytes(CF_DIB, packedDib); }

ClipData Bitmap(HBITMAP bitmap) {
  ClipData d;
  d.format = CF_BITMAP;
  d.tymed = TYMED_GDI;
  d.bitmap = bitmap;
  return d;
}

ClipData EnhMetaFile(const std::vector<BYTE>& bytes) {
  ClipData d;
  d.format = CF_ENHMETAFILE;
  d.tymed = TYMED_ENHMF;
  d.bytes = bytes;
  return d;
}

ClipData Storage(const std::vector<BYTE>& storageBytes, const wchar_t* format) {
  ClipData d = Bytes(RegisterClipboardFormatW(format), storageBytes);
  d.tymed = TYMED_ISTORAGE;
  return d;
}

bool PutClipboard(HWND owner, const std::vector<ClipData>& data) {
  bool ok = false;
  RunInThread(ThreadOf(owner), [&] {
    if (!OpenClipboard(owner)) return;
    EmptyClipboard();
    for (const ClipData& d : data) {
      DWORD tymed = d.tymed == TYMED_ISTORAGE ? DWORD(TYMED_ISTORAGE) : d.tymed;
      platform::detail::SetClipboardDataAs(d.format, MakeHandle(d), tymed);
    }
    ok = true;
    CloseClipboard();
  });
  return ok;
}

bool HoldClipboard(HWND window, DWORD ms) {
  bool ok = false;
  RunInThread(ThreadOf(window), [&] {
    if (!OpenClipboard(window)) return;
    platform::detail::HoldClipboardOpenUntil(ms == INFINITE ? ~std::uint64_t(0) : NowMs() + ms);
    ok = true;
  });
  return ok;
}

void ReleaseClipboard() { platform::detail::ReleaseClipboardHold(); }

HWND AddClipboardViewer(DWORD thread, bool forwards) {
  WindowSpec spec;
  spec.thread = thread;
  spec.className = L"ClipboardViewer";
  spec.visible = false;
  spec.proc = ViewerProc;
  HWND hwnd = AddWindow(spec);
  if (!hwnd) return nullptr;
  {
    std::lock_guard<std::mutex> g(V().mu);
    V().byWindow[hwnd].forwards = forwards;
  }
  HWND next = nullptr;
  RunInThread(thread, [&] { next = SetClipboardViewer(hwnd); });
  std::lock_guard<std::mutex> g(V().mu);
  if (Viewer* v = FindViewer(hwnd)) v->next = next;
  return hwnd;
}

void SetViewerForwards(HWND viewer, bool forwards) {
  std::lock_guard<std::mutex> g(V().mu);
  if (Viewer* v = FindViewer(viewer)) v->forwards = forwards;
}

void RemoveClipboardViewer(HWND viewer) {
  HWND next;
  {
    std::lock_guard<std::mutex> g(V().mu);
    Viewer* v = FindViewer(viewer);
    if (!v) return;
    next = v->next;
  }
  RunInThread(ThreadOf(viewer), [&] { ChangeClipboardChain(viewer, next); });
  std::lock_guard<std::mutex> g(V().mu);
  V().byWindow.erase(viewer);
}

HWND ViewerNext(HWND viewer) {
  std::lock_guard<std::mutex> g(V().mu);
  Viewer* v = FindViewer(viewer);
  return v ? v->next : nullptr;
}

bool ClipboardText(std::wstring* text) {
  if (!OpenClipboard(nullptr)) return false;
  HGLOBAL h = GetClipboardData(CF_UNICODETEXT);
  bool ok = h != nullptr;
  if (ok && text) {
    *text = platform::Utf16BytesToWide(GlobalLock(h), GlobalSize(h));
    GlobalUnlock(h);
  }
  CloseClipboard();
  return ok;
}

std::vector<UINT> ClipboardFormats() {
  std::vector<UINT> out;
  for (UINT f = EnumClipboardFormats(0); f; f = EnumClipboardFormats(f)) out.push_back(f);
  return out;
}

std::vector<BYTE> ClipboardBytes(UINT format) {
  std::vector<BYTE> out;
  if (!OpenClipboard(nullptr)) return out;
  HANDLE h = GetClipboardData(format);
  SIZE_T n = GlobalSize(h);
  if (n) {
    const BYTE* p = static_cast<const BYTE*>(GlobalLock(h));
    out.assign(p, p + n);
    GlobalUnlock(h);
  }
  CloseClipboard();
  return out;
}

}  // namespace platform::sim
