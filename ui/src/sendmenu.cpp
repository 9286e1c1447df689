#include "sendmenu.h"

#include <wx/control.h>
#include <wx/intl.h>
#include <wx/menu.h>

#include "appconfig.h"
#include "commands.h"
#include "dlgmgr.h"
#include "hostnamedlg.h"

namespace {
net::Server*& Server() {
  static net::Server* server = nullptr;
  return server;
}
}  // namespace

void SetSendServer(net::Server* server) { Server() = server; }
net::Server* GetSendServer() { return Server(); }

const NetworkAddress* RememberedHost(int index) {
  AppConfig* config = FindAppConfig();
  if (!config || index < 0) return nullptr;
  return config->GetHost(static_cast<std::size_t>(index));
}

void AppendSendToItems(wxMenu* submenu, int firstId, int otherId, const char* helpPrefix) {
  for (int i = 0; const NetworkAddress* host = RememberedHost(i); ++i) {
    const wxString label = wxString::Format("%s:%d", host->GetHost(), host->port);
    submenu->Append(firstId + i, wxControl::EscapeMnemonics(label), wxGetTranslation(helpPrefix) + label);
  }
  submenu->Append(otherId, CommandLabel(otherId), CommandHelp(otherId));
}

void SendToOtherComputer(wxWindow* parent, const std::function<void(const NetworkAddress& to)>& send) {
  HostnameDlg dialog(parent, wxString(), HostnameDlg::kDefaultPort);
  int result = wxID_CANCEL;
  if (!DlgMgr::ShowModal(&dialog, &result) || result != wxID_OK) return;
  send(dialog.GetAddress());
  if (AppConfig* config = FindAppConfig()) config->AddHost(dialog.GetHostname(), dialog.GetPort());
}
