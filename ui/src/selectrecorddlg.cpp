#include "selectrecorddlg.h"

#include <wx/sizer.h>
#include <wx/stattext.h>

#include "recordlistwindow.h"

wxBEGIN_EVENT_TABLE(SelectRecordDlg, wxDialog)
  EVT_BUTTON(wxID_OK, SelectRecordDlg::OnOK)
  EVT_UPDATE_UI(wxID_OK, SelectRecordDlg::OnUpdateOK)
wxEND_EVENT_TABLE()

SelectRecordDlg::SelectRecordDlg(wxWindow* parent, pq::RecordList* list, const wxString& prompt)
    : wxDialog(parent, wxID_ANY, "Select Records", wxDefaultPosition, wxDefaultSize, wxDEFAULT_DIALOG_STYLE,
               "dialog"),
      list(list) {
  listWindow = new RecordListWindow(this, RecordListWindow::kMultipleSelection);
  listWindow->SetRecordList(list);
  auto* column = new wxBoxSizer(wxVERTICAL);
  auto* promptText = new wxStaticText(this, wxID_ANY, prompt);
  column->Add(promptText, 0, wxALL, 5);
  column->Add(listWindow, 1, wxEXPAND | wxALL, 5);
  column->Add(CreateStdDialogButtonSizer(wxOK | wxCANCEL), 0, wxEXPAND | wxALL, 5);
  SetSizer(column);
  SetSize(300, 500);
  // The caller's prompt may be longer than the narrow dialog is wide: it
  // takes as many lines as it needs rather than being cut off.
  promptText->Wrap(GetClientSize().x - 10);
  Layout();
  // GTK gives the focus to the default button, which starts disabled here
  // (no row yet): a dialog whose focus sits on a disabled button took no
  // keys or clicks at all. The list is where the user begins anyway.
  listWindow->SetFocus();
}

SelectRecordDlg::~SelectRecordDlg() { listWindow->SetRecordList(nullptr); }

void SelectRecordDlg::OnUpdateOK(wxUpdateUIEvent& event) { event.Enable(listWindow->GetSelectedRow() >= 0); }

void SelectRecordDlg::OnOK(wxCommandEvent&) {
  chosen.clear();
  for (long row : listWindow->GetSelectedRows())
    if (const pq::RecordPtr record = list ? list->GetRecord(static_cast<unsigned>(row)) : pq::RecordPtr())
      chosen.push_back(record);
  listWindow->SetRecordList(nullptr);
  EndModal(wxID_OK);
}
