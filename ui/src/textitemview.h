#pragma once
// The "Plain Text" page of the record viewer.
#include <functional>

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

// Puts `text` into a read-only text view, scrolled to its start and set in a
// little from the page's edge. The control is frozen meanwhile (it takes a
// long text without laying it out as it arrives); `style`, when given, runs
// before it is thawed.
void SetViewText(wxTextCtrl& control, const wxString& text, const std::function<void()>& style = {});
