// The window table, placement, focus and foreground.
#include <algorithm>
#include <cwctype>

#include "desktop_internal.h"

namespace platform::detail {
namespace {

bool SameNoCase(const std::wstring& a, const wchar_t* b) {
  std::size_t n = 0;
  for (; b[n]; ++n) {
    if (n >= a.size()) return false;
    if (std::towupper(static_cast<wint_t>(a[n])) != std::towupper(static_cast<wint_t>(b[n]))) return false;
  }
  return n == a.size();
}

int CopyOut(const std::wstring& s, LPWSTR out, int max) {
  if (!out || max <= 0) return 0;
  std::size_t n = std::min<std::size_t>(s.size(), static_cast<std::size_t>(max - 1));
  s.copy(out, n);
  out[n] = 0;
  return static_cast<int>(n);
}

bool IsDescendant(HWND parent, HWND child) {
  WindowRec* w = FindWindowRec(child);
  while (w && w->parent) {
    if (w->parent == parent) return true;
    w = FindWindowRec(w->parent);
  }
  return false;
}

// Gives the focus back to the window of top's thread that had it, when it
// lies inside top; else to top itself.
bool Activate(HWND top) {
  HWND target = top;
  {
    Desktop& d = D();
    Lock g(d.mu);
    WindowRec* w = FindWindowRec(top);
    if (!w) return false;
    ThreadRec* t = FindThread(w->tid);
    if (t && t->focus && (t->focus == top || IsDescendant(top, t->focus))) target = t->focus;
  }
  return ChangeFocus(target, false);
}

void SendPosChanged(HWND hwnd, HWND after, UINT flags) {
  WINDOWPOS wp{hwnd, after, 0, 0, 0, 0, flags};
  {
    Desktop& d = D();
    Lock g(d.mu);
    WindowRec* w = FindWindowRec(hwnd);
    if (!w) return;
    wp.x = w->rect.left;
    wp.y = w->rect.top;
    wp.cx = w->rect.right - w->rect.left;
    wp.cy = w->rect.bottom - w->rect.top;
  }
  SendMessageW(hwnd, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&wp));
}

// A hidden window cannot stay in front.
void DropForegroundIfHidden(HWND hwnd) {
  Desktop& d = D();
  Lock g(d.mu);
  if (d.foreground && (d.foreground == hwnd || IsDescendant(hwnd, d.foreground))) d.foreground = nullptr;
}

}  // namespace

HWND DesktopFocus() {
  Desktop& d = D();
  Lock g(d.mu);
  WindowRec* fg = FindWindowRec(d.foreground);
  if (!fg) return nullptr;
  ThreadRec* t = FindThread(fg->tid);
  return t ? t->focus : nullptr;
}

bool ChangeFocus(HWND gaining, bool byMouse) {
  Desktop& d = D();
  DWORD tid = 0;
  HWND top = nullptr, losing = nullptr, previousForeground = nullptr;
  bool activate = false;
  {
    Lock g(d.mu);
    WindowRec* w = FindWindowRec(gaining);
    if (!w) return false;
    tid = w->tid;
    top = RootOf(gaining);
    ThreadRec* t = FindThread(tid);
    if (!t) return false;
    losing = DesktopFocus();
    previousForeground = d.foreground;
    activate = d.foreground != top || t->active != top;
  }
  if (gaining == losing && !activate) return true;
  ThreadContext ctx(tid);
  if (activate) {
    CBTACTIVATESTRUCT cas{byMouse ? TRUE : FALSE, previousForeground};
    if (RunHookChain(WH_CBT, tid, HCBT_ACTIVATE, reinterpret_cast<WPARAM>(top), reinterpret_cast<LPARAM>(&cas))) return false;
    Lock g(d.mu);
    if (!FindWindowRec(top)) return false;
    d.foreground = top;
    if (ThreadRec* t = FindThread(tid)) t->active = top;
  }
  if (gaining != losing) {
    if (RunHookChain(WH_CBT, tid, HCBT_SETFOCUS, reinterpret_cast<WPARAM>(gaining), reinterpret_cast<LPARAM>(losing)))
      return false;
  }
  {
    Lock g(d.mu);
    if (!FindWindowRec(gaining)) return false;
    if (ThreadRec* t = FindThread(tid)) t->focus = gaining;
  }
  if (gaining != losing) {
    if (losing && IsWindow(losing)) SendMessageW(losing, WM_KILLFOCUS, reinterpret_cast<WPARAM>(gaining), 0);
    if (IsWindow(gaining)) SendMessageW(gaining, WM_SETFOCUS, reinterpret_cast<WPARAM>(losing), 0);
  }
  return true;
}

