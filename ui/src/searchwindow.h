#pragma once
// The page of the search list: a text field and a "Match case" check box that
// edit the list's search criteria, over the record-list window that shows
// the hits. It follows the criteria when they change elsewhere (a loaded
// history), and leaves their observers when its list changes or it goes.
#include <wx/panel.h>

#include "pq/searchlist.h"

class RecordListWindow;
class wxCheckBox;
class wxTextCtrl;

class SearchWindow : public wxPanel, public SearchCriteriaObserver {
 public:
  static constexpr int ID_SEARCH_TEXT = 8999;
  static constexpr int ID_MATCH_CASE = 9001;

  explicit SearchWindow(wxWindow* parent);
  ~SearchWindow() override;

  // Shows `list` (or none); a search list's criteria fill the controls and
  // are followed from then on.
  void SetRecordList(pq::RecordList* list);
  RecordListWindow* GetResultWindow() const { return result; }
  wxTextCtrl* GetTextField() const { return text; }
  wxCheckBox* GetMatchCaseBox() const { return matchCase; }

  void OnSearchCriteriaChanged(SearchCriteria& criteria) override;

 private:
  // The criteria of the list the result window shows; null for none.
  SearchCriteria* Criteria() const;
  void OnText(wxCommandEvent& event);
  void OnMatchCase(wxCommandEvent& event);

  RecordListWindow* result;
  wxTextCtrl* text;
  wxCheckBox* matchCase;
  // The criteria this window observes.
  SearchCriteria* observed = nullptr;

  wxDECLARE_EVENT_TABLE();
};
