#include "historywindow.h"

#include <algorithm>

#include <wx/control.h>

#include "options.h"
#include "recordlistwindow.h"
#include "searchwindow.h"

HistoryWindow::HistoryWindow(pq::History* history, wxWindow* parent)
    : wxNotebook(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxBORDER_NONE, "notebook"),
      history(history) {}

HistoryWindow::~HistoryWindow() { Unregister(); }

void HistoryWindow::Start(int optionId) {
  if (!history) return;
  const std::vector<pq::RecordList*>& lists = history->GetLists();
  for (std::size_t i = 0; i < lists.size(); ++i) OnRecordListInserted(lists[i], static_cast<unsigned>(i));
  const int pages = static_cast<int>(GetPageCount());
  if (pages > 0) SetSelection(std::clamp(OptionValue<int>(optionId, 0), 0, pages - 1));
  if (!registered) {
    history->AddObserver(this);
    registered = true;
  }
}

void HistoryWindow::SaveSelection(int optionId) { SetOption<int>(optionId, std::max(GetSelection(), 0)); }

void HistoryWindow::Unregister() {
  if (history && registered) history->RemoveObserver(this);
  registered = false;
  history = nullptr;
}

RecordListWindow* HistoryWindow::GetRecordListWindow(int page) const {
  if (page < 0 || page >= static_cast<int>(GetPageCount())) return nullptr;
  wxWindow* window = GetPage(static_cast<std::size_t>(page));
  if (auto* search = dynamic_cast<SearchWindow*>(window)) return search->GetResultWindow();
  return dynamic_cast<RecordListWindow*>(window);
}

RecordListWindow* HistoryWindow::GetCurrentRecordListWindow() const { return GetRecordListWindow(GetSelection()); }

wxString HistoryWindow::GetPageTitle(const pq::RecordList& list, bool isMain) {
  const wxString name = list.GetName();
  return isMain ? "[" + name + "]" : name;
}

void HistoryWindow::OnRecordListInserted(pq::RecordList* list, unsigned index) {
  if (!list) return;
  const bool isMain = history && list == history->GetMainList();
  const std::size_t at = std::min<std::size_t>(index, GetPageCount());
  wxWindow* page;
  if (pq::IsSearchList(list)) {
    auto* search = new SearchWindow(this);
    search->SetRecordList(list);
    page = search;
  } else {
    auto* records = new RecordListWindow(this);
    records->SetRecordList(list);
    page = records;
  }
  // An '&' shows as it stands: the toolkit reads a new page's title for
  // mnemonics (so it is escaped here), a changed title not (Retitle).
  InsertPage(at, page, wxControl::EscapeMnemonics(GetPageTitle(*list, isMain)), false);
}

void HistoryWindow::OnRecordListRemoved(pq::RecordList* list) {
  if (!history) return;
  const int index = history->IndexOf(list);
  if (index < 0 || index >= static_cast<int>(GetPageCount())) return;
  // Unbound first: no notice of the list reaches the window as it goes.
  wxWindow* page = GetPage(static_cast<std::size_t>(index));
  if (auto* search = dynamic_cast<SearchWindow*>(page)) {
    search->SetRecordList(nullptr);
  } else if (auto* records = dynamic_cast<RecordListWindow*>(page)) {
    records->SetRecordList(nullptr);
  }
  DeletePage(static_cast<std::size_t>(index));
}

void HistoryWindow::OnMainRecordListChanged(pq::RecordList* oldMain, pq::RecordList* newMain) {
  Retitle(oldMain, false);
  Retitle(newMain, true);
}

void HistoryWindow::OnRecordListChanged(pq::RecordList* list) {
  Retitle(list, history && list == history->GetMainList());
}

void HistoryWindow::Retitle(const pq::RecordList* list, bool isMain) {
  if (!history || !list) return;
  const int index = history->IndexOf(list);
  if (index < 0 || index >= static_cast<int>(GetPageCount())) return;
  SetPageText(static_cast<std::size_t>(index), GetPageTitle(*list, isMain));
}
