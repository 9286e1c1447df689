// The program pastiq itself on an X display of its own (Xvfb with a window
// manager), with real clients: what it records there it keeps when the
// session ends. Its data folder and home are temporary folders.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <thread>
#include <string>
#include <utility>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include "appconfig.h"
#include "child.h"
#include "options.h"
#include "pq/history.h"
#include "pq/record.h"
#include "pq/recordlist.h"
#include "pq/searchlist.h"
#include "sandbox.h"
#include "xserver.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

const std::string kXclip = "/usr/bin/xclip";

// The X window of the display's top level that carries our window class
// property with `cls`, and the process id the toolkit gave it (0, 0: none).
std::pair<Window, long> TopLevelOfClass(const std::string& display, const std::string& cls) {
  Display* dpy = XOpenDisplay(display.c_str());
  if (!dpy) return {0, 0};
  const Atom classAtom = XInternAtom(dpy, "_PASTIQ_CLASS", False);
  const Atom pidAtom = XInternAtom(dpy, "_NET_WM_PID", False);
  auto property = [dpy](Window w, Atom name, Atom type) {
    Atom actual = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::string value;
    if (XGetWindowProperty(dpy, w, name, 0, 256, False, type, &actual, &format, &count, &after, &data) == Success &&
        data) {
      if (format == 8) value.assign(reinterpret_cast<char*>(data), count);
      if (format == 32 && count == 1) value = std::to_string(*reinterpret_cast<long*>(data));
      XFree(data);
    }
    return value;
  };
  std::pair<Window, long> found{0, 0};
  Window root = 0, parent = 0, *children = nullptr;
  unsigned count = 0;
  if (XQueryTree(dpy, DefaultRootWindow(dpy), &root, &parent, &children, &count)) {
    for (unsigned i = 0; i < count && !found.first; ++i)
      if (property(children[i], classAtom, AnyPropertyType) == cls) {
        const std::string pid = property(children[i], pidAtom, XA_CARDINAL);
        found = {children[i], pid.empty() ? 0 : std::stol(pid)};
      }
    if (children) XFree(children);
  }
  XCloseDisplay(dpy);
  return found;
}

struct ProgramOnX11 : ::testing::Test {
  fs::path data = testing_sandbox::MakeTempDir("data");
  x11test::XServer server;

  ProgramOnX11() {
    setenv("PASTIQ_DATA_DIR", data.c_str(), 1);
    unsetenv("PASTIQ_DESKTOP");  // the X11 desktop, as a user starts it
  }
  ~ProgramOnX11() override { unsetenv("PASTIQ_DATA_DIR"); }

  // Waits until the program has started up (its session-end handler is the
  // last thing it installs); false when it ended or took too long.
  static bool WaitUntilRunning(x11test::Process& program) {
    const auto end = std::chrono::steady_clock::now() + 20s;
    while (!CatchesSignal(program.pid(), SIGTERM)) {
      if (std::chrono::steady_clock::now() > end || !program.running()) return false;
      std::this_thread::sleep_for(10ms);
    }
    return true;
  }
};

TEST_F(ProgramOnX11, TextSetWithXclipIsSavedWithXclipAsItsSourceWhenTheSessionEnds) {
  ASSERT_TRUE(server.Start()) << "Xvfb or openbox did not come up";
  x11test::Process program = x11test::Process::Run({PASTIQ_PROGRAM}, server.display());
  ASSERT_TRUE(WaitUntilRunning(program)) << program.Output();

  const std::string text = "copied on a real display";
  x11test::Process xclip =
      x11test::Process::Run({kXclip, "-quiet", "-selection", "clipboard", "-t", "UTF8_STRING", "-i"},
                            server.display(), &text);
  ASSERT_GT(xclip.pid(), 0);
  // The capture runs in the program's own loop; nothing outside it shows
  // when it is done, so it gets a generous moment.
  std::this_thread::sleep_for(4s);

  ASSERT_EQ(kill(program.pid(), SIGTERM), 0);
  const int status = program.Wait(15000);
  ASSERT_NE(status, -1) << "the program did not end after SIGTERM";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << program.Output();
  xclip.Stop();

  const fs::path file = data / "pastiq_history";
  ASSERT_TRUE(fs::exists(file));
  pq::History history;
  ASSERT_NO_THROW(history.Load(wxString::FromUTF8(file.string())));
  ASSERT_NE(history.GetMainList(), nullptr);
  bool found = false;
  for (const pq::RecordPtr& r : history.GetMainList()->GetRecords())
    if (r->text == text) {
      found = true;
      EXPECT_EQ(r->application, kXclip);
    }
  EXPECT_TRUE(found) << "no record of the text in " << history.GetMainList()->GetCount() << " records";
}

