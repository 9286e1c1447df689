#include "searchwindow.h"

#include <wx/checkbox.h>
#include <wx/sizer.h>
#include <wx/textctrl.h>

#include "pq/history.h"
#include "recordlistwindow.h"

wxBEGIN_EVENT_TABLE(SearchWindow, wxPanel)
  EVT_TEXT(SearchWindow::ID_SEARCH_TEXT, SearchWindow::OnText)
  EVT_CHECKBOX(SearchWindow::ID_MATCH_CASE, SearchWindow::OnMatchCase)
wxEND_EVENT_TABLE()

SearchWindow::SearchWindow(wxWindow* parent)
    : wxPanel(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL | wxNO_BORDER) {
  // Made in the order of the layout, which is the order of the Tab key.
  text = new wxTextCtrl(this, ID_SEARCH_TEXT, wxEmptyString, wxDefaultPosition, wxDefaultSize, 0);
  matchCase = new wxCheckBox(this, ID_MATCH_CASE, _("Match case"));
  result = new RecordListWindow(this);
  auto* sizer = new wxBoxSizer(wxVERTICAL);
  sizer->Add(text, 0, wxEXPAND | wxALL, 2);
  sizer->Add(matchCase, 0, wxEXPAND | wxALL, 2);
  sizer->Add(result, 1, wxEXPAND | wxALL, 2);
  SetSizer(sizer);
}

SearchWindow::~SearchWindow() {
  if (observed) observed->RemoveObserver(this);
}

void SearchWindow::SetRecordList(pq::RecordList* list) {
  SearchCriteria* criteria = list ? pq::GetSearchCriteria(list) : nullptr;
  if (criteria != observed) {
    if (observed) observed->RemoveObserver(this);
    observed = criteria;
    if (observed) {
      OnSearchCriteriaChanged(*observed);
      observed->AddObserver(this);
    }
  }
  result->SetRecordList(list);
}

void SearchWindow::OnSearchCriteriaChanged(SearchCriteria& criteria) {
  // Only a change: putting the same text back would move the caret.
  const wxString value = criteria.GetText();
  if (text->GetValue() != value) text->ChangeValue(value);
  matchCase->SetValue(criteria.matchCase);
}

SearchCriteria* SearchWindow::Criteria() const {
  pq::RecordList* list = result->GetRecordList();
  return list ? pq::GetSearchCriteria(list) : nullptr;
}

void SearchWindow::OnText(wxCommandEvent& event) {
  if (SearchCriteria* criteria = Criteria()) criteria->SetText(event.GetString());
}

void SearchWindow::OnMatchCase(wxCommandEvent& event) {
  SearchCriteria* criteria = Criteria();
  const bool checked = event.IsChecked();
  if (!criteria || checked == criteria->matchCase) return;
  criteria->matchCase = checked;
  criteria->NotifyObservers();
}
