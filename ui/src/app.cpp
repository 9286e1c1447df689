#include "app.h"

#include <cstdio>
#include <initializer_list>
#include <string>
#include <utility>

#include <wx/bmpbndl.h>
#include <wx/cmdline.h>
#include <wx/html/helpctrl.h>
#include <wx/image.h>
#include <wx/snglinst.h>
#include <wx/socket.h>

#include "appclient.h"
#include "appconfig.h"
#include "appnotify.h"
#include "aboutdlg.h"
#include "appversion.h"
#include "cmn/timer.h"
#include "cmn/versionchecker.h"
#include "commands.h"
#include "desktop.h"
#include "floatingwindow.h"
#include "historywindow.h"
#include "imagestrip.h"
#include "logdlg.h"
#include "logger.h"
#include "mainframe.h"
#include "manual.h"
#include "menuwindow.h"
#include "msgbox.h"
#include "net/server.h"
#include "optiondlg.h"
#include "options.h"
#include "pq/history.h"
#include "popupwindow.h"
#include "pq/mgr.h"
#include "sendmenu.h"
#include "sessionend.h"
#include "startup.h"
#include "taskbaricon.h"

PastiqApp::PastiqApp() {
  Bind(EVT_APP_NOTIFY, &PastiqApp::OnStartupNotice, this, ID_NOTIFY_STARTUP);
  Bind(wxEVT_MENU, &PastiqApp::OnExitCommand, this, wxID_EXIT);
  Bind(wxEVT_MENU, &PastiqApp::OnShowMainWindow, this, ID_SHOW_MAIN_WINDOW);
  Bind(wxEVT_MENU, &PastiqApp::OnToggleRecording, this, ID_TOGGLE_RECORDING);
  Bind(wxEVT_MENU, &PastiqApp::OnShowLog, this, ID_SHOW_LOG);
  Bind(wxEVT_MENU, &PastiqApp::OnAbout, this, wxID_ABOUT);
  Bind(wxEVT_MENU, &PastiqApp::OnManual, this, wxID_HELP_CONTENTS);
  Bind(wxEVT_MENU, &PastiqApp::OnOptions, this, wxID_PREFERENCES);
  Bind(wxEVT_MENU, &PastiqApp::OnToggleFloating, this, ID_TOGGLE_FLOATING);
  Bind(wxEVT_UPDATE_UI, &PastiqApp::OnUpdateToggleFloating, this, ID_TOGGLE_FLOATING);
}

namespace {
const char kReceiverFailed[] = "Failed to start clipboard networking receiver (server)!";

// The version file on the update server the build names; empty when it
// names none (no check then).
wxString VersionFileUrl() {
  wxString server = PASTIQ_UPDATE_SERVER;
  if (server.empty()) return server;
  while (server.EndsWith("/")) server.RemoveLast();
  return server + "/files/pastiq/version.txt";
}
}  // namespace

PastiqApp::~PastiqApp() {
  SetSendServer(nullptr);
  delete server;
  server = nullptr;
  instanceChecker.reset();
  pq::Mgr::Get().SetClient(nullptr);
  pq::Mgr::Get().SetHistory(nullptr);
  delete history;
  history = nullptr;
  SetAppConfig(nullptr);
  delete config;
  config = nullptr;
  StopDesktop();
}

void PastiqApp::OnInitCmdLine(wxCmdLineParser& parser) { DeclareCommandLine(parser); }

bool PastiqApp::OnCmdLineParsed(wxCmdLineParser& parser) {
  if (!StartupAllowed(parser)) return false;
  return wxApp::OnCmdLineParsed(parser);  // "verbose"
}

