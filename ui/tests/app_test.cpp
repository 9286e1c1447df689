// The application object as the program starts it: what start-up built, the
// deferred start-up, the GUI queue on the main loop, the application's
// commands sent as command events, and the saved state.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <string>

#include <wx/checkbox.h>
#include <wx/dialog.h>
#include <wx/html/helpctrl.h>
#include <wx/html/helpfrm.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/image.h>
#include <wx/menu.h>
#include <wx/socket.h>
#include <wx/taskbar.h>
#include <wx/timer.h>

#include "aboutdlg.h"
#include "app.h"
#include "app_state.h"
#include "appconfig.h"
#include "appnotify.h"
#include "appversion.h"
#include "cmn/versionchecker.h"
#include "commands.h"
#include "dialog_test_util.h"
#include "dlgmgr.h"
#include "floatingwindow.h"
#include "menuwindow.h"
#include "popupwindow.h"
#include "generaloptionpage.h"
#include "gui_util.h"
#include "historywindow.h"
#include "logdlg.h"
#include "logger.h"
#include "mainframe.h"
#include "msgbox_recorder.h"
#include "net/server.h"
#include "net/socket.h"
#include "networkoptionpage.h"
#include "optiondlg.h"
#include "optionpage_test_util.h"
#include "options.h"
#include "platform/clipboard.h"
#include "platform/input.h"
#include "platform/sim/clipboard.h"
#include "platform/shortcuts.h"
#include "platform/sim/desktop.h"
#include "platform/window.h"
#include "pq/history.h"
#include "pq/mgr.h"
#include "sessionend.h"
#include "sim_app.h"
#include "taskbaricon.h"
#include "startup.h"

namespace fs = std::filesystem;
namespace sim = platform::sim;

namespace {
PastiqApp& App() { return wxGetApp(); }
MainFrame& Frame() { return *App().GetMainFrame(); }

// A menu command as a menu of the main frame sends it: to the frame, from
// where it travels on to the application.
void Command(int id) {
  wxCommandEvent event(wxEVT_MENU, id);
  event.SetEventObject(&Frame());
  Frame().GetEventHandler()->ProcessEvent(event);
}

bool LoggerHas(int level, const std::string& part) {
  Logger& logger = Logger::Get();
  for (std::size_t i = 0; i < logger.GetCount(); ++i) {
    const LogEntry entry = logger.GetEntry(i);
    if (entry.level == level && entry.text.find(part) != std::string::npos) return true;
  }
  return false;
}

// Runs the application's main loop until something ends it; false when it
// had to be ended after `seconds`.
bool RunMainLoop(int seconds = 20) {
  bool timedOut = false;
  wxTimer guard;
  guard.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
    timedOut = true;
    DlgMgr::EndAllModal();
    EndMainLoop();
  });
  guard.StartOnce(seconds * 1000);
  App().MainLoop();
  return !timedOut;
}

TEST(StartUp, BuildsTheSettingsHistoryAndMainFrame) {
  PastiqApp& app = App();
  ASSERT_NE(app.GetConfig(), nullptr);
  EXPECT_EQ(&GetAppConfig(), app.GetConfig());
  EXPECT_EQ(FindAppConfig(), app.GetConfig());
  ASSERT_NE(app.GetHistory(), nullptr);
  ASSERT_NE(app.GetHistory()->GetMainList(), nullptr);
  EXPECT_EQ(app.GetHistory()->GetMainList()->GetName(), "Main");

  ASSERT_NE(app.GetMainFrame(), nullptr);
  EXPECT_EQ(app.GetTopWindow(), app.GetMainFrame());
  EXPECT_EQ(Frame().GetTitle(), "Pastiq");
  EXPECT_EQ(Frame().GetSize(), wxSize(680, 480));
  EXPECT_NE(wxImage::FindHandler(wxBITMAP_TYPE_PNG), nullptr);
}

