#pragma once
// The log window: a virtual list over the Logger's entries. It holds only
// their count; every visible cell is read from the Logger when drawn.
#include <wx/dialog.h>
#include <wx/listctrl.h>

class Logger;

class LogListView : public wxListCtrl {
 public:
  LogListView(wxWindow* parent, Logger& logger);

  // The text of one cell: level, message or time; empty past the end.
  wxString CellText(long item, long column) const;

  // Takes the current entry count and repaints the whole list.
  void RefreshEntries();

 protected:
  wxString OnGetItemText(long item, long column) const override { return CellText(item, column); }

 private:
  Logger& logger;
};

class LogDlg : public wxDialog {
 public:
  explicit LogDlg(Logger& logger);

  void RefreshEntries() { list->RefreshEntries(); }
  LogListView* GetList() const { return list; }

 private:
  LogListView* list;
};

// The show-log command: unless a log window is open already, opens one over
// the program's log, modal through DlgMgr, and destroys it when it closes.
void ShowLogWindow();
