#pragma once
// The tab menu of a notebook of record lists: a right click on a tab selects
// it and pops up the commands on that list (listen to the clipboard, insert
// a list before or after it, remove it, its properties, save it to a file,
// load records from one, send it to another computer). Pushed onto a
// HistoryWindow; the whole-list record commands the menu also offers travel
// on to the window's MainCommandHandler.
#include <memory>

#include <wx/event.h>
#include <wx/string.h>

class HistoryWindow;
class wxMenu;
class wxMouseEvent;
namespace pq {
class History;
class RecordList;
}  // namespace pq

class HistoryTabMenu : public wxEvtHandler {
 public:
  // The files the tab menu saves and loads.
  static constexpr const char* kFileExtension = "pqs";
  static constexpr const char* kFileWildcard = "Clipboard Record List Files (*.pqs)|*.pqs";

  // historyWindow: the notebook it serves; not owned.
  explicit HistoryTabMenu(HistoryWindow* historyWindow);

  HistoryWindow* GetHistoryWindow() const { return historyWindow; }
  // The right-clicked tab while its menu is open, else -1.
  int GetClickedTab() const { return clickedTab; }

 protected:
  // The menu for the clicked tab (the caller owns it). The menu window's
  // tab menu builds another.
  virtual std::unique_ptr<wxMenu> BuildMenu();
  // The list of the clicked tab; null while no menu is open.
  pq::RecordList* ClickedList() const;
  pq::History* GetHistory() const;

 private:
  void OnRightUp(wxMouseEvent& event);
  void OnListCommand(wxCommandEvent& event);
  void OnSendList(wxCommandEvent& event);

  void InsertList(unsigned index);
  void EditProperties(pq::RecordList* list);
  // A record-list file picked by the user; empty when cancelled.
  wxString PickListFile(const wxString& message, int flags) const;
  void Save(const pq::RecordList& list);
  void Load(pq::RecordList& list);

  HistoryWindow* historyWindow;
  int clickedTab = -1;

  wxDECLARE_EVENT_TABLE();
};