bool PastiqApp::OnInit() {
  // Every step below may use the platform layer: its desktop comes first.
  std::string desktopError;
  if (!StartDesktop(&desktopError)) {
    std::fprintf(stderr, "pastiq: %s\n", desktopError.c_str());
    return false;
  }

  // 1. An older version still running is closed, or the start ends.
  if (!CloseOlderVersion()) return false;
  // 2. One instance at a time.
  if (!AcquireSingleInstance(&instanceChecker)) return false;
  // 3. The settings (run-at-login entry rewritten first); when they cannot
  // be read the defaults stand.
  config = new AppConfig;
  config->Load();
  SetAppConfig(config);
  // 4. The command line, after the settings: the "startup" rule reads them.
  if (!wxApp::OnInit()) return false;

  if (RunsOnSimulatedDesktop()) {
    const char* text =
        "Pastiq runs on the simulated desktop: the clipboard and keys of other applications are not seen";
    std::fprintf(stderr, "pastiq: %s\n", text);
    Logger::Get().Log(Logger::Warning, text);
  }

  // 5. Images.
  if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG)) wxImage::AddHandler(new wxPNGHandler);
  // 6. The history: the history file when the settings file was read.
  history = new pq::History;
  history->Initialize(*config);
  // 7. The network server, listening when receiving is on; the socket layer
  // is ready before it and before any transfer.
  if (!wxSocketBase::IsInitialized()) wxSocketBase::Initialize();
  client = std::make_unique<AppClient>(*this);
  server = new net::Server(*config, *history, client.get());
  // The record and list commands send through it.
  SetSendServer(server);
  if (!server->StartIfEnabled()) ShowMessageBox(kReceiverFailed, "Error", wxOK | wxICON_HAND);
  pq::Mgr::Get().SetClient(client.get());
  // 8. The taskbar icon, without a picture yet.
  taskBarIcon = new TaskBarIcon;
  // 9. The main frame, hidden; the menu window, the floating list and the
  // popup list, each given the history.
  mainFrame = new MainFrame(history);
  SetTopWindow(mainFrame);
  menuWindow = new MenuWindow(history);
  taskBarIcon->SetMenuWindow(menuWindow);  // its left click opens it
  floatingWindow = new FloatingWindow(history);
  popupWindow = new PopupWindow(history);
  // 10. The windows' start-up, the main frame first (it starts the clipboard
  // manager, whose key notices reach the popup and the floating list through
  // the application's client, which also animates the taskbar icon).
  mainFrame->Start();
  popupWindow->RestoreState();
  floatingWindow->RestoreState();
  menuWindow->RestoreState();
  // 11. The tray icon, and the program icon for the frames. Where no
  // notification area takes the icon in, the main window shows, so the
  // program can always be reached.
  {
    const std::unique_ptr<wxImage> strip = LoadImageStrip();
    taskBarIcon->ShowIcon(GetAppIcon(*strip), kProductTitle);
  }
  mainFrame->SetIcons(GetAppIcons());
  if (!wxTaskBarIcon::IsAvailable()) {
    mainFrame->Show();
  } else {
    // A notification area takes the icon in a moment after it asks.
    trayCheck = cmn::MakeTimer(cmn::Timer::kOneShot, [this] {
      if (mainFrame && !TaskBarIcon::IsEmbedded()) mainFrame->Show();
    });
    if (trayCheck) trayCheck->Start(kTrayEmbedGraceMs);
  }
  // 12. The help controller is made on the first Manual command
  // (ShowManual), so a missing or broken manual never stops a start.

  // The session ends by signals here: save, then exit.
  if (!InstallSessionEndHandler([this] { SaveState(); }))
    std::fprintf(stderr, "pastiq: the end of the session cannot be handled; its state is saved only at exit\n");

  // 13. The rest runs once the main loop does.
  PostNotifyEvent(this, ID_NOTIFY_STARTUP);
  return true;
}

void PastiqApp::OnStartupNotice(wxCommandEvent&) { OnDeferredStartup(); }

void PastiqApp::OnDeferredStartup() {
  if (deferredStartupDone) return;
  deferredStartupDone = true;
  // 1. The socket layer was initialised before the server (OnInit, step 7).
  // 2. The version checker's notices go to the taskbar icon.
  versionChecker = new cmn::wx::VersionChecker(taskBarIcon, VersionFileUrl(), "pastiq");
  // 3.
  if (OptionValue<bool>(OPT_CHECK_VERSION, false)) versionChecker->Start();
}

void PastiqApp::SaveState() {
  // What arrived just before the end has its notice still queued: it is
  // filed before the history is written.
  if (server) server->FileReceived();
  // 1. The main frame's history tab and rectangle.
  if (mainFrame && config) {
    mainFrame->GetHistoryWindow()->SaveSelection(OPT_MAIN_FRAME_TAB);
    SetOption(OPT_MAIN_FRAME_RECT, mainFrame->GetRect());
  }
  // 2. The popup list's tab and size.
  if (popupWindow && config) {
    popupWindow->GetHistoryWindow()->SaveSelection(OPT_POPUP_TAB);
    SetOption(OPT_POPUP_SIZE, popupWindow->GetSize());
  }
  // 3. The menu window's.
  if (menuWindow && config) {
    menuWindow->GetHistoryWindow()->SaveSelection(OPT_MENU_WINDOW_TAB);
    SetOption(OPT_MENU_WINDOW_SIZE, menuWindow->GetSize());
  }
  // 4.
  if (floatingWindow && config) floatingWindow->SaveState();
  // 5., 6. The only places the two files are written.
  const ArchiveInfo info(APP_VERSION_CODE, 1);
  if (config) RunSave("the settings", [&] { return config->SaveFile(AppConfig::GetFilePath(), info); });
  if (history)
    RunSave("the history", [&] {
      history->Save(pq::History::GetFilePath(), info);
      return true;
    });
}

