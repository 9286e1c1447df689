#include "recordlistwindow.h"

#include <wx/settings.h>

#include "appnotify.h"
#include "platform/process.h"
#include "pq/mgr.h"
#include "pq/record.h"
#include "recordlistdroptarget.h"
#include "sourceicons.h"

namespace {

RecordListWindow::PasteFunction& PasteFn() {
  static RecordListWindow::PasteFunction paste;
  return paste;
}

bool IsListSpace(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The length in bytes of the UTF-8 sequence that starts with `lead`.
std::size_t SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if ((lead & 0xE0) == 0xC0) return 2;
  if ((lead & 0xF0) == 0xE0) return 3;
  if ((lead & 0xF8) == 0xF0) return 4;
  return 1;  // a stray byte counts as one character
}

// `share` of `over` laid on `base`.
wxColour Blend(const wxColour& base, const wxColour& over, double share) {
  auto mix = [share](unsigned char a, unsigned char b) {
    return static_cast<unsigned char>(a + (b - a) * share + 0.5);
  };
  return wxColour(mix(base.Red(), over.Red()), mix(base.Green(), over.Green()), mix(base.Blue(), over.Blue()));
}

// The previous application gets the focus back while we wait.
constexpr DWORD kHideDelayMs = 20;

}  // namespace

wxBEGIN_EVENT_TABLE(RecordListWindow, wxListCtrl)
  EVT_APP_NOTICE(ID_NOTIFY_LIST_CHANGED, RecordListWindow::OnListChanged)
  EVT_APP_NOTICE(ID_NOTIFY_LIST_ITEM, RecordListWindow::OnListItem)
  EVT_SIZE(RecordListWindow::OnSize)
wxEND_EVENT_TABLE()

RecordListWindow::RecordListWindow(wxWindow* parent, long selectionStyle)
    : wxListCtrl(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                 wxLC_REPORT | wxLC_NO_HEADER | wxLC_VIRTUAL | selectionStyle, wxDefaultValidator, "listCtrl") {
  const wxColour face = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE);
  SetBackgroundColour(face);
  AppendColumn(_("Records"));
  SetImageList(SourceIcons::Get().GetImageList(), wxIMAGE_LIST_SMALL);
  SourceIcons::Get().AddWindow(this);

  // The hot row is tinted with a little of the selection colour; the drop
  // row is marked in the selection colours, so it reads as where the record
  // will land.
  const wxColour highlight = wxSystemSettings::GetColour(wxSYS_COLOUR_HIGHLIGHT);
  hotAttr.SetBackgroundColour(Blend(face, highlight, 0.25));
  dropAttr.SetBackgroundColour(highlight);
  dropAttr.SetTextColour(wxSystemSettings::GetColour(wxSYS_COLOUR_HIGHLIGHTTEXT));

  // The rows window, not the control, gets the mouse; the handlers skip, so
  // the control's own handling goes on.
  wxWindow* rows = GetRowsWindow();
  rows->Bind(wxEVT_MOTION, &RecordListWindow::OnRowsMouse, this);
  rows->Bind(wxEVT_ENTER_WINDOW, &RecordListWindow::OnRowsMouse, this);
  rows->Bind(wxEVT_LEAVE_WINDOW, &RecordListWindow::OnRowsMouse, this);
  rows->Bind(wxEVT_LEFT_UP, &RecordListWindow::OnRowsLeftUp, this);
  SetDropTarget(new RecordListWindowDropTarget(this));
}

RecordListWindow::~RecordListWindow() {
  SourceIcons::Get().RemoveWindow(this);
  if (list) list->RemoveObserver(this);
}

pq::RecordList* RecordListWindow::SetRecordList(pq::RecordList* newList) {
  pq::RecordList* old = list;
  if (newList == old) return old;
  list = newList;
  if (old) old->RemoveObserver(this);
  if (list) list->AddObserver(this);
  SetItemCount(list ? static_cast<long>(list->GetCount()) : 0);
  Refresh();
  return old;
}

long RecordListWindow::GetSelectedRow() const { return GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED); }