TEST(StartUp, TheMainFrameStartedTheManagerWithItsWindow) {
  const HWND window = Frame().GetDesktopWindow();
  ASSERT_TRUE(IsWindow(window));
  pq::Mgr& mgr = pq::Mgr::Get();
  EXPECT_TRUE(mgr.IsStarted());
  EXPECT_EQ(mgr.GetWindow(), window);
  EXPECT_EQ(mgr.GetHistory(), App().GetHistory());
  // Recording is on by default: the window is in the viewer chain.
  EXPECT_EQ(GetClipboardViewer(), window);
  // It can be found by its class, and is not taken for an older version's.
  EXPECT_EQ(FindWindowW(kMainFrameClass, nullptr), window);
  EXPECT_EQ(FindWindowW(kOlderMainFrameClass, nullptr), nullptr);
}

TEST(StartUp, SaysThatItRunsOnTheSimulatedDesktop) {
  EXPECT_TRUE(LoggerHas(Logger::Warning, "runs on the simulated desktop"));
}

TEST(StartUp, TheDeferredPartRunsOnceTheLoopDoes) {
  EXPECT_FALSE(g_deferredBeforeLoop) << "ran inside OnInit";
  DispatchPending();
  EXPECT_TRUE(App().DeferredStartupDone());
  EXPECT_TRUE(wxSocketBase::IsInitialized());
  // The version checker exists from then on; with the check switched off
  // (the default) it started nothing.
  ASSERT_NE(App().GetVersionChecker(), nullptr);
  EXPECT_EQ(App().GetVersionChecker()->RunningChecks(), 0u);
  const wxString url = App().GetVersionChecker()->GetUrl();
  EXPECT_TRUE(url.empty() || url.EndsWith("/files/pastiq/version.txt")) << url;
}

// Another application copies; the manager's capture is a message it posts
// to itself, which only the main loop's drain of the queue delivers.
TEST(GuiQueue, IsDrainedFromTheMainLoop) {
  const HWND editor = testing_sim::AddApp(L"/usr/bin/editor").frame;
  pq::RecordList& main = *App().GetHistory()->GetMainList();
  const unsigned before = main.GetCount();
  // A text of its own each time: the same clip again would be a repeat.
  static int run = 0;
  const std::string text = "copied in the editor " + std::to_string(++run);

  ASSERT_TRUE(sim::PutClipboard(editor, {sim::UnicodeText(std::wstring(text.begin(), text.end()))}));
  EXPECT_EQ(main.GetCount(), before) << "captured before the loop ran";
  DispatchPending();
  ASSERT_EQ(main.GetCount(), before + 1);
  EXPECT_EQ(main.GetRecord(0)->GetText(), text);
  EXPECT_EQ(main.GetRecord(0)->GetApplication(), "/usr/bin/editor");
}

// This display has no notification area, so the tray icon is nowhere to be
// seen: the main window is the only way in and shows at start, with the
// program's icon and a tab per list.
TEST(StartUp, WithoutANotificationAreaShowsTheMainWindowWithItsListsAndIcon) {
  ASSERT_FALSE(wxTaskBarIcon::IsAvailable());
  ASSERT_NE(App().GetTaskBarIcon(), nullptr);
  EXPECT_TRUE(g_mainFrameShownAtStart);
  EXPECT_TRUE(Frame().GetIcons().GetIcon(wxSize(32, 32)).IsOk());
  EXPECT_EQ(Frame().GetIcons().GetIconCount(), 2u);
  HistoryWindow* tabs = Frame().GetHistoryWindow();
  ASSERT_NE(tabs, nullptr);
  EXPECT_EQ(tabs->GetPageCount(), App().GetHistory()->GetLists().size());
  EXPECT_EQ(tabs->GetPageText(0), "[Main]");
}

