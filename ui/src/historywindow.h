#pragma once
// The record history as a notebook: one page per record list, in the
// history's order, the listening list's title in square brackets. A search
// list's page is a SearchWindow, every other list's a RecordListWindow. It
// follows the history's insertions, removals, renames and listening-list
// changes once started, and stores its selected tab under the option its
// owner names.
#include <wx/notebook.h>

#include "pq/history.h"

class RecordListWindow;

class HistoryWindow : public wxNotebook, public pq::HistoryObserver {
 public:
  HistoryWindow(pq::History* history, wxWindow* parent);
  // Leaves the history's observers when it was not unregistered before.
  ~HistoryWindow() override;

  // Builds a page per list, selects the tab stored under `optionId`
  // (clamped to the pages; none without pages) and starts following the
  // history.
  void Start(int optionId);
  // Stores the selected tab (0 without pages) under `optionId`.
  void SaveSelection(int optionId);
  // Stops following the history.
  void Unregister();
  pq::History* GetHistory() const { return history; }

  // The list window of a page (a search page's result window); null for an
  // index outside the pages.
  RecordListWindow* GetRecordListWindow(int page) const;
  RecordListWindow* GetCurrentRecordListWindow() const;
  // The tab title of a list: its name, in square brackets when it listens.
  static wxString GetPageTitle(const pq::RecordList& list, bool isMain);

  void OnRecordListInserted(pq::RecordList* list, unsigned index) override;
  void OnRecordListRemoved(pq::RecordList* list) override;
  void OnMainRecordListChanged(pq::RecordList* oldMain, pq::RecordList* newMain) override;
  void OnRecordListChanged(pq::RecordList* list) override;

 private:
  // Retitles the tab of `list` (nothing when it has none).
  void Retitle(const pq::RecordList* list, bool isMain);

  pq::History* history;
  bool registered = false;
};
