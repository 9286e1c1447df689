// Simulated windows: the message record every one keeps, and the ready-made
// edit and rich-edit controls.
#include <map>
#include <mutex>

#include "../src/desktop_internal.h"
#include "sim_internal.h"

namespace platform::sim {
namespace {

struct WindowData {
  WNDPROC user = nullptr;
  bool edit = false;
  std::wstring text;
  std::vector<Received> log;
};

struct Controls {
  std::mutex mu;
  std::map<HWND, WindowData> windows;
  std::function<bool(std::wstring*)> pasteSource;
};

Controls& C() {
  static Controls* c = new Controls;
  return *c;
}

bool IsKey(UINT m) { return m == WM_KEYDOWN || m == WM_KEYUP || m == WM_SYSKEYDOWN || m == WM_SYSKEYUP; }

void Insert(HWND hwnd, const std::wstring& s) {
  Controls& c = C();
  std::lock_guard<std::mutex> g(c.mu);
  auto it = c.windows.find(hwnd);
  if (it != c.windows.end()) it->second.text += s;
}

void Paste(HWND hwnd) {
  std::function<bool(std::wstring*)> source;
  {
    Controls& c = C();
    std::lock_guard<std::mutex> g(c.mu);
    source = c.pasteSource;
  }
  std::wstring text;
  if (source && source(&text)) Insert(hwnd, text);
}

LRESULT EditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  bool ctrl = GetKeyState(VK_CONTROL) < 0, alt = GetKeyState(VK_MENU) < 0, shift = GetKeyState(VK_SHIFT) < 0;
  switch (msg) {
    case WM_PASTE:
      Paste(hwnd);
      return 0;
    case WM_KEYDOWN:
      if (wParam == 'V' && ctrl && !alt) {
        Paste(hwnd);
      } else if (wParam == VK_BACK && !ctrl && !alt) {
        Controls& c = C();
        std::lock_guard<std::mutex> g(c.mu);
        std::wstring& t = c.windows[hwnd].text;
        if (!t.empty()) t.pop_back();
      } else if (!ctrl && !alt) {
        WCHAR ch = platform::detail::CharForKey(static_cast<int>(wParam), shift);
        if (ch) Insert(hwnd, std::wstring(1, ch));
      }
      return 0;
    case WM_CHAR:
      if (wParam >= 0x20) Insert(hwnd, std::wstring(1, static_cast<wchar_t>(wParam)));
      return 0;
    case WM_SETTEXT: {
      const wchar_t* s = reinterpret_cast<const wchar_t*>(lParam);
      Controls& c = C();
      std::lock_guard<std::mutex> g(c.mu);
      c.windows[hwnd].text = s ? s : L"";
      return TRUE;
    }
    case WM_GETTEXT: {
      wchar_t* out = reinterpret_cast<wchar_t*>(lParam);
      if (!out || wParam == 0) return 0;
      Controls& c = C();
      std::lock_guard<std::mutex> g(c.mu);
      const std::wstring& t = c.windows[hwnd].text;
      std::size_t n = std::min<std::size_t>(t.size(), wParam - 1);
      t.copy(out, n);
      out[n] = 0;
      return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH: {
      Controls& c = C();
      std::lock_guard<std::mutex> g(c.mu);
      return static_cast<LRESULT>(c.windows[hwnd].text.size());
    }
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

}  // namespace

namespace detail {

LRESULT SimWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Received r{msg, wParam, lParam, platform::detail::CurrentMessageWasSent(), GetKeyState(VK_CONTROL) < 0,
             GetKeyState(VK_SHIFT) < 0, GetKeyState(VK_MENU) < 0};
  WNDPROC user = nullptr;
  bool edit = false;
  {
    Controls& c = C();
    std::lock_guard<std::mutex> g(c.mu);
    WindowData& w = c.windows[hwnd];
    w.log.push_back(r);
    user = w.user;
    edit = w.edit;
  }
  if (user) return user(hwnd, msg, wParam, lParam);
  if (edit) return EditProc(hwnd, msg, wParam, lParam);
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void AddWindowData(HWND hwnd, WNDPROC user, bool edit) {
  Controls& c = C();
  std::lock_guard<std::mutex> g(c.mu);
  WindowData& w = c.windows[hwnd];
  w.user = user;
  w.edit = edit;
}

void ResetControls() {
  Controls& c = C();
  std::lock_guard<std::mutex> g(c.mu);
  c.windows.clear();
}

}  // namespace detail

std::wstring EditText(HWND edit) {
  Controls& c = C();
  std::lock_guard<std::mutex> g(c.mu);
  auto it = c.windows.find(edit);
  return it == c.windows.end() ? std::wstring() : it->second.text;
}

void SetEditText(HWND edit, const std::wstring& text) {
  Controls& c = C();
  std::lock_guard<std::mutex> g(c.mu);
  auto it = c.windows.find(edit);
  if (it != c.windows.end()) it->second.text = text;
}

void SetPasteSource(std::function<bool(std::wstring* text)> source) {
  Controls& c = C();
  std::lock_guard<std::mutex> g(c.mu);
  c.pasteSource = std::move(source);
}

std::vector<Received> Messages(HWND hwnd) {
  Controls& c = C();
  std::lock_guard<std::mutex> g(c.mu);
  auto it = c.windows.find(hwnd);
  return it == c.windows.end() ? std::vector<Received>() : it->second.log;
}

std::vector<Received> Keys(HWND hwnd) {
  std::vector<Received> out;
  for (const Received& r : Messages(hwnd))
    if (IsKey(r.message)) out.push_back(r);
  return out;
}

void ClearMessages(HWND hwnd) {
  Controls& c = C();
  std::lock_guard<std::mutex> g(c.mu);
  auto it = c.windows.find(hwnd);
  if (it != c.windows.end()) it->second.log.clear();
}

}  // namespace platform::sim
