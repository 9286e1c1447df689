#pragma once
// The "Rich Text Format (RTF)" page of the record viewer: the item's rich
// text read by ReadRtf and shown with its styles.
#include <wx/textctrl.h>

#include "itemview.h"

namespace pq {
class RtfItem;
}
struct RtfDocument;

class RtfItemView : public wxTextCtrl, public ItemViewBase<pq::RtfItem> {
 public:
  explicit RtfItemView(wxWindow* parent);
  void UpdateView(pq::Item* item) override;

 private:
  void ShowDocument(const RtfDocument& doc);
};
