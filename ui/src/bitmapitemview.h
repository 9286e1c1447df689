#pragma once
// The "Bitmap Picture" page of the record viewer: the picture at its own
// size, scrolled in steps of kScrollUnit pixels.
#include <wx/bitmap.h>
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
  void OnDraw(wxDC& dc) override;

  // What is drawn: the item's picture as a toolkit bitmap.
  const wxBitmap& GetShownBitmap() const { return bitmap; }

 private:
  wxBitmap bitmap;
};
