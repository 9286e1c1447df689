// Built into a copy of the program for process tests, so that nothing waits
// for a person and the test can see how the program ends:
// - every message box is written to standard error ("message box:
//   CAPTION|TEXT") and answered at once: Yes to a question, unless
//   $PASTIQ_TEST_ANSWER is "no"; OK otherwise;
// - each line of standard input is a command id, sent as its menu item sends
//   it: a menu command to the main frame, from where it reaches the
//   application; or "menu X Y", which opens the menu window at the screen
//   point (X, Y) as the taskbar icon's left click does;
// - with $PASTIQ_TEST_NEW_VERSION ("VERSION ADDRESS"), the taskbar icon
//   gets the version checker's notice of that version once the main loop
//   runs, as if a check had found it;
// - once the program has shut down, on the simulated desktop, standard error
//   gets "at exit: clipboard viewer V, keyboard hooks K, focus hooks F",
//   V being "none" or "set": what the program left on the desktop.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <thread>

#include <wx/app.h>
#include <wx/defs.h>
#include <wx/module.h>

#include "app.h"
#include "appnotify.h"
#include "desktop.h"
#include "mainframe.h"
#include "menuwindow.h"
#include "msgbox.h"
#include "platform/clipboard.h"
#include "platform/hooks.h"
#include "platform/sim/desktop.h"
#include "taskbaricon.h"

namespace {
const bool installed = [] {
  SetMessageBoxHandler([](const wxString& text, const wxString& caption, long style, wxWindow*) {
    std::fprintf(stderr, "message box: %s|%s\n", static_cast<const char*>(caption.utf8_str()),
                 static_cast<const char*>(text.utf8_str()));
    std::fflush(stderr);
    if (!(style & wxYES_NO)) return wxOK;
    const char* answer = std::getenv("PASTIQ_TEST_ANSWER");
    return answer && std::strcmp(answer, "no") == 0 ? wxNO : wxYES;
  });
  return true;
}();

void SendCommand(int id) {
  MainFrame* frame = wxGetApp().GetMainFrame();
  if (!frame) return;
  wxCommandEvent event(wxEVT_MENU, id);
  event.SetEventObject(frame);
  frame->GetEventHandler()->ProcessEvent(event);
}

// Reads the commands until standard input ends; the commands themselves run
// on the GUI thread. A line that comes before the application is there, or
// is no number, is dropped.
void ReadCommands() {
  for (std::string line; std::getline(std::cin, line);) {
    int x = 0, y = 0;
    if (std::sscanf(line.c_str(), "menu %d %d", &x, &y) == 2) {
      if (wxTheApp) wxTheApp->CallAfter([x, y] {
        if (MenuWindow* menu = wxGetApp().GetMenuWindow()) menu->OpenAt(wxPoint(x, y));
      });
      continue;
    }
    char* end = nullptr;
    const long id = std::strtol(line.c_str(), &end, 10);
    if (end == line.c_str() || !wxTheApp) continue;
    wxTheApp->CallAfter([id] { SendCommand(static_cast<int>(id)); });
  }
}

// The notice a version check would post, from $PASTIQ_TEST_NEW_VERSION.
void PostNewVersionNotice() {
  const char* given = std::getenv("PASTIQ_TEST_NEW_VERSION");
  if (!given) return;
  const std::string text = given;
  const std::size_t blank = text.find(' ');
  if (blank == std::string::npos) return;
  const int version = std::atoi(text.substr(0, blank).c_str());
  const wxString address = wxString::FromUTF8(text.substr(blank + 1));
  wxTheApp->CallAfter([version, address] {
    TaskBarIcon* icon = wxGetApp().GetTaskBarIcon();
    if (!icon) return;
    wxCommandEvent notice(EVT_APP_NOTIFY, ID_NOTIFY_NEW_VERSION);
    notice.SetInt(version);
    notice.SetString(address);
    icon->AddPendingEvent(notice);
  });
}

}  // namespace

class UnattendedModule : public wxModule {
 public:
  bool OnInit() override {
    // The desktop is open before the toolkit starts and closed by the time
    // OnExit runs, so which one it is is noted now.
    onSimulatedDesktop_ = RunsOnSimulatedDesktop();
    std::thread(&ReadCommands).detach();
    PostNewVersionNotice();
    return true;
  }
  // Runs after the application's OnExit.
  void OnExit() override {
    if (!onSimulatedDesktop_) return;
    std::fprintf(stderr, "at exit: clipboard viewer %s, keyboard hooks %d, focus hooks %d\n",
                 GetClipboardViewer() ? "set" : "none", platform::sim::InstalledHooks(WH_KEYBOARD),
                 platform::sim::InstalledHooks(WH_CBT));
    std::fflush(stderr);
  }

 private:
  wxDECLARE_DYNAMIC_CLASS(UnattendedModule);

 private:
  bool onSimulatedDesktop_ = false;
};
wxIMPLEMENT_DYNAMIC_CLASS(UnattendedModule, wxModule);
