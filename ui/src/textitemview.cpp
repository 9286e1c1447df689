#include "textitemview.h"

#include <wx/settings.h>

#include "cmn/strconv.h"
#include "pq/item.h"

namespace {
ItemViewTypeImpl<TextItemView, pq::TextItem> textViewType;
}

TextItemView::TextItemView(wxWindow* parent)
    : wxTextCtrl(parent, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize,
                 wxTE_MULTILINE | wxTE_READONLY | wxNO_BORDER, wxDefaultValidator, "text") {
  SetBackgroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE));
}

void TextItemView::UpdateView(pq::Item* item) {
  const auto* text = dynamic_cast<const pq::TextItem*>(item);
  // Frozen, the control takes a long text without laying it out as it
  // arrives. ChangeValue: showing a record is no edit and sends no event.
  Freeze();
  ChangeValue(text != nullptr ? cmn::wx::FromStdString(text->GetText()) : wxString());
  Thaw();
}
