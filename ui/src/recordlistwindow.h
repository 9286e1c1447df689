#pragma once
// The view of one record list: a one-column virtual list, newest record
// first, each row the record's trimmed text with the icon of the application
// it came from. It follows its list through the list's observer calls, which
// only post notices: the view changes when a notice is handled on a later
// turn of the loop, never inside the list operation. It highlights the row
// under the mouse, pastes the selected record, sends wxEVT_COMMAND_LEFT_CLICK
// when the left button is released over a row, and takes drops of records
// dragged from record-list windows of this process.
//
// Rows are drawn by the toolkit's generic list, in its own child window
// (GetRowsWindow): the mouse reaches that window, and the hot and drop rows
// are shown by row attributes.
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <wx/dcmemory.h>
#include <wx/listctrl.h>

#include "pq/recordlist.h"

class RecordListWindow : public wxListCtrl, public pq::RecordListObserver {
 public:
  // A row shows at most this many characters of its record's text.
  static constexpr std::size_t kMaxRowChars = 260;
  // What pasting a record runs: the clipboard manager's paste, unless a test
  // put another in its place.
  using PasteFunction = std::function<bool(const pq::RecordPtr& record, pq::RecordList* list)>;

  // Selection styles: one row, no border (the notebooks' pages); or many
  // rows in a simple border (the dialogs that take several records).
  static constexpr long kSingleSelection = wxLC_SINGLE_SEL | wxBORDER_NONE;
  static constexpr long kMultipleSelection = wxBORDER_SIMPLE;

  explicit RecordListWindow(wxWindow* parent, long selectionStyle = kSingleSelection);
  ~RecordListWindow() override;

  // Binds `list` (or none) and returns the list bound before; binding the
  // bound list again changes nothing.
  pq::RecordList* SetRecordList(pq::RecordList* list);
  pq::RecordList* GetRecordList() const { return list; }

  // The first selected row, -1 for none.
  long GetSelectedRow() const;
  // Every selected row, in ascending order.
  std::vector<long> GetSelectedRows() const;
  // The bound list's record at the selected row; empty for none.
  pq::RecordPtr GetSelectedRecord() const;
  // Selects `row` alone and scrolls it into view.
  void SelectRow(long row);
  // Moves the selection one row up or down, wrapping at either end; with no
  // selection, selects the first row.
  void SelectAdjacent(bool up);
  // Hides `frameToHide` (when given), then pastes the selected record into
  // the paste target, moving it to the front first when its list says so.
  void PasteSelected(wxWindow* frameToHide = nullptr);

  // The row at a point of the rows window, -1 for none.
  long RowAt(const wxPoint& point) const;
  // The window the rows are drawn in, which the mouse and drops reach.
  wxWindow* GetRowsWindow() const { return GetTargetWindow(); }
  long GetHotRow() const { return hotRow; }
  long GetDropRow() const { return dropRow; }
  // The row shown as the drop position (-1: none).
  void SetDropRow(long row);

  // A row's text: `text` without leading and trailing white space (tab to
  // carriage return, and space), line breaks and tabs shown as spaces, cut
  // after kMaxRowChars characters (an ellipsis marks the cut). Reads only
  // what it shows, so a record of megabytes costs no more than a short one.
  static wxString RowText(const std::string& text);

  // Pastes `record` of `list` (none: a record of no list) into the paste
  // target: what every window that pastes records runs.
  static bool Paste(const pq::RecordPtr& record, pq::RecordList* list);
  static PasteFunction SetPasteFunction(PasteFunction paste);

  // pq::RecordListObserver: each posts a notice to this window.
  void OnRecordAdded(const pq::RecordPtr& record) override;
  void OnRecordRemoving(const pq::RecordPtr& record) override;
  void OnRecordMovedToFront(unsigned index) override;
  void OnRecordListCleared() override;
  void OnRecordListReset() override;

  // Keeps the one column as wide as the rows, so no horizontal scroll bar
  // shows.
  void OnInternalIdle() override;

 protected:
  wxString OnGetItemText(long item, long column) const override;
  int OnGetItemImage(long item) const override;
  wxItemAttr* OnGetItemAttr(long item) const override;

 private:
  void OnListChanged(wxCommandEvent& event);
  void OnListItem(wxCommandEvent& event);
  void OnSize(wxSizeEvent& event);
  void OnRowsMouse(wxMouseEvent& event);
  void OnRowsLeftUp(wxMouseEvent& event);
  void FitColumn();
  // Moves a marked row (the hot or the drop row) and redraws both rows.
  void MoveMark(long& mark, long row);
  void RefreshRow(long row);
  void SendLeftClick();
  // `text` cut to what the column can show, with an ellipsis where it was
  // cut. The control would shorten a row itself one character and one
  // measurement at a time, which costs dearly for long rows.
  wxString FitToColumn(const wxString& text) const;

  pq::RecordList* list = nullptr;
  long hotRow = -1;
  long dropRow = -1;
  // Measures row texts in the control's font.
  mutable wxBitmap measureBitmap;
  mutable std::unique_ptr<wxMemoryDC> measure;
  mutable wxItemAttr hotAttr;
  mutable wxItemAttr dropAttr;

  wxDECLARE_EVENT_TABLE();
};