std::vector<long> RecordListWindow::GetSelectedRows() const {
  std::vector<long> rows;
  for (long row = GetSelectedRow(); row >= 0; row = GetNextItem(row, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED))
    rows.push_back(row);
  return rows;
}

pq::RecordPtr RecordListWindow::GetSelectedRecord() const {
  const long row = GetSelectedRow();
  if (!list || row < 0) return pq::RecordPtr();
  return list->GetRecord(static_cast<unsigned>(row));
}

void RecordListWindow::SelectRow(long row) {
  if (row < 0 || row >= GetItemCount()) return;
  SetItemState(row, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
  EnsureVisible(row);
}

void RecordListWindow::SelectAdjacent(bool up) {
  if (!list) return;
  const long count = static_cast<long>(list->GetCount());
  if (count == 0) return;
  const long selected = GetSelectedRow();
  long row = selected < 0 ? 0 : selected + (up ? -1 : 1);
  if (row < 0) row = count - 1;
  if (row >= count) row = 0;
  SelectRow(row);
}

void RecordListWindow::PasteSelected(wxWindow* frameToHide) {
  if (frameToHide) {
    frameToHide->Hide();
    ::Sleep(kHideDelayMs);
  }
  const long row = GetSelectedRow();
  if (!list || row < 0) return;
  const pq::RecordPtr record = list->GetRecord(static_cast<unsigned>(row));
  if (!record) return;
  if (list->moveToFront) list->MoveRecordToFront(static_cast<unsigned>(row));
  Paste(record, list);
}

bool RecordListWindow::Paste(const pq::RecordPtr& record, pq::RecordList* list) {
  if (PasteFn()) return PasteFn()(record, list);
  return pq::Mgr::Get().PasteRecord(record, list);
}

RecordListWindow::PasteFunction RecordListWindow::SetPasteFunction(PasteFunction paste) {
  PasteFunction previous = std::move(PasteFn());
  PasteFn() = std::move(paste);
  return previous;
}

long RecordListWindow::RowAt(const wxPoint& point) const {
  int flags = 0;
  const long row = HitTest(point, flags);
  if (row < 0 || row >= GetItemCount() || !(flags & (wxLIST_HITTEST_ONITEM | wxLIST_HITTEST_ONITEMRIGHT))) return -1;
  return row;
}

void RecordListWindow::SetDropRow(long row) { MoveMark(dropRow, row); }

wxString RecordListWindow::RowText(const std::string& text) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && IsListSpace(text[begin])) ++begin;
  while (end > begin && IsListSpace(text[end - 1])) --end;
  std::string shown;
  std::size_t chars = 0, at = begin;
  for (; at < end && chars < kMaxRowChars; ++chars) {
    const unsigned char c = text[at];
    if (IsListSpace(c)) {
      // A CR LF pair is one line break.
      if (c == '\r' && at + 1 < end && text[at + 1] == '\n') ++at;
      shown += ' ';
      ++at;
      continue;
    }
    const std::size_t length = std::min(SequenceLength(c), end - at);
    shown.append(text, at, length);
    at += length;
  }
  wxString row = wxString::FromUTF8(shown);
  // Bytes that are not UTF-8 still show, as their Latin-1 reading.
  if (row.empty() && !shown.empty()) row = wxString::From8BitData(shown.data(), shown.size());
  if (at < end) row += wxString::FromUTF8("\xE2\x80\xA6");
  return row;
}

wxString RecordListWindow::OnGetItemText(long item, long column) const {
  if (column != 0 || !list || item < 0) return wxString();
  const pq::RecordPtr record = list->GetRecord(static_cast<unsigned>(item));
  return record ? FitToColumn(RowText(record->text)) : wxString();
}

