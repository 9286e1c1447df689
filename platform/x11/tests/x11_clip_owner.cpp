// Another application that writes the CLIPBOARD, for the tests. Two ways:
// - `pastiq_x11_clip_owner GAP_MS...`: for each gap it takes the clipboard
//   with "first <gap>", waits until that text has been read, waits the gap,
//   then takes it with "second <gap>" from another window and reports on its
//   standard output "READ <gap> <ms>": how long that second clip waited
//   before its text was read ("READ <gap> unread" after two seconds). Last it
//   prints "DONE" and takes the clipboard once more with "done".
// - `pastiq_x11_clip_owner --offer TARGET=FILE...`: takes the clipboard
//   offering each target with the bytes of its file, prints "OWNS", then
//   "SERVED <target>" for every request it answers, until it loses the
//   clipboard.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

Display* dpy;
Atom clipboard, targets, utf8;
Window windows[2];
// What the clipboard holds: target and bytes.
std::vector<std::pair<Atom, std::string>> offers;
bool textRead = false;  // the text was asked for since the clipboard was taken

void Take(int which, std::vector<std::pair<Atom, std::string>> what) {
  offers = std::move(what);
  textRead = false;
  XSetSelectionOwner(dpy, clipboard, windows[which], CurrentTime);
  XFlush(dpy);
}

void TakeText(int which, const std::string& text) { Take(which, {{utf8, text}}); }

// Answers one request from the offers (small: one property each, no
// increments); false for a target not offered.
bool Answer(const XSelectionRequestEvent& req) {
  XSelectionEvent reply{};
  reply.type = SelectionNotify;
  reply.requestor = req.requestor;
  reply.selection = req.selection;
  reply.target = req.target;
  reply.time = req.time;
  reply.property = None;
  Atom property = req.property == None ? req.target : req.property;
  if (req.target == targets) {
    std::vector<Atom> list{targets};
    for (auto& o : offers) list.push_back(o.first);
    XChangeProperty(dpy, req.requestor, property, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(list.data()), static_cast<int>(list.size()));
    reply.property = property;
  }
  for (auto& o : offers) {
    if (o.first != req.target) continue;
    XChangeProperty(dpy, req.requestor, property, o.first, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(o.second.data()), static_cast<int>(o.second.size()));
    reply.property = property;
    if (o.first == utf8) textRead = true;
  }
  XSendEvent(dpy, req.requestor, False, NoEventMask, reinterpret_cast<XEvent*>(&reply));
  XFlush(dpy);
  return reply.property != None;
}

// Answers requests until `until`, or until the text was read.
bool ServeUntilRead(Clock::time_point until, bool stopWhenRead) {
  for (;;) {
    while (XPending(dpy)) {
      XEvent ev;
      XNextEvent(dpy, &ev);
      if (ev.type == SelectionRequest) Answer(ev.xselectionrequest);
    }
    if (stopWhenRead && textRead) return true;
    auto now = Clock::now();
    if (now >= until) return textRead;
    pollfd p{ConnectionNumber(dpy), POLLIN, 0};
    auto left = std::chrono::duration_cast<std::chrono::microseconds>(until - now).count();
    poll(&p, 1, static_cast<int>(std::max<long long>(1, (left + 999) / 1000)));
  }
}

int Offer(int argc, char** argv) {
  std::vector<std::pair<Atom, std::string>> what;
  for (int i = 2; i < argc; ++i) {
    std::string arg = argv[i];
    std::size_t eq = arg.find('=');
    if (eq == std::string::npos) return 2;
    std::ifstream in(arg.substr(eq + 1), std::ios::binary);
    what.emplace_back(XInternAtom(dpy, arg.substr(0, eq).c_str(), False),
                      std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
  }
  Take(0, std::move(what));
  XSync(dpy, False);
  std::printf("OWNS\n");
  std::fflush(stdout);
  for (;;) {
    XEvent ev;
    XNextEvent(dpy, &ev);
    if (ev.type == SelectionClear) {
      XCloseDisplay(dpy);
      return 0;
    }
    if (ev.type != SelectionRequest || !Answer(ev.xselectionrequest)) continue;
    char* name = XGetAtomName(dpy, ev.xselectionrequest.target);
    std::printf("SERVED %s\n", name ? name : "?");
    std::fflush(stdout);
    if (name) XFree(name);
  }
}

}  // namespace

int main(int argc, char** argv) {
  dpy = XOpenDisplay(nullptr);
  if (!dpy) return 2;
  clipboard = XInternAtom(dpy, "CLIPBOARD", False);
  targets = XInternAtom(dpy, "TARGETS", False);
  utf8 = XInternAtom(dpy, "UTF8_STRING", False);
  for (Window& w : windows) w = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 0, 0, 1, 1, 0, 0, 0);
  XSync(dpy, False);
  if (argc > 1 && std::string(argv[1]) == "--offer") return Offer(argc, argv);
  const auto kUnread = std::chrono::seconds(2);
  for (int i = 1; i < argc; ++i) {
    int gap = std::atoi(argv[i]);
    TakeText(0, "first " + std::to_string(gap));
    ServeUntilRead(Clock::now() + kUnread, true);
    ServeUntilRead(Clock::now() + std::chrono::milliseconds(gap), false);
    TakeText(1, "second " + std::to_string(gap));
    auto taken = Clock::now();
    bool read = ServeUntilRead(taken + kUnread, true);
    auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - taken).count();
    if (read) std::printf("READ %d %lld\n", gap, static_cast<long long>(waited));
    else std::printf("READ %d unread\n", gap);
    std::fflush(stdout);
  }
  std::printf("DONE\n");
  std::fflush(stdout);
  TakeText(0, "done");
  ServeUntilRead(Clock::now() + std::chrono::seconds(30), true);
  // As clients do: the server handles what was sent before it sees us go
  // (a connection that just drops may lose its last requests).
  XCloseDisplay(dpy);
  return 0;
}