void DestroyWindowTree(HWND hwnd) {
  DWORD tid = 0;
  {
    Desktop& d = D();
    Lock g(d.mu);
    WindowRec* w = FindWindowRec(hwnd);
    if (!w) return;
    tid = w->tid;
  }
  ThreadContext ctx(tid);
  SendMessageW(hwnd, WM_DESTROY, 0, 0);
  std::vector<std::pair<std::uint64_t, HWND>> children;
  {
    Desktop& d = D();
    Lock g(d.mu);
    for (auto& [key, w] : d.windows)
      if (w.parent == hwnd) children.emplace_back(w.order, w.hwnd);
  }
  std::sort(children.begin(), children.end());
  for (auto& c : children) DestroyWindowTree(c.second);
  SendMessageW(hwnd, WM_NCDESTROY, 0, 0);
  Desktop& d = D();
  Lock g(d.mu);
  d.windows.erase(reinterpret_cast<std::uintptr_t>(hwnd));
  if (d.foreground == hwnd) d.foreground = nullptr;
  for (auto& [id, t] : d.threads) {
    if (t.focus == hwnd) t.focus = nullptr;
    if (t.active == hwnd) t.active = nullptr;
    if (t.caretWindow == hwnd) {
      t.caretWindow = nullptr;
      t.caret = RECT{0, 0, 0, 0};
    }
  }
}

}  // namespace platform::detail

using namespace platform::detail;

HWND FindWindowW(LPCWSTR className, LPCWSTR windowName) {
  Desktop& d = D();
  Lock g(d.mu);
  const WindowRec* best = nullptr;
  for (auto& [key, w] : d.windows) {
    if (w.parent) continue;
    if (className && !SameNoCase(w.className, className)) continue;
    if (windowName && w.title != windowName) continue;
    if (!best || w.order < best->order) best = &w;
  }
  return best ? best->hwnd : nullptr;
}

BOOL IsWindow(HWND hwnd) {
  Desktop& d = D();
  Lock g(d.mu);
  return FindWindowRec(hwnd) ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND hwnd) {
  Desktop& d = D();
  Lock g(d.mu);
  WindowRec* w = FindWindowRec(hwnd);
  if (!w) return FALSE;
  for (; w; w = FindWindowRec(w->parent))
    if (!w->visible) return FALSE;
  return TRUE;
}

BOOL IsChild(HWND parent, HWND child) {
  Desktop& d = D();
  Lock g(d.mu);
  if (!FindWindowRec(parent)) return FALSE;
  return IsDescendant(parent, child) ? TRUE : FALSE;
}

HWND GetParent(HWND hwnd) {
  Desktop& d = D();
  Lock g(d.mu);
  WindowRec* w = FindWindowRec(hwnd);
  if (!w) SetError(ERROR_INVALID_WINDOW_HANDLE);
  return w ? w->parent : nullptr;
}

int GetClassNameW(HWND hwnd, LPWSTR out, int max) {
  Desktop& d = D();
  Lock g(d.mu);
  WindowRec* w = LiveWindow(hwnd);
  if (!w) return 0;
  return CopyOut(w->className, out, max);
}

