#include "recordlistdroptarget.h"

#include "pq/history.h"
#include "recordlistwindow.h"

namespace {
bool SameTag(const pq::PastiqTagItem::Tag& a, const pq::PastiqTagItem::Tag& b) {
  return a.record == b.record && a.list == b.list && a.process == b.process;
}
}  // namespace

RecordListWindowDropTarget::RecordListWindowDropTarget(RecordListWindow* window)
    : window(window), tagData(new wxCustomDataObject(RecordTagFormat())) {
  SetDataObject(tagData);
}

bool RecordListWindowDropTarget::Accepts(const RecordDrag* drag) const {
  const pq::RecordList* target = window->GetRecordList();
  if (!drag || !target || !drag->record || !pq::PastiqTagItem::IsOwnAndComplete(drag->tag)) return false;
  return drag->list == target || (!pq::IsSearchList(drag->list) && !pq::IsSearchList(target));
}

wxDragResult RecordListWindowDropTarget::OnEnter(wxCoord x, wxCoord y, wxDragResult) {
  accepted = Accepts(CurrentRecordDrag());
  if (!accepted) return wxDragNone;
  Highlight(wxPoint(x, y));
  return wxDragMove;
}

wxDragResult RecordListWindowDropTarget::OnDragOver(wxCoord x, wxCoord y, wxDragResult) {
  if (!accepted || !Accepts(CurrentRecordDrag())) return wxDragNone;
  Highlight(wxPoint(x, y));
  return wxDragMove;
}

void RecordListWindowDropTarget::OnLeave() {
  window->SetDropRow(-1);
  accepted = false;
}

bool RecordListWindowDropTarget::OnDrop(wxCoord, wxCoord) {
  window->SetDropRow(-1);
  return accepted && Accepts(CurrentRecordDrag());
}

wxDragResult RecordListWindowDropTarget::OnData(wxCoord x, wxCoord y, wxDragResult) {
  pq::PastiqTagItem::Tag tag;
  const bool read = GetData() && pq::PastiqTagItem::Decode(tagData->GetData(), tagData->GetSize(), tag);
  return DropAt(wxPoint(x, y), read ? &tag : nullptr) ? wxDragMove : wxDragNone;
}

bool RecordListWindowDropTarget::DropAt(const wxPoint& point, const pq::PastiqTagItem::Tag* dataTag) {
  window->SetDropRow(-1);
  accepted = false;
  const RecordDrag* drag = CurrentRecordDrag();
  if (!Accepts(drag) || (dataTag && !SameTag(*dataTag, drag->tag))) return false;
  pq::RecordList* target = window->GetRecordList();
  unsigned at = 0;
  const long row = window->RowAt(point);
  if (row >= 0) {
    at = static_cast<unsigned>(row);
  } else if (wxRect(window->GetRowsWindow()->GetClientSize()).Contains(point)) {
    at = target->GetCount();
  } else {
    return true;  // beside the rows: nothing moves
  }
  const int from = drag->list->IndexOf(drag->record.get());
  if (from < 0) return true;  // it left its list meanwhile
  if (drag->list == target) {
    target->MoveRecord(static_cast<unsigned>(from), at);
    return true;
  }
  const pq::RecordPtr record = drag->record;
  pq::RecordList* source = drag->list;
  target->InsertRecord(record, at);
  if (target->IndexOf(record.get()) >= 0) source->RemoveRecord(record);
  return true;
}

void RecordListWindowDropTarget::Highlight(const wxPoint& point) { window->SetDropRow(window->RowAt(point)); }