wxString RecordListWindow::FitToColumn(const wxString& text) const {
  // The row's icon and the control's margins take this much of the column.
  constexpr int kRowChrome = 16 + 16;
  const int available = GetColumnWidth(0) - kRowChrome;
  if (text.empty() || available <= 0) return text;
  if (!measure) {
    measureBitmap.Create(1, 1);
    measure = std::make_unique<wxMemoryDC>(measureBitmap);
  }
  measure->SetFont(GetFont());
  wxArrayInt widths;
  if (!measure->GetPartialTextExtents(text, widths) || widths.empty()) return text;
  if (widths.Last() <= available) return text;
  const wxString ellipsis = wxString::FromUTF8("\xE2\x80\xA6");
  const int room = available - measure->GetTextExtent(ellipsis).x;
  std::size_t fit = 0;
  while (fit < widths.size() && widths[fit] <= room) ++fit;
  return text.Left(fit) + ellipsis;
}

int RecordListWindow::OnGetItemImage(long item) const {
  if (!list || item < 0) return -1;
  const pq::RecordPtr record = list->GetRecord(static_cast<unsigned>(item));
  if (!record) return -1;
  return SourceIcons::Get().GetIconIndex(record->GetApplication());
}

wxItemAttr* RecordListWindow::OnGetItemAttr(long item) const {
  if (item >= 0 && item == dropRow) return &dropAttr;
  if (item >= 0 && item == hotRow) return &hotAttr;
  return nullptr;
}

void RecordListWindow::OnRecordAdded(const pq::RecordPtr&) { PostNotifyEvent(this, ID_NOTIFY_LIST_CHANGED); }
void RecordListWindow::OnRecordRemoving(const pq::RecordPtr&) { PostNotifyEvent(this, ID_NOTIFY_LIST_CHANGED); }
void RecordListWindow::OnRecordMovedToFront(unsigned index) {
  PostNotifyEvent(this, ID_NOTIFY_LIST_ITEM, static_cast<int>(index));
}
void RecordListWindow::OnRecordListCleared() { PostNotifyEvent(this, ID_NOTIFY_LIST_CHANGED); }
void RecordListWindow::OnRecordListReset() { PostNotifyEvent(this, ID_NOTIFY_LIST_CHANGED); }

void RecordListWindow::OnListChanged(wxCommandEvent&) {
  SetItemCount(list ? static_cast<long>(list->GetCount()) : 0);
  if (list) Refresh();
}

void RecordListWindow::OnListItem(wxCommandEvent& event) {
  const long index = event.GetInt();
  const long selected = GetSelectedRow();
  if (selected == index) {
    SelectRow(0);
  } else if (selected < index) {
    SelectRow(selected + 1);
  }
  Refresh();
}

void RecordListWindow::OnSize(wxSizeEvent& event) {
  event.Skip();
  FitColumn();
}

void RecordListWindow::OnInternalIdle() {
  wxListCtrl::OnInternalIdle();
  // The control lays its rows out when idle, and a vertical scroll bar that
  // comes or goes then changes the width without a size event.
  FitColumn();
}

void RecordListWindow::FitColumn() {
  // The control's own client width: the rows window also spans the part
  // under the vertical scroll bar.
  const int width = GetClientSize().x;
  if (width > 0 && GetColumnWidth(0) != width) SetColumnWidth(0, width);
}

void RecordListWindow::OnRowsMouse(wxMouseEvent& event) {
  event.Skip();
  MoveMark(hotRow, event.GetEventType() == wxEVT_LEAVE_WINDOW ? -1 : RowAt(event.GetPosition()));
}

void RecordListWindow::OnRowsLeftUp(wxMouseEvent& event) {
  event.Skip();
  // After the control has handled the release (and the press before it).
  if (RowAt(event.GetPosition()) >= 0) CallAfter(&RecordListWindow::SendLeftClick);
}

void RecordListWindow::SendLeftClick() {
  wxCommandEvent click(wxEVT_COMMAND_LEFT_CLICK, GetId());
  click.SetEventObject(this);
  ProcessWindowEvent(click);
}

void RecordListWindow::MoveMark(long& mark, long row) {
  if (row == mark) return;
  const long old = mark;
  mark = row;
  RefreshRow(old);
  RefreshRow(row);
}

void RecordListWindow::RefreshRow(long row) {
  if (row >= 0 && row < GetItemCount()) RefreshItem(row);
}