TEST(Commands, ShowMainWindowShowsTheFrameAndClosingHidesIt) {
  Frame().Close();
  ASSERT_FALSE(Frame().IsShown());
  Command(ID_SHOW_MAIN_WINDOW);
  EXPECT_TRUE(Frame().IsShown());
  EXPECT_TRUE(IsWindowVisible(Frame().GetDesktopWindow()));
  DispatchPending();
  Command(ID_SHOW_MAIN_WINDOW);  // again: stays shown
  EXPECT_TRUE(Frame().IsShown());

  EXPECT_FALSE(Frame().Close());  // the close box hides, the frame stays
  EXPECT_FALSE(Frame().IsShown());
  EXPECT_FALSE(IsWindowVisible(Frame().GetDesktopWindow()));
  EXPECT_EQ(App().GetMainFrame(), &Frame());
  EXPECT_TRUE(pq::Mgr::Get().IsStarted());
}

TEST(Commands, ToggleRecordingFlipsTheOptionAndTheViewerChainFollows) {
  const HWND window = Frame().GetDesktopWindow();
  const struct {
    bool before;  // the option as it stands (absent reads false)
    bool after;
  } cases[] = {{true, false}, {false, true}};
  for (const auto& c : cases) {
    SetOption(OPT_RECORDING, c.before);
    Command(ID_TOGGLE_RECORDING);
    EXPECT_EQ(OptionValue<bool>(OPT_RECORDING, !c.after), c.after);
    EXPECT_EQ(GetClipboardViewer() == window, c.after) << "recording " << c.after;
  }
  SetOption(OPT_RECORDING, true);
}

TEST(Commands, TheLogWindowOpensOnce) {
  Logger& logger = Logger::Get();
  ASSERT_EQ(logger.GetLogDlg(), nullptr);
  // A log window closed earlier (by this test run before, say) stays among
  // the top-level windows until idle time deletes it; a second one made and
  // destroyed at once here is counted all the same.
  DispatchPending();
  LogDlg* shown = nullptr;
  bool stillRegistered = false;
  int logWindows = 0;
  RunSoon([&] {
    shown = logger.GetLogDlg();
    Command(ID_SHOW_LOG);  // while it is open: nothing more
    stillRegistered = shown && logger.GetLogDlg() == shown;
    for (wxWindow* w : wxTopLevelWindows)
      if (wxDynamicCast(w, LogDlg)) ++logWindows;
    if (shown) shown->EndModal(wxID_OK);
  });
  Command(ID_SHOW_LOG);
  ASSERT_NE(shown, nullptr);
  EXPECT_EQ(logWindows, 1);
  EXPECT_TRUE(stillRegistered) << "the open window no longer follows the log";
  EXPECT_EQ(logger.GetLogDlg(), nullptr);
  EXPECT_EQ(DlgMgr::CurrentDialog(), nullptr);
}

TEST(Commands, AboutShowsTheAboutDialogOverTheMainFrame) {
  AboutDlg* shown = nullptr;
  wxString firstLine;
  RunSoon([&] {
    shown = wxDynamicCast(DlgMgr::CurrentDialog(), AboutDlg);
    if (!shown) return;
    EXPECT_EQ(shown->GetParent(), &Frame());
    for (const wxWindow* child : shown->GetChildren())
      if (auto* text = wxDynamicCast(child, wxStaticText); text && firstLine.empty()) firstLine = text->GetLabel();
    shown->EndModal(wxID_OK);
  });
  Command(wxID_ABOUT);
  ASSERT_NE(shown, nullptr);
  EXPECT_EQ(firstLine, "Pastiq 3.0.3");
  EXPECT_EQ(DlgMgr::CurrentDialog(), nullptr);
  DispatchPending();
  for (wxWindow* w : wxTopLevelWindows) EXPECT_FALSE(wxDynamicCast(w, AboutDlg)) << "left behind";
}

