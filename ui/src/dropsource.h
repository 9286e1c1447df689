#pragma once
// Dragging a record out of a record-list window. The dragged data carries the
// record's text (for other applications) and the clipboard tag naming the
// record, its list and this process. While the drag runs, this process also
// holds it in one drag slot: a record-list window takes a drop only when the
// slot holds the drag and the data's tag names the same, so records move
// only between the lists of this process and never through raw pointers.
#include <functional>
#include <memory>

#include <wx/dataobj.h>
#include <wx/dnd.h>

#include "pq/item.h"
#include "pq/recordlist.h"

// The tag's format in drags: the MIME type the clipboard uses for it.
wxDataFormat RecordTagFormat();

// A drag of this process: the tag and what it names.
struct RecordDrag {
  pq::PastiqTagItem::Tag tag;
  pq::RecordPtr record;
  pq::RecordList* list = nullptr;
};

// The drag this process runs now; null when there is none or its list has
// gone since it started.
const RecordDrag* CurrentRecordDrag();

// Holds a drag in the slot for its lifetime (one at a time).
class ScopedRecordDrag {
 public:
  ScopedRecordDrag(const pq::RecordPtr& record, pq::RecordList* list);
  ~ScopedRecordDrag();
  ScopedRecordDrag(const ScopedRecordDrag&) = delete;
  ScopedRecordDrag& operator=(const ScopedRecordDrag&) = delete;
  const pq::PastiqTagItem::Tag& GetTag() const;
};

// The drag source of a record: DoDragDrop runs the toolkit's drag loop,
// copy or move allowed, with the record in the drag slot meanwhile. A move
// inside the program is carried out by the list window it is dropped on.
class DropSource : public wxDropSource {
 public:
  // What runs the drag once its data is in place: the toolkit's drag loop,
  // unless a test put another in its place.
  using DragLoop = std::function<wxDragResult(DropSource& source, int flags)>;

  DropSource(wxWindow* origin, const pq::RecordPtr& record, pq::RecordList* list);
  wxDragResult DoDragDrop(int flags = wxDrag_AllowMove) override;

  static DragLoop SetDragLoop(DragLoop loop);

 private:
  pq::RecordPtr record;
  pq::RecordList* list;
  // The dragged data, built when the drag starts and kept until the source
  // goes (the toolkit's source does not own it).
  std::unique_ptr<wxDataObjectComposite> data;
};
