#include "rtfitemview.h"

#include <wx/font.h>
#include <wx/settings.h>

#include "pq/item.h"
#include "rtfreader.h"

namespace {
ItemViewTypeImpl<RtfItemView, pq::RtfItem> rtfViewType;

wxTextAttr ToAttr(const RtfStyle& style, const wxFont& base) {
  wxFont font = base;
  if (style.bold) font.SetWeight(wxFONTWEIGHT_BOLD);
  if (style.italic) font.SetStyle(wxFONTSTYLE_ITALIC);
  if (style.underline) font.SetUnderlined(true);
  if (style.halfPoints > 0) font.SetFractionalPointSize(style.halfPoints / 2.0);
  wxTextAttr attr;
  attr.SetFont(font);
  if (style.coloured) attr.SetTextColour(wxColour(style.colour.red, style.colour.green, style.colour.blue));
  return attr;
}
}  // namespace

RtfItemView::RtfItemView(wxWindow* parent)
    : wxTextCtrl(parent, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize,
                 wxTE_MULTILINE | wxTE_READONLY | wxTE_RICH2 | wxNO_BORDER, wxDefaultValidator, "text") {
  SetBackgroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE));
}

void RtfItemView::UpdateView(pq::Item* item) {
  const auto* rtf = dynamic_cast<const pq::RtfItem*>(item);
  if (rtf == nullptr) {
    ChangeValue(wxString());
    return;
  }
  // The block need not end in a NUL: the reader stops at its end or at the
  // first NUL, whichever comes first.
  const cmn::mblock<char>& block = rtf->GetBlock();
  Show(ReadRtf(block.data(), block.size()));
}

void RtfItemView::Show(const RtfDocument& doc) {
  Freeze();
  // A new value drops the styles of the last one with its text.
  wxString text(doc.text);
  // A cut text says so on a line of its own.
  if (doc.truncated) text += L"\n\u2026";
  ChangeValue(text);
  const wxFont base = GetFont();
  for (const RtfRun& run : doc.runs) {
    if (run.style.IsDefault()) continue;
    SetStyle(static_cast<long>(run.start), static_cast<long>(run.start + run.length), ToAttr(run.style, base));
  }
  ShowPosition(0);
  Thaw();
}
