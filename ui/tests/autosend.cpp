// Built into the test copy of the program: $PASTIQ_TEST_AUTO_SEND
// ("host:port") becomes its automatic-sending host once its main loop runs
// and its settings are installed; it then says "automatic sending to
// host:port" on standard output. The settings file cannot carry such a host
// (they are forgotten at every start), so a process test that sends between
// two copies sets it here.
#include <cstdio>
#include <cstdlib>
#include <string>

#include <wx/app.h>
#include <wx/module.h>

#include "appconfig.h"

namespace {

void AddHost(const wxString& host, int port) {
  AppConfig* config = FindAppConfig();
  if (!config) {  // a turn of the loop before the settings were installed
    wxTheApp->CallAfter([host, port] { AddHost(host, port); });
    return;
  }
  config->autoSendHosts.push_back(NetworkAddress(host, port));
  std::printf("automatic sending to %s:%d\n", static_cast<const char*>(host.utf8_str()), port);
  std::fflush(stdout);
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
    wxTheApp->CallAfter([host, port] { AddHost(host, port); });
    return true;
  }
  void OnExit() override {}

 private:
  wxDECLARE_DYNAMIC_CLASS(AutoSendHostModule);
};

wxIMPLEMENT_DYNAMIC_CLASS(AutoSendHostModule, wxModule);

}  // namespace
