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
#include "x11_clients.h"
#include "x11_our_window.h"
#include "xserver.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing_process::ChildProcess;
using testing_process::WaitUntil;
using x11ui::kXdotool;
using x11ui::RunClient;

namespace {

const std::string kXclip = "/usr/bin/xclip";

// What the display shows of one of our windows and where the keyboard is.
struct Screen {
  bool popupViewable = false;
  int x = 0, y = 0, width = 0, height = 0;  // where it is on the screen while viewable
  Window focus = 0;
};

// Whether a window anywhere under the root carries our class property `cls`
// and is viewable (the window manager reparents it), and the input focus.
Screen Look(const std::string& display, const std::string& cls) {
  Screen out;
  Display* dpy = XOpenDisplay(display.c_str());
  if (!dpy) return out;
  const x11test::OurWindow found = x11test::FindOurWindow(dpy, cls);
  out.popupViewable = found.window != 0;
  out.x = found.x;
  out.y = found.y;
  out.width = found.width;
  out.height = found.height;
  int revert = 0;
  XGetInputFocus(dpy, &out.focus, &revert);
  XCloseDisplay(dpy);
  return out;
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
  ASSERT_TRUE(x11ui::WaitUntilRunning(program)) << program.Output();
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
  // Typed with no pause: Win is up before the program reads Down.
  RunClient({kXdotool, "key", "--delay", "0", "Down", "keyup", "--delay", "0", "super"}, display);
  EXPECT_TRUE(WaitUntil([&] { return Printed(field, "PASTE older clip"); }, 10s)) << field.Output();
  EXPECT_TRUE(WaitUntil([&] { return !Look(display, "PastiqPopup").popupViewable; }, 10s));

  // Escape: the popup goes, nothing is pasted; a key typed afterwards
  // reaches the field, so anything pasted before it would have too.
  RunClient({kXdotool, "keydown", "super", "key", "v"}, display);
  ASSERT_TRUE(WaitUntil([&] { return Look(display, "PastiqPopup").popupViewable; }, 10s));
  RunClient({kXdotool, "key", "--delay", "0", "Escape", "keyup", "--delay", "0", "super"}, display);
  EXPECT_TRUE(WaitUntil([&] { return !Look(display, "PastiqPopup").popupViewable; }, 10s));
  RunClient({kXdotool, "key", "x"}, display);
  ASSERT_TRUE(WaitUntil([&] { return Printed(field, "KEY x "); }, 10s)) << field.Output();
  int pastes = 0;
  for (const std::string& l : field.Lines()) pastes += l.rfind("PASTE", 0) == 0;
  EXPECT_EQ(pastes, 1) << field.Output();
  program.Stop();
}

// The user changes the popup's key in the options dialog from V to B: at OK
// Super+B opens the popup in another application, and Super+V is that
// application's key again.
TEST_F(PopupOnX11, TheShortcutChangedInTheOptionsDialogOpensThePopupAndTheOldOneNoLonger) {
  ASSERT_TRUE(server.Start()) << "Xvfb or openbox did not come up";
  const std::string& display = server.display();
  x11test::Process program = x11test::Process::Run({PASTIQ_PROGRAM}, display);
  ASSERT_TRUE(x11ui::WaitUntilRunning(program)) << program.Output();
  ASSERT_TRUE(Copy("a clip"));

  // Tools, Options: the General tab opens with its first box focused; the
  // key field is four controls on.
  ASSERT_FALSE(x11ui::ActivateWindowTitled("Pastiq", display).empty()) << "the main window did not show";
  RunClient({kXdotool, "key", "alt+t", "o"}, display);
  const std::string options = x11ui::ActivateWindowTitled("Options", display);
  ASSERT_FALSE(options.empty()) << "no options dialog";
  RunClient({kXdotool, "key", "Tab", "Tab", "Tab", "Tab", "ctrl+a", "b"}, display);
  ASSERT_TRUE(x11ui::ClickLastButton(options, display));
  ASSERT_TRUE(WaitUntil([&] { return x11ui::VisibleWindow("Options", display).empty(); }, 10s))
      << "the dialog did not close at OK";

  x11test::Process field = x11test::Process::Run({x11test::TestClientPath(), "field"}, display);
  ASSERT_TRUE(x11test::FocusClient(field, display, 15000)) << field.Output();
  RunClient({kXdotool, "keydown", "super", "key", "v", "keyup", "super"}, display);
  EXPECT_TRUE(WaitUntil([&] { return Printed(field, "KEY v super+"); }, 10s)) << "Super+V did not reach the field\n"
                                                                       << field.Output();
  EXPECT_FALSE(Look(display, "PastiqPopup").popupViewable) << "the old shortcut opened the popup";

  RunClient({kXdotool, "keydown", "super", "key", "b"}, display);
  EXPECT_TRUE(WaitUntil([&] { return Look(display, "PastiqPopup").popupViewable; }, 10s)) << program.Output();
  RunClient({kXdotool, "key", "Escape", "keyup", "super"}, display);
  EXPECT_TRUE(WaitUntil([&] { return !Look(display, "PastiqPopup").popupViewable; }, 10s));
  program.Stop();
}

// The menu window (as the tray icon's click opens it) closes on a click
// anywhere outside it: on the bare desktop, on another application's window
// that takes no focus from it; a click inside it keeps it open.
TEST_F(PopupOnX11, TheMenuWindowClosesOnAClickOutsideItAndStaysOnAClickInside) {
  ASSERT_TRUE(server.Start()) << "Xvfb or openbox did not come up";
  const std::string& display = server.display();
  ChildProcess::Options options;
  options.display = display;
  ChildProcess program({PASTIQ_UNATTENDED}, options.KeepInput());
  ASSERT_TRUE(x11ui::WaitUntilRunning(program)) << program.Output();
  x11test::Process field = x11test::Process::Run({x11test::TestClientPath(), "field"}, display);
  const unsigned long fieldX = x11test::WaitReady(field, 15000);
  ASSERT_NE(fieldX, 0u) << field.Output();
  const Screen fieldAt = [&] {
    Screen s;
    Display* dpy = XOpenDisplay(display.c_str());
    XWindowAttributes attributes;
    Window child = 0;
    if (dpy && XGetWindowAttributes(dpy, fieldX, &attributes)) {
      XTranslateCoordinates(dpy, fieldX, DefaultRootWindow(dpy), 0, 0, &s.x, &s.y, &child);
      s.width = attributes.width;
      s.height = attributes.height;
    }
    if (dpy) XCloseDisplay(dpy);
    return s;
  }();
  ASSERT_GT(fieldAt.width, 0);

  // Asked again until it shows: a command read before the program has made
  // its menu window is dropped, and a start on a loaded machine is slow.
  auto open = [&] {
    return WaitUntil(
        [&] {
          program.WriteInput("menu 900 700\n");
          return WaitUntil([&] { return Look(display, "PastiqMenuWindow").popupViewable; }, 2s);
        },
        20s);
  };
  auto click = [&](int x, int y) {
    RunClient({kXdotool, "mousemove", std::to_string(x), std::to_string(y), "click", "1"}, display);
  };
  auto closes = [&] { return WaitUntil([&] { return !Look(display, "PastiqMenuWindow").popupViewable; }, 10s); };

  ASSERT_TRUE(open()) << program.Output();
  click(5, 1019);  // the bare desktop, far from both windows
  EXPECT_TRUE(closes()) << "a click on the desktop left it open";

  ASSERT_TRUE(open());
  click(fieldAt.x + fieldAt.width / 2, fieldAt.y + fieldAt.height / 2);
  EXPECT_TRUE(closes()) << "a click on another application's window left it open";
  EXPECT_TRUE(WaitUntil([&] { return Printed(field, "CLICK 1"); }, 10s)) << "the click was taken from the client";

  ASSERT_TRUE(open());
  const Screen menu = Look(display, "PastiqMenuWindow");
  click(menu.x + menu.width / 2, menu.y + menu.height - 10);  // the empty list
  // The program reads our connection's events in order: once it has read
  // this clip, it has seen the click before it.
  ASSERT_TRUE(Copy("after the click"));
  EXPECT_TRUE(Look(display, "PastiqMenuWindow").popupViewable) << "a click inside closed it";
  program.Stop();
}

}  // namespace
