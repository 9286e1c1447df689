// The connection to the X server and the backend the layer runs on.
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xfixes.h>
#include <X11/extensions/XRes.h>
#include <signal.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <chrono>
#include <cstring>
#include <thread>

#include "../../src/desktop_internal.h"
#include "../../src/sim_factory.h"
#include "platform/backend.h"
#include "platform/clipformats.h"
#include "platform/x11.h"
#include "x11_internal.h"

namespace platform::x11::detail {
namespace {

namespace pd = platform::detail;

constexpr DWORD kUnknownPid = 0x7FFFFFF0;

Conn conn;
unsigned long errorCount = 0;
XErrorHandler previousHandler = nullptr;
std::thread::id guiThread;
std::set<DWORD> running;  // foreign threads whose work runs right now
bool dispatching = false;
std::atomic<bool> kicked{false};  // the eventfd holds a wakeup Dispatch has not drained yet

// Xlib's after function: runs after every request of ours.
int AfterRequest(Display*) {
  NoteQueuedEvents();
  return 0;
}

int OnXError(Display* dpy, XErrorEvent* e) {
  if (dpy == conn.dpy) {
    ++errorCount;
    return 0;
  }
  return previousHandler ? previousHandler(dpy, e) : 0;
}

bool OnGuiThread() { return std::this_thread::get_id() == guiThread; }

Atom Intern(const char* name) { return XInternAtom(conn.dpy, name, False); }

void InternAtoms() {
  Atoms& a = conn.a;
  a.netActiveWindow = Intern("_NET_ACTIVE_WINDOW");
  a.netWmPid = Intern("_NET_WM_PID");
  a.netWmName = Intern("_NET_WM_NAME");
  a.netClientList = Intern("_NET_CLIENT_LIST");
  a.netSupported = Intern("_NET_SUPPORTED");
  a.utf8String = Intern("UTF8_STRING");
  a.wmState = Intern("WM_STATE");
  a.wmClass = XA_WM_CLASS;
  a.clipboard = Intern("CLIPBOARD");
  a.targets = Intern("TARGETS");
  a.multiple = Intern("MULTIPLE");
  a.timestamp = Intern("TIMESTAMP");
  a.incr = Intern("INCR");
  a.atomPair = Intern("ATOM_PAIR");
  a.text = Intern("TEXT");
  a.string = XA_STRING;
  a.textPlainUtf8 = Intern("text/plain;charset=utf-8");
  a.textPlain = Intern("text/plain");
  a.textHtml = Intern("text/html");
  a.textRtf = Intern("text/rtf");
  a.appRtf = Intern("application/rtf");
  a.imagePng = Intern("image/png");
  a.imageBmp = Intern("image/bmp");
  a.textCsv = Intern("text/csv");
  a.tagTarget = Intern("application/x-pastiq-tag");
  a.clipboardManager = Intern("CLIPBOARD_MANAGER");
  a.saveTargets = Intern("SAVE_TARGETS");
  a.property = Intern("_PASTIQ_SELECTION");
  a.pastiqClass = Intern("_PASTIQ_CLASS");
  a.pastiqWindows = Intern("_PASTIQ_WINDOWS");
  a.pastiqMessage = Intern("_PASTIQ_MESSAGE");
  a.pastiqProcess = Intern("_PASTIQ_PROCESS");
}

bool ProcessExists(DWORD pid) { return pid && (kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM); }

class X11Backend final : public Backend {
 public:
  X11Backend() : start_(std::chrono::steady_clock::now()) {}
  const char* Name() const override { return "x11"; }

  std::uint64_t NowMs() override {
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_).count());
  }

  void Sleep(DWORD ms) override {
    if (ms) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    else std::this_thread::yield();
    if (OnGuiThread()) RunAllForeign();
  }

  DWORD OwnProcessId() override { return static_cast<DWORD>(getpid()); }

  // Newest first: a walk that looks for a process that has just done
  // something finds it soon, reading the details of few others.
  std::vector<DWORD> ProcessIds() override {
    std::vector<DWORD> out = ProcFsProcessIds();
    std::reverse(out.begin(), out.end());
    out.push_back(kUnknownPid);
    return out;
  }

  // The ones looked for on a desktop have windows (the clipboard's writer,
  // the window in front).
  std::vector<DWORD> LikelyProcessIds() override {
    std::vector<DWORD> out;
    if (!OnGuiThread()) return out;
    for (DWORD pid : RecentWindowProcesses())
      if (ProcessExists(pid)) out.push_back(pid);
    return out;
  }

