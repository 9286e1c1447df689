#pragma once
// "Select Records": the user chooses records of one list, and the caller
// takes them after OK (the multiple delete does).
#include <vector>

#include <wx/dialog.h>

#include "pq/recordlist.h"

class RecordListWindow;
class wxUpdateUIEvent;

class SelectRecordDlg : public wxDialog {
 public:
  SelectRecordDlg(wxWindow* parent, pq::RecordList* list, const wxString& prompt);
  ~SelectRecordDlg() override;

  // The records chosen at OK, in the list's order however they were clicked.
  const std::vector<pq::RecordPtr>& GetChosenRecords() const { return chosen; }
  RecordListWindow* GetListWindow() const { return listWindow; }

 private:
  void OnOK(wxCommandEvent& event);
  void OnUpdateOK(wxUpdateUIEvent& event);

  std::vector<pq::RecordPtr> chosen;
  pq::RecordList* list;
  RecordListWindow* listWindow = nullptr;

  wxDECLARE_EVENT_TABLE();
};
