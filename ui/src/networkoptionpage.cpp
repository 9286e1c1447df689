#include "networkoptionpage.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/listctrl.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "cmn/port.h"
#include "hostnamedlg.h"
#include "inputcheck.h"
#include "options.h"
#include "pq/history.h"
#include "pq/mgr.h"
#include "trustedclientpropertydlg.h"

namespace {

const OptionPageTypeImpl<NetworkOptionPage> g_networkPageType(1, "Network");

// The port in text, or -1 when it is none.
int PortOf(const wxString& text) {
  int port = -1;
  return cmn::wx::ParsePort(text, &port) ? port : -1;
}

// The first selected row, or -1 when none is.
long SelectedRow(const wxListCtrl* list) {
  const long row = list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
  return row >= 0 && row < list->GetItemCount() ? row : -1;
}

// A report list in its box, with its "&Add", "&Remove" and "&Edit" beside it.
wxListCtrl* AddListBox(wxWindow* page, wxBoxSizer* sizer, const wxString& title, int listId, long rules,
                       int firstButtonId) {
  auto* box = new wxStaticBoxSizer(wxHORIZONTAL, page, title);
  wxStaticBox* parent = box->GetStaticBox();
  auto* list = new wxListCtrl(parent, listId, wxDefaultPosition, wxDefaultSize, wxLC_REPORT | rules);
  box->Add(list, 1, wxEXPAND | wxALL, 5);
  auto* buttons = new wxBoxSizer(wxVERTICAL);
  const char* labels[] = {"&Add", "&Remove", "&Edit"};
  for (int i = 0; i < 3; ++i) buttons->Add(new wxButton(parent, firstButtonId + i, labels[i]), 0, wxALL, 5);
  box->Add(buttons, 0, wxALL, 5);
  sizer->Add(box, 1, wxEXPAND | wxALL, 5);
  return list;
}

void AddColumns(wxListCtrl* list, std::initializer_list<const char*> headers) {
  int column = 0;
  for (const char* header : headers) list->InsertColumn(column++, header, wxLIST_FORMAT_LEFT);
}

// Sizes every column to fit both its rows and its header.
void FitColumns(wxListCtrl* list) {
  for (int column = 0; column < list->GetColumnCount(); ++column) list->SetColumnWidth(column, wxLIST_AUTOSIZE_USEHEADER);
}

// The lists the trusted-client dialog offers: the running program's history.
const pq::History& ListsOfTheProgram() {
  static const pq::History none;
  const pq::History* history = pq::Mgr::Get().GetHistory();
  return history ? *history : none;
}

}  // namespace

wxBEGIN_EVENT_TABLE(NetworkOptionPage, PanelOptionPageBase)
  EVT_UPDATE_UI(NetworkOptionPage::ID_TRUSTED_LIST, NetworkOptionPage::OnUpdateTrustedControls)
  EVT_UPDATE_UI(NetworkOptionPage::ID_TRUSTED_REMOVE, NetworkOptionPage::OnUpdateTrustedSelection)
  EVT_UPDATE_UI(NetworkOptionPage::ID_TRUSTED_EDIT, NetworkOptionPage::OnUpdateTrustedSelection)
  EVT_UPDATE_UI(NetworkOptionPage::ID_TRUSTED_ADD, NetworkOptionPage::OnUpdateTrustedControls)
  EVT_BUTTON(NetworkOptionPage::ID_TRUSTED_ADD, NetworkOptionPage::OnAddTrustedClient)
  EVT_BUTTON(NetworkOptionPage::ID_TRUSTED_REMOVE, NetworkOptionPage::OnRemoveTrustedClient)
  EVT_BUTTON(NetworkOptionPage::ID_TRUSTED_EDIT, NetworkOptionPage::OnEditTrustedClient)
  EVT_UPDATE_UI(NetworkOptionPage::ID_HOST_LIST, NetworkOptionPage::OnUpdateHostControls)
  EVT_UPDATE_UI(NetworkOptionPage::ID_HOST_REMOVE, NetworkOptionPage::OnUpdateHostSelection)
  EVT_UPDATE_UI(NetworkOptionPage::ID_HOST_EDIT, NetworkOptionPage::OnUpdateHostSelection)
  EVT_UPDATE_UI(NetworkOptionPage::ID_HOST_ADD, NetworkOptionPage::OnUpdateHostControls)
  EVT_BUTTON(NetworkOptionPage::ID_HOST_ADD, NetworkOptionPage::OnAddHost)
  EVT_BUTTON(NetworkOptionPage::ID_HOST_REMOVE, NetworkOptionPage::OnRemoveHost)
  EVT_BUTTON(NetworkOptionPage::ID_HOST_EDIT, NetworkOptionPage::OnEditHost)