// The Options command: the dialog over the main frame through the dialog
// manager; a changed shortcut reaches the hook library as the dialog closes,
// and one that another application holds is reported.
TEST(Commands, OptionsAppliesANewShortcutAtOnceAndReportsOneAnotherProgramHolds) {
  const auto popupShortcut = [] {
    for (const platform::HookShortcut& s : platform::HookShortcuts())
      if (s.engages) return s;
    return platform::HookShortcut{};
  };
  const platform::HookShortcut before = popupShortcut();
  ASSERT_EQ(before.vk, 'V');
  ASSERT_TRUE(before.win);
  platform::sim::HoldShortcut({'Q', true, true, false});

  struct Change {
    bool win, ctrl, alt;
    const char* key;
    bool reported;
  } changes[] = {{false, true, true, "q", true}, {true, false, false, "v", false}};
  for (const Change& c : changes) {
    SCOPED_TRACE(c.key);
    MessageBoxRecorder messages;
    OptionDlg* shown = nullptr;
    RunSoon([&] {
      shown = dynamic_cast<OptionDlg*>(DlgMgr::CurrentDialog());
      if (!shown) return;
      auto* general = dynamic_cast<GeneralOptionPage*>(shown->GetPage(0));
      ASSERT_NE(general, nullptr);
      general->GetPopupWin()->SetValue(c.win);
      general->GetPopupCtrl()->SetValue(c.ctrl);
      general->GetPopupAlt()->SetValue(c.alt);
      general->GetShortcutKey()->SetValue(c.key);
      PressOK(*shown);
    });
    Command(wxID_PREFERENCES);
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(DlgMgr::CurrentDialog(), nullptr) << "closed by OK";
    const platform::HookShortcut now = popupShortcut();
    EXPECT_EQ(now.vk, std::toupper(c.key[0]));
    EXPECT_EQ(now.win, c.win);
    EXPECT_EQ(now.ctrl, c.ctrl);
    EXPECT_EQ(now.alt, c.alt);
    if (c.reported) {
      ASSERT_EQ(messages.boxes.size(), 1u);
      EXPECT_EQ(messages.boxes[0].message,
                "Another program already uses the shortcut Ctrl+Alt+Q, so it does not reach Pastiq. Please choose "
                "another one.");
      EXPECT_EQ(messages.boxes[0].style, wxOK | wxICON_WARNING);
    } else {
      EXPECT_TRUE(messages.boxes.empty());
    }
  }
  platform::sim::ReleaseHeldShortcuts();
  DispatchPending();
  for (wxWindow* w : wxTopLevelWindows) EXPECT_FALSE(dynamic_cast<OptionDlg*>(w)) << "left behind";
}

// The Network page through the Options command: the application's server
// follows the receiving switch and the port, and a port it cannot listen on
// is told to the user.
TEST(Commands, OptionsStartAndStopTheReceiverAndReportAPortItCannotTake) {
  net::Listener taken;
  ASSERT_TRUE(taken.Open(net::Endpoint{0, 0}));
  net::Server& server = *App().GetServer();
  ASSERT_FALSE(server.IsListening());
  struct Change {
    std::string port;
    bool receive;
    bool listening;
    bool reported;
  } changes[] = {
      {std::to_string(taken.Port()), true, false, true},
      {std::to_string(taken.Port()), true, false, false},  // nothing changed: told once
      {"0", true, true, false},
      {"0", false, false, false},
  };
  for (const Change& c : changes) {
    SCOPED_TRACE(c.port + (c.receive ? " on" : " off"));
    MessageBoxRecorder messages;
    bool shown = false;
    RunSoon([&] {
      auto* dialog = dynamic_cast<OptionDlg*>(DlgMgr::CurrentDialog());
      if (!dialog) return;
      shown = true;
      NetworkOptionPage& page = PageOf<NetworkOptionPage>(*dialog);
      page.GetPortText()->SetValue(c.port);
      page.GetReceiveCheck()->SetValue(c.receive);
      PressOK(*dialog);
    });
    Command(wxID_PREFERENCES);
    ASSERT_TRUE(shown);
    EXPECT_EQ(server.IsListening(), c.listening);
    if (c.reported) {
      ASSERT_EQ(messages.boxes.size(), 1u);
      EXPECT_EQ(messages.boxes[0].message, "Failed to start clipboard networking receiver (server)!");
      EXPECT_EQ(messages.boxes[0].style, wxOK | wxICON_HAND);
    } else {
      EXPECT_TRUE(messages.boxes.empty());
    }
  }
  SetOption(OPT_RECEIVER_PORT, 45689);
}

