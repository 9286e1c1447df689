#pragma once
// Every record list in tab order, the list that listens to the clipboard and
// the observers that follow them (the notebook of record lists). Owns its
// lists. Only the GUI thread touches the application's history; the network
// receiver builds temporary ones of its own.
#include <string>
#include <vector>

#include <boost/serialization/split_member.hpp>
#include <wx/string.h>

#include "pq/recordlist.h"

#include "cmn/archive.h"

class AppConfig;
class SearchCriteria;

namespace pq {

class HistoryObserver {
 public:
  virtual ~HistoryObserver() = default;
  // After the list was inserted at index.
  virtual void OnRecordListInserted(RecordList* list, unsigned index) = 0;
  // Before the list leaves the history (it is still in it).
  virtual void OnRecordListRemoved(RecordList* list) = 0;
  // Before `newMain` becomes the main list.
  virtual void OnMainRecordListChanged(RecordList* oldMain, RecordList* newMain) = 0;
  // A list's name or properties changed.
  virtual void OnRecordListChanged(RecordList* list) = 0;
};

class History {
 public:
  static constexpr unsigned kListLimit = 1000;

  History() = default;
  History(const History&) = delete;
  History& operator=(const History&) = delete;
  ~History();

  // False at the list limit or with an index past the end; the history owns
  // the list only on success.
  bool InsertRecordList(RecordList* list, unsigned index);
  // The main list is never removed.
  void RemoveRecordList(RecordList* list, bool destroy);
  RecordList* FindRecordList(const wxString& name) const;
  int IndexOf(const RecordList* list) const;
  void NotifyRecordListChanged(RecordList* list);
  // Makes `list` the listening list; null, the current one or a search list
  // changes nothing.
  void SetMainList(RecordList* list);

  const std::vector<RecordList*>& GetLists() const { return lists_; }
  RecordList* GetMainList() const { return mainList_; }
  unsigned GetMaxLists() const;

  void AddObserver(HistoryObserver* observer);
  void RemoveObserver(HistoryObserver* observer);

  // Replaces every list (the extra ones too) with "Main" and "Search".
  void CreateDefaultLists();
  // Loads the history file when the settings file was loaded at this start,
  // else (or when the file does not load) the default lists.
  void Initialize(const AppConfig& config);
  // The history file in the settings folder.
  static wxString GetFilePath();
  // Reads `path` (the history file by default) within `budget` (see
  // cmn::ReadBudget); all or nothing: on any error it throws and this history
  // stays as it was.
  void Load();
  void Load(const wxString& path, std::uint64_t budget = cmn::kFileReadBudget);
  // Writes the history file (nothing, silently, when its temporary file
  // cannot be created). A history file that was found at start-up but not
  // loaded is first kept beside it as "pastiq_history.bak"; when it cannot
  // be kept this throws and the file is not overwritten.
  void Save(const wxString& path, const ArchiveInfo& info);

  template <class Archive>
  void save(Archive& ar, unsigned version) const;
  template <class Archive>
  void load(Archive& ar, unsigned version);
  BOOST_SERIALIZATION_SPLIT_MEMBER()

 private:
  void DeleteAllLists();
  // After a load: unique, non-null lists and a listening list that is one of
  // them and not a search list; false when there is no such list.
  bool Repair();
  void AdoptSearchLists();
  void TakeFrom(History& other);

  std::vector<RecordList*> lists_;
  std::vector<RecordList*> extraLists_;
  std::vector<HistoryObserver*> observers_;
  RecordList* mainList_ = nullptr;
  unsigned extraValue_ = 0xFFFFFFFFu;
  unsigned maxLists_ = 10;
  // A history file found at start-up that was not loaded.
  wxString unloadedFile_;
};

bool IsSearchList(const RecordList* list);
SearchCriteria* GetSearchCriteria(RecordList* list);

// Record-list files (".pqs"): the loader throws on a file that is not one, or
// that reads past `budget`, and leaves `list` untouched unless the whole
// file was read. The writer returns false, writing nothing, when the file
// cannot be created, and throws when writing it fails (the old file then
// stays as it was).
void LoadRecordListFile(RecordList& list, const wxString& path, std::uint64_t budget = cmn::kFileReadBudget);
bool SaveRecordListFile(const wxString& path, const ArchiveInfo& info, const RecordList& list);

}  // namespace pq
