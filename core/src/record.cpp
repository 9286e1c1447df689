#include "pq/record.h"

#include <algorithm>
#include <utility>

#include <boost/serialization/string.hpp>
#include <wx/filename.h>
#include <wx/intl.h>
#include <wx/log.h>
#include <wx/mstream.h>

#include "cmn/archive.h"
#include "cmn/strconv.h"
#include "pq/dataobject.h"
#include "pq/item.h"
#include "pq/itemtype.h"
#include "pq/tagid.h"
#include "pq/win.h"
#include "platform/clipboard.h"
#include "platform/process.h"
#include "archive_instances.h"
#include "releaser.h"

namespace pq {

using detail::Releaser;

namespace {

// The three families the clipboard offers in two forms each; one item per
// family is kept, at the position of whichever form came first.
enum Family { kBitmap, kMetafile, kText, kNoFamily };

Family FoldFormat(CLIPFORMAT& format) {
  switch (format) {
    case CF_BITMAP:
    case CF_DIB:
      format = CF_DIB;
      return kBitmap;
    case CF_METAFILEPICT:
    case CF_ENHMETAFILE:
      format = CF_ENHMETAFILE;
      return kMetafile;
    case CF_TEXT:
    case CF_UNICODETEXT:
      format = CF_UNICODETEXT;
      return kText;
    default:
      return kNoFamily;
  }
}

}  // namespace

std::uint32_t ToDosDateTime(const std::tm& local) {
  const int year = local.tm_year + 1900;
  if (year < 1980) return (1u << 21) | (1u << 16);  // 1980-01-01 00:00:00
  if (year > 2107) {
    return (127u << 25) | (12u << 21) | (31u << 16) | (23u << 11) | (59u << 5) | 29u;
  }
  auto field = [](int v, int lo, int hi) { return static_cast<std::uint32_t>(std::clamp(v, lo, hi)); };
  return (static_cast<std::uint32_t>(year - 1980) << 25) | (field(local.tm_mon + 1, 1, 12) << 21) |
         (field(local.tm_mday, 1, 31) << 16) | (field(local.tm_hour, 0, 23) << 11) |
         (field(local.tm_min, 0, 59) << 5) | (field(local.tm_sec, 0, 59) / 2);
}

std::uint32_t CurrentDosDateTime() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return ToDosDateTime(local);
}

Record::Record() : time(CurrentDosDateTime()) {}

Record::~Record() { tagid::Forget(this); }

bool Record::LoadFromClipboard() {
  // Another application may hold the clipboard open for a moment.
  constexpr int kRetries = 5;
  constexpr DWORD kRetryMs = 10;
  Releaser<IDataObject> clip;
  HRESULT hr = OleGetClipboard(clip.out());
  for (int retry = 0; (FAILED(hr) || !clip.get()) && retry < kRetries; ++retry) {
    if (clip.get()) clip.release()->Release();
    Sleep(kRetryMs);
    hr = OleGetClipboard(clip.out());
  }
  if (FAILED(hr) || !clip.get()) return false;
  return LoadFromDataObject(clip.get());
}

bool Record::LoadFromDataObject(IDataObject* clip) {
  if (!clip) return false;
  FORMATETC own{CfPastiqTag(), nullptr, DVASPECT_CONTENT, -1, TYMED_NULL};
  if (clip->QueryGetData(&own) == S_OK) return false;  // our own clip

  Releaser<DataObject> local(new DataObject);
  bool kept[kNoFamily] = {false, false, false};
  bool anyItem = false;

  Releaser<IEnumFORMATETC> formats;
  const HRESULT hr = clip->EnumFormatEtc(DATADIR_GET, formats.out());
  if (FAILED(hr) || !formats.get()) {
    // The toolkit's system-error text would read the code as an errno.
    wxLogError("%s: error %s", _("Failed to retrieve the supported clipboard formats"),
               platform::DescribeResult(hr));
  } else {
    FORMATETC fe{};
    while (formats.get()->Next(1, &fe, nullptr) == S_OK) {
      CLIPFORMAT format = fe.cfFormat;
      const Family family = FoldFormat(format);
      if (family != kNoFamily && kept[family]) continue;
      if (!ItemType::IsRecordEnabled(format)) continue;
      const ItemType* type = ItemType::FindByFormat(format);
      if (!type) continue;
      Item* item = type->CreateItem();
      if (item && item->Load(clip)) {
        local.get()->Items().push_back(item);
        if (family != kNoFamily) kept[family] = true;
        anyItem = true;
      } else {
        delete item;
      }
    }
  }
  return anyItem && SetItems(*local.get());
}