int GetWindowTextW(HWND hwnd, LPWSTR out, int max) {
  if (!IsWindow(hwnd) || !out || max <= 0) return 0;
  return static_cast<int>(SendMessageW(hwnd, WM_GETTEXT, static_cast<WPARAM>(max), reinterpret_cast<LPARAM>(out)));
}

DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* pid) {
  Desktop& d = D();
  Lock g(d.mu);
  WindowRec* w = FindWindowRec(hwnd);
  if (pid) *pid = w ? w->pid : 0;
  if (!w) SetError(ERROR_INVALID_WINDOW_HANDLE);
  return w ? w->tid : 0;
}

BOOL GetWindowRect(HWND hwnd, RECT* rect) {
  Desktop& d = D();
  Lock g(d.mu);
  WindowRec* w = FindWindowRec(hwnd);
  if (!w || !rect) {
    SetError(w ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  *rect = w->rect;
  return TRUE;
}

BOOL DestroyWindow(HWND hwnd) {
  {
    Desktop& d = D();
    DWORD me = GetCurrentThreadId();
    Lock g(d.mu);
    WindowRec* w = LiveWindow(hwnd);
    if (!w) return FALSE;
    if (w->tid != me) {
      SetError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
  }
  DestroyWindowTree(hwnd);
  return TRUE;
}

HWND GetForegroundWindow() {
  Desktop& d = D();
  Lock g(d.mu);
  return FindWindowRec(d.foreground) ? d.foreground : nullptr;
}

BOOL SetForegroundWindow(HWND hwnd) {
  if (!IsWindowVisible(hwnd)) return FALSE;
  HWND top = nullptr;
  {
    Desktop& d = D();
    Lock g(d.mu);
    top = RootOf(hwnd);
  }
  if (!platform::CurrentBackend().AllowSetForeground(top)) return FALSE;
  return Activate(top) ? TRUE : FALSE;
}

BOOL GetGUIThreadInfo(DWORD threadId, GUITHREADINFO* info) {
  if (!info || (info->cbSize != sizeof(GUITHREADINFO) && info->cbSize != 48)) {
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Desktop& d = D();
  Lock g(d.mu);
  if (threadId == 0) {
    WindowRec* fg = FindWindowRec(d.foreground);
    if (!fg) {
      SetError(ERROR_INVALID_THREAD_ID);
      return FALSE;
    }
    threadId = fg->tid;
  }
  ThreadRec* t = FindThread(threadId);
  if (!t) {
    SetError(ERROR_INVALID_THREAD_ID);
    return FALSE;
  }
  DWORD size = info->cbSize;
  *info = GUITHREADINFO{};
  info->cbSize = size;
  info->hwndActive = t->active;
  info->hwndFocus = t->focus;
  info->hwndCaret = t->caretWindow;
  info->rcCaret = t->caretWindow ? t->caret : RECT{0, 0, 0, 0};
  info->flags = t->caretWindow ? GUI_CARETBLINKING : 0;
  return TRUE;
}

BOOL SystemParametersInfoW(UINT action, UINT, LPVOID param, UINT) {
  if (action != SPI_GETWORKAREA || !param) {
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *static_cast<RECT*>(param) = platform::CurrentBackend().WorkArea();
  return TRUE;
}

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
  bool topLevel = false, visible = false;
  {
    Desktop& d = D();
    Lock g(d.mu);
    WindowRec* w = LiveWindow(hwnd);
    if (!w) return FALSE;
    if (!(flags & SWP_NOMOVE)) {
      LONG width = w->rect.right - w->rect.left, height = w->rect.bottom - w->rect.top;
      w->rect = RECT{x, y, x + width, y + height};
    }
    if (!(flags & SWP_NOSIZE)) {
      w->rect.right = w->rect.left + std::max(cx, 0);
      w->rect.bottom = w->rect.top + std::max(cy, 0);
    }
    if (flags & SWP_SHOWWINDOW) w->visible = true;
    if (flags & SWP_HIDEWINDOW) w->visible = false;
    topLevel = !w->parent;
    visible = w->visible;
  }
  if (flags & SWP_HIDEWINDOW) DropForegroundIfHidden(hwnd);
  SendPosChanged(hwnd, insertAfter, flags);
  if (!(flags & SWP_NOACTIVATE) && topLevel && visible) Activate(hwnd);
  return TRUE;
}

BOOL ShowWindow(HWND hwnd, int command) {
  bool was = false, topLevel = false;
  bool show = command != SW_HIDE;
  bool activate = command == SW_SHOW || command == SW_SHOWNORMAL || command == SW_RESTORE || command == SW_SHOWMAXIMIZED;
  {
    Desktop& d = D();
    Lock g(d.mu);
    WindowRec* w = LiveWindow(hwnd);
    if (!w) return FALSE;
    was = w->visible;
    w->visible = show;
    topLevel = !w->parent;
  }
  if (was != show) {
    SendMessageW(hwnd, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
    UINT flags = SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | (show ? SWP_SHOWWINDOW : SWP_HIDEWINDOW);
    if (!activate) flags |= SWP_NOACTIVATE;
    SendPosChanged(hwnd, nullptr, flags);
  }
  if (!show) DropForegroundIfHidden(hwnd);
  if (show && activate && topLevel) Activate(hwnd);
  return was ? TRUE : FALSE;
}

LONG_PTR GetWindowLongPtrW(HWND hwnd, int index) {
  Desktop& d = D();
  Lock g(d.mu);
  WindowRec* w = LiveWindow(hwnd);
  if (!w) return 0;
  switch (index) {
    case GWLP_WNDPROC:
      return reinterpret_cast<LONG_PTR>(w->proc);
    case GWLP_USERDATA:
      return w->userData;
    case GWLP_ID:
      return w->id;
    default:
      SetError(ERROR_INVALID_PARAMETER);
      return 0;
  }
}

LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value) {
  DWORD me = GetCurrentProcessId();
  Desktop& d = D();
  Lock g(d.mu);
  WindowRec* w = LiveWindow(hwnd);
  if (!w) return 0;
  LONG_PTR old = 0;
  switch (index) {
    case GWLP_WNDPROC:
      if (w->pid != me) {
        SetError(ERROR_ACCESS_DENIED);
        return 0;
      }
      if (!value) {
        SetError(ERROR_INVALID_PARAMETER);
        return 0;
      }
      old = reinterpret_cast<LONG_PTR>(w->proc);
      w->proc = reinterpret_cast<WNDPROC>(value);
      return old;
    case GWLP_USERDATA:
      old = w->userData;
      w->userData = value;
      return old;
    case GWLP_ID:
      old = w->id;
      w->id = value;
      return old;
    default:
      SetError(ERROR_INVALID_PARAMETER);
      return 0;
  }
}

namespace platform {

HWND CreateToolkitWindow(LPCWSTR className, LPCWSTR title, HWND parent, WNDPROC proc) {
  DWORD tid = GetCurrentThreadId();
  WindowRec rec;
  {
    Desktop& d = D();
    Lock g(d.mu);
    ThreadRec* t = FindThread(tid);
    if (!t || !t->own || (parent && !FindWindowRec(parent))) {
      SetError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
    rec.pid = t->pid;
  }
  rec.tid = tid;
  rec.className = className ? className : L"";
  rec.title = title ? title : L"";
  rec.parent = parent;
  rec.proc = proc;
  rec.own = true;
  return AddWindowRec(std::move(rec));
}

void UpdateToolkitWindow(HWND hwnd, const RECT* rect, int visible) {
  {
    Desktop& d = D();
    Lock g(d.mu);
    WindowRec* w = FindWindowRec(hwnd);
    if (!w) return;
    if (rect) w->rect = *rect;
    if (visible >= 0) w->visible = visible != 0;
  }
  if (visible == 0) DropForegroundIfHidden(hwnd);
}

void ToolkitFocusChanged(HWND gaining) { ChangeFocus(gaining, false); }

}  // namespace platform
