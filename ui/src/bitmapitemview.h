#pragma once
// The "Bitmap Picture" page of the record viewer: the picture at its own
// size, scrolled in steps of kScrollUnit pixels.
#include <wx/scrolwin.h>

#include "itemview.h"

namespace pq {
class BitmapItem;
}

class BitmapItemView : public wxScrolledWindow, public ItemViewBase<pq::BitmapItem> {
 public:
  static constexpr int kScrollUnit = 20;

  explicit BitmapItemView(wxWindow* parent);
  // A picture sets the scroll bars to its size (rounded up to whole units, so
  // its right and bottom edges can be scrolled into view) and scrolls to the
  // top left; null leaves them as they are and shows nothing.
  void UpdateView(pq::Item* item) override;
  // Draws the part of the picture that needs painting (all that is in view
  // when called outside a paint): a large picture is never copied whole.
  void OnDraw(wxDC& dc) override;
};