wxEND_EVENT_TABLE()

bool NetworkOptionPage::CreateControls() {
  auto* page = new wxBoxSizer(wxVERTICAL);
  auto* portRow = new wxBoxSizer(wxHORIZONTAL);
  portRow->Add(new wxStaticText(this, wxID_ANY, "Receiver (server) port:"), 0, wxALIGN_CENTER_VERTICAL | wxALL, 5);
  portText = new wxTextCtrl(this, wxID_ANY, wxString::Format("%d", OptionValue<int>(OPT_RECEIVER_PORT, 0)));
  portRow->Add(portText, 0, wxALIGN_CENTER_VERTICAL | wxALL, 5);
  page->Add(portRow, 0, wxEXPAND | wxALL, 5);

  trustedListCtrl = AddListBox(this, page, "Trusted clients", ID_TRUSTED_LIST, wxLC_HRULES | wxLC_VRULES,
                               ID_TRUSTED_ADD);
  receiveCheck = new wxCheckBox(this, wxID_ANY, "Enable receive records from trusted clients");
  page->Add(receiveCheck, 0, wxALL, 5);
  hostListCtrl = AddListBox(this, page, "Auto send records to the following hosts", ID_HOST_LIST, 0, ID_HOST_ADD);
  autoSendCheck = new wxCheckBox(this, wxID_ANY, "Enable automatically send records to clients");
  page->Add(autoSendCheck, 0, wxALL, 5);
  SetSizerAndFit(page);

  AddColumns(trustedListCtrl, {"Host", "User", "List"});
  TrustedClientList clients;
  GetAppConfig().GetTrustedClients(clients);  // under the record's lock
  for (std::size_t i = 0; i < clients.size(); ++i)
    if (const TrustedClient* client = clients.GetAt(i)) {
      trustedClients.push_back(*client);
      AddTrustedClientRow(*client);
    }
  FitColumns(trustedListCtrl);
  receiveCheck->SetValue(OptionValue<bool>(OPT_RECEIVE_ENABLED, false));

  AddColumns(hostListCtrl, {"Host", "Port"});
  for (const NetworkAddress& address : GetAppConfig().autoSendHosts) {
    autoSendHosts.push_back(address);
    AddHostRow(address);
  }
  FitColumns(hostListCtrl);
  autoSendCheck->SetValue(OptionValue<bool>(OPT_AUTO_SEND, false));

  portText->SetFocus();
  return true;
}

void NetworkOptionPage::AddTrustedClientRow(const TrustedClient& client) {
  SetTrustedClientRow(trustedListCtrl->InsertItem(trustedListCtrl->GetItemCount(), wxEmptyString), client);
}

void NetworkOptionPage::SetTrustedClientRow(long row, const TrustedClient& client) {
  trustedListCtrl->SetItem(row, 0, client.GetHost());
  trustedListCtrl->SetItem(row, 1, client.GetUser());
  trustedListCtrl->SetItem(row, 2, client.GetList());
}

void NetworkOptionPage::AddHostRow(const NetworkAddress& address) {
  SetHostRow(hostListCtrl->InsertItem(hostListCtrl->GetItemCount(), wxEmptyString), address);
}