TEST(Commands, ManualMakesTheHelpControllerOnFirstUse) {
  EXPECT_FALSE(g_helpControllerAtStart);
  MessageBoxRecorder messages;
  Command(wxID_HELP_CONTENTS);
  ASSERT_NE(App().GetHelpController(), nullptr);
  EXPECT_TRUE(messages.boxes.empty());
  ASSERT_NE(App().GetHelpController()->GetFrame(), nullptr);
  EXPECT_TRUE(App().GetHelpController()->GetFrame()->IsShown());
  App().GetHelpController()->GetFrame()->Close();
  DispatchPending();
}

// A command of the tray icon's menu, as the menu sends it: to the icon, from
// where it travels on to the application.
void TrayCommand(int id) {
  wxCommandEvent event(wxEVT_MENU, id);
  App().GetTaskBarIcon()->ProcessEvent(event);
}

TEST(TrayMenu, ItsFloatingListItemIsCheckedWhileTheListShows) {
  TaskBarIcon& icon = *App().GetTaskBarIcon();
  for (int i = 0; i < 2; ++i) {
    TrayCommand(ID_TOGGLE_FLOATING);
    const bool shown = App().GetFloatingWindow()->IsShown();
    std::unique_ptr<wxMenu> menu(icon.CreatePopupMenu());
    menu->UpdateUI(&icon);  // as before it opens
    EXPECT_EQ(menu->IsChecked(ID_TOGGLE_FLOATING), shown) << i;
  }
}

TEST(TrayMenu, ItsCommandsReachTheApplication) {
  Frame().Close();
  TrayCommand(ID_SHOW_MAIN_WINDOW);
  EXPECT_TRUE(Frame().IsShown());
  const bool recording = OptionValue<bool>(OPT_RECORDING, false);
  TrayCommand(ID_TOGGLE_RECORDING);
  EXPECT_EQ(OptionValue<bool>(OPT_RECORDING, false), !recording);
  TrayCommand(ID_TOGGLE_RECORDING);
  EXPECT_EQ(OptionValue<bool>(OPT_RECORDING, false), recording);
  App().CallAfter([] { TrayCommand(wxID_EXIT); });
  EXPECT_TRUE(RunMainLoop());
}

// What a version check that found a newer version posts reaches the icon
// the application made, and waits there until it is shown.
TEST(TrayIcon, ANewerVersionsNoticeWaitsInTheIconUntilShown) {
  TaskBarIcon& icon = *App().GetTaskBarIcon();
  const int version = std::max(OptionValue<int>(OPT_NOTIFIED_VERSION, 0), APP_VERSION_CODE) + 1;
  wxCommandEvent notice(EVT_APP_NOTIFY, ID_NOTIFY_NEW_VERSION);
  notice.SetInt(version);
  notice.SetString("https://example.org/pastiq");
  icon.AddPendingEvent(notice);
  DispatchPending();
  ASSERT_EQ(icon.PendingMessageCount(), 1u);
  EXPECT_EQ(OptionValue<int>(OPT_NOTIFIED_VERSION, 0), version);
  MessageBoxRecorder boxes;
  EXPECT_TRUE(icon.ShowPendingMessage());
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_TRUE(boxes.boxes[0].message.EndsWith("https://example.org/pastiq"));
  EXPECT_EQ(icon.PendingMessageCount(), 0u);
}

