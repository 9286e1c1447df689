#pragma once
// A named list of records, newest first, with its limit, its switches and the
// observers that windows use to follow it. Only the GUI thread touches it.
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include <boost/serialization/split_member.hpp>
#include <boost/shared_ptr.hpp>
#include <wx/string.h>

namespace pq {

class Record;
using RecordPtr = boost::shared_ptr<Record>;

class RecordListObserver {
 public:
  virtual ~RecordListObserver() = default;
  // After a record was added or inserted.
  virtual void OnRecordAdded(const RecordPtr& record) = 0;
  // Before the record leaves the list (it is still in it).
  virtual void OnRecordRemoving(const RecordPtr& record) = 0;
  // Before the record at index moves to the front.
  virtual void OnRecordMovedToFront(unsigned index) = 0;
  // After every record was removed.
  virtual void OnRecordListCleared() = 0;
  // After the whole content was replaced (only the search list does this).
  virtual void OnRecordListReset() = 0;
};

class RecordList {
 public:
  // Lists never hold more than this many records under the capture.
  static constexpr unsigned kRecordLimit = 1000;

  RecordList() = default;
  RecordList(const RecordList&) = delete;
  RecordList& operator=(const RecordList&) = delete;
  virtual ~RecordList();

  void AddRecord(const RecordPtr& record);
  // An index above the count does nothing.
  void InsertRecord(const RecordPtr& record, unsigned index);
  // Identity, not content; a record the list does not hold does nothing.
  void RemoveRecord(const RecordPtr& record);
  // An index out of range does nothing.
  void RemoveRecordAt(unsigned index);
  void MoveRecordToFront(unsigned index);
  // Lands the record before the row that was at `to`. A reorder never applies
  // the full-list rule: a list over its limit keeps every record.
  void MoveRecord(unsigned from, unsigned to);
  void Clear();

  // An empty pointer when index is not below the count.
  RecordPtr GetRecord(unsigned index) const;
  int IndexOf(const Record* record) const;
  unsigned GetCount() const { return static_cast<unsigned>(records_.size()); }
  const std::deque<RecordPtr>& GetRecords() const { return records_; }

  wxString GetName() const;
  // The effective limit: the stored one, at most 1000 and at least 1 (a stored
  // 0 would make every addition drop a record that is not there).
  unsigned GetMaxRecords() const;

  void AddObserver(RecordListObserver* observer);
  void RemoveObserver(RecordListObserver* observer);

  // Written directly by the property dialog and the history's defaults.
  std::string name;
  unsigned maxRecords = 100;
  bool dropOldest = true;
  bool moveToFront = false;

  template <class Archive>
  void save(Archive& ar, unsigned version) const;
  template <class Archive>
  void load(Archive& ar, unsigned version);
  BOOST_SERIALIZATION_SPLIT_MEMBER()

 protected:
  // Replaces the whole content in one step and tells the observers.
  void ResetRecords(std::deque<RecordPtr> records);

  std::deque<RecordPtr> records_;

 private:
  // The full-list rule of AddRecord and InsertRecord.
  void DropOldestIfFull();
  // InsertRecord, with or without the full-list rule.
  void Insert(const RecordPtr& record, unsigned index, bool applyLimit);

  std::vector<RecordListObserver*> observers_;

  // Takes a whole loaded list's content (not its observers).
  friend void LoadRecordListFile(RecordList& list, const wxString& path, std::uint64_t budget);
};

}  // namespace pq