void NetworkOptionPage::SetHostRow(long row, const NetworkAddress& address) {
  hostListCtrl->SetItem(row, 0, address.GetHost());
  hostListCtrl->SetItem(row, 1, wxString::Format("%d", address.port));
}

bool NetworkOptionPage::ValidatePage() {
  return PassChecks({{[&] { return PortOf(portText->GetValue()) < 0; }, "The port is not valid!", portText}});
}

bool NetworkOptionPage::ApplyPage() {
  if (!ValidatePage()) return false;
  const int port = PortOf(portText->GetValue());
  if (port >= 0) SetOption(OPT_RECEIVER_PORT, static_cast<unsigned long>(port));
  GetAppConfig().SetTrustedClients(trustedClients);
  SetOption(OPT_RECEIVE_ENABLED, receiveCheck->GetValue());
  GetAppConfig().autoSendHosts = autoSendHosts;
  SetOption(OPT_AUTO_SEND, autoSendCheck->GetValue());
  return true;
}

void NetworkOptionPage::OnUpdateTrustedControls(wxUpdateUIEvent& event) { event.Enable(receiveCheck->GetValue()); }

void NetworkOptionPage::OnUpdateTrustedSelection(wxUpdateUIEvent& event) {
  event.Enable(receiveCheck->GetValue() && SelectedRow(trustedListCtrl) >= 0);
}

void NetworkOptionPage::OnAddTrustedClient(wxCommandEvent&) {
  TrustedClient client;
  TrustedClientPropertyDlg dialog(this, &client, ListsOfTheProgram());
  if (dialog.ShowModal() != wxID_OK) return;
  trustedClients.push_back(client);
  AddTrustedClientRow(client);
}

void NetworkOptionPage::OnRemoveTrustedClient(wxCommandEvent&) {
  const long row = SelectedRow(trustedListCtrl);
  if (row < 0) return;
  if (static_cast<std::size_t>(row) < trustedClients.size()) trustedClients.erase(trustedClients.begin() + row);
  trustedListCtrl->DeleteItem(row);
}

void NetworkOptionPage::OnEditTrustedClient(wxCommandEvent&) {
  const long row = SelectedRow(trustedListCtrl);
  TrustedClient* client = row < 0 ? nullptr : trustedClients.GetAt(row);
  if (!client) return;
  // The dialog writes the entry itself, and only on OK.
  TrustedClientPropertyDlg dialog(this, client, ListsOfTheProgram());
  if (dialog.ShowModal() == wxID_OK) SetTrustedClientRow(row, *client);
}

void NetworkOptionPage::OnUpdateHostControls(wxUpdateUIEvent& event) { event.Enable(autoSendCheck->GetValue()); }

void NetworkOptionPage::OnUpdateHostSelection(wxUpdateUIEvent& event) {
  event.Enable(autoSendCheck->GetValue() && SelectedRow(hostListCtrl) >= 0);
}

void NetworkOptionPage::OnAddHost(wxCommandEvent&) {
  HostnameDlg dialog(this, wxEmptyString, kDefaultHostPort);
  if (dialog.ShowModal() != wxID_OK) return;
  autoSendHosts.push_back(dialog.GetAddress());
  AddHostRow(autoSendHosts.back());
}

void NetworkOptionPage::OnRemoveHost(wxCommandEvent&) {
  const long row = SelectedRow(hostListCtrl);
  if (row < 0 || static_cast<std::size_t>(row) >= autoSendHosts.size()) return;
  autoSendHosts.erase(autoSendHosts.begin() + row);
  hostListCtrl->DeleteItem(row);
}

void NetworkOptionPage::OnEditHost(wxCommandEvent&) {
  const long row = SelectedRow(hostListCtrl);
  if (row < 0 || static_cast<std::size_t>(row) >= autoSendHosts.size()) return;
  NetworkAddress& address = autoSendHosts[row];
  HostnameDlg dialog(this, address.GetHost(), address.port);
  if (dialog.ShowModal() != wxID_OK) return;
  address = dialog.GetAddress();
  SetHostRow(row, address);
}
