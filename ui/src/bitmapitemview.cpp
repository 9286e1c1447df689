#include "bitmapitemview.h"

#include <wx/bitmap.h>
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
  if (picture == nullptr) return;
  const int width = picture->IsEmpty() ? 0 : picture->GetWidth();
  const int height = picture->IsEmpty() ? 0 : picture->GetHeight();
  SetScrollbars(kScrollUnit, kScrollUnit, Units(width), Units(height), 0, 0);
  Refresh();
}

void BitmapItemView::OnDraw(wxDC& dc) {
  const pq::BitmapItem* picture = GetItem();
  if (picture == nullptr || picture->IsEmpty()) return;
  wxRect area = GetUpdateRegion().GetBox();
  if (area.IsEmpty()) area = wxRect(GetClientSize());
  area.SetPosition(CalcUnscrolledPosition(area.GetPosition()));
  area.Intersect(wxRect(0, 0, picture->GetWidth(), picture->GetHeight()));
  if (area.IsEmpty()) return;
  const wxImage part = picture->GetImage(area);
  if (part.IsOk()) dc.DrawBitmap(wxBitmap(part), area.GetPosition(), false);
}