TEST(Commands, ExitEndsTheMainLoop) {
  App().CallAfter([] { Command(wxID_EXIT); });
  EXPECT_TRUE(RunMainLoop());
}

TEST(Commands, ExitFromInsideTheLogWindowEndsItAndTheMainLoop) {
  bool logOpen = false;
  App().CallAfter([&] {
    // Queued before the log window's modal loop starts, run from inside it.
    App().CallAfter([&] {
      logOpen = Logger::Get().GetLogDlg() != nullptr;
      Command(wxID_EXIT);
    });
    Command(ID_SHOW_LOG);
  });
  EXPECT_TRUE(RunMainLoop());
  EXPECT_TRUE(logOpen);
  EXPECT_EQ(Logger::Get().GetLogDlg(), nullptr);
}

TEST(StartUp, BuildsTheWindowsThatNeverTakeTheFocus) {
  ASSERT_NE(App().GetPopupWindow(), nullptr);
  ASSERT_NE(App().GetMenuWindow(), nullptr);
  ASSERT_NE(App().GetFloatingWindow(), nullptr);
  EXPECT_FALSE(App().GetPopupWindow()->IsShown());
  EXPECT_FALSE(App().GetMenuWindow()->IsShown());
  // Each restored its size and built its pages.
  EXPECT_EQ(App().GetPopupWindow()->GetSize(), wxSize(150, 300));
  EXPECT_EQ(App().GetMenuWindow()->GetSize(), wxSize(150, 300));
  for (HistoryFrame* frame : std::initializer_list<HistoryFrame*>{App().GetPopupWindow(), App().GetMenuWindow(),
                                                                   App().GetFloatingWindow()}) {
    EXPECT_EQ(frame->GetHistoryWindow()->GetPageCount(), Frame().GetHistoryWindow()->GetPageCount());
  }
}

// The key notices reach the popup through the application's client: Win+V
// typed in another application opens it there.
TEST(StartUp, TheShortcutReachesThePopup) {
  const testing_sim::App editor = testing_sim::AddApp(L"/usr/bin/editor");
  const HWND field = sim::AddEdit(editor.thread, editor.frame);
  sim::SetFocus(field);
  sim::Settle();
  sim::KeyDown(VK_LWIN);
  sim::Tap('V');
  sim::Settle();
  EXPECT_TRUE(App().GetPopupWindow()->IsShown());
  sim::Tap(VK_ESCAPE);
  sim::KeyUp(VK_LWIN);
  sim::Settle();
  EXPECT_FALSE(App().GetPopupWindow()->IsShown());
  sim::RemoveWindow(editor.frame);
}

// "&Floating List" shows and hides the floating list; its check mark
// follows.
TEST(Commands, ToggleFloatingShowsAndHidesTheFloatingListWithItsCheckMark) {
  FloatingWindow& floating = *App().GetFloatingWindow();
  const bool before = floating.IsShown();
  for (int i = 0; i < 2; ++i) {
    const bool shown = floating.IsShown();
    Command(ID_TOGGLE_FLOATING);
    DispatchPending();
    EXPECT_EQ(floating.IsShown(), !shown);
    wxUpdateUIEvent update(ID_TOGGLE_FLOATING);
    update.SetEventObject(&Frame());
    Frame().GetEventHandler()->ProcessEvent(update);
    EXPECT_EQ(update.GetChecked(), !shown);
  }
  EXPECT_EQ(floating.IsShown(), before);
}

struct SaveState : ::testing::Test {
  fs::path folder = AppConfig::GetFolder().utf8_string();
  fs::path settings = AppConfig::GetFilePath().utf8_string();
  fs::path history = pq::History::GetFilePath().utf8_string();
  const wxRect frameRect = Frame().GetRect();
  void SetUp() override {
    fs::remove_all(settings);
    fs::remove_all(history);
  }
  // The frame is the application's, shared with the other tests.
  void TearDown() override { Frame().SetSize(frameRect); }
};

