#include "formatoptionpage.h"

#include <algorithm>

#include <wx/checkbox.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>

#include "options.h"
#include "platform/clipformats.h"
#include "pq/itemtype.h"

namespace {
const OptionPageTypeImpl<FormatOptionPage> g_formatPageType(2, "Formats");

// The type whose switches follow another type's row.
bool FollowsPlainText(const pq::ItemType& type) { return type.GetFormat() == CF_LOCALE; }
}  // namespace

std::vector<const pq::ItemType*> FormatOptionPage::RowTypes() {
  std::vector<const pq::ItemType*> types;
  for (const pq::ItemType* type : pq::ItemType::GetItemTypes())
    if (type->GetFormat() != pq::CfPastiqTag() && !FollowsPlainText(*type)) types.push_back(type);
  // By id, whether or not a record viewer has sorted the registry yet.
  std::sort(types.begin(), types.end(),
            [](const pq::ItemType* a, const pq::ItemType* b) { return a->GetId() < b->GetId(); });
  return types;
}

bool FormatOptionPage::CreateControls() {
  auto* formats = new wxStaticBoxSizer(wxVERTICAL, this, "Record/Paste the following formats");
  wxStaticBox* box = formats->GetStaticBox();
  auto* grid = new wxFlexGridSizer(3, 8, 8);
  // The two switches stand centred under their headings.
  grid->Add(new wxStaticText(box, wxID_ANY, "Record"), 0, wxALIGN_CENTER_HORIZONTAL);
  grid->Add(new wxStaticText(box, wxID_ANY, "Paste"), 0, wxALIGN_CENTER_HORIZONTAL);
  grid->Add(new wxStaticText(box, wxID_ANY, "Format"));
  for (const pq::ItemType* type : RowTypes()) {
    auto* record = new wxCheckBox(box, type->GetId(), wxEmptyString);
    auto* paste = new wxCheckBox(box, type->GetId() + kPasteIdOffset, wxEmptyString);
    record->SetValue(pq::ItemType::IsRecordEnabled(type->GetFormat()));
    paste->SetValue(pq::ItemType::IsPasteEnabled(type->GetFormat()));
    grid->Add(record, 0, wxALIGN_CENTER_HORIZONTAL);
    grid->Add(paste, 0, wxALIGN_CENTER_HORIZONTAL);
    grid->Add(new wxStaticText(box, wxID_ANY, type->GetDisplayName()));
  }
  formats->Add(grid, 0, wxALL, 5);
  auto* page = new wxBoxSizer(wxVERTICAL);
  page->Add(formats, 0, wxEXPAND | wxALL, 3);
  SetSizer(page);
  return true;
}

wxCheckBox* FormatOptionPage::GetRecordBox(const pq::ItemType& type) const {
  // By id: the boxes are children of the static box, not of the page.
  return wxDynamicCast(FindWindow(type.GetId()), wxCheckBox);
}

wxCheckBox* FormatOptionPage::GetPasteBox(const pq::ItemType& type) const {
  return wxDynamicCast(FindWindow(type.GetId() + kPasteIdOffset), wxCheckBox);
}

bool FormatOptionPage::ApplyPage() {
  const pq::ItemType* locale = pq::ItemType::FindByFormat(CF_LOCALE);
  for (const pq::ItemType* type : RowTypes()) {
    // The locale says how the plain text is to be read: it is recorded and
    // pasted with it.
    const bool withLocale = type->GetFormat() == CF_UNICODETEXT && locale;
    if (wxCheckBox* record = GetRecordBox(*type)) {
      SetOption(pq::ItemType::RecordOptionId(type->GetId()), record->GetValue());
      if (withLocale) SetOption(pq::ItemType::RecordOptionId(locale->GetId()), record->GetValue());
    }
    if (wxCheckBox* paste = GetPasteBox(*type)) {
      pq::ItemType::SetPasteEnabled(*type, paste->GetValue());
      if (withLocale) pq::ItemType::SetPasteEnabled(*locale, paste->GetValue());
    }
  }
  return true;
}
