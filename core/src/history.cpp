#include "pq/history.h"

#include <algorithm>
#include <set>
#include <utility>

#include <boost/serialization/vector.hpp>
#include <wx/filefn.h>
#include <wx/intl.h>

#include "appconfig.h"
#include "cmn/archive.h"
#include "cmn/strconv.h"
#include "archive_instances.h"
#include "observers.h"
#include "pq/searchlist.h"

namespace pq {

using detail::NotifyEach;

History::~History() { DeleteAllLists(); }

void History::DeleteAllLists() {
  // A damaged file may have named one list twice; delete each once.
  // A list read as the main one that is in neither vector is owned too.
  std::set<RecordList*> owned(lists_.begin(), lists_.end());
  owned.insert(extraLists_.begin(), extraLists_.end());
  owned.insert(mainList_);
  owned.erase(nullptr);
  lists_.clear();
  extraLists_.clear();
  mainList_ = nullptr;
  for (RecordList* list : owned) delete list;
}

unsigned History::GetMaxLists() const { return std::min(maxLists_, kListLimit); }

bool History::InsertRecordList(RecordList* list, unsigned index) {
  if (!list || lists_.size() >= GetMaxLists() || index > lists_.size()) return false;
  if (std::find(lists_.begin(), lists_.end(), list) != lists_.end()) return false;
  lists_.insert(lists_.begin() + index, list);
  if (auto* search = dynamic_cast<SearchList*>(list)) search->SetHistory(this);
  NotifyEach(observers_, [&](HistoryObserver* o) { o->OnRecordListInserted(list, index); });
  return true;
}

void History::RemoveRecordList(RecordList* list, bool destroy) {
  if (!list || list == mainList_) return;
  if (std::find(lists_.begin(), lists_.end(), list) == lists_.end()) return;
  NotifyEach(observers_, [&](HistoryObserver* o) { o->OnRecordListRemoved(list); });
  auto it = std::find(lists_.begin(), lists_.end(), list);
  if (it == lists_.end() || list == mainList_) return;
  lists_.erase(it);
  if (auto* search = dynamic_cast<SearchList*>(list); search && search->GetHistory() == this) {
    search->SetHistory(nullptr);
  }
  if (destroy) delete list;
}

RecordList* History::FindRecordList(const wxString& name) const {
  for (RecordList* list : lists_) {
    if (list->GetName() == name) return list;
  }
  return nullptr;
}

int History::IndexOf(const RecordList* list) const {
  auto it = std::find(lists_.begin(), lists_.end(), list);
  return it == lists_.end() ? -1 : static_cast<int>(it - lists_.begin());
}

void History::NotifyRecordListChanged(RecordList* list) {
  NotifyEach(observers_, [&](HistoryObserver* o) { o->OnRecordListChanged(list); });
}

void History::SetMainList(RecordList* list) {
  if (!list || list == mainList_ || IsSearchList(list)) return;
  if (IndexOf(list) < 0) return;
  RecordList* old = mainList_;
  NotifyEach(observers_, [&](HistoryObserver* o) { o->OnMainRecordListChanged(old, list); });
  mainList_ = list;
}

void History::AddObserver(HistoryObserver* observer) { observers_.push_back(observer); }

void History::RemoveObserver(HistoryObserver* observer) { detail::EraseFirst(observers_, observer); }

void History::CreateDefaultLists() {
  DeleteAllLists();
  auto* main = new RecordList;
  main->name = cmn::wx::ToStdString(_("Main"));
  main->moveToFront = true;
  lists_.push_back(main);
  mainList_ = main;
  auto* search = new SearchList;
  search->name = cmn::wx::ToStdString(_("Search"));
  lists_.push_back(search);
  search->SetHistory(this);
  maxLists_ = 10;
}

bool History::Repair() {
  std::vector<RecordList*> unique;
  std::set<RecordList*> seen;
  for (RecordList* list : lists_) {
    if (list && seen.insert(list).second) unique.push_back(list);
  }
  lists_.swap(unique);
  std::vector<RecordList*> extra;
  for (RecordList* list : extraLists_) {
    if (list && seen.insert(list).second) extra.push_back(list);
  }
  extraLists_.swap(extra);
  if (mainList_ && !seen.count(mainList_)) {  // a stray object, not one of the lists
    delete mainList_;
    mainList_ = nullptr;
  }
  if (IndexOf(mainList_) < 0 || IsSearchList(mainList_)) {
    mainList_ = nullptr;
    for (RecordList* list : lists_) {
      if (!IsSearchList(list)) {
        mainList_ = list;
        break;
      }
    }
  }
  return mainList_ != nullptr;
}

void History::AdoptSearchLists() {
  for (RecordList* list : lists_) {
    if (auto* search = dynamic_cast<SearchList*>(list)) search->SetHistory(this);
  }
  for (RecordList* list : extraLists_) {
    if (auto* search = dynamic_cast<SearchList*>(list)) search->SetHistory(this);
  }
}

void History::TakeFrom(History& other) {
  DeleteAllLists();
  lists_.swap(other.lists_);
  extraLists_.swap(other.extraLists_);
  mainList_ = other.mainList_;
  other.mainList_ = nullptr;
  extraValue_ = other.extraValue_;
  maxLists_ = other.maxLists_;
  AdoptSearchLists();
}

void History::Initialize(const AppConfig& config) {
  const wxString path = GetFilePath();
  const bool exists = wxFileExists(path);
  bool loaded = false;
  if (exists && config.firstRun) {  // no settings file was read at this start
    unloadedFile_ = path;
  } else if (exists) {
    try {
      Load(path);
      loaded = true;
    } catch (...) {
      unloadedFile_ = path;
    }
  }
  if (!loaded) CreateDefaultLists();
}

wxString History::GetFilePath() { return AppConfig::GetFolder() + "/pastiq_history"; }

void History::Load() { Load(GetFilePath()); }

void History::Load(const wxString& path, std::uint64_t budget) {
  History fresh;
  cmn::LoadArchiveFile(path, cmn::kHistoryFileMagic, fresh, budget);
  if (!fresh.Repair()) fresh.CreateDefaultLists();
  TakeFrom(fresh);
  // A file loaded on purpose needs no keeping.
  if (unloadedFile_ == path) unloadedFile_.clear();
}

void History::Save(const wxString& path, const ArchiveInfo& info) {
  if (!unloadedFile_.empty() && unloadedFile_ == path && wxFileExists(path)) {
    // Never overwrite a history that was not read unless it is kept.
    cmn::KeepUnreadFile(path);
    unloadedFile_.clear();
  }
  cmn::SaveArchiveFile(path, cmn::kHistoryFileMagic, info, *this);
}

template <class Archive>
void History::save(Archive& ar, unsigned) const {
  ar << extraValue_;
  ar << lists_;
  ar << mainList_;
  ar << maxLists_;
  ar << extraLists_;
}

template <class Archive>
void History::load(Archive& ar, unsigned) {
  // Only ever called on a fresh history (see Load), which frees what it
  // took in when the load fails halfway. The bounded reader caps every count
  // before the library sizes a vector.
  ar >> extraValue_;
  ar >> lists_;
  ar >> mainList_;
  ar >> maxLists_;
  ar >> extraLists_;
}

PQ_ARCHIVE_INSTANCES(History);

bool IsSearchList(const RecordList* list) {
  return list && typeid(*list) == typeid(SearchList);
}

SearchCriteria* GetSearchCriteria(RecordList* list) {
  if (!IsSearchList(list)) return nullptr;
  return static_cast<SearchList*>(list);
}

void LoadRecordListFile(RecordList& list, const wxString& path, std::uint64_t budget) {
  RecordList fresh;
  cmn::LoadArchiveFile(path, cmn::kRecordListFileMagic, fresh, budget);
  list.records_.swap(fresh.records_);
  list.name.swap(fresh.name);
  list.maxRecords = fresh.maxRecords;
  list.dropOldest = fresh.dropOldest;
  list.moveToFront = fresh.moveToFront;
}

bool SaveRecordListFile(const wxString& path, const ArchiveInfo& info, const RecordList& list) {
  return cmn::SaveArchiveFile(path, cmn::kRecordListFileMagic, info, list);
}

}  // namespace pq
