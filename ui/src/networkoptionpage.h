#pragma once
// The "Network" tab of the options dialog: the receiver's port, receiving
// from trusted clients and their list, automatic sending of every new record
// and the hosts it goes to. The page edits copies of the two lists; only
// ApplyPage writes them back, so Cancel leaves the settings as they were.
#include <vector>

#include "appconfig.h"
#include "optionpage.h"

class wxCheckBox;
class wxCommandEvent;
class wxListCtrl;
class wxTextCtrl;
class wxUpdateUIEvent;

class NetworkOptionPage : public PanelOptionPageBase {
 public:
  // Window ids of the list controls and their buttons.
  enum {
    ID_TRUSTED_ADD = 8999,
    ID_TRUSTED_REMOVE,
    ID_TRUSTED_EDIT,
    ID_HOST_ADD,
    ID_HOST_REMOVE,
    ID_HOST_EDIT,
    ID_TRUSTED_LIST,
    ID_HOST_LIST,
  };
  // The port a new automatic-sending host's dialog offers.
  static constexpr int kDefaultHostPort = 45689;

  NetworkOptionPage() = default;
  ~NetworkOptionPage() override = default;

  // Builds the controls and fills them from the options and copies of the
  // settings record's lists; always true.
  bool CreateControls();

  // Refuses a port text that is no number from 0 to 65535.
  bool ValidatePage() override;
  // Writes the port, the trusted clients, the receiving switch, the hosts
  // and the sending switch, in this order: a new port re-binds a running
  // listener before a changed switch starts or stops it.
  bool ApplyPage() override;

  wxTextCtrl* GetPortText() const { return portText; }
  wxListCtrl* GetTrustedList() const { return trustedListCtrl; }
  wxListCtrl* GetHostList() const { return hostListCtrl; }
  wxCheckBox* GetReceiveCheck() const { return receiveCheck; }
  wxCheckBox* GetAutoSendCheck() const { return autoSendCheck; }

 private:
  void AddTrustedClientRow(const TrustedClient& client);
  void AddHostRow(const NetworkAddress& address);
  void SetTrustedClientRow(long row, const TrustedClient& client);
  void SetHostRow(long row, const NetworkAddress& address);

  void OnUpdateTrustedControls(wxUpdateUIEvent& event);
  void OnUpdateTrustedSelection(wxUpdateUIEvent& event);
  void OnAddTrustedClient(wxCommandEvent& event);
  void OnRemoveTrustedClient(wxCommandEvent& event);
  void OnEditTrustedClient(wxCommandEvent& event);
  void OnUpdateHostControls(wxUpdateUIEvent& event);
  void OnUpdateHostSelection(wxUpdateUIEvent& event);
  void OnAddHost(wxCommandEvent& event);
  void OnRemoveHost(wxCommandEvent& event);
  void OnEditHost(wxCommandEvent& event);

  wxTextCtrl* portText = nullptr;
  wxListCtrl* trustedListCtrl = nullptr;
  wxListCtrl* hostListCtrl = nullptr;
  wxCheckBox* receiveCheck = nullptr;
  wxCheckBox* autoSendCheck = nullptr;
  TrustedClientList trustedClients;            // row i is entry i
  std::vector<NetworkAddress> autoSendHosts;  // row i is entry i

  wxDECLARE_EVENT_TABLE();
};