TEST_F(SaveState, StoresTheFrameAndWritesBothFiles) {
  Frame().SetSize(30, 40, 700, 500);
  Frame().GetHistoryWindow()->SetSelection(1);
  App().SaveState();
  EXPECT_EQ(OptionValue<int>(OPT_MAIN_FRAME_TAB, -1), 1);
  EXPECT_EQ(OptionValue<wxRect>(OPT_MAIN_FRAME_RECT, wxRect()), Frame().GetRect());
  EXPECT_EQ(OptionValue<wxRect>(OPT_MAIN_FRAME_RECT, wxRect()).GetSize(), wxSize(700, 500));
  // The other windows' sizes, tabs and the floating list's state.
  EXPECT_EQ(OptionValue<wxSize>(OPT_POPUP_SIZE, wxSize()), App().GetPopupWindow()->GetSize());
  EXPECT_EQ(OptionValue<wxSize>(OPT_MENU_WINDOW_SIZE, wxSize()), App().GetMenuWindow()->GetSize());
  EXPECT_EQ(OptionValue<wxRect>(OPT_FLOATING_RECT, wxRect()), App().GetFloatingWindow()->GetRect());
  EXPECT_EQ(OptionValue<bool>(OPT_FLOATING_SHOWN, false), App().GetFloatingWindow()->IsShown());
  for (int tab : {OPT_POPUP_TAB, OPT_MENU_WINDOW_TAB, OPT_FLOATING_TAB}) EXPECT_EQ(OptionValue<int>(tab, -1), 0);
  ASSERT_TRUE(fs::exists(settings));
  ASSERT_TRUE(fs::exists(history));

  AppConfig read;
  ASSERT_NO_THROW(read.LoadFile(AppConfig::GetFilePath()));
  wxRect stored;
  EXPECT_TRUE(read.options.Get(OPT_MAIN_FRAME_RECT, stored));
  EXPECT_EQ(stored, Frame().GetRect());
  pq::History loaded;
  EXPECT_NO_THROW(loaded.Load());
}

TEST_F(SaveState, AFailedSettingsSaveIsReportedAndTheHistoryStillSaved) {
  // A folder where the settings file belongs: it cannot be written.
  fs::create_directories(settings / "in-the-way");
  EXPECT_NO_THROW(App().SaveState());
  EXPECT_TRUE(fs::is_directory(settings));
  EXPECT_TRUE(fs::exists(history));
  EXPECT_TRUE(LoggerHas(Logger::Error, "Cannot save the settings"));
  fs::remove_all(settings);
}

// The stored rectangle applies only when larger than the frame's own size
// in both directions.
TEST(MainFrameGeometry, AStoredRectangleAppliesOnlyWhenLarger) {
  const struct {
    wxRect stored;
    bool applied;
  } cases[] = {
      {wxRect(10, 20, 681, 481), true},   {wxRect(10, 20, 680, 600), false},
      {wxRect(10, 20, 800, 480), false},  {wxRect(-1, -1, -1, -1), false},
      {wxRect(0, 0, 0, 0), false},        {wxRect(15, 25, 1000, 700), true},
  };
  for (const auto& c : cases) {
    MainFrame frame(nullptr);
    const wxPoint before = frame.GetPosition();
    SetOption(OPT_MAIN_FRAME_RECT, c.stored);
    frame.RestoreGeometry();
    if (c.applied)
      EXPECT_EQ(frame.GetRect(), c.stored) << c.stored.width << "x" << c.stored.height;
    else
      EXPECT_EQ(frame.GetRect(), wxRect(before, wxSize(680, 480))) << c.stored.width << "x" << c.stored.height;
    frame.GetHistoryWindow()->Unregister();
  }
}
}  // namespace
