#include "trustedclientpropertydlg.h"

#include <wx/arrstr.h>
#include <wx/combobox.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "appconfig.h"
#include "cmn/strconv.h"
#include "inputcheck.h"
#include "pq/history.h"

wxBEGIN_EVENT_TABLE(TrustedClientPropertyDlg, wxDialog)
  EVT_BUTTON(wxID_OK, TrustedClientPropertyDlg::OnOK)
wxEND_EVENT_TABLE()

TrustedClientPropertyDlg::TrustedClientPropertyDlg(wxWindow* parent, TrustedClient* client,
                                                   const pq::History& history)
    : wxDialog(parent, wxID_ANY, "Trusted Client"), client(client) {
  wxArrayString lists;
  for (const pq::RecordList* list : history.GetLists())
    if (!pq::IsSearchList(list)) lists.Add(list->GetName());

  hostText = new wxTextCtrl(this, wxID_ANY, cmn::wx::ToWxString(client->host));
  userText = new wxTextCtrl(this, wxID_ANY, client->GetUser());
  // Read-only: a value that is no list's name (its list is gone) shows
  // nothing, and the user picks one of the lists there are.
  listCombo = new wxComboBox(this, wxID_ANY, client->GetList(), wxDefaultPosition, wxDefaultSize, lists,
                             wxCB_READONLY);
  hostText->SetInitialSize(wxSize(hostText->GetTextExtent(wxString('x', 32)).x, -1));

  // Label and field per row; the labels share one column so the fields line up.
  auto* rows = new wxFlexGridSizer(2, 0, 0);
  rows->AddGrowableCol(1);
  const struct {
    const char* label;
    wxWindow* field;
  } fields[] = {{"Host:", hostText}, {"User:", userText}, {"List:", listCombo}};
  for (const auto& row : fields) {
    rows->Add(new wxStaticText(this, wxID_ANY, row.label), 0, wxALIGN_CENTER_VERTICAL | wxALL, 5);
    rows->Add(row.field, 1, wxEXPAND | wxALL, 5);
  }
  auto* column = new wxBoxSizer(wxVERTICAL);
  column->Add(rows, 1, wxEXPAND);
  column->Add(CreateStdDialogButtonSizer(wxOK | wxCANCEL), 0, wxEXPAND | wxALL, 5);
  SetSizerAndFit(column);
}

void TrustedClientPropertyDlg::OnOK(wxCommandEvent&) {
  if (!PassChecks({
          {[&] { return hostText->GetValue().empty(); }, "Host can not be empty!", hostText},
          {[&] { return userText->GetValue().empty(); }, "User can not be empty!", userText},
          {[&] { return listCombo->GetValue().empty(); }, "List can not be empty!", listCombo},
      }))
    return;
  client->host = cmn::wx::ToStdString(hostText->GetValue());
  client->user = cmn::wx::ToStdString(userText->GetValue());
  client->list = cmn::wx::ToStdString(listCombo->GetValue());
  EndModal(wxID_OK);
}
