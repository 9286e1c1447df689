#pragma once
// The application object of the program pastiq: it refuses to run beside an
// older version or a second instance, creates and owns every long-lived
// object, handles the application-wide commands and saves everything at exit
// and when the session ends.
//
// The taskbar icon arrives later with its own task: until then its member
// stays null and each step of start-up and shut-down that concerns it is
// marked where it belongs.
#include <memory>

#include <wx/app.h>

class AppClient;
class AppConfig;
class FloatingWindow;
class MainFrame;
class MenuWindow;
class PopupWindow;
class wxCmdLineParser;
class wxCommandEvent;
class wxUpdateUIEvent;
class wxHtmlHelpController;
class wxSingleInstanceChecker;
namespace net {
class Server;
}
namespace pq {
class History;
}
class TaskBarIcon;
namespace cmn {
class Timer;
}
namespace cmn::wx {
class VersionChecker;
}  // namespace cmn::wx

class PastiqApp : public wxApp {
 public:
  PastiqApp();
  ~PastiqApp() override;

  // The start-up: older version, single instance, settings, command line,
  // history, the network server, the hidden main frame (which starts the
  // clipboard manager), the menu window, the floating and popup lists, the
  // session-end handling; the deferred start-up is posted last.
  bool OnInit() override;
  // Saves, shuts the network server down (waiting for running transfers),
  // stops the clipboard manager, destroys the windows.
  int OnExit() override;
  void OnInitCmdLine(wxCmdLineParser& parser) override;
  // False (the start ends before any window) for a start from the login
  // entry while starting at login is switched off.
  bool OnCmdLineParsed(wxCmdLineParser& parser) override;

  // Stores the windows' state in the options, then saves the settings file
  // and the history file, each on its own: a save that fails is reported
  // and the next one still runs. Nothing escapes.
  void SaveState();
  // Runs from the main loop, once, after OnInit.
  void OnDeferredStartup();

  AppConfig* GetConfig() const { return config; }
  pq::History* GetHistory() const { return history; }
  MainFrame* GetMainFrame() const { return mainFrame; }
  TaskBarIcon* GetTaskBarIcon() const { return taskBarIcon; }
  MenuWindow* GetMenuWindow() const { return menuWindow; }
  FloatingWindow* GetFloatingWindow() const { return floatingWindow; }
  PopupWindow* GetPopupWindow() const { return popupWindow; }
  net::Server* GetServer() const { return server; }
  cmn::wx::VersionChecker* GetVersionChecker() const { return versionChecker; }
  wxHtmlHelpController* GetHelpController() const { return helpController; }

  // How long a notification area has to take the tray icon in before the
  // main window shows in its place.
  static constexpr int kTrayEmbedGraceMs = 5000;

  // Whether the deferred start-up has run.
  bool DeferredStartupDone() const { return deferredStartupDone; }

 private:
  void OnStartupNotice(wxCommandEvent& event);
  void OnExitCommand(wxCommandEvent& event);
  void OnShowMainWindow(wxCommandEvent& event);
  void OnToggleRecording(wxCommandEvent& event);
  void OnShowLog(wxCommandEvent& event);
  void OnAbout(wxCommandEvent& event);
  void OnManual(wxCommandEvent& event);
  void OnOptions(wxCommandEvent& event);
  void OnToggleFloating(wxCommandEvent& event);
  void OnUpdateToggleFloating(wxUpdateUIEvent& event);

  TaskBarIcon* taskBarIcon = nullptr;
  std::unique_ptr<wxSingleInstanceChecker> instanceChecker;
  std::unique_ptr<cmn::Timer> trayCheck;  // the main window shows when the icon was not taken in
  MainFrame* mainFrame = nullptr;
  MenuWindow* menuWindow = nullptr;
  FloatingWindow* floatingWindow = nullptr;
  PopupWindow* popupWindow = nullptr;
  pq::History* history = nullptr;
  AppConfig* config = nullptr;
  net::Server* server = nullptr;
  // What the manager and the server reach the application through.
  std::unique_ptr<AppClient> client;
  cmn::wx::VersionChecker* versionChecker = nullptr;
  wxHtmlHelpController* helpController = nullptr;
  bool deferredStartupDone = false;
};

wxDECLARE_APP(PastiqApp);
