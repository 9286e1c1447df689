// Built into the test copy of the program: $PASTIQ_TEST_AUTO_SEND
// ("host:port") becomes its automatic-sending host once its main loop runs.
// The settings file cannot carry one (those hosts are forgotten at every
// start), so a process test that sends between two copies sets it here.
#include <cstdlib>
#include <stdexcept>
#include <string>

#include <wx/app.h>
#include <wx/module.h>

#include "appconfig.h"

namespace {

void AddHost(const wxString& host, int port) {
  try {
    GetAppConfig().autoSendHosts.push_back(NetworkAddress(host, port));
  } catch (const std::logic_error&) {
    // No settings yet: the start ended early.
  }
}

class AutoSendHostModule : public wxModule {
 public:
  bool OnInit() override {
    const char* value = std::getenv("PASTIQ_TEST_AUTO_SEND");
    if (!value || !wxTheApp) return true;
    const std::string text = value;
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos) return true;
    const wxString host = wxString::FromUTF8(text.substr(0, colon));
    const int port = std::atoi(text.c_str() + colon + 1);
    // The settings are loaded in the application's start-up, which runs
    // before the main loop and so before this.
    wxTheApp->CallAfter([host, port] { AddHost(host, port); });
    return true;
  }
  void OnExit() override {}

 private:
  wxDECLARE_DYNAMIC_CLASS(AutoSendHostModule);
};

wxIMPLEMENT_DYNAMIC_CLASS(AutoSendHostModule, wxModule);

}  // namespace
