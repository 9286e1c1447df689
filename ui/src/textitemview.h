#pragma once
// The "Plain Text" page of the record viewer.
#include <wx/textctrl.h>

#include "itemview.h"

namespace pq {
class TextItem;
}

class TextItemView : public wxTextCtrl, public ItemViewBase<pq::TextItem> {
 public:
  explicit TextItemView(wxWindow* parent);
  void UpdateView(pq::Item* item) override;
};
