#pragma once
// Edits one record list's name, record limit and two switches. OK writes
// them into the list only when every check passed, and keeps the trusted
// clients that received into the list pointing at it under its new name.
#include <wx/dialog.h>

class wxCheckBox;
class wxCommandEvent;
class wxTextCtrl;
namespace pq {
class History;
class RecordList;
}  // namespace pq

class RecordListPropertyDlg : public wxDialog {
 public:
  // list: the list to edit, which need not be in history yet (a new one);
  // history: the lists whose names a new name must not repeat.
  RecordListPropertyDlg(wxWindow* parent, pq::RecordList* list, const pq::History& history);

  wxTextCtrl* GetNameText() const { return nameText; }
  wxTextCtrl* GetMaxText() const { return maxText; }
  wxCheckBox* GetDiscardCheck() const { return discardCheck; }
  wxCheckBox* GetMoveToFrontCheck() const { return moveToFrontCheck; }

 private:
  void OnOK(wxCommandEvent& event);
  // Writes the checked fields, trims a list over its new limit, renames the
  // trusted clients' list.
  void Apply(long maxRecords);

  pq::RecordList* list;
  const pq::History& history;
  wxTextCtrl* nameText = nullptr;
  wxTextCtrl* maxText = nullptr;
  wxCheckBox* discardCheck = nullptr;
  wxCheckBox* moveToFrontCheck = nullptr;

  wxDECLARE_EVENT_TABLE();
};
