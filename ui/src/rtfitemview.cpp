#include "rtfitemview.h"

#include <wx/font.h>
#include <wx/settings.h>

#include <unordered_map>

#include "pq/item.h"
#include "rtfreader.h"
#include "textitemview.h"

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
    ShowDocument(RtfDocument());
    return;
  }
  // The block need not end in a NUL: the reader stops at its end or at the
  // first NUL, whichever comes first.
  const cmn::mblock<char>& block = rtf->GetBlock();
  ShowDocument(ReadRtf(block.data(), block.size()));
}

void RtfItemView::ShowDocument(const RtfDocument& doc) {
  wxString text = wxString::FromUTF8(doc.text.data(), doc.text.size());
  // A cut text says so on a line of its own.
  if (doc.truncated) text += L"\n\u2026";
  SetViewText(*this, text, [this, &doc] {
    // From the end: GTK's text buffer styles a range much faster when no
    // styled range stands before it (front to back, the cost grows with their
    // number). A document has few styles, but a hostile one may have one per
    // run: the attributes made for them are kept only while there are few.
    const wxFont base = GetFont();
    std::unordered_map<std::uint32_t, wxTextAttr> attrs;
    for (auto run = doc.runs.rbegin(); run != doc.runs.rend(); ++run) {
      const RtfStyle& style = doc.styles[run->style];
      if (style.IsDefault()) continue;
      auto found = attrs.find(run->style);
      if (found == attrs.end()) {
        if (attrs.size() >= 64) attrs.clear();
        found = attrs.emplace(run->style, ToAttr(style, base)).first;
      }
      SetStyle(static_cast<long>(run->start), static_cast<long>(run->start + run->length), found->second);
    }
  });
}
