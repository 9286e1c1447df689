#include "xserver.h"

#include <X11/Xlib.h>
#include <poll.h>
#include <sys/epoll.h>
#include <unistd.h>

#include <cstring>
#include <thread>

#include "platform/window.h"
#include "platform/x11.h"

namespace x11test {

using Clock = std::chrono::steady_clock;

bool XServer::Start(bool wm) {
  int fds[2];
  if (pipe2(fds, 0) != 0) return false;
  std::vector<std::string> argv{"/usr/bin/Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1280x1024x24",
                                "-nolisten", "tcp", "-noreset"};
  xvfb_ = Process::Run(argv, "");
  close(fds[1]);
  std::string number;
  auto until = Clock::now() + std::chrono::seconds(10);
  while (Clock::now() < until && number.find('\n') == std::string::npos) {
    pollfd p{fds[0], POLLIN, 0};
    if (poll(&p, 1, 100) > 0) {
      char c[16];
      ssize_t n = read(fds[0], c, sizeof c);
      if (n <= 0) break;
      number.append(c, static_cast<std::size_t>(n));
    }
  }
  close(fds[0]);
  if (number.empty() || number.find('\n') == std::string::npos) return false;
  display_ = ":" + number.substr(0, number.find('\n'));
  if (!wm) return true;
  wm_ = Process::Run({"/usr/bin/openbox", "--sm-disable"}, display_);
  Display* dpy = XOpenDisplay(display_.c_str());
  if (!dpy) return false;
  Atom check = XInternAtom(dpy, "_NET_SUPPORTING_WM_CHECK", False);
  bool up = false;
  while (!up && Clock::now() < until + std::chrono::seconds(5)) {
    Atom type;
    int format;
    unsigned long n = 0, after;
    unsigned char* data = nullptr;
    XGetWindowProperty(dpy, DefaultRootWindow(dpy), check, 0, 1, False, AnyPropertyType, &type, &format, &n, &after, &data);
    if (data) XFree(data);
    up = n > 0;
    if (!up) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  // It may still drop the map requests of its first moments: it is ready
  // once it maps a window that asks (asked again until it does).
  bool manages = false;
  if (up) {
    Window probe = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 0, 0, 10, 10, 0, 0, 0);
    auto probeUntil = Clock::now() + std::chrono::seconds(10);
    while (!manages && Clock::now() < probeUntil) {
      XMapWindow(dpy, probe);
      XSync(dpy, False);
      for (int i = 0; i < 20 && !manages; ++i) {
        XWindowAttributes a{};
        XGetWindowAttributes(dpy, probe, &a);
        manages = a.map_state == IsViewable;
        if (!manages) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    }
    XDestroyWindow(dpy, probe);
    XSync(dpy, False);
  }
  XCloseDisplay(dpy);
  return up && manages;
}

void XServer::Stop() {
  wm_.Stop();
  xvfb_.Stop();
}

namespace {
// The loop: X events, then our queue, then a wait for the connection, at
// most `tickMs` (-1: until the deadline).
bool Loop(const std::function<bool()>& pred, int ms, int tickMs) {
  auto until = Clock::now() + std::chrono::milliseconds(ms);
  int fd = platform::x11::EventFd();
  for (;;) {
    platform::x11::Dispatch();
    platform::DrainMessages();
    if (pred()) return true;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
    if (left <= 0) return false;
    epoll_event e;
    epoll_wait(fd, &e, 1, tickMs < 0 ? static_cast<int>(left) : tickMs);
  }
}
}  // namespace

bool PumpUntil(const std::function<bool()>& pred, int ms) { return Loop(pred, ms, 10); }

bool RunUntil(const std::function<bool()>& pred, int ms) { return Loop(pred, ms, -1); }

void Pump(int ms) {
  PumpUntil([] { return false; }, ms);
}

bool Settle() {
  const auto until = Clock::now() + std::chrono::seconds(1);
  while (platform::x11::Dispatch() + platform::DrainMessages() > 0)
    if (Clock::now() >= until) return false;
  return true;
}

HungOwner::~HungOwner() {
  if (dpy_) XCloseDisplay(static_cast<Display*>(dpy_));
}

bool HungOwner::Take(const std::string& display) {
  Display* dpy = XOpenDisplay(display.c_str());
  if (!dpy) return false;
  dpy_ = dpy;
  Window w = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 0, 0, 1, 1, 0, 0, 0);
  XSetSelectionOwner(dpy, XInternAtom(dpy, "CLIPBOARD", False), w, CurrentTime);
  XSync(dpy, False);
  return XGetSelectionOwner(dpy, XInternAtom(dpy, "CLIPBOARD", False)) == w;
}

KeyHolder::~KeyHolder() {
  if (dpy_) XCloseDisplay(static_cast<Display*>(dpy_));
}

bool KeyHolder::Grab(const std::string& display, const std::string& keysym, bool ctrl, bool alt, bool super) {
  Display* dpy = dpy_ ? static_cast<Display*>(dpy_) : XOpenDisplay(display.c_str());
  if (!dpy) return false;
  dpy_ = dpy;
  static bool failed;
  failed = false;
  XErrorHandler old = XSetErrorHandler([](Display*, XErrorEvent*) -> int {
    failed = true;
    return 0;
  });
  const unsigned int modifiers = (ctrl ? ControlMask : 0) | (alt ? Mod1Mask : 0) | (super ? Mod4Mask : 0);
  XGrabKey(dpy, XKeysymToKeycode(dpy, XStringToKeysym(keysym.c_str())), modifiers, DefaultRootWindow(dpy), False,
           GrabModeAsync, GrabModeAsync);
  XSync(dpy, False);
  XSetErrorHandler(old);
  return !failed;
}

unsigned long ActiveWindow(const std::string& display) {
  Display* dpy = XOpenDisplay(display.c_str());
  if (!dpy) return 0;
  Atom active = XInternAtom(dpy, "_NET_ACTIVE_WINDOW", False);
  Atom type;
  int format;
  unsigned long n = 0, after, out = 0;
  unsigned char* data = nullptr;
  XGetWindowProperty(dpy, DefaultRootWindow(dpy), active, 0, 1, False, AnyPropertyType, &type, &format, &n, &after, &data);
  if (data && n) out = *reinterpret_cast<unsigned long*>(data);
  if (data) XFree(data);
  XCloseDisplay(dpy);
  return out;
}

unsigned long WaitReady(Process& client, int ms) {
  unsigned long xid = 0;
  PumpUntil(
      [&] {
        for (auto& l : client.Lines())
          if (l.rfind("READY ", 0) == 0) xid = std::stoul(l.substr(6));
        return xid != 0;
      },
      ms);
  return xid;
}

bool FocusClient(Process& client, const std::string& display, int ms) {
  unsigned long xid = WaitReady(client, ms);
  if (!xid) return false;
  auto focused = [&] {
    for (auto& l : client.Lines())
      if (l == "FOCUS") return true;
    return false;
  };
  if (PumpUntil(focused, 1500)) return true;
  HWND h = platform::x11::WindowFor(xid);
  if (h) SetForegroundWindow(h);
  if (PumpUntil(focused, 2000)) return true;
  // As a click on it would, past the window manager.
  if (Display* dpy = XOpenDisplay(display.c_str())) {
    XRaiseWindow(dpy, xid);
    XSetInputFocus(dpy, xid, RevertToParent, CurrentTime);
    XSync(dpy, False);
    XCloseDisplay(dpy);
  }
  return PumpUntil(focused, 2000);
}

std::string TestClientPath() {
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  std::string self = n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
  return self.substr(0, self.rfind('/') + 1) + "pastiq_x11_test_client";
}

std::string PeerPath() {
  std::string client = TestClientPath();
  return client.substr(0, client.rfind('/') + 1) + "pastiq_x11_peer";
}

std::string ClipOwnerPath() {
  std::string client = TestClientPath();
  return client.substr(0, client.rfind('/') + 1) + "pastiq_x11_clip_owner";
}

}  // namespace x11test