  bool ProcessDetails(DWORD pid, ProcessInfo* out) override {
    if (pid == kUnknownPid) {
      *out = ProcessInfo{kUnknownPid, 0, 1, L""};
      return true;
    }
    return ProcFsProcessDetails(pid, out);
  }

  bool Modules(DWORD pid, std::vector<ModuleInfo>* out) override {
    if (pid == kUnknownPid) return false;
    return ProcFsModules(pid, out);
  }

  DWORD CheckOpenProcess(DWORD pid, DWORD access) override {
    if (pid == kUnknownPid || pid == OwnProcessId()) return ERROR_SUCCESS;
    if (!ProcessExists(pid)) return ERROR_INVALID_PARAMETER;
    if (access & PROCESS_VM_READ) {
      char buf[16];
      std::string exe = "/proc/" + std::to_string(pid) + "/exe";
      if (readlink(exe.c_str(), buf, sizeof buf) < 0) return ERROR_ACCESS_DENIED;
    }
    return ERROR_SUCCESS;
  }

  // X11 applications have no input queue that could be watched; a live
  // local process counts as idle at once.
  DWORD WaitForInputIdle(DWORD pid, DWORD) override {
    if (pid == kUnknownPid || ProcessExists(pid)) return 0;
    pd::SetError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }

  // Only what the keyboard holds now will do (the keystroke paste leaves a
  // key the user holds alone): one round trip, made only when asked.
  void ReadKeyboard() override {
    if (OnGuiThread()) SyncAsyncKeys();
  }

  RECT WorkArea() override {
    RECT r{0, 0, 0, 0};
    if (!conn.dpy) return r;
    std::vector<unsigned char> bytes;
    Atom workArea = Intern("_NET_WORKAREA");
    Atom type = 0;
    int format = 0;
    if (GetProperty(conn.root, workArea, XA_CARDINAL, &bytes, &type, &format) && format == 32 &&
        bytes.size() >= 4 * sizeof(long)) {
      const long* v = reinterpret_cast<const long*>(bytes.data());
      r = RECT{static_cast<LONG>(v[0]), static_cast<LONG>(v[1]), static_cast<LONG>(v[0] + v[2]),
               static_cast<LONG>(v[1] + v[3])};
    } else {
      r = RECT{0, 0, DisplayWidth(conn.dpy, conn.screen), DisplayHeight(conn.dpy, conn.screen)};
    }
    KickIfQueued();
    return r;
  }

  std::vector<Monitor> Monitors() override {
    std::vector<Monitor> out;
    if (!conn.dpy) return out;
    for (const MonitorArea& m : ReadMonitors(WorkArea())) out.push_back(Monitor{m.area, m.work});
    KickIfQueued();
    return out;
  }

  void Version(OSVERSIONINFOW* info) override {
    *info = OSVERSIONINFOW{};
    info->dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
    info->dwMajorVersion = 5;
    info->dwMinorVersion = 1;
    info->dwBuildNumber = 2600;
    info->dwPlatformId = VER_PLATFORM_WIN32_NT;
  }

  bool AllowSetForeground(HWND hwnd) override {
    Window w = XOf(hwnd);
    if (!w || !OnGuiThread()) return true;  // ours: the toolkit raises it
    return ActivateX(w);
  }

  void HooksChanged() override {
    if (OnGuiThread()) UpdateKeyGrabs();
    else Kick();  // Dispatch brings the grabs up to date
  }

  void ThreadHasWork(DWORD tid, bool input) override {
    if (input && OnGuiThread()) {
      RunForeign(tid);
      return;
    }
    Kick();
  }

 private:
  std::chrono::steady_clock::time_point start_;
};

}  // namespace

Conn& C() { return conn; }
DWORD UnknownPid() { return kUnknownPid; }

namespace {
std::function<void(const std::string&)> warningHandler;
}

void Warn(const std::string& text) {
  if (warningHandler) warningHandler(text);
  else std::fprintf(stderr, "pastiq: warning: %s\n", text.c_str());
}
bool Connected() { return conn.dpy != nullptr; }

void Kick() {
  if (conn.eventFd < 0) return;
  kicked = true;
  std::uint64_t one = 1;
  ssize_t n = write(conn.eventFd, &one, sizeof one);
  (void)n;
}

