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
  SetViewText(*this, text != nullptr ? cmn::wx::FromStdString(text->GetText()) : wxString());
}

void SetViewText(wxTextCtrl& control, const wxString& text, const std::function<void()>& style) {
  control.Freeze();
  // ChangeValue: showing a record is no edit and sends no event.
  control.ChangeValue(text);
  if (!text.empty()) {
    wxTextAttr indent;
    indent.SetLeftIndent(12);  // tenths of a millimetre
    indent.SetRightIndent(12);
    control.SetStyle(0, control.GetLastPosition(), indent);
  }
  if (style) style();
  control.ShowPosition(0);
  control.Thaw();
}
