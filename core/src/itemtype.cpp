#include "pq/itemtype.h"

#include <algorithm>

#include <wx/intl.h>

#include "options.h"
#include "pq/item.h"

namespace pq {
namespace {

enum NamedFormat { kHtml, kRtf, kCsv, kEmbeddedObject, kPastiqTag };

// Registered together on first use; the values hold for the process's life.
CLIPFORMAT Named(NamedFormat which) {
  static const wchar_t* const names[] = {L"HTML Format", L"Rich Text Format", L"Csv",
                                         L"Embedded Object", L"Pastiq Tag"};
  static const std::vector<CLIPFORMAT> formats = [] {
    std::vector<CLIPFORMAT> v;
    for (const wchar_t* name : names) v.push_back(static_cast<CLIPFORMAT>(RegisterClipboardFormatW(name)));
    return v;
  }();
  return formats[which];
}

}  // namespace

CLIPFORMAT CfHtml() { return Named(kHtml); }
CLIPFORMAT CfRtf() { return Named(kRtf); }
CLIPFORMAT CfCsv() { return Named(kCsv); }
CLIPFORMAT CfEmbeddedObject() { return Named(kEmbeddedObject); }
CLIPFORMAT CfPastiqTag() { return Named(kPastiqTag); }
UINT WmTaskbarCreated() {
  static const UINT m = RegisterWindowMessageW(L"TaskbarCreated");
  return m;
}

ItemType::ItemType(CLIPFORMAT format, int id, const wxString& name, const std::type_info& type)
    : m_format(format), m_id(id), m_name(name), m_type(&type) {
  GetItemTypes().push_back(this);
}

wxString ItemType::GetDisplayName() const { return wxGetTranslation(m_name); }

std::vector<ItemType*>& ItemType::GetItemTypes() {
  static std::vector<ItemType*> types;
  return types;
}

ItemType* ItemType::FindByFormat(CLIPFORMAT format) {
  for (ItemType* t : GetItemTypes())
    if (t->m_format == format) return t;
  return nullptr;
}

ItemType* ItemType::FindById(int id) {
  for (ItemType* t : GetItemTypes())
    if (t->m_id == id) return t;
  return nullptr;
}

ItemType* ItemType::FindByTypeInfo(const std::type_info& type) {
  for (ItemType* t : GetItemTypes())
    if (*t->m_type == type) return t;
  return nullptr;
}

std::size_t ItemType::IndexOf(const ItemType* type) {
  const auto& types = GetItemTypes();
  return static_cast<std::size_t>(std::find(types.begin(), types.end(), type) - types.begin());
}

bool ItemType::IsRecordEnabled(CLIPFORMAT format) {
  const ItemType* t = FindByFormat(format);
  return t != nullptr && OptionValue<bool>(RecordOptionId(t->m_id), false);
}

bool ItemType::IsPasteEnabled(CLIPFORMAT format) {
  const ItemType* t = FindByFormat(format);
  return t != nullptr && !OptionValue<bool>(PasteOptionId(t->m_id), false);
}

void ItemType::SetPasteEnabled(const ItemType& type, bool enabled) {
  SetOption(PasteOptionId(type.m_id), !enabled);
}

void ItemType::SortById() {
  auto& types = GetItemTypes();
  std::sort(types.begin(), types.end(),
            [](const ItemType* a, const ItemType* b) { return a->m_id < b->m_id; });
}

namespace {

// The named formats exist before any item or data object does.
struct FormatRegistration {
  FormatRegistration() {
    Named(kHtml);
    WmTaskbarCreated();
  }
} const formatRegistration;

// The nine types, in registration order. Names are marked for the catalog and
// translated only when shown.
const ItemTypeImpl<BitmapItem> bitmapType(CF_DIB, 1005, wxTRANSLATE("Bitmap Picture"));
const ItemTypeImpl<CsvItem> csvType(CfCsv(), 1008, wxTRANSLATE("Comma-Separated Values (CSV)"));
const ItemTypeImpl<EmbeddedObjectItem> embeddedType(
    CfEmbeddedObject(), 1007, wxTRANSLATE("Embedded Object (experimental support)"));
const ItemTypeImpl<EnhMetaFileItem> metafileType(CF_ENHMETAFILE, 1006,
                                                 wxTRANSLATE("Metafile Picture"));
const ItemTypeImpl<HtmlItem> htmlType(CfHtml(), 1004, wxTRANSLATE("Html Text"));
const ItemTypeImpl<PastiqTagItem> tagType(CfPastiqTag(), 1000, wxTRANSLATE("Pastiq Tag"));
const ItemTypeImpl<LocaleItem> localeType(CF_LOCALE, 1002, wxTRANSLATE("Locale"));
const ItemTypeImpl<RtfItem> rtfType(CfRtf(), 1003, wxTRANSLATE("Rich Text Format (RTF)"));
const ItemTypeImpl<TextItem> textType(CF_UNICODETEXT, 1001, wxTRANSLATE("Plain Text"));

}  // namespace
}  // namespace pq
