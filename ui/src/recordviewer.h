#pragma once
// The right-hand side of the main window: a notebook with a page for each
// item of the shown record that has a view (plain text, rich text, bitmap),
// in the order of the item-type ids. The views are made once; showing
// another record hands them new items and adds or removes pages.
#include <wx/notebook.h>

#include <vector>

#include "pq/recordlist.h"

class ItemView;

namespace pq {
class DataObject;
}

class RecordViewer : public wxNotebook {
 public:
  explicit RecordViewer(wxWindow* parent);
  ~RecordViewer() override;

  // Shows `record`, or nothing for an empty pointer; `source` is the list
  // that holds it (named in the data object's tag). The record already shown
  // changes nothing, whatever the list. A record whose items do not unpack
  // shows no page.
  void ShowRecord(const pq::RecordPtr& record, pq::RecordList* source);
  // Removes every page (the views stay) and hides every view.
  void ClearPages();

  const pq::RecordPtr& GetRecord() const { return record; }
  // The view windows, one per view kind, in view order.
  const std::vector<wxWindow*>& GetViews() const { return views; }

 private:
  // Every view lets go of its item, then `old` (the data object that was
  // shown, when a new one is being made) and the data object go.
  void ReleaseDataObject(pq::DataObject* old);
  ItemView* ViewOf(wxWindow* window) const;

  std::vector<wxWindow*> views;
  pq::RecordPtr record;
  pq::DataObject* dataObject = nullptr;
};
