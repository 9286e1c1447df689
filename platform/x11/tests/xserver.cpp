#include "xserver.h"

#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/epoll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <thread>

#include "platform/window.h"
#include "platform/x11.h"

extern char** environ;

namespace x11test {

using Clock = std::chrono::steady_clock;

Process::~Process() { Stop(); }
Process::Process(Process&& o) noexcept { *this = std::move(o); }
Process& Process::operator=(Process&& o) noexcept {
  if (this == &o) return *this;
  Stop();
  pid_ = o.pid_;
  out_ = o.out_;
  buf_ = std::move(o.buf_);
  lines_ = std::move(o.lines_);
  status_ = o.status_;
  o.pid_ = -1;
  o.out_ = -1;
  return *this;
}

Process Process::Run(const std::vector<std::string>& argv, const std::string& display, const std::string* input) {
  Process p;
  int out[2], in[2] = {-1, -1};
  if (pipe2(out, O_CLOEXEC) != 0) return p;
  if (input && pipe2(in, O_CLOEXEC) != 0) return p;
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e)
    if (std::strncmp(*e, "DISPLAY=", 8) != 0) env.push_back(*e);
  if (!display.empty()) env.push_back("DISPLAY=" + display);
  std::vector<char*> envp, args;
  for (auto& s : env) envp.push_back(const_cast<char*>(s.c_str()));
  envp.push_back(nullptr);
  for (auto& s : argv) args.push_back(const_cast<char*>(s.c_str()));
  args.push_back(nullptr);
  int devnull = open("/dev/null", O_RDWR | O_CLOEXEC);
  pid_t parent = getpid();
  // vfork: no copy of our pages, so a measurement in this process does not
  // pay for the child's start.
  pid_t pid = vfork();
  if (pid == 0) {
    // Servers and clients end with the test, however it ends.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    dup2(out[1], 1);
    dup2(input ? in[0] : devnull, 0);
    execve(args[0], args.data(), envp.data());
    _exit(127);
  }
  close(devnull);
  close(out[1]);
  if (input) close(in[0]);
  if (pid < 0) {
    close(out[0]);
    if (input) close(in[1]);
    return p;
  }
  p.pid_ = pid;
  p.out_ = out[0];
  fcntl(p.out_, F_SETFL, O_NONBLOCK);
  if (input) {
    std::size_t done = 0;
    while (done < input->size()) {
      ssize_t n = write(in[1], input->data() + done, input->size() - done);
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    close(in[1]);
  }
  return p;
}

void Process::Read() {
  if (out_ < 0) return;
  char buf[4096];
  for (;;) {
    ssize_t n = read(out_, buf, sizeof buf);
    if (n <= 0) break;
    buf_.append(buf, static_cast<std::size_t>(n));
  }
  std::size_t nl;
  while ((nl = buf_.find('\n')) != std::string::npos) {
    lines_.push_back(buf_.substr(0, nl));
    buf_.erase(0, nl + 1);
  }
}

const std::vector<std::string>& Process::Lines() {
  Read();
  return lines_;
}

bool Process::running() {
  if (pid_ <= 0) return false;
  if (status_ != -1) return false;
  int st = 0;
  if (waitpid(pid_, &st, WNOHANG) == pid_) {
    status_ = st;
    return false;
  }
  return true;
}

int Process::Wait(int ms) {
  auto until = Clock::now() + std::chrono::milliseconds(ms);
  while (running()) {
    if (Clock::now() >= until) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return status_;
}

std::string Process::Output() {
  Read();
  std::string all;
  for (auto& l : lines_) all += l + "\n";
  return all + buf_;
}

void Process::Stop() {
  if (pid_ > 0 && running()) {
    kill(pid_, SIGCONT);
    kill(pid_, SIGTERM);
    if (Wait(2000) == -1) {
      kill(pid_, SIGKILL);
      Wait(2000);
    }
  }
  if (out_ >= 0) {
    Read();
    close(out_);
  }
  out_ = -1;
  pid_ = -1;
}

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

bool KeyHolder::GrabSuperV(const std::string& display) {
  Display* dpy = XOpenDisplay(display.c_str());
  if (!dpy) return false;
  dpy_ = dpy;
  static bool failed;
  failed = false;
  XErrorHandler old = XSetErrorHandler([](Display*, XErrorEvent*) -> int {
    failed = true;
    return 0;
  });
  XGrabKey(dpy, XKeysymToKeycode(dpy, XStringToKeysym("v")), Mod4Mask, DefaultRootWindow(dpy), False, GrabModeAsync,
           GrabModeAsync);
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
