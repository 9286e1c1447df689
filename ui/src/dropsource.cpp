#include "dropsource.h"

#include <memory>
#include <optional>
#include <utility>

#include "pq/record.h"
#include "pq/tagid.h"

namespace {
std::optional<RecordDrag> g_drag;

DropSource::DragLoop& Loop() {
  static DropSource::DragLoop loop;
  return loop;
}

// The tag of `record` in `list`, as the clipboard carries it.
pq::PastiqTagItem TagItem(const pq::RecordPtr& record, pq::RecordList* list) {
  pq::PastiqTagItem item;
  item.SetIdentities(record.get(), list);
  return item;
}
}  // namespace

wxDataFormat RecordTagFormat() { return wxDataFormat("application/x-pastiq-tag"); }

const RecordDrag* CurrentRecordDrag() {
  if (!g_drag) return nullptr;
  // A list that went away mid-drag has forgotten its id.
  if (pq::tagid::Resolve(g_drag->tag.list) != g_drag->list) return nullptr;
  return &*g_drag;
}

ScopedRecordDrag::ScopedRecordDrag(const pq::RecordPtr& record, pq::RecordList* list) {
  RecordDrag drag;
  TagItem(record, list).GetTag(drag.tag);
  drag.record = record;
  drag.list = list;
  g_drag = drag;
}

ScopedRecordDrag::~ScopedRecordDrag() { g_drag.reset(); }

const pq::PastiqTagItem::Tag& ScopedRecordDrag::GetTag() const { return g_drag->tag; }

DropSource::DropSource(wxWindow* origin, const pq::RecordPtr& record, pq::RecordList* list)
    : wxDropSource(origin), record(record), list(list) {}

wxDragResult DropSource::DoDragDrop(int flags) {
  if (!record || !list) return wxDragNone;
  ScopedRecordDrag slot(record, list);
  const pq::PastiqTagItem tag = TagItem(record, list);
  data = std::make_unique<wxDataObjectComposite>();
  auto* tagData = new wxCustomDataObject(RecordTagFormat());
  tagData->SetData(tag.GetBlock().size(), tag.GetBlock().data());
  data->Add(tagData, true);
  data->Add(new wxTextDataObject(record->GetText()));
  SetData(*data);
  if (Loop()) return Loop()(*this, flags);
  return wxDropSource::DoDragDrop(flags);
}

DropSource::DragLoop DropSource::SetDragLoop(DragLoop loop) { return std::exchange(Loop(), std::move(loop)); }
