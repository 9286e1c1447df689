#include <cstring>

#include "medium.h"
#include "pq/item.h"
#include "pq/itemtype.h"
#include "pq/tagid.h"

namespace pq {

// ---- Item ---------------------------------------------------------------------

Item::~Item() = default;

bool Item::MatchesFormat(const ItemFormat& request) const {
  std::vector<ItemFormat> formats;
  EnumFormats(formats);
  for (const ItemFormat& f : formats)
    if (f == request) return true;
  return false;
}

bool Item::BeginRender(const ItemFormat& request, STGMEDIUM* medium) const {
  medium->pUnkForRelease = nullptr;
  medium->tymed = request.tymed;
  return MatchesFormat(request);
}

FORMATETC ItemFormat::ToFormatEtc() const { return medium::Request(format, tymed); }

// ---- SimpleItem -----------------------------------------------------------------

void SimpleItem::EnumFormats(std::vector<ItemFormat>& formats) const {
  formats.emplace_back(GetFormat(), TYMED_HGLOBAL);
}

HRESULT SimpleItem::GetData(const ItemFormat& request, STGMEDIUM* medium) {
  if (medium == nullptr) return E_INVALIDARG;
  if (!BeginRender(request, medium) || request.tymed != TYMED_HGLOBAL) return DV_E_FORMATETC;
  return medium::NewGlobal(m_data.data(), m_data.size(), &medium->hGlobal);
}

HRESULT SimpleItem::GetDataHere(const ItemFormat& request, STGMEDIUM* medium) {
  if (medium == nullptr) return E_INVALIDARG;
  if (!BeginRender(request, medium) || request.tymed != TYMED_HGLOBAL) return DV_E_FORMATETC;
  return medium::CopyToGlobal(medium->hGlobal, m_data.data(), m_data.size());
}

bool SimpleItem::Load(IDataObject* source) {
  std::vector<char> bytes;
  if (!medium::ReadGlobal(source, GetFormat(), bytes)) return false;
  SetBlock(bytes.data(), bytes.size());
  return true;
}

void SimpleItem::SetBlock(const void* bytes, std::size_t size) {
  m_data.assign(static_cast<const char*>(bytes), size);
}

CLIPFORMAT CsvItem::GetFormat() const { return CfCsv(); }
CLIPFORMAT HtmlItem::GetFormat() const { return CfHtml(); }
CLIPFORMAT LocaleItem::GetFormat() const { return CF_LOCALE; }
CLIPFORMAT RtfItem::GetFormat() const { return CfRtf(); }

// ---- PastiqTagItem ------------------------------------------------------------------

namespace {

void PutWord(unsigned char* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

std::uint32_t GetWord(const unsigned char* p) {
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(p[i]) << (8 * i);
  return v;
}

}  // namespace

PastiqTagItem::PastiqTagItem() {
  Tag tag;
  tag.process = GetCurrentProcessId();
  SetTag(tag);
}

CLIPFORMAT PastiqTagItem::GetFormat() const { return CfPastiqTag(); }

void PastiqTagItem::SetTag(const Tag& tag) {
  unsigned char bytes[kSize];
  PutWord(bytes, tag.record);
  PutWord(bytes + 4, tag.list);
  PutWord(bytes + 8, tag.process);
  SetBlock(bytes, kSize);
}

void PastiqTagItem::SetIdentities(const void* record, const void* list) {
  Tag tag;
  tag.record = tagid::Register(record);
  tag.list = tagid::Register(list);
  tag.process = GetCurrentProcessId();
  SetTag(tag);
}

bool PastiqTagItem::Decode(const void* bytes, std::size_t size, Tag& tag) {
  // A producer's block may be rounded up; only a block too short to hold the
  // three words is refused.
  if (bytes == nullptr || size < kSize) return false;
  const auto* p = static_cast<const unsigned char*>(bytes);
  tag.record = GetWord(p);
  tag.list = GetWord(p + 4);
  tag.process = GetWord(p + 8);
  return true;
}

bool PastiqTagItem::Read(IDataObject* source, Tag& tag) {
  std::vector<char> bytes;
  return medium::ReadGlobal(source, CfPastiqTag(), bytes) && Decode(bytes.data(), bytes.size(), tag);
}

bool PastiqTagItem::GetTag(Tag& tag) const {
  return Decode(m_data.data(), m_data.size(), tag);
}

bool PastiqTagItem::IsOwnAndComplete(const Tag& tag) {
  return tag.process == GetCurrentProcessId() && tag.record != 0 && tag.list != 0;
}

}  // namespace pq
