#include "recordlistpropertydlg.h"

#include <algorithm>

#include <wx/checkbox.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "appconfig.h"
#include "cmn/strconv.h"
#include "inputcheck.h"
#include "pq/history.h"
#include "pq/recordlist.h"

wxBEGIN_EVENT_TABLE(RecordListPropertyDlg, wxDialog)
  EVT_BUTTON(wxID_OK, RecordListPropertyDlg::OnOK)
wxEND_EVENT_TABLE()

RecordListPropertyDlg::RecordListPropertyDlg(wxWindow* parent, pq::RecordList* list, const pq::History& history)
    : wxDialog(parent, wxID_ANY, "Record List Properties"), list(list), history(history) {
  // A small gap, so no label touches its field.
  auto* grid = new wxFlexGridSizer(2, 5, 5);
  grid->AddGrowableCol(1);
  nameText = new wxTextCtrl(this, wxID_ANY, list->GetName());
  maxText = new wxTextCtrl(this, wxID_ANY, wxString::Format("%u", list->GetMaxRecords()));
  grid->Add(new wxStaticText(this, wxID_ANY, "Name:"), 0, wxALIGN_CENTER_VERTICAL);
  grid->Add(nameText, 1, wxEXPAND);
  grid->Add(new wxStaticText(this, wxID_ANY, "Max record count:"), 0, wxALIGN_CENTER_VERTICAL);
  grid->Add(maxText, 1, wxEXPAND);

  discardCheck = new wxCheckBox(this, wxID_ANY, "Discard old records when max record count is reached.");
  discardCheck->SetValue(list->dropOldest);
  moveToFrontCheck = new wxCheckBox(this, wxID_ANY, "Move pasted record to the front of the list.");
  moveToFrontCheck->SetValue(list->moveToFront);

  auto* column = new wxBoxSizer(wxVERTICAL);
  column->Add(grid, 0, wxEXPAND | wxALL, 5);
  column->Add(discardCheck, 0, wxALL, 5);
  column->Add(moveToFrontCheck, 0, wxALL, 5);
  column->Add(CreateStdDialogButtonSizer(wxOK | wxCANCEL), 0, wxEXPAND | wxALL, 5);
  SetSizerAndFit(column);
  nameText->SetFocus();
}

void RecordListPropertyDlg::OnOK(wxCommandEvent&) {
  const wxString name = nameText->GetValue();
  long maxRecords = 0;
  const auto& lists = history.GetLists();
  const bool passed = PassChecks({
      {[&] { return name.empty(); }, "Name can not be empty!", nameText},
      {[&] {
         return std::any_of(lists.begin(), lists.end(),
                            [&](const pq::RecordList* other) { return other != list && other->GetName() == name; });
       },
       "The name of the record list is already in the record history!", nameText},
      {[&] { return !maxText->GetValue().ToLong(&maxRecords, 10); }, "Max record count is not valid!", maxText},
      {[&] { return maxRecords < 1 || maxRecords > 1000; }, "Max record count must be in 1 ~ 1000!", maxText},
  });
  if (!passed) return;
  Apply(maxRecords);
  EndModal(wxID_OK);
}

void RecordListPropertyDlg::Apply(long maxRecords) {
  const wxString oldName = list->GetName();
  const wxString newName = nameText->GetValue();
  list->name = cmn::wx::ToStdString(newName);
  list->maxRecords = static_cast<unsigned>(std::min<long>(maxRecords, pq::RecordList::kRecordLimit));
  list->dropOldest = discardCheck->GetValue();
  list->moveToFront = moveToFrontCheck->GetValue();

  // A list that drops its oldest records holds no more than its limit: what
  // a lower limit leaves over goes now, oldest first, the windows told of
  // each. (Left over, the surplus would never go: each addition drops one
  // and adds one.)
  if (list->dropOldest)
    while (list->GetCount() > list->GetMaxRecords()) list->RemoveRecordAt(list->GetCount() - 1);

  // The clients that received into the list follow its new name. A new list
  // had no name: clients whose list name is empty receive into no list and
  // stay so.
  AppConfig* config = FindAppConfig();
  if (oldName.empty() || !config) return;
  TrustedClientList clients;
  config->GetTrustedClients(clients);
  for (TrustedClient& client : clients)
    if (client.GetList() == oldName) client.list = list->name;
  config->SetTrustedClients(clients);
}