bool Record::SetItems(DataObject& d) {
  std::vector<Item*>& list = d.Items();
  if (list.empty()) return false;
  auto textItem = std::find_if(list.begin(), list.end(),
                               [](const Item* item) { return item && typeid(*item) == typeid(TextItem); });
  if (textItem != list.end()) {
    auto* found = static_cast<TextItem*>(*textItem);
    text.swap(found->Text());
    textIndex = static_cast<std::int32_t>(textItem - list.begin());
    delete found;
    list.erase(textItem);
  } else {
    const ItemType* type = list.front() ? ItemType::FindByTypeInfo(typeid(*list.front())) : nullptr;
    if (!type) return false;  // an item no type serves cannot be named or stored
    text = cmn::wx::ToStdString(wxString(_("[")) + type->GetDisplayName() + _("]"));
  }
  return CompressItems(d);
}

void Record::SetText(const wxString& s) {
  Releaser<DataObject> d(new DataObject);
  d.get()->Items().push_back(new TextItem(cmn::wx::ToStdString(s)));
  SetItems(*d.get());
}

DataObject* Record::CreateDataObject(const RecordList* source) const {
  Releaser<DataObject> d(new DataObject);
  if (!DecompressItems(*d.get())) return nullptr;  // a damaged block throws; d is released
  std::vector<Item*>& list = d.get()->Items();
  if (textIndex >= 0) {
    if (static_cast<std::size_t>(textIndex) > list.size()) return nullptr;
    list.insert(list.begin() + textIndex, new TextItem(text));
  }
  auto* tag = new PastiqTagItem;
  list.push_back(tag);
  tag->SetIdentities(this, source);
  return d.release();
}

namespace {
ItemBlockLimits g_itemBlockLimits;
}  // namespace

ItemBlockLimits GetItemBlockLimits() { return g_itemBlockLimits; }

void SetItemBlockLimits(const ItemBlockLimits& limits) { g_itemBlockLimits = limits; }

bool Record::CompressItems(DataObject& d) {
  wxMemoryOutputStream out;
  const std::uint64_t text =
      cmn::WriteArchive(out, [&](cmn::oarchive& ar) { ar << static_cast<const DataObject&>(d); });
  const std::size_t size = out.GetSize();
  if (size == 0) return false;
  // What unpacking will charge: the text, the data object, its item vector,
  // every item and a picture's body.
  const std::uint64_t unpacked = text + cmn::kObjectCharge * (2 + 2 * std::uint64_t(d.Items().size()));
  const ItemBlockLimits limits = GetItemBlockLimits();
  if (size > limits.packed || unpacked > limits.unpacked) {
    // Kept, it could be neither saved nor read back: nothing is recorded.
    wxLogWarning(_("The clip is too large to be recorded (%s of compressed data)."),
                 wxFileName::GetHumanReadableSize(wxULongLong(size)));
    return false;
  }
  cmn::mblock<char> block(size);
  out.CopyTo(block.data(), size);
  items.swap(block);
  return true;
}

bool Record::DecompressItems(DataObject& d) const {
  if (items.empty()) return false;
  wxMemoryInputStream in(items.data(), items.size());
  cmn::ReadArchive(in, [&](cmn::iarchive& ar) { ar >> d; }, GetItemBlockLimits().unpacked);
  return true;
}

wxString Record::GetText() const { return cmn::wx::FromStdString(text); }

wxString Record::GetApplication() const { return cmn::wx::FromStdString(application); }

template <class Archive>
void Record::save(Archive& ar, unsigned) const {
  ar << items;
  ar << text;
  ar << application;
  ar << time;
  ar << textIndex;
}

template <class Archive>
void Record::load(Archive& ar, unsigned) {
  cmn::mblock<char> newItems;
  std::string newText;
  std::string newApplication;
  std::uint32_t newTime = 0;
  std::int32_t newIndex = -1;
  ar >> newItems;
  ar >> newText;
  ar >> newApplication;
  ar >> newTime;
  ar >> newIndex;
  items.swap(newItems);
  text.swap(newText);
  application.swap(newApplication);
  time = newTime;
  textIndex = newIndex;
}

PQ_ARCHIVE_INSTANCES(Record);

}  // namespace pq
