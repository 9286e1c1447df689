// The program pastiq itself on an X display of its own (Xvfb with a window
// manager), with real clients: what it records there it keeps when the
// session ends. Its data folder and home are temporary folders.
#include <gtest/gtest.h>

#include <strings.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

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
#include "x11_clients.h"
#include "xserver.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing_process::ChildProcess;
using testing_process::WaitUntil;
using x11ui::ActivateWindowTitled;
using x11ui::ClickLastButton;
using x11ui::kXdotool;
using x11ui::RunClient;
using x11ui::VisibleWindow;
using x11ui::WaitUntilRunning;

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


  // Saves a history whose main list holds texts "one", "two", ... from the
  // top, with settings (without them a first start keeps the history aside).
  bool SaveDataFiles() {
    AppConfig settings;
    return SaveDataFiles(settings);
  }
  bool SaveDataFiles(AppConfig& settings) {
    pq::History history;
    history.CreateDefaultLists();
    for (const char* text : {"four", "three", "two", "one"}) {
      auto record = boost::make_shared<pq::Record>();
      record->SetText(text);
      history.GetMainList()->AddRecord(record);
    }
    history.Save(wxString::FromUTF8((data / "pastiq_history").string()), ArchiveInfo(APP_VERSION_CODE, 1));
    return settings.SaveFile(wxString::FromUTF8((data / "pastiq.cfg").string()), ArchiveInfo(APP_VERSION_CODE, 1));
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

// The main window's X window id once it shows, made the active window; empty
// when it did not show.
std::string ActiveMainWindow(const std::string& display) { return ActivateWindowTitled("Pastiq", display); }

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
  AppConfig settings;
  settings.options.Set(OPT_MULTIPASTE_AT_ONCE, true);
  settings.options.Set(OPT_MULTIPASTE_INSERT, true);
  settings.options.Set(OPT_MULTIPASTE_TEXT, wxString(" + "));
  ASSERT_TRUE(SaveDataFiles(settings));
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
  const std::string dialog = ActivateWindowTitled("Paste Records", display);
  ASSERT_FALSE(dialog.empty()) << "no multiple paste dialog";
  // The first row, then the third with Shift (rows below the prompt); then
  // Start, at the bottom right.
  RunClient({kXdotool, "mousemove", "--window", dialog, "60", "40", "click", "1"}, display);
  RunClient({kXdotool, "keydown", "shift", "mousemove", "--window", dialog, "60", "86", "click", "1", "keyup", "shift"},
            display);
  ASSERT_TRUE(ClickLastButton(dialog, display));

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

// Multiple Delete from the Edit menu: the record selection dialog takes the
// keys at once (Escape closes it and deletes nothing), and the records
// chosen in it at OK are gone from the list that is saved.
TEST_F(ProgramOnX11, TheRecordsChosenForMultipleDeleteAreDeletedAndEscapeDeletesNone) {
  ASSERT_TRUE(SaveDataFiles());
  ASSERT_TRUE(server.Start()) << "Xvfb or openbox did not come up";
  const std::string& display = server.display();
  x11test::Process program = x11test::Process::Run({PASTIQ_PROGRAM}, display);
  ASSERT_TRUE(WaitUntilRunning(program)) << program.Output();
  ASSERT_FALSE(ActiveMainWindow(display).empty()) << "the main window did not show";

  auto selector = [&] { return VisibleWindow("Select Records", display); };
  auto openSelector = [&] {
    RunClient({kXdotool, "key", "alt+e", "u"}, display);
    return ActivateWindowTitled("Select Records", display);
  };

  std::string dialog = openSelector();
  ASSERT_FALSE(dialog.empty()) << "no record selection dialog";
  RunClient({kXdotool, "key", "Escape"}, display);
  ASSERT_TRUE(WaitUntil([&] { return selector().empty(); }, 10s)) << "Escape left the dialog open";

  // The first row by its key (the list has the keys from the start), then OK
  // at the bottom right.
  ASSERT_FALSE(ActiveMainWindow(display).empty());
  dialog = openSelector();
  ASSERT_FALSE(dialog.empty()) << "no record selection dialog the second time";
  RunClient({kXdotool, "key", "Home"}, display);
  ASSERT_TRUE(ClickLastButton(dialog, display));
  ASSERT_TRUE(WaitUntil([&] { return selector().empty(); }, 10s)) << "OK left the dialog open";

  ASSERT_EQ(kill(program.pid(), SIGTERM), 0);
  const int status = program.Wait(15000);
  ASSERT_NE(status, -1) << "the program did not end after SIGTERM";
  pq::History history;
  ASSERT_NO_THROW(history.Load(wxString::FromUTF8((data / "pastiq_history").string())));
  std::vector<std::string> texts;
  for (const pq::RecordPtr& r : history.GetMainList()->GetRecords()) texts.push_back(r->text);
  EXPECT_EQ(texts, (std::vector<std::string>{"two", "three", "four"}));
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

// The class part of a window's WM_CLASS.
std::string ClassOf(Display* dpy, Window window) {
  XClassHint hint{};
  if (!XGetClassHint(dpy, window, &hint)) return std::string();
  const std::string cls = hint.res_class ? hint.res_class : "";
  if (hint.res_name) XFree(hint.res_name);
  if (hint.res_class) XFree(hint.res_class);
  return cls;
}

// Visits `window` and every window under it, each with whether it is
// trayer's or lies inside one of trayer's.
void WalkTree(Display* dpy, Window window, bool inTray, const std::function<void(Window, bool)>& visit) {
  inTray = inTray || strcasecmp(ClassOf(dpy, window).c_str(), "trayer") == 0;
  visit(window, inTray);
  Window root = 0, parent = 0, *children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(dpy, window, &root, &parent, &children, &count)) return;
  for (unsigned i = 0; i < count; ++i) WalkTree(dpy, children[i], inTray, visit);
  if (children) XFree(children);
}

bool Viewable(Display* dpy, Window window) {
  XWindowAttributes attributes{};
  return XGetWindowAttributes(dpy, window, &attributes) && attributes.map_state == IsViewable;
}

// The program's icon inside the notification area: the centre of a viewable
// window of ours among trayer's, in root coordinates; (-1, -1) when none.
std::pair<int, int> TrayIconCentre(const std::string& display) {
  Display* dpy = XOpenDisplay(display.c_str());
  if (!dpy) return {-1, -1};
  std::pair<int, int> centre{-1, -1};
  WalkTree(dpy, DefaultRootWindow(dpy), false, [&](Window w, bool inTray) {
    if (!inTray || centre.first >= 0 || ClassOf(dpy, w) != "Pastiq" || !Viewable(dpy, w)) return;
    XWindowAttributes a{};
    XGetWindowAttributes(dpy, w, &a);
    int x = 0, y = 0;
    Window child = 0;
    XTranslateCoordinates(dpy, w, DefaultRootWindow(dpy), a.width / 2, a.height / 2, &x, &y, &child);
    centre = {x, y};
  });
  XCloseDisplay(dpy);
  return centre;
}

// Whether a pop-up menu is open on the display.
bool MenuOpen(const std::string& display) {
  Display* dpy = XOpenDisplay(display.c_str());
  if (!dpy) return false;
  const Atom typeAtom = XInternAtom(dpy, "_NET_WM_WINDOW_TYPE", False);
  const Atom menuType = XInternAtom(dpy, "_NET_WM_WINDOW_TYPE_POPUP_MENU", False);
  bool open = false;
  Window root = 0, parent = 0, *children = nullptr;
  unsigned count = 0;
  if (XQueryTree(dpy, DefaultRootWindow(dpy), &root, &parent, &children, &count)) {
    for (unsigned i = 0; i < count && !open; ++i) {
      Atom actual = None;
      int format = 0;
      unsigned long n = 0, after = 0;
      unsigned char* data = nullptr;
      if (XGetWindowProperty(dpy, children[i], typeAtom, 0, 1, False, XA_ATOM, &actual, &format, &n, &after, &data) ==
              Success &&
          data) {
        open = n == 1 && *reinterpret_cast<Atom*>(data) == menuType && Viewable(dpy, children[i]);
        XFree(data);
      }
    }
    if (children) XFree(children);
  }
  XCloseDisplay(dpy);
  return open;
}

bool TrayManagerRuns(const std::string& display) {
  Display* dpy = XOpenDisplay(display.c_str());
  if (!dpy) return false;
  const bool owned = XGetSelectionOwner(dpy, XInternAtom(dpy, "_NET_SYSTEM_TRAY_S0", False)) != None;
  XCloseDisplay(dpy);
  return owned;
}

// Where the viewable window of ours with `cls` stands (its client area, in
// root coordinates, under the window manager's frame); an empty rectangle
// when none is viewable.
struct Placement {
  int x = 0, y = 0, width = 0, height = 0;
};
Placement ShownWindowOfClass(const std::string& display, const std::string& cls) {
  Display* dpy = XOpenDisplay(display.c_str());
  if (!dpy) return {};
  const Atom classAtom = XInternAtom(dpy, "_PASTIQ_CLASS", False);
  Placement found;
  WalkTree(dpy, DefaultRootWindow(dpy), false, [&](Window w, bool) {
    Atom actual = None;
    int format = 0;
    unsigned long n = 0, after = 0;
    unsigned char* data = nullptr;
    if (found.width || XGetWindowProperty(dpy, w, classAtom, 0, 64, False, AnyPropertyType, &actual, &format, &n,
                                          &after, &data) != Success || !data)
      return;
    const bool match = format == 8 && std::string(reinterpret_cast<char*>(data), n) == cls;
    XFree(data);
    XWindowAttributes a{};
    if (!match || !XGetWindowAttributes(dpy, w, &a) || a.map_state != IsViewable) return;
    Window child = 0;
    XTranslateCoordinates(dpy, w, DefaultRootWindow(dpy), 0, 0, &found.x, &found.y, &child);
    found.width = a.width;
    found.height = a.height;
  });
  XCloseDisplay(dpy);
  return found;
}

bool MainWindowShown(const std::string& display) { return ShownWindowOfClass(display, "PastiqFrame").width > 0; }

// The program on a display with a notification area (trayer's, XEmbed).
struct ProgramInTray : ProgramOnX11 {
  void SetUp() override {
    // Windows come and go while the tree is walked; a window gone is no fault.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    ASSERT_TRUE(server.Start()) << "Xvfb or openbox did not come up";
    // At the bottom right, where the floating list (top right) leaves it free.
    tray = ChildProcess({"/usr/bin/trayer", "--edge", "bottom", "--align", "right", "--widthtype", "request", "--height",
                         "24", "--SetDockType", "true"},
                        On(server.display()));
    ASSERT_TRUE(WaitUntil([&] { return TrayManagerRuns(server.display()); }, 10s)) << "trayer did not come up";
    program = x11test::Process::Run({PASTIQ_PROGRAM}, server.display());
    ASSERT_TRUE(WaitUntilRunning(program)) << program.Output();
    ASSERT_TRUE(WaitUntil([&] { return (icon = TrayIconCentre(server.display())).first >= 0; }, 20s))
        << "the icon never showed in the notification area";
  }
  void TearDown() override {
    program.Stop();
    tray.Stop();
  }

  bool Xdotool(const std::vector<std::string>& args) {
    std::vector<std::string> argv{kXdotool};
    argv.insert(argv.end(), args.begin(), args.end());
    ChildProcess client(argv, On(server.display()));
    return client.Wait(10s) == 0;
  }
  // Opens the icon's menu with the right button.
  bool OpenMenu() {
    return Xdotool({"mousemove", std::to_string(icon.first), std::to_string(icon.second), "click", "3"}) &&
           WaitUntil([&] { return MenuOpen(server.display()); }, 10s);
  }

  ChildProcess tray;
  x11test::Process program;
  std::pair<int, int> icon{-1, -1};
};

TEST_F(ProgramInTray, StartsHiddenInTheNotificationArea) {
  // Longer than the program waits for the notification area to take the icon.
  EXPECT_FALSE(WaitUntil([&] { return MainWindowShown(server.display()); }, 7s));
}

TEST_F(ProgramInTray, ARightClickOpensTheMenuWhoseShowMainWindowShowsIt) {
  ASSERT_TRUE(OpenMenu()) << "no menu opened";
  ASSERT_TRUE(Xdotool({"key", "s"}));  // "&Show Main Window"
  EXPECT_TRUE(WaitUntil([&] { return MainWindowShown(server.display()); }, 10s));
  EXPECT_FALSE(MenuOpen(server.display()));
}

// The icon stands in the bottom right corner: the window opens with its
// right edge at the pointer, above the tray's panel.
TEST_F(ProgramInTray, ALeftClickOpensTheMenuWindowAtThePointer) {
  ASSERT_TRUE(Xdotool({"mousemove", std::to_string(icon.first), std::to_string(icon.second), "click", "1"}));
  Placement menu;
  ASSERT_TRUE(WaitUntil([&] { return (menu = ShownWindowOfClass(server.display(), "PastiqMenuWindow")).width > 0; },
                        10s));
  EXPECT_EQ(menu.x + menu.width, icon.first);
  EXPECT_LE(menu.y + menu.height, icon.second);
  EXPECT_GE(menu.y, 0);
  EXPECT_FALSE(MenuOpen(server.display()));
  EXPECT_FALSE(MainWindowShown(server.display()));
}

TEST_F(ProgramInTray, ExitInTheMenuSavesBothFilesAndEndsTheProgram) {
  ASSERT_FALSE(fs::exists(data / "pastiq_history"));
  ASSERT_TRUE(OpenMenu()) << "no menu opened";
  ASSERT_TRUE(Xdotool({"key", "x"}));  // "E&xit"
  const int status = program.Wait(15000);
  ASSERT_NE(status, -1) << "the program did not end";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << program.Output();
  EXPECT_TRUE(fs::exists(data / "pastiq_history"));
  EXPECT_TRUE(fs::exists(data / "pastiq.cfg"));
}

}  // namespace