int PastiqApp::OnExit() {
  // 1.
  SaveState();
  // 2. The version checker goes before the taskbar icon that receives its
  // notices: its destructor returns at once and leaves a check still
  // running nobody to post to. Then the taskbar icon leaves the
  // notification area, and the help controller goes (with its window).
  delete versionChecker;
  versionChecker = nullptr;
  trayCheck.reset();
  delete taskBarIcon;
  taskBarIcon = nullptr;
  delete helpController;
  helpController = nullptr;
  // 3. Every transfer thread is told that the program closes and waited for.
  if (server) server->Shutdown();
  // 4. The manager leaves the viewer chain, leaves its data on the clipboard
  // and removes the hooks, before the window it holds goes.
  pq::Mgr& mgr = pq::Mgr::Get();
  if (mgr.IsStarted()) mgr.Stop();
  // The display connection closes only once the manager has let go of the
  // clipboard and its hooks; the rest below needs no desktop of others.
  // 5.-8. A window that shows records gives up its tab menu, its history
  // window stops following the history, then its record commands go.
  auto releaseCommands = [](wxWindow* frame, HistoryWindow* historyWindow) {
    historyWindow->PopEventHandler(true);
    historyWindow->Unregister();
    frame->PopEventHandler(true);
  };
  // 5. The main frame.
  if (mainFrame) releaseCommands(mainFrame, mainFrame->GetHistoryWindow());
  // 6. The popup list: its history window, then its paste timer.
  if (popupWindow) {
    popupWindow->GetHistoryWindow()->Unregister();
    popupWindow->DeletePasteTimer();
  }
  // 7. The menu window, and the hook library forgets it.
  if (menuWindow) {
    releaseCommands(menuWindow, menuWindow->GetHistoryWindow());
    menuWindow->ForgetInHookLibrary();
  }
  // 8. The floating list, and its option.
  if (floatingWindow) {
    releaseCommands(floatingWindow, floatingWindow->GetHistoryWindow());
    floatingWindow->Unregister();
  }
  // 9. The menu window, the floating list, the popup list, the main frame.
  for (wxTopLevelWindow* window : std::initializer_list<wxTopLevelWindow*>{menuWindow, floatingWindow, popupWindow,
                                                                            mainFrame}) {
    if (window) window->Destroy();
  }
  menuWindow = nullptr;
  floatingWindow = nullptr;
  popupWindow = nullptr;
  mainFrame = nullptr;
  // 10.
  if (server && server->IsListening()) server->Stop();
  // 11. The version checker went with step 2.
  // 12.
  if (wxSocketBase::IsInitialized()) wxSocketBase::Shutdown();
  StopDesktop();
  return wxApp::OnExit();
}

void PastiqApp::OnExitCommand(wxCommandEvent&) { EndMainLoop(); }

void PastiqApp::OnShowMainWindow(wxCommandEvent&) {
  if (!mainFrame) return;
  if (mainFrame->IsIconized()) mainFrame->Iconize(false);
  mainFrame->Show();
  mainFrame->Raise();
}

void PastiqApp::OnToggleRecording(wxCommandEvent&) {
  SetOption(OPT_RECORDING, !OptionValue<bool>(OPT_RECORDING, false));
}

void PastiqApp::OnShowLog(wxCommandEvent&) { ShowLogWindow(); }

void PastiqApp::OnAbout(wxCommandEvent&) { ShowAboutDialog(mainFrame); }

void PastiqApp::OnManual(wxCommandEvent&) { ShowManual(&helpController); }

void PastiqApp::OnOptions(wxCommandEvent&) {
  // The server follows the receiving switch and the port as the dialog
  // writes them; one that the new values could not start is told, as at
  // start-up, rather than left deaf without a word.
  const auto receiver = [] {
    return std::make_pair(OptionValue<bool>(OPT_RECEIVE_ENABLED, false), OptionValue<int>(OPT_RECEIVER_PORT, 0));
  };
  const auto before = receiver();
  ShowOptionsDialog(mainFrame);
  const auto after = receiver();
  if (server && after != before && after.first && !server->IsListening())
    ShowMessageBox(kReceiverFailed, "Error", wxOK | wxICON_HAND, mainFrame);
}

void PastiqApp::OnToggleFloating(wxCommandEvent&) {
  if (!floatingWindow) return;
  if (floatingWindow->IsShown()) {
    floatingWindow->Show(false);
  } else {
    floatingWindow->ShowNoActivate();
  }
}

void PastiqApp::OnUpdateToggleFloating(wxUpdateUIEvent& event) {
  event.Check(floatingWindow && floatingWindow->IsShown());
}
