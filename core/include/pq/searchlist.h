#pragma once
// Search criteria and the search list: a record list refilled from every other
// list of its history 250 ms after the last change of its criteria.
#include <memory>
#include <string>
#include <vector>

#include <boost/serialization/export.hpp>
#include <boost/serialization/split_member.hpp>
#include <wx/string.h>

#include "cmn/timer.h"
#include "pq/recordlist.h"

namespace pq {
class History;
}

class SearchCriteria;

class SearchCriteriaObserver {
 public:
  virtual ~SearchCriteriaObserver() = default;
  virtual void OnSearchCriteriaChanged(SearchCriteria& criteria) = 0;
};

class SearchCriteria {
 public:
  wxString GetText() const;
  // An equal text changes nothing and tells nobody.
  void SetText(const wxString& text);
  void NotifyObservers();
  void AddObserver(SearchCriteriaObserver* observer);
  // A window that closes before the criteria removes itself here.
  void RemoveObserver(SearchCriteriaObserver* observer);

  // Set directly by their owner, who calls NotifyObservers when they changed.
  bool extraSwitch = false;  // carried by the archive, read by nothing
  bool matchCase = false;

  template <class Archive>
  void save(Archive& ar, unsigned version) const;
  template <class Archive>
  void load(Archive& ar, unsigned version);
  BOOST_SERIALIZATION_SPLIT_MEMBER()

 protected:
  std::vector<SearchCriteriaObserver*> observers_;
  std::string text_;
};

class SearchList : public pq::RecordList, public SearchCriteria, public SearchCriteriaObserver {
 public:
  static constexpr int kDelayMs = 250;

  SearchList();
  ~SearchList() override;

  // The history whose lists the search walks; the history sets itself.
  void SetHistory(pq::History* history) { history_ = history; }
  pq::History* GetHistory() const { return history_; }

  void OnSearchCriteriaChanged(SearchCriteria& criteria) override;
  // The search itself, run when the delay ends.
  void RunSearch();
  bool IsSearchPending() const;

  template <class Archive>
  void save(Archive& ar, unsigned version) const;
  template <class Archive>
  void load(Archive& ar, unsigned version);
  BOOST_SERIALIZATION_SPLIT_MEMBER()

 private:
  // The delay runs only on the GUI thread: a list built by the network
  // receiver on its own thread starts none.
  void StartDelay();

  pq::History* history_ = nullptr;
  // One-shot; none off the GUI thread or without the toolkit's application.
  std::unique_ptr<cmn::Timer> timer_;
};

BOOST_CLASS_EXPORT_KEY2(SearchList, "SearchList")

namespace pq {
// Whether `text` contains `pattern` under the search's case rules: exact
// bytes, or ASCII letters folded by the classic locale. An empty pattern
// matches nothing.
bool SearchTextMatches(const std::string& text, const std::string& pattern, bool matchCase);
}  // namespace pq
