// A small program the process tests start, so that start-up pieces run in a
// process of their own, as they do in the program:
//   probe                       writes how it was started to $PASTIQ_PROBE_REPORT
//   probe ... /Commit ...       restarts itself without arguments and ends
//   probe lock FOLDER           takes the single-instance lock, says "held" or
//                               "refused", and holds it until stdin closes
//   probe session DIR dialog|nodialog
//                               runs a main loop with the session-end signals
//                               handled; writes DIR/ready once running (inside
//                               a modal dialog with "dialog") and DIR/saved when
//                               the state is saved
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>

#include <wx/app.h>
#include <wx/dialog.h>
#include <wx/frame.h>
#include <wx/snglinst.h>

#include "display.h"
#include "dlgmgr.h"
#include "msgbox.h"
#include "sessionend.h"
#include "startup.h"

namespace {
std::string g_dir;
bool g_withDialog = false;

void Touch(const std::string& name) { std::ofstream(g_dir + "/" + name) << getpid() << "\n"; }

class ProbeApp : public wxApp {
 public:
  bool OnInit() override {
    new wxFrame(nullptr, wxID_ANY, "hidden");  // like the main frame: never shown
    InstallSessionEndHandler([] { Touch("saved"); });
    CallAfter([] {
      if (!g_withDialog) {
        Touch("ready");
        return;
      }
      auto* dialog = new wxDialog(nullptr, wxID_ANY, "modal");
      wxTheApp->CallAfter([] { Touch("ready"); });
      DlgMgr::ShowModal(dialog);
      dialog->Destroy();
    });
    return true;
  }
  int OnExit() override {
    Touch("exited");
    return wxApp::OnExit();
  }
};
}  // namespace

wxIMPLEMENT_APP_NO_MAIN(ProbeApp);

int main(int argc, char** argv) {
  int code = 0;
  if (HandleCommitArgument(argc, argv, &code)) return code;

  if (argc == 1) {
    if (const char* report = std::getenv("PASTIQ_PROBE_REPORT"))
      std::ofstream(report) << "args=" << argc - 1 << " pid=" << getpid() << " sid=" << getsid(0) << "\n";
    return 0;
  }

  const std::string mode = argv[1];
  if (mode == "lock" && argc == 3) {
    SetMessageBoxHandler([](const wxString& text, const wxString&, long, wxWindow*) {
      std::cerr << text << "\n";
      return wxOK;
    });
    std::unique_ptr<wxSingleInstanceChecker> checker;
    const bool held = AcquireSingleInstance(&checker, wxString::FromUTF8(argv[2])) && checker;
    std::cout << (held ? "held" : "refused") << std::endl;
    if (held)
      for (std::string line; std::getline(std::cin, line);) {
      }
    return 0;
  }

  if (mode == "session" && argc == 4) {
    g_dir = argv[2];
    g_withDialog = std::strcmp(argv[3], "dialog") == 0;
    char* wxArgv[] = {argv[0], nullptr};
    int wxArgc = 1;
    char** displayArgv = wxArgv;
    if (!OpenTestDisplay(wxArgc, displayArgv)) return 3;
    return wxEntry(wxArgc, wxArgv);
  }
  std::cerr << "probe: unknown mode\n";
  return 2;
}
