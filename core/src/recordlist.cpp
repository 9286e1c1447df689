#include "pq/recordlist.h"

#include <algorithm>
#include <utility>

#include <boost/serialization/deque.hpp>
#include <boost/serialization/shared_ptr.hpp>

#include "cmn/iarchive.h"
#include "cmn/strconv.h"
#include "archive_instances.h"
#include "observers.h"
#include "pq/record.h"
#include "pq/tagid.h"

namespace pq {

using detail::NotifyEach;

// A clipboard tag that still names this list no longer resolves.
RecordList::~RecordList() { tagid::Forget(this); }

void RecordList::DropOldestIfFull() {
  if (!dropOldest || records_.empty() || records_.size() < GetMaxRecords()) return;
  const RecordPtr oldest = records_.back();
  NotifyEach(observers_, [&](RecordListObserver* o) { o->OnRecordRemoving(oldest); });
  // An observer may have changed the list; drop the oldest only if it is
  // still the last one.
  if (!records_.empty() && records_.back() == oldest) records_.pop_back();
}

void RecordList::AddRecord(const RecordPtr& record) {
  DropOldestIfFull();
  records_.push_front(record);
  NotifyEach(observers_, [&](RecordListObserver* o) { o->OnRecordAdded(record); });
}

void RecordList::InsertRecord(const RecordPtr& record, unsigned index) { Insert(record, index, true); }

void RecordList::Insert(const RecordPtr& record, unsigned index, bool applyLimit) {
  if (index > records_.size()) return;
  if (applyLimit) DropOldestIfFull();
  // After a drop an index at the old end lies past the new one: append.
  const std::size_t at = std::min<std::size_t>(index, records_.size());
  records_.insert(records_.begin() + static_cast<std::ptrdiff_t>(at), record);
  NotifyEach(observers_, [&](RecordListObserver* o) { o->OnRecordAdded(record); });
}

void RecordList::RemoveRecord(const RecordPtr& record) {
  auto it = std::find(records_.begin(), records_.end(), record);
  if (it == records_.end()) return;
  const RecordPtr keep = *it;  // the caller's pointer may be the list's own entry
  NotifyEach(observers_, [&](RecordListObserver* o) { o->OnRecordRemoving(keep); });
  it = std::find(records_.begin(), records_.end(), keep);
  if (it != records_.end()) records_.erase(it);
}

void RecordList::RemoveRecordAt(unsigned index) {
  if (index >= records_.size()) return;
  const RecordPtr record = records_[index];
  RemoveRecord(record);
}

void RecordList::MoveRecordToFront(unsigned index) {
  if (index >= records_.size()) return;
  const RecordPtr record = records_[index];
  NotifyEach(observers_, [&](RecordListObserver* o) { o->OnRecordMovedToFront(index); });
  if (index < records_.size() && records_[index] == record) {
    records_.erase(records_.begin() + index);
    records_.push_front(record);
  }
}

void RecordList::MoveRecord(unsigned from, unsigned to) {
  if (from >= records_.size() || to > records_.size() || from == to) return;
  if (from < to) --to;
  const RecordPtr record = records_[from];
  RemoveRecordAt(from);
  Insert(record, to, false);
}

void RecordList::Clear() {
  records_.clear();
  NotifyEach(observers_, [](RecordListObserver* o) { o->OnRecordListCleared(); });
}

void RecordList::ResetRecords(std::deque<RecordPtr> records) {
  records_.swap(records);
  NotifyEach(observers_, [](RecordListObserver* o) { o->OnRecordListReset(); });
  // The previous content is released here, after the observers moved on.
}

RecordPtr RecordList::GetRecord(unsigned index) const {
  if (index >= records_.size()) return RecordPtr();
  return records_[index];
}

int RecordList::IndexOf(const Record* record) const {
  for (std::size_t i = 0; i < records_.size(); ++i) {
    if (records_[i].get() == record) return static_cast<int>(i);
  }
  return -1;
}

wxString RecordList::GetName() const { return cmn::wx::FromStdString(name); }

unsigned RecordList::GetMaxRecords() const {
  return std::max(1u, std::min(maxRecords, kRecordLimit));
}

void RecordList::AddObserver(RecordListObserver* observer) { observers_.push_back(observer); }

void RecordList::RemoveObserver(RecordListObserver* observer) {
  detail::EraseFirst(observers_, observer);
}

template <class Archive>
void RecordList::save(Archive& ar, unsigned) const {
  ar << records_;
  ar << name;
  ar << maxRecords;
  ar << dropOldest;
  ar << moveToFront;
}

template <class Archive>
void RecordList::load(Archive& ar, unsigned) {
  // The bounded reader caps the count before the library sizes the deque.
  std::deque<RecordPtr> records;
  ar >> records;
  std::string newName;
  ar >> newName;
  unsigned newMax = 0;
  bool newDrop = false;
  bool newFront = false;
  ar >> newMax;
  ar >> newDrop;
  ar >> newFront;
  records_.swap(records);
  name.swap(newName);
  maxRecords = newMax;
  dropOldest = newDrop;
  moveToFront = newFront;
}

PQ_ARCHIVE_INSTANCES(RecordList);

}  // namespace pq
