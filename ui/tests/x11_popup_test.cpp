// The popup list of the program pastiq on an X display with a window
// manager, driven as a user drives it: two clips copied with xclip, a text
// field of another application focused, the shortcut typed with xdotool.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include <X11/Xlib.h>

#include "child_process.h"
#include "sandbox.h"
#include "xserver.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing_process::CatchesSignal;
using testing_process::ChildProcess;
using testing_process::WaitUntil;

namespace {

const std::string kXclip = "/usr/bin/xclip";
const std::string kXdotool = "/usr/bin/xdotool";

// What the display shows of one of our windows and where the keyboard is.
struct Screen {
  bool popupViewable = false;
  Window focus = 0;
};

// Whether a window anywhere under the root carries our class property `cls`
// and is viewable (the window manager reparents it), and the input focus.
Screen Look(const std::string& display, const std::string& cls) {
  Screen out;
  Display* dpy = XOpenDisplay(display.c_str());
  if (!dpy) return out;
  const Atom classAtom = XInternAtom(dpy, "_PASTIQ_CLASS", False);
  // A window destroyed while the tree is walked answers BadWindow; Xlib's
  // default handler would end the test process for it.
  XErrorHandler old = XSetErrorHandler([](Display*, XErrorEvent*) -> int { return 0; });
  std::function<void(Window)> walk = [&](Window w) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(dpy, w, classAtom, 0, 64, False, AnyPropertyType, &type, &format, &count, &after,
                           &data) == Success &&
        data) {
      const bool match = format == 8 && std::string(reinterpret_cast<char*>(data), count) == cls;
      XFree(data);
      XWindowAttributes attributes;
      if (match && XGetWindowAttributes(dpy, w, &attributes) && attributes.map_state == IsViewable)
        out.popupViewable = true;
    }
    Window root = 0, parent = 0, *children = nullptr;
    unsigned n = 0;
    if (!XQueryTree(dpy, w, &root, &parent, &children, &n)) return;
    for (unsigned i = 0; i < n; ++i) walk(children[i]);
    if (children) XFree(children);
  };
  walk(DefaultRootWindow(dpy));
  int revert = 0;
  XGetInputFocus(dpy, &out.focus, &revert);
  XSync(dpy, False);
  XSetErrorHandler(old);
  XCloseDisplay(dpy);
  return out;
}

// Runs an X client to its end.
void RunClient(const std::vector<std::string>& argv, const std::string& display) {
  ChildProcess::Options options;
  options.display = display;
  ChildProcess client(argv, options);
  client.ReadAll(10s);
  client.Wait(1s);
}

struct PopupOnX11 : ::testing::Test {
  fs::path data = testing_sandbox::MakeTempDir("data");
  x11test::XServer server;

  PopupOnX11() {
    setenv("PASTIQ_DATA_DIR", data.c_str(), 1);
    unsetenv("PASTIQ_DESKTOP");
  }
  ~PopupOnX11() override { unsetenv("PASTIQ_DATA_DIR"); }

  // xclip puts `text` on the clipboard; true once the program has read it.
  bool Copy(const std::string& text) {
    ChildProcess::Options options;
    options.display = server.display();
    options.input = text;
    ChildProcess xclip({kXclip, "-verbose", "-quiet", "-selection", "clipboard", "-t", "UTF8_STRING", "-i"},
                       options.WithStderr());
    const bool read = WaitUntil(
        [&] { return xclip.Output().find("Waiting for selection request number 2") != std::string::npos; }, 20s);
    xclip.Stop();
    return read;
  }
  static bool Printed(ChildProcess& p, const std::string& prefix) {
    for (const std::string& l : p.Lines())
      if (l.rfind(prefix, 0) == 0) return true;
    return false;
  }
};

TEST_F(PopupOnX11, SuperVThenDownPastesTheSecondRecordAndEscapePastesNothing) {
  ASSERT_TRUE(server.Start()) << "Xvfb or openbox did not come up";
  const std::string& display = server.display();
  x11test::Process program = x11test::Process::Run({PASTIQ_PROGRAM}, display);
  ASSERT_TRUE(WaitUntil([&] { return CatchesSignal(program.pid(), SIGTERM) || !program.running(); }, 20s) &&
              program.running())
      << program.Output();
  ASSERT_TRUE(Copy("older clip"));
  ASSERT_TRUE(Copy("newer clip"));

  x11test::Process field = x11test::Process::Run({x11test::TestClientPath(), "field"}, display);
  ASSERT_TRUE(x11test::FocusClient(field, display, 15000)) << field.Output();
  const Window focus = Look(display, "PastiqPopup").focus;
  const unsigned long active = x11test::ActiveWindow(display);

  RunClient({kXdotool, "keydown", "super", "key", "v"}, display);
  ASSERT_TRUE(WaitUntil([&] { return Look(display, "PastiqPopup").popupViewable; }, 10s)) << program.Output();
  EXPECT_EQ(Look(display, "PastiqPopup").focus, focus) << "the popup took the keyboard focus";
  EXPECT_EQ(x11test::ActiveWindow(display), active) << "the popup became the active window";
  RunClient({kXdotool, "key", "Down", "keyup", "super"}, display);
  EXPECT_TRUE(WaitUntil([&] { return Printed(field, "PASTE older clip"); }, 10s)) << field.Output();
  EXPECT_TRUE(WaitUntil([&] { return !Look(display, "PastiqPopup").popupViewable; }, 10s));

  // Escape: the popup goes, nothing is pasted; a key typed afterwards
  // reaches the field, so anything pasted before it would have too.
  RunClient({kXdotool, "keydown", "super", "key", "v"}, display);
  ASSERT_TRUE(WaitUntil([&] { return Look(display, "PastiqPopup").popupViewable; }, 10s));
  RunClient({kXdotool, "key", "Escape", "keyup", "super"}, display);
  EXPECT_TRUE(WaitUntil([&] { return !Look(display, "PastiqPopup").popupViewable; }, 10s));
  RunClient({kXdotool, "key", "x"}, display);
  ASSERT_TRUE(WaitUntil([&] { return Printed(field, "KEY x "); }, 10s)) << field.Output();
  int pastes = 0;
  for (const std::string& l : field.Lines()) pastes += l.rfind("PASTE", 0) == 0;
  EXPECT_EQ(pastes, 1) << field.Output();
  program.Stop();
}

}  // namespace