void KickIfQueued() {
  if (conn.dpy && XEventsQueued(conn.dpy, QueuedAlready) > 0) Kick();
}

void NoteQueuedEvents() {
  if (conn.dpy && !dispatching && !kicked && XEventsQueued(conn.dpy, QueuedAlready) > 0) Kick();
}

void InstallErrorHandler() {
  XErrorHandler old = XSetErrorHandler(&OnXError);
  if (old != &OnXError) previousHandler = old;
}

Trap::Trap() : before_(errorCount) { InstallErrorHandler(); }
Trap::~Trap() = default;
bool Trap::Failed() {
  // Errors come in request order: once the last request was answered (one
  // with a reply), every error of the scope has arrived; else a round trip
  // makes sure.
  if (LastKnownRequestProcessed(conn.dpy) + 1 < NextRequest(conn.dpy)) {
    XSync(conn.dpy, False);
    NoteQueuedEvents();  // a sync is no request of its own that the loop hears of
  }
  return errorCount != before_;
}

bool GetProperty(Window w, Atom prop, Atom type, std::vector<unsigned char>* out, Atom* actualType, int* format,
                 std::size_t maxBytes) {
  out->clear();
  Atom at = 0;
  int fmt = 0;
  unsigned long n = 0, after = 0;
  unsigned char* data = nullptr;
  Trap trap;
  int r = XGetWindowProperty(conn.dpy, w, prop, 0, static_cast<long>(maxBytes / 4), False, type, &at, &fmt, &n, &after,
                             &data);
  if (r != Success || trap.Failed() || at == None) {
    if (data) XFree(data);
    return false;
  }
  std::size_t unit = fmt == 32 ? sizeof(long) : fmt == 16 ? sizeof(short) : 1;
  if (data) out->assign(data, data + n * unit);
  if (data) XFree(data);
  if (actualType) *actualType = at;
  if (format) *format = fmt;
  return true;
}

Window GetWindowProperty(Window w, Atom prop) {
  std::vector<unsigned char> bytes;
  if (!GetProperty(w, prop, XA_WINDOW, &bytes) || bytes.size() < sizeof(long)) return 0;
  long v = 0;
  std::memcpy(&v, bytes.data(), sizeof v);
  return static_cast<Window>(v);
}

std::wstring Utf8ToWide(const std::string& s) {
  if (s.empty()) return std::wstring();
  int len = static_cast<int>(std::min<std::size_t>(s.size(), 0x7FFFFFFF));
  int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), len, nullptr, 0);
  std::wstring out(static_cast<std::size_t>(std::max(n, 0)), L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, s.data(), len, out.data(), n);
  return out;
}

std::string WideToUtf8(const std::wstring& s) {
  if (s.empty()) return std::string();
  int len = static_cast<int>(std::min<std::size_t>(s.size(), 0x7FFFFFFF));
  int n = WideCharToMultiByte(CP_UTF8, 0, s.data(), len, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(std::max(n, 0)), '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, s.data(), len, out.data(), n, nullptr, nullptr);
  return out;
}

void RunForeign(DWORD tid) {
  if (running.count(tid)) return;  // its current item finishes first
  running.insert(tid);
  for (int n = 0; n < 10000 && pd::ProcessOne(tid); ++n) {
  }
  running.erase(tid);
}

int RunAllForeign() {
  int n = 0;
  for (int round = 0; round < 1000; ++round) {
    bool progress = false;
    for (DWORD tid : pd::ForeignThreadsWithWork()) {
      if (running.count(tid)) continue;
      running.insert(tid);
      bool did = pd::ProcessOne(tid);
      running.erase(tid);
      if (did) {
        ++n;
        progress = true;
      }
    }
    if (!progress) break;
  }
  return n;
}

namespace {

void HandleEvent(XEvent& ev) {
  switch (ev.type) {
    case KeyPress:
    case KeyRelease:
      conn.lastTime = ev.xkey.time;
      OnKeyEvent(ev);
      return;
    case MappingNotify:
      OnMappingNotify(ev);
      return;
    case PropertyNotify:
      conn.lastTime = ev.xproperty.time;
      break;
    case ClientMessage:
      if (ev.xclient.message_type == conn.a.pastiqMessage) {
        OnPastiqMessage(ev.xclient);
        return;
      }
      break;
    default:
      break;
  }
  if (OnClipboardEvent(ev)) return;
  OnWindowEvent(ev);
}

}  // namespace

}  // namespace platform::x11::detail

