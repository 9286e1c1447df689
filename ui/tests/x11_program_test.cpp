// The program pastiq itself on an X display of its own (Xvfb with a window
// manager), with real clients: what it records there it keeps when the
// session ends. Its data folder and home are temporary folders.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <boost/make_shared.hpp>

#include "appconfig.h"
#include "appversion.h"
#include "child_process.h"
#include "options.h"
#include "pq/history.h"
#include "pq/record.h"
#include "pq/recordlist.h"
#include "pq/searchlist.h"
#include "sandbox.h"
#include "xserver.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing_process::CatchesSignal;
using testing_process::ChildProcess;
using testing_process::WaitUntil;

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

// A child on `display` (none when empty).
ChildProcess::Options On(const std::string& display) {
  ChildProcess::Options options;
  options.display = display;
  return options;
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
  static bool WaitUntilRunning(ChildProcess& program) {
    return WaitUntil([&] { return CatchesSignal(program.pid(), SIGTERM) || !program.running(); }, 20s) &&
           program.running();
  }
};

TEST_F(ProgramOnX11, TextSetWithXclipIsSavedWithXclipAsItsSourceWhenTheSessionEnds) {
  ASSERT_TRUE(server.Start()) << "Xvfb or openbox did not come up";
  x11test::Process program = x11test::Process::Run({PASTIQ_PROGRAM}, server.display());
  ASSERT_TRUE(WaitUntilRunning(program)) << program.Output();

  const std::string text = "copied on a real display";
  ChildProcess::Options options = On(server.display());
  options.input = text;
  ChildProcess xclip({kXclip, "-verbose", "-quiet", "-selection", "clipboard", "-t", "UTF8_STRING", "-i"},
                     options.WithStderr());
  ASSERT_GT(xclip.pid(), 0);
  // xclip counts the requests for its data (not those for its targets): once
  // it waits for the second, the program has read the text. The program makes
  // the record in the same turn of its loop, before it can see a signal.
  ASSERT_TRUE(WaitUntil(
      [&] { return xclip.Output().find("Waiting for selection request number 2") != std::string::npos; }, 20s))
      << xclip.Output();

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

// Runs an X client to its end and gives its output without the last line
// break (empty when it did not end within 10 s).
std::string RunClient(const std::vector<std::string>& argv, const std::string& display) {
  ChildProcess client(argv, On(display));
  const std::string out = client.ReadAll(10s);
  if (client.Wait(1s) == -1) return std::string();
  return out.substr(0, out.find_last_not_of("\r\n") + 1);
}

const std::string kXdotool = "/usr/bin/xdotool";

// The main window's X window id once it shows, made the active window; empty
// when it did not show.
std::string ActiveMainWindow(const std::string& display) {
  std::string window;
  WaitUntil(
      [&] {
        const std::string found = RunClient({kXdotool, "search", "--onlyvisible", "--name", "^Pastiq$"}, display);
        window = found.substr(0, found.find('\n'));
        return !window.empty();
      },
      20s);
  if (!window.empty()) RunClient({kXdotool, "windowactivate", "--sync", window}, display);
  return window;
}

// A user opens the search tab of the main window and types a search: the
// search is kept with the history and the tab with the settings.
TEST_F(ProgramOnX11, TheSearchTypedInItsTabIsKeptWithTheHistoryAndTheTabWithTheSettings) {
  ASSERT_TRUE(server.Start()) << "Xvfb or openbox did not come up";
  x11test::Process program = x11test::Process::Run({PASTIQ_PROGRAM}, server.display());
  ASSERT_TRUE(WaitUntilRunning(program)) << program.Output();
  const std::string window = ActiveMainWindow(server.display());
  ASSERT_FALSE(window.empty()) << "the main window did not show";
  // The first tab (below the menu bar and the tool bar), then the next one
  // (the search list's) by the arrow key; Tab moves into its text field,
  // where the typing replaces whatever an earlier round left. Selecting the
  // field's text makes it the primary selection: then the program has
  // handled every key. Again until then, since a window just shown may not
  // have laid out its tabs when the first click comes.
  EXPECT_TRUE(WaitUntil(
      [&] {
        RunClient({kXdotool, "mousemove", "--window", window, "15", "80", "click", "1"}, server.display());
        RunClient({kXdotool, "key", "Right", "Tab", "ctrl+a"}, server.display());
        RunClient({kXdotool, "type", "--delay", "30", "needle"}, server.display());
        RunClient({kXdotool, "key", "ctrl+a"}, server.display());
        return RunClient({kXclip, "-o", "-selection", "primary"}, server.display()) == "needle";
      },
      20s));

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

// A user copies a text in another program, then picks its record in the main
// window: the viewer beside the list shows the text, which the user selects
// there (the primary selection then holds it).
TEST_F(ProgramOnX11, ARecordPickedInTheMainWindowIsShownInTheViewer) {
  ASSERT_TRUE(server.Start()) << "Xvfb or openbox did not come up";
  x11test::Process program = x11test::Process::Run({PASTIQ_PROGRAM}, server.display());
  ASSERT_TRUE(WaitUntilRunning(program)) << program.Output();
  const std::string window = ActiveMainWindow(server.display());
  ASSERT_FALSE(window.empty()) << "the main window did not show";

  const std::string text = "shown beside the list";
  ChildProcess::Options options = On(server.display());
  options.input = text;
  ChildProcess xclip({kXclip, "-verbose", "-quiet", "-selection", "clipboard", "-t", "UTF8_STRING", "-i"},
                     options.WithStderr());
  ASSERT_TRUE(WaitUntil(
      [&] { return xclip.Output().find("Waiting for selection request number 2") != std::string::npos; }, 20s))
      << xclip.Output();

  // The first row (below the menu bar, the tool bar and the tabs), then the
  // viewer's text, all of it selected; again until the row has come.
  EXPECT_TRUE(WaitUntil(
      [&] {
        RunClient({kXdotool, "mousemove", "--window", window, "60", "104", "click", "1"}, server.display());
        RunClient({kXdotool, "mousemove", "--window", window, "400", "200", "click", "1"}, server.display());
        RunClient({kXdotool, "key", "ctrl+a"}, server.display());
        return RunClient({kXclip, "-o", "-selection", "primary"}, server.display()) == text;
      },
      20s));
  xclip.Stop();
  program.Stop();
}

// A user who works in another application's text field opens Multiple
// Paste in the main window, chooses three records and starts: the field
// receives their texts joined, each followed by the separator.
TEST_F(ProgramOnX11, MultiplePasteFromTheMainWindowPutsTheChosenRecordsJoinedIntoAnotherApplicationsField) {
  {
    pq::History history;
    history.CreateDefaultLists();
    for (const char* text : {"four", "three", "two", "one"}) {
      auto record = boost::make_shared<pq::Record>();
      record->SetText(text);
      history.GetMainList()->AddRecord(record);
    }
    history.Save(wxString::FromUTF8((data / "pastiq_history").string()), ArchiveInfo(APP_VERSION_CODE, 1));
    AppConfig settings;
    settings.options.Set(OPT_MULTIPASTE_AT_ONCE, true);
    settings.options.Set(OPT_MULTIPASTE_INSERT, true);
    settings.options.Set(OPT_MULTIPASTE_TEXT, wxString(" + "));
    ASSERT_TRUE(settings.SaveFile(wxString::FromUTF8((data / "pastiq.cfg").string()), ArchiveInfo(APP_VERSION_CODE, 1)));
  }
  ASSERT_TRUE(server.Start()) << "Xvfb or openbox did not come up";
  const std::string& display = server.display();
  x11test::Process program = x11test::Process::Run({PASTIQ_PROGRAM}, display);
  ASSERT_TRUE(WaitUntilRunning(program)) << program.Output();
  // The main window shows; then the user works in the field, and comes back.
  ASSERT_FALSE(ActiveMainWindow(display).empty()) << "the main window did not show";
  x11test::Process field = x11test::Process::Run({x11test::TestClientPath(), "field"}, display);
  ASSERT_TRUE(x11test::FocusClient(field, display, 15000)) << field.Output();
  const std::string window = ActiveMainWindow(display);

  // Edit, Multiple Paste: the dialog over the listening list.
  RunClient({kXdotool, "key", "alt+e", "m"}, display);
  std::string dialog;
  ASSERT_TRUE(WaitUntil(
      [&] {
        const std::string found = RunClient({kXdotool, "search", "--onlyvisible", "--name", "^Paste Records$"}, display);
        dialog = found.substr(0, found.find('\n'));
        return !dialog.empty();
      },
      20s));
  RunClient({kXdotool, "windowactivate", "--sync", dialog}, display);
  // The first row, then the third with Shift (rows below the prompt); then
  // Start, at the bottom right.
  RunClient({kXdotool, "mousemove", "--window", dialog, "60", "40", "click", "1"}, display);
  RunClient({kXdotool, "keydown", "shift", "mousemove", "--window", dialog, "60", "86", "click", "1", "keyup", "shift"},
            display);
  const std::string geometry = RunClient({kXdotool, "getwindowgeometry", "--shell", dialog}, display);
  auto value = [&](const std::string& name) {
    const std::size_t at = geometry.find(name + "=");
    return at == std::string::npos ? 0 : std::stoi(geometry.substr(at + name.size() + 1));
  };
  ASSERT_GT(value("WIDTH"), 100) << geometry;
  RunClient({kXdotool, "mousemove", "--window", dialog, std::to_string(value("WIDTH") - 55),
             std::to_string(value("HEIGHT") - 22), "click", "1"},
            display);

  const std::string expected = "PASTE one + two + three + ";
  EXPECT_TRUE(WaitUntil(
      [&] {
        for (const std::string& line : field.Lines())
          if (line == expected) return true;
        return false;
      },
      20s))
      << field.Output();
  field.Stop();
  program.Stop();
}

// Another instance finds the running one by its main frame's class: the class
// is on the toolkit's own X window of the frame.
TEST_F(ProgramOnX11, ItsMainFrameCarriesTheClassOnItsXWindow) {
  ASSERT_TRUE(server.Start(false)) << "Xvfb did not come up";
  x11test::Process program = x11test::Process::Run({PASTIQ_PROGRAM}, server.display());
  ASSERT_TRUE(WaitUntilRunning(program)) << program.Output();
  std::pair<Window, long> frame{0, 0};
  WaitUntil([&] { return (frame = TopLevelOfClass(server.display(), "PastiqFrame")).first != 0; }, 10s);
  ASSERT_NE(frame.first, 0u);
  EXPECT_EQ(frame.second, program.pid());
  program.Stop();
}

// A second instance ends at the single-instance check, before it has taken
// any key from anyone: it warns of no shortcut the first one holds, and says
// on its standard error why it ends.
TEST_F(ProgramOnX11, ASecondInstanceTakesNoKeysAndSaysWhyItEnds) {
  ASSERT_TRUE(server.Start()) << "Xvfb or openbox did not come up";
  ChildProcess first(PASTIQ_PROGRAM, {}, On(server.display()).WithStderr());
  ASSERT_TRUE(WaitUntilRunning(first)) << first.Output();
  {
    x11test::KeyHolder other;
    EXPECT_FALSE(other.GrabSuperV(server.display())) << "the first instance holds its shortcut";
  }
  ChildProcess second(PASTIQ_UNATTENDED, {}, On(server.display()).WithStderr());
  const int status = second.Wait(15s);
  ASSERT_NE(status, -1) << "the second instance is still running";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 0);
  const std::string said = second.ReadAll();
  EXPECT_NE(said.find("pastiq: Another program instance is already running, aborting...\n"), std::string::npos)
      << said;
  EXPECT_EQ(said.find("could not be grabbed"), std::string::npos) << said;
  EXPECT_TRUE(first.running());
  first.Stop();
}

TEST_F(ProgramOnX11, OnTheXDisplayItDoesNotSayItRunsOnTheSimulatedDesktop) {
  ASSERT_TRUE(server.Start(false)) << "Xvfb did not come up";
  ChildProcess program(PASTIQ_PROGRAM, {}, On(server.display()).WithStderr());
  ASSERT_TRUE(WaitUntilRunning(program)) << program.Output();
  ASSERT_EQ(kill(program.pid(), SIGTERM), 0);
  const std::string said = program.ReadAll();
  EXPECT_NE(program.Wait(15s), -1);
  EXPECT_EQ(said.find("simulated desktop"), std::string::npos) << said;
}

TEST_F(ProgramOnX11, WithoutADisplayItEndsWithAClearMessage) {
  ChildProcess program(PASTIQ_PROGRAM, {}, On("").WithStderr());
  ASSERT_GT(program.pid(), 0);
  const std::string said = program.ReadAll();
  const int status = program.Wait(10s);
  ASSERT_NE(status, -1);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 0);
  EXPECT_NE(said.find("pastiq: no X display can be reached (DISPLAY is not set)"), std::string::npos) << said;
  EXPECT_NE(said.find("xvfb-run"), std::string::npos) << "what works: " << said;
  EXPECT_EQ(said.find("PASTIQ_DESKTOP=sim"), std::string::npos) << "needs a display too: " << said;
  EXPECT_FALSE(fs::exists(data / "pastiq_history"));
}

}  // namespace
