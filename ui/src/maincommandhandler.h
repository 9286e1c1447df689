#pragma once
// The record commands on the list a history window shows: paste, copy,
// delete, multiple paste, paste all, multiple delete, delete all, move up,
// down and to another list, send to another computer, the record menu of a
// right click and the drag of a record. Pushed onto each window that shows
// records (the main frame, the floating list, the menu window), so the
// commands of its menus, tools and lists reach it first. It keeps no state:
// every command looks its targets up afresh, and one whose target is
// missing does nothing.
#include <wx/event.h>

#include "pq/recordlist.h"

class HistoryTabMenu;
class HistoryWindow;
class RecordListWindow;
class wxListEvent;
class wxUpdateUIEvent;

class MainCommandHandler : public wxEvtHandler {
 public:
  // historyWindow: the notebook whose current list the commands act on; not
  // owned.
  explicit MainCommandHandler(HistoryWindow* historyWindow);

  HistoryWindow* GetHistoryWindow() const { return historyWindow; }

 private:
  // The targets, looked up afresh (each null or empty when missing).
  RecordListWindow* CurrentWindow() const;
  pq::RecordList* CurrentList() const;
  pq::RecordPtr SelectedRecord() const;
  // The current list, unless it is a search list (whose records belong to
  // other lists).
  pq::RecordList* EditableList() const;

  void OnPasteAll(wxCommandEvent& event);
  void OnMultiplePaste(wxCommandEvent& event);
  void OnDeleteAll(wxCommandEvent& event);
  void OnMultipleDelete(wxCommandEvent& event);
  void OnMoveUp(wxCommandEvent& event);
  void OnMoveDown(wxCommandEvent& event);
  void OnUpdateMoveUp(wxUpdateUIEvent& event);
  void OnUpdateMoveDown(wxUpdateUIEvent& event);
  void OnRecordMenu(wxListEvent& event);
  void OnPaste(wxCommandEvent& event);
  void OnCopy(wxCommandEvent& event);
  void OnDelete(wxCommandEvent& event);
  void OnUpdateSelectedRow(wxUpdateUIEvent& event);
  void OnUpdateHasRows(wxUpdateUIEvent& event);
  void OnUpdateEditableList(wxUpdateUIEvent& event);
  void OnSendRecord(wxCommandEvent& event);
  void OnMoveToList(wxCommandEvent& event);
  void OnBeginDrag(wxListEvent& event);

  // Moves the selected record by `by` rows within its list (-1 up, +1 down).
  void Move(int by);
  // Whether the selected row can move by `by` rows.
  bool CanMove(int by) const;
  bool HasRows() const;

  HistoryWindow* historyWindow;

  wxDECLARE_EVENT_TABLE();
};

// What a window that shows records pushes: `tabMenu` (owned from here on)
// onto its history window, then a MainCommandHandler for that history
// window onto the window itself. The application pops both at exit.
void PushRecordCommands(wxWindow* window, HistoryWindow* historyWindow, HistoryTabMenu* tabMenu);
// For a window that goes without the application's shut-down: pops and
// deletes what PushRecordCommands pushed and is still there (the toolkit
// lets no window go with a handler pushed on it).
void PopLeftoverRecordCommands(wxWindow* window, HistoryWindow* historyWindow);
