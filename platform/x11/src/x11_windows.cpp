// Other applications' X windows as window handles, their processes, the
// active window as the focus, and our windows as other instances see them.
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XRes.h>
#include <signal.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <sstream>
#include <thread>

#include "../../src/desktop_internal.h"
#include "platform/x11.h"
#include "x11_internal.h"

namespace platform::x11::detail {
namespace {

namespace pd = platform::detail;

// A window of another instance of the program, published on its process
// window.
struct Remote {
  Window processWindow = 0;
  std::uint64_t handle = 0;
};

struct WindowsState {
  std::map<Window, HWND> byX;
  std::map<HWND, Window> xOf;
  std::map<HWND, Remote> remotes;
  std::map<Window, std::vector<HWND>> remoteByProcess;
  std::map<DWORD, DWORD> threadOfPid;
  std::deque<DWORD> recentPids;  // processes of the windows entered lately, newest first
  std::set<Window> native;  // X windows the toolkit named as ours
  std::map<HWND, Window> nativeOf;
  HWND lastActive = nullptr;
  HWND desktop = nullptr;
  std::string published;
  bool wmActive = false;
};

WindowsState ws;

bool LocalProcess(DWORD pid) { return pid && (kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM); }

std::string ClassOf(Window w) {
  std::vector<unsigned char> bytes;
  if (GetProperty(w, C().a.pastiqClass, C().a.utf8String, &bytes) && !bytes.empty())
    return std::string(bytes.begin(), bytes.end());
  XClassHint hint{};
  Trap trap;
  std::string out;
  if (XGetClassHint(C().dpy, w, &hint)) {
    if (hint.res_class) out = hint.res_class;
    if (hint.res_name) XFree(hint.res_name);
    if (hint.res_class) XFree(hint.res_class);
  }
  trap.Failed();
  return out;
}

std::string TitleOf(Window w) {
  std::vector<unsigned char> bytes;
  if (GetProperty(w, C().a.netWmName, C().a.utf8String, &bytes)) return std::string(bytes.begin(), bytes.end());
  if (GetProperty(w, XA_WM_NAME, AnyPropertyType, &bytes)) return std::string(bytes.begin(), bytes.end());
  return std::string();
}

bool Geometry(Window w, RECT* r, bool* viewable) {
  Trap trap;
  XWindowAttributes attr{};
  if (!XGetWindowAttributes(C().dpy, w, &attr)) return false;
  int x = 0, y = 0;
  Window child = 0;
  XTranslateCoordinates(C().dpy, w, C().root, 0, 0, &x, &y, &child);
  if (trap.Failed()) return false;
  *r = RECT{x, y, x + attr.width, y + attr.height};
  *viewable = attr.map_state == IsViewable;
  return true;
}

// The top-level client window holding w: the ancestor with WM_STATE, else
// the child of the root.
Window ClientOf(Window w) {
  Window cur = w, topChild = w;
  for (int depth = 0; cur && cur != C().root && depth < 64; ++depth) {
    std::vector<unsigned char> bytes;
    if (GetProperty(cur, C().a.wmState, AnyPropertyType, &bytes, nullptr, nullptr, 64)) return cur;
    Window rootRet = 0, parent = 0, *kids = nullptr;
    unsigned int n = 0;
    Trap trap;
    Status ok = XQueryTree(C().dpy, cur, &rootRet, &parent, &kids, &n);
    if (kids) XFree(kids);
    if (!ok || trap.Failed()) return 0;
    topChild = cur;
    cur = parent;
  }
  return topChild;
}

HWND AddForeign(DWORD pid, const std::string& cls, const std::string& title, bool visible, RECT rect) {
  pd::WindowRec rec;
  rec.pid = pid;
  rec.tid = ThreadForPid(pid);
  rec.className = Utf8ToWide(cls);
  rec.title = Utf8ToWide(title);
  rec.visible = visible;
  rec.rect = rect;
  rec.proc = &ForeignProc;
  return pd::AddWindowRec(std::move(rec));
}

void DropRemotes(Window processWindow) {
  auto it = ws.remoteByProcess.find(processWindow);
  if (it == ws.remoteByProcess.end()) return;
  for (HWND h : it->second) {
    ws.remotes.erase(h);
    pd::DestroyWindowTree(h);
  }
  ws.remoteByProcess.erase(it);
}

// Enters the windows another instance publishes on its process window.
void ImportRemotes(Window processWindow) {
  DropRemotes(processWindow);
  std::vector<unsigned char> pidBytes, list;
  if (!GetProperty(processWindow, C().a.pastiqProcess, XA_CARDINAL, &pidBytes) || pidBytes.size() < sizeof(long)) return;
  long pidValue = 0;
  std::memcpy(&pidValue, pidBytes.data(), sizeof pidValue);
  DWORD pid = static_cast<DWORD>(pidValue);
  if (pid == C().ownPid) return;
  if (!LocalProcess(pid)) pid = UnknownPid();
  {
    Trap trap;
    XSelectInput(C().dpy, processWindow, StructureNotifyMask | PropertyChangeMask);
    if (trap.Failed()) return;
  }
  std::vector<HWND>& mine = ws.remoteByProcess[processWindow];
  if (!GetProperty(processWindow, C().a.pastiqWindows, C().a.utf8String, &list)) return;
  std::istringstream in(std::string(list.begin(), list.end()));
  std::string line;
  for (int n = 0; n < 256 && std::getline(in, line); ++n) {
    std::size_t t1 = line.find('\t');
    std::size_t t2 = t1 == std::string::npos ? t1 : line.find('\t', t1 + 1);
    if (t2 == std::string::npos) continue;
    std::uint64_t handle = std::strtoull(line.substr(0, t1).c_str(), nullptr, 16);
    if (!handle) continue;
    HWND h = AddForeign(pid, line.substr(t1 + 1, t2 - t1 - 1), line.substr(t2 + 1), true, RECT{0, 0, 0, 0});
    ws.remotes[h] = Remote{processWindow, handle};
    mine.push_back(h);
  }
}

void ImportAllRemotes() {
  Window rootRet = 0, parent = 0, *kids = nullptr;
  unsigned int n = 0;
  Trap trap;
  if (!XQueryTree(C().dpy, C().root, &rootRet, &parent, &kids, &n)) return;
  std::vector<Window> children(kids, kids + n);
  if (kids) XFree(kids);
  for (Window w : children) {
    if (w == C().own) continue;
    std::vector<unsigned char> bytes;
    if (GetProperty(w, C().a.pastiqProcess, XA_CARDINAL, &bytes, nullptr, nullptr, 16)) ImportRemotes(w);
  }
}

}  // namespace

DWORD PidOf(Window w) {
  if (C().xres) {
    XResClientIdSpec spec{w, XRES_CLIENT_ID_PID_MASK};
    long count = 0;
    XResClientIdValue* ids = nullptr;
    Trap trap;
    Status st = XResQueryClientIds(C().dpy, 1, &spec, &count, &ids);
    bool failed = trap.Failed();
    DWORD pid = 0;
    if (st == Success && !failed) {
      for (long i = 0; i < count && !pid; ++i) {
        pid_t p = XResGetClientPid(&ids[i]);
        if (p > 0) pid = static_cast<DWORD>(p);
      }
    }
    if (ids) XResClientIdsDestroy(count, ids);
    if (pid && LocalProcess(pid)) return pid;
  }
  std::vector<unsigned char> bytes;
  if (GetProperty(w, C().a.netWmPid, XA_CARDINAL, &bytes) && bytes.size() >= sizeof(long)) {
    long v = 0;
    std::memcpy(&v, bytes.data(), sizeof v);
    if (v > 0 && LocalProcess(static_cast<DWORD>(v))) return static_cast<DWORD>(v);
  }
  return 0;
}

DWORD ThreadForPid(DWORD pid) {
  auto it = ws.threadOfPid.find(pid);
  if (it != ws.threadOfPid.end()) return it->second;
  DWORD tid = 0x40000000u | (pid & 0x3FFFFFFFu);
  pd::ReserveId(pid);
  pd::AddForeignThread(pid, tid);
  ws.threadOfPid[pid] = tid;
  return tid;
}

bool IsOwnWindow(Window w) {
  if (!w) return false;
  if (w == C().own || ws.native.count(w)) return true;
  return PidOf(w) == C().ownPid;
}

HWND HandleFor(Window w) {
  if (!w || w == PointerRoot) return nullptr;
  auto it = ws.byX.find(w);
  if (it != ws.byX.end()) return it->second;
  if (w == C().own || ws.native.count(w)) return nullptr;
  RECT r{0, 0, 0, 0};
  bool viewable = false;
  if (!Geometry(w, &r, &viewable)) return nullptr;
  DWORD pid = w == C().root ? 0 : PidOf(w);
  if (pid == C().ownPid) return nullptr;
  if (!pid) pid = UnknownPid();
  if (w != C().root) {
    Trap trap;
    XSelectInput(C().dpy, w, StructureNotifyMask | PropertyChangeMask);
    if (trap.Failed()) return nullptr;
  }
  HWND h = AddForeign(pid, w == C().root ? std::string() : ClassOf(w), w == C().root ? std::string() : TitleOf(w),
                      viewable, r);
  ws.byX[w] = h;
  ws.xOf[h] = w;
  if (pid != UnknownPid() && pid != 0) {
    ws.recentPids.erase(std::remove(ws.recentPids.begin(), ws.recentPids.end(), pid), ws.recentPids.end());
    ws.recentPids.push_front(pid);
    if (ws.recentPids.size() > 64) ws.recentPids.pop_back();
  }
  return h;
}

std::vector<DWORD> RecentWindowProcesses() { return std::vector<DWORD>(ws.recentPids.begin(), ws.recentPids.end()); }

Window XOf(HWND hwnd) {
  auto it = ws.xOf.find(hwnd);
  if (it != ws.xOf.end()) return it->second;
  auto n = ws.nativeOf.find(hwnd);
  return n == ws.nativeOf.end() ? 0 : n->second;
}

void ForgetWindow(Window w) {
  auto it = ws.byX.find(w);
  if (it == ws.byX.end()) {
    DropRemotes(w);
    return;
  }
  HWND h = it->second;
  ws.byX.erase(it);
  ws.xOf.erase(h);
  if (ws.lastActive == h) ws.lastActive = nullptr;
  pd::DestroyWindowTree(h);
}

void RefreshActiveWindow() {
  Window active = 0;
  std::vector<unsigned char> bytes;
  ws.wmActive = GetProperty(C().root, C().a.netActiveWindow, XA_WINDOW, &bytes);
  if (ws.wmActive) {
    if (bytes.size() >= sizeof(long)) {
      long v = 0;
      std::memcpy(&v, bytes.data(), sizeof v);
      active = static_cast<Window>(v);
    }
  } else {
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(C().dpy, &focus, &revert);
    if (focus != None && focus != PointerRoot) active = ClientOf(focus);
  }
  if (!active || active == C().root) return;  // nothing in front: keep what was
  if (IsOwnWindow(active)) return;            // the toolkit reports its own focus
  HWND h = HandleFor(active);
  if (!h || h == ws.lastActive) return;
  ws.lastActive = h;
  pd::ChangeFocus(h, false);
}

HWND DesktopWindow() {
  if (!ws.desktop) ws.desktop = HandleFor(C().root);
  return ws.desktop;
}

HWND WindowAtPointer(POINT* pt) {
  // Down from the root to the deepest window under the pointer.
  std::vector<Window> chain;
  Window cur = C().root;
  Trap trap;
  for (int depth = 0; depth < 64; ++depth) {
    Window rootRet = 0, child = 0;
    int rx = 0, ry = 0, wx = 0, wy = 0;
    unsigned int mask = 0;
    if (!XQueryPointer(C().dpy, cur, &rootRet, &child, &rx, &ry, &wx, &wy, &mask)) break;
    if (depth == 0) *pt = POINT{rx, ry};
    if (!child) break;
    chain.push_back(child);
    cur = child;
  }
  trap.Failed();
  for (auto w = chain.rbegin(); w != chain.rend(); ++w) {
    if (!ws.native.count(*w)) continue;
    for (const auto& [hwnd, x] : ws.nativeOf)
      if (x == *w) return hwnd;
  }
  HWND h = chain.empty() ? nullptr : HandleFor(ClientOf(chain.back()));
  return h ? h : DesktopWindow();
}

void OnWindowEvent(const XEvent& ev) {
  switch (ev.type) {
    case DestroyNotify:
      ForgetWindow(ev.xdestroywindow.window);
      break;
    case MapNotify:
    case UnmapNotify: {
      Window w = ev.type == MapNotify ? ev.xmap.window : ev.xunmap.window;
      auto it = ws.byX.find(w);
      if (it != ws.byX.end()) platform::UpdateToolkitWindow(it->second, nullptr, ev.type == MapNotify ? 1 : 0);
      break;
    }
    case ConfigureNotify: {
      auto it = ws.byX.find(ev.xconfigure.window);
      if (it == ws.byX.end()) break;
      RECT r{0, 0, 0, 0};
      bool viewable = false;
      if (Geometry(ev.xconfigure.window, &r, &viewable)) platform::UpdateToolkitWindow(it->second, &r, -1);
      break;
    }
    case PropertyNotify:
      if (ev.xproperty.window == C().root && ev.xproperty.atom == C().a.netActiveWindow) {
        RefreshActiveWindow();
      } else if (ev.xproperty.atom == C().a.pastiqWindows && ws.remoteByProcess.count(ev.xproperty.window)) {
        ImportRemotes(ev.xproperty.window);
      }
      break;
    case FocusIn:
    case FocusOut:
      if (!ws.wmActive) RefreshActiveWindow();
      break;
    default:
      break;
  }
}

void InitWindows() {
  ws = WindowsState{};
  ImportAllRemotes();
  RefreshActiveWindow();
}

void ShutdownWindows() {
  std::vector<HWND> all;
  for (auto& [h, w] : ws.xOf) all.push_back(h);
  for (auto& [h, r] : ws.remotes) all.push_back(h);
  for (HWND h : all) pd::DestroyWindowTree(h);
  for (auto& [pid, tid] : ws.threadOfPid) pd::RemoveThread(tid);
  ws = WindowsState{};
}

// Asks the window manager to activate w and waits a little for it.
bool ActivateX(Window w) {
  Display* dpy = C().dpy;
  if (ws.wmActive) {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = w;
    e.xclient.message_type = C().a.netActiveWindow;
    e.xclient.format = 32;
    e.xclient.data.l[0] = 2;  // a pager asks: honoured without focus-stealing rules
    e.xclient.data.l[1] = CurrentTime;
    e.xclient.data.l[2] = 0;
    XSendEvent(dpy, C().root, False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
  } else {
    Trap trap;
    XRaiseWindow(dpy, w);
    XSetInputFocus(dpy, w, RevertToParent, CurrentTime);
    trap.Failed();
  }
  XFlush(dpy);
  bool done = false;
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
  while (!done && std::chrono::steady_clock::now() < until) {
    if (ws.wmActive) {
      done = GetWindowProperty(C().root, C().a.netActiveWindow) == w;
    } else {
      Window focus = 0;
      int revert = 0;
      XGetInputFocus(dpy, &focus, &revert);
      done = focus == w || ClientOf(focus) == w;
    }
    if (!done) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (done) ws.lastActive = HandleFor(w);
  KickIfQueued();
  return true;
}

// Our top-level windows with a class, as "handle<TAB>class<TAB>title" lines
// on our process window, so that another instance finds them.
void PublishOwnWindows() {
  std::ostringstream out;
  {
    pd::Desktop& d = pd::D();
    pd::Lock g(d.mu);
    for (auto& [key, w] : d.windows) {
      if (!w.own || w.parent || w.className.empty()) continue;
      out << std::hex << key << '\t' << WideToUtf8(w.className) << '\t' << WideToUtf8(w.title) << '\n';
    }
  }
  std::string text = out.str();
  if (text == ws.published) return;
  ws.published = text;
  XChangeProperty(C().dpy, C().own, C().a.pastiqWindows, C().a.utf8String, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
  for (auto& [hwnd, x] : ws.nativeOf) {
    wchar_t cls[256];
    int n = GetClassNameW(hwnd, cls, 256);
    std::string c = WideToUtf8(std::wstring(cls, static_cast<std::size_t>(n)));
    Trap trap;
    XChangeProperty(C().dpy, x, C().a.pastiqClass, C().a.utf8String, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(c.data()), static_cast<int>(c.size()));
    trap.Failed();
  }
}

// A message another instance posted to one of our windows.
void OnPastiqMessage(const XClientMessageEvent& ev) {
  if (ev.window != C().own || ev.format != 32) return;
  HWND h = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(static_cast<unsigned long>(ev.data.l[0])));
  {
    pd::Desktop& d = pd::D();
    pd::Lock g(d.mu);
    pd::WindowRec* w = pd::FindWindowRec(h);
    if (!w || !w->own) return;  // only our own windows take messages from outside
  }
  PostMessageW(h, static_cast<UINT>(ev.data.l[1]), static_cast<WPARAM>(static_cast<unsigned long>(ev.data.l[2])),
               static_cast<LPARAM>(ev.data.l[3]));
}

LRESULT ForeignProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
      KeyReachedWindow(hwnd, msg, wParam);
      return 0;
    case WM_CLOSE:
    case WM_DESTROY:
    case WM_NCDESTROY:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_SHOWWINDOW:
    case WM_WINDOWPOSCHANGED:
    case WM_LBUTTONDOWN:  // the client had the click itself
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
      return 0;
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
    case WM_SETTEXT:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
    default:
      break;
  }
  auto r = ws.remotes.find(hwnd);
  if (r != ws.remotes.end() && msg != WM_NULL) {
    // Only values travel: messages that carry pointers make no sense there.
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = r->second.processWindow;
    e.xclient.message_type = C().a.pastiqMessage;
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(r->second.handle);
    e.xclient.data.l[1] = static_cast<long>(msg);
    e.xclient.data.l[2] = static_cast<long>(wParam);
    e.xclient.data.l[3] = static_cast<long>(lParam);
    Trap trap;
    XSendEvent(C().dpy, r->second.processWindow, False, NoEventMask, &e);
    trap.Failed();
  }
  return 0;
}

}  // namespace platform::x11::detail

namespace platform::x11 {

unsigned long XWindowOf(HWND hwnd) { return detail::XOf(hwnd); }

HWND WindowFor(unsigned long xwindow) {
  if (!detail::Connected()) return nullptr;
  HWND h = detail::HandleFor(static_cast<Window>(xwindow));
  detail::KickIfQueued();
  return h;
}

void SetNativeWindow(HWND hwnd, unsigned long xwindow) {
  if (!detail::Connected() || !xwindow) return;
  detail::ws.native.insert(static_cast<Window>(xwindow));
  detail::ws.nativeOf[hwnd] = static_cast<Window>(xwindow);
  detail::ws.published.clear();  // names the class on the X window at the next Dispatch
  detail::Kick();
}

}  // namespace platform::x11
