#pragma once
// One captured clip: its items (without the text item) as a compressed block,
// its plain text, the source executable, the capture time and where the text
// item stood. Always held through shared pointers (pq::RecordPtr).
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

#include <boost/serialization/split_member.hpp>
#include <wx/string.h>

#include "cmn/mblock.h"
#include "pq/win.h"
#include "pq/recordlist.h"

namespace pq {

class DataObject;

// A record's item block stays within two limits, so that every record can
// be saved and read back: packed, what an archive holds; unpacked, the
// budget (cmn::ReadBudget) its archive is read within whenever the record is
// copied, pasted, dragged or sent. A clip over either is not recorded, and a
// block from outside that unpacks past the budget is refused when unpacked.
constexpr std::uint64_t kItemBlockBudget = std::uint64_t(512) << 20;
struct ItemBlockLimits {
  std::size_t packed = cmn::kMaxBlockBytes;
  std::uint64_t unpacked = kItemBlockBudget;
};
// The limits in force. Tests lower them to reach them with small clips.
ItemBlockLimits GetItemBlockLimits();
void SetItemBlockLimits(const ItemBlockLimits& limits);

// A local time as a DOS date-time; years outside 1980-2107 are clamped.
std::uint32_t ToDosDateTime(const std::tm& local);
// The current local time as a DOS date-time.
std::uint32_t CurrentDosDateTime();

class Record {
 public:
  Record();
  // A clipboard tag that still names this record no longer resolves.
  ~Record();
  Record(const Record&) = delete;
  Record& operator=(const Record&) = delete;

  // Fills the record from the system clipboard; false when nothing is to be
  // recorded (clipboard not available, our own clip, no enabled format).
  bool LoadFromClipboard();
  // The same from a clipboard data object already in hand.
  bool LoadFromDataObject(IDataObject* clip);
  // Takes the text item out of `d` and compresses the rest into the record.
  bool SetItems(DataObject& d);
  // The record becomes a single text item holding `s`.
  void SetText(const wxString& s);
  // A new data object (reference count 1, the caller's) with the text item
  // back in place and a tag naming this record, `source` and this process;
  // null when the block is empty or the text index does not fit. A damaged
  // block throws.
  DataObject* CreateDataObject(const RecordList* source) const;

  // False, the record unchanged, when the block would be empty or over the
  // limits (logged as a warning).
  bool CompressItems(DataObject& d);
  // Throws on a damaged block, and archive_too_large past the unpacked limit.
  bool DecompressItems(DataObject& d) const;

  wxString GetText() const;
  wxString GetApplication() const;

  cmn::mblock<char> items;
  std::string text;
  std::string application;
  std::uint32_t time;
  std::int32_t textIndex = -1;

  template <class Archive>
  void save(Archive& ar, unsigned version) const;
  template <class Archive>
  void load(Archive& ar, unsigned version);
  BOOST_SERIALIZATION_SPLIT_MEMBER()
};

}  // namespace pq
