#pragma once
// The drop target of a record-list window. It takes only the drag this
// process runs (see dropsource.h), never data from another process, and
// never moves a record between a search list and another list. A drop on a
// row lands the record before that row; a drop below the last row (or on an
// empty list) appends it. Between two lists the record leaves its source only
// once the target holds it.
#include <wx/dataobj.h>
#include <wx/dnd.h>

#include "dropsource.h"

class RecordListWindow;

class RecordListWindowDropTarget : public wxDropTarget {
 public:
  explicit RecordListWindowDropTarget(RecordListWindow* window);

  wxDragResult OnEnter(wxCoord x, wxCoord y, wxDragResult def) override;
  wxDragResult OnDragOver(wxCoord x, wxCoord y, wxDragResult def) override;
  void OnLeave() override;
  bool OnDrop(wxCoord x, wxCoord y) override;
  wxDragResult OnData(wxCoord x, wxCoord y, wxDragResult def) override;

  // Whether `drag` may land on this window's list.
  bool Accepts(const RecordDrag* drag) const;
  // The drop of the running drag at a point of the rows window; `dataTag` is
  // the tag the dropped data carried (null when it could not be read). True
  // when the drop was taken.
  bool DropAt(const wxPoint& point, const pq::PastiqTagItem::Tag* dataTag);

 private:
  // Marks the row under the point as where the record would land.
  void Highlight(const wxPoint& point);

  RecordListWindow* window;
  wxCustomDataObject* tagData;
  // What the running drag's entry found.
  bool accepted = false;
};
