#include "bitmapitemview.h"

#include <wx/dc.h>
#include <wx/settings.h>

#include "pq/item.h"

namespace {
ItemViewTypeImpl<BitmapItemView, pq::BitmapItem> bitmapViewType;

int Units(int pixels) { return (pixels + BitmapItemView::kScrollUnit - 1) / BitmapItemView::kScrollUnit; }
}  // namespace

BitmapItemView::BitmapItemView(wxWindow* parent)
    : wxScrolledWindow(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxHSCROLL | wxVSCROLL, "panel") {
  SetBackgroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE));
}

void BitmapItemView::UpdateView(pq::Item* item) {
  const auto* picture = dynamic_cast<const pq::BitmapItem*>(item);
  if (picture == nullptr) {
    // Nothing is drawn without an item; the picture's copy goes with it.
    bitmap = wxBitmap();
    return;
  }
  bitmap = picture->GetBitmap();
  const int width = bitmap.IsOk() ? bitmap.GetWidth() : 0;
  const int height = bitmap.IsOk() ? bitmap.GetHeight() : 0;
  SetScrollbars(kScrollUnit, kScrollUnit, Units(width), Units(height), 0, 0);
  Refresh();
}

void BitmapItemView::OnDraw(wxDC& dc) {
  if (GetItem() != nullptr && bitmap.IsOk()) dc.DrawBitmap(bitmap, 0, 0, false);
}