namespace platform::x11 {

using namespace detail;

bool Start(const char* displayName, std::string* error) {
  if (conn.dpy) Stop();
  XInitThreads();
  const char* name = displayName && *displayName ? displayName : std::getenv("DISPLAY");
  if (!name || !*name) {
    if (error) *error = "DISPLAY is not set";
    return false;
  }
  Display* dpy = XOpenDisplay(name);
  if (!dpy) {
    if (error) *error = std::string("cannot open the X display \"") + name + "\"";
    return false;
  }
  conn = Conn{};
  kicked = false;
  dispatching = false;
  conn.dpy = dpy;
  conn.screen = DefaultScreen(dpy);
  conn.root = RootWindow(dpy, conn.screen);
  conn.ownPid = static_cast<DWORD>(getpid());
  guiThread = std::this_thread::get_id();
  InstallErrorHandler();
  XSetAfterFunction(dpy, &AfterRequest);
  InternAtoms();
  int base = 0, err = 0, major = 0, minor = 0;
  conn.xfixes = XFixesQueryExtension(dpy, &conn.xfixesEvent, &err);
  conn.xres = XResQueryExtension(dpy, &base, &err);
  conn.xtest = XTestQueryExtension(dpy, &base, &err, &major, &minor);
  XSetWindowAttributes attrs{};
  attrs.event_mask = PropertyChangeMask;
  conn.own = XCreateWindow(dpy, conn.root, -10, -10, 1, 1, 0, CopyFromParent, InputOnly, CopyFromParent, CWEventMask,
                           &attrs);
  XStoreName(dpy, conn.own, "Pastiq");
  long pid = static_cast<long>(conn.ownPid);
  XChangeProperty(dpy, conn.own, conn.a.netWmPid, XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(&pid), 1);
  XChangeProperty(dpy, conn.own, conn.a.pastiqProcess, XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(&pid), 1);
  XSelectInput(dpy, conn.root, PropertyChangeMask | FocusChangeMask);

  conn.eventFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  conn.pollFd = epoll_create1(EPOLL_CLOEXEC);
  epoll_event e{};
  e.events = EPOLLIN;
  e.data.fd = ConnectionNumber(dpy);
  epoll_ctl(conn.pollFd, EPOLL_CTL_ADD, ConnectionNumber(dpy), &e);
  e.data.fd = conn.eventFd;
  epoll_ctl(conn.pollFd, EPOLL_CTL_ADD, conn.eventFd, &e);

  StartBackend(std::make_unique<X11Backend>());
  InitWindows();
  InitKeys();
  InitClipboard();
  XFlush(dpy);
  Kick();  // the first Dispatch publishes our windows and reads the focus
  return true;
}

void Stop() {
  if (!conn.dpy) return;
  ShutdownClipboard();
  ShutdownKeys();
  ShutdownWindows();
  XDestroyWindow(conn.dpy, conn.own);
  XCloseDisplay(conn.dpy);
  if (conn.eventFd >= 0) close(conn.eventFd);
  if (conn.pollFd >= 0) close(conn.pollFd);
  conn = Conn{};
  running.clear();
  StartBackend(platform::detail::MakeSimBackend());
}

bool Running() { return conn.dpy != nullptr; }

int EventFd() { return conn.dpy ? conn.pollFd : -1; }

int Dispatch() {
  if (!conn.dpy) return 0;
  std::uint64_t v = 0;
  while (read(conn.eventFd, &v, sizeof v) > 0) {
  }
  kicked = false;
  InstallErrorHandler();
  dispatching = true;
  int n = 0;
  while (n < 10000 && XPending(conn.dpy) > 0) {
    XEvent ev;
    XNextEvent(conn.dpy, &ev);
    HandleEvent(ev);
    ++n;
  }
  n += RunAllForeign();
  UpdateKeyGrabs();
  PublishOwnWindows();
  XFlush(conn.dpy);
  dispatching = false;
  // Whatever the work above read into Xlib's queue is handled next time.
  KickIfQueued();
  return n;
}

DWORD UnknownProcessId() { return kUnknownPid; }

void SetWarningHandler(std::function<void(const std::string&)> handler) { warningHandler = std::move(handler); }

}  // namespace platform::x11