// Runs an X client to its end and gives its output (empty after 10 s).
std::string RunClient(const std::vector<std::string>& argv, const std::string& display) {
  x11test::Process client = x11test::Process::Run(argv, display);
  if (client.Wait(10000) == -1) {
    client.Stop();
    return std::string();
  }
  std::string out = client.Output();
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

// Polls `read` until what it gives satisfies `done`, or 20 s have passed;
// the last value.
std::string Poll(const std::function<std::string()>& read, const std::function<bool(const std::string&)>& done) {
  std::string got;
  for (const auto end = std::chrono::steady_clock::now() + 20s; std::chrono::steady_clock::now() < end;
       std::this_thread::sleep_for(50ms)) {
    got = read();
    if (done(got)) break;
  }
  return got;
}

// A user opens the search tab of the main window and types a search: the
// search and the tab are kept when the session ends.
TEST_F(ProgramOnX11, TheSearchTypedInItsTabIsKeptWithTheHistoryAndTheTabWithTheSettings) {
  ASSERT_TRUE(server.Start()) << "Xvfb or openbox did not come up";
  x11test::Process program = x11test::Process::Run({PASTIQ_PROGRAM}, server.display());
  ASSERT_TRUE(WaitUntilRunning(program)) << program.Output();
  const std::string xdotool = "/usr/bin/xdotool";
  const std::string id = Poll(
      [&] {
        const std::string found = RunClient({xdotool, "search", "--onlyvisible", "--name", "^Pastiq$"}, server.display());
        return found.substr(0, found.find('\n'));
      },
      [](const std::string& found) { return !found.empty(); });
  ASSERT_FALSE(id.empty()) << "the main window did not show";
  RunClient({xdotool, "windowactivate", "--sync", id}, server.display());
  // The first tab, then the next one (the search list's) by the arrow key;
  // Tab moves into its text field.
  RunClient({xdotool, "mousemove", "--window", id, "15", "12", "click", "1"}, server.display());
  RunClient({xdotool, "key", "Right", "Tab"}, server.display());
  RunClient({xdotool, "type", "--delay", "30", "needle"}, server.display());
  // Selecting the field's text makes it the primary selection: then the
  // program has handled every key.
  RunClient({xdotool, "key", "ctrl+a"}, server.display());
  EXPECT_EQ(Poll([&] { return RunClient({kXclip, "-o", "-selection", "primary"}, server.display()); },
                 [](const std::string& text) { return text == "needle"; }),
            "needle");

  ASSERT_EQ(kill(program.pid(), SIGTERM), 0);
  ASSERT_NE(program.Wait(15000), -1) << "the program did not end after SIGTERM";
  pq::History history;
  ASSERT_NO_THROW(history.Load(wxString::FromUTF8((data / "pastiq_history").string())));
  ASSERT_EQ(history.GetLists().size(), 2u);
  SearchCriteria* criteria = pq::GetSearchCriteria(history.GetLists()[1]);
  ASSERT_NE(criteria, nullptr);
  EXPECT_EQ(criteria->GetText(), "needle");
  AppConfig settings;
  ASSERT_NO_THROW(settings.LoadFile(wxString::FromUTF8((data / "pastiq.cfg").string())));
  int tab = -1;
  EXPECT_TRUE(settings.options.Get(OPT_MAIN_FRAME_TAB, tab));
  EXPECT_EQ(tab, 1);
}

// Another instance finds the running one by its main frame's class: the class
// is on the toolkit's own X window of the frame.
TEST_F(ProgramOnX11, ItsMainFrameCarriesTheClassOnItsXWindow) {
  ASSERT_TRUE(server.Start(false)) << "Xvfb did not come up";
  x11test::Process program = x11test::Process::Run({PASTIQ_PROGRAM}, server.display());
  ASSERT_TRUE(WaitUntilRunning(program)) << program.Output();
  std::pair<Window, long> frame{0, 0};
  for (const auto end = std::chrono::steady_clock::now() + 10s;
       !frame.first && std::chrono::steady_clock::now() < end; std::this_thread::sleep_for(20ms))
    frame = TopLevelOfClass(server.display(), "PastiqFrame");
  ASSERT_NE(frame.first, 0u);
  EXPECT_EQ(frame.second, program.pid());
  program.Stop();
}

TEST_F(ProgramOnX11, OnTheXDisplayItDoesNotSayItRunsOnTheSimulatedDesktop) {
  ASSERT_TRUE(server.Start(false)) << "Xvfb did not come up";
  const char* display = std::getenv("DISPLAY");
  const std::string saved = display ? display : "";
  setenv("DISPLAY", server.display().c_str(), 1);
  Child program(PASTIQ_PROGRAM, {}, true);
  if (saved.empty())
    unsetenv("DISPLAY");
  else
    setenv("DISPLAY", saved.c_str(), 1);
  ASSERT_GT(program.pid, 0);
  const auto end = std::chrono::steady_clock::now() + 20s;
  while (!CatchesSignal(program.pid, SIGTERM) && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(10ms);
  ASSERT_EQ(kill(program.pid, SIGTERM), 0);
  const std::string said = program.ReadAll();
  EXPECT_NE(program.Wait(15s), -1);
  EXPECT_EQ(said.find("simulated desktop"), std::string::npos) << said;
}

TEST_F(ProgramOnX11, WithoutADisplayItEndsWithAClearMessage) {
  const char* display = std::getenv("DISPLAY");
  const std::string saved = display ? display : "";
  unsetenv("DISPLAY");
  Child program(PASTIQ_PROGRAM, {}, true);
  if (!saved.empty()) setenv("DISPLAY", saved.c_str(), 1);
  ASSERT_GT(program.pid, 0);
  const std::string said = program.ReadAll();
  const int status = program.Wait(10s);
  ASSERT_NE(status, -1);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 0);
  EXPECT_NE(said.find("pastiq: no X display can be reached"), std::string::npos) << said;
  EXPECT_NE(said.find("PASTIQ_DESKTOP=sim"), std::string::npos) << said;
  EXPECT_FALSE(fs::exists(data / "pastiq_history"));
}

}  // namespace
