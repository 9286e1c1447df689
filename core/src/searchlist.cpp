#include "pq/searchlist.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <locale>
#include <utility>

// The archives first, so that the export below registers for both.
#include "cmn/iarchive.h"

#include <boost/serialization/base_object.hpp>
#include <boost/serialization/string.hpp>
#include <boost/serialization/export.hpp>
#include <wx/app.h>
#include <wx/thread.h>
#include <wx/utils.h>

#include "cmn/strconv.h"
#include "archive_instances.h"
#include "observers.h"
#include "pq/history.h"
#include "pq/record.h"

BOOST_CLASS_EXPORT_IMPLEMENT(SearchList)

// ---- criteria ----

wxString SearchCriteria::GetText() const { return cmn::wx::FromStdString(text_); }

void SearchCriteria::SetText(const wxString& text) {
  if (text == GetText()) return;
  text_ = cmn::wx::ToStdString(text);
  NotifyObservers();
}

void SearchCriteria::NotifyObservers() {
  pq::detail::NotifyEach(observers_,
                         [this](SearchCriteriaObserver* o) { o->OnSearchCriteriaChanged(*this); });
}

void SearchCriteria::AddObserver(SearchCriteriaObserver* observer) {
  observers_.push_back(observer);
}

void SearchCriteria::RemoveObserver(SearchCriteriaObserver* observer) {
  pq::detail::EraseFirst(observers_, observer);
}

template <class Archive>
void SearchCriteria::save(Archive& ar, unsigned) const {
  ar << text_;
  ar << extraSwitch;
  ar << matchCase;
}

template <class Archive>
void SearchCriteria::load(Archive& ar, unsigned) {
  std::string text;
  bool extra = false;
  bool match = false;
  ar >> text;
  ar >> extra;
  ar >> match;
  text_.swap(text);
  extraSwitch = extra;
  matchCase = match;
}

PQ_ARCHIVE_INSTANCES(SearchCriteria);

// ---- matching ----

namespace pq {
namespace {

// Sixteen text bytes at a time.
using Bytes16 = unsigned char __attribute__((vector_size(16)));

Bytes16 Load16(const unsigned char* p) {
  Bytes16 v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

Bytes16 Splat(unsigned char c) {
  Bytes16 v;
  for (unsigned i = 0; i < sizeof v; ++i) v[i] = c;
  return v;
}

// ASCII letters to upper case, every other byte as it is.
Bytes16 UpperAscii(Bytes16 v) {
  const Bytes16 lower = reinterpret_cast<Bytes16>((v >= 'a') & (v <= 'z'));
  return v - (lower & Splat(0x20));
}

bool AnyLane(Bytes16 v) {
  std::uint64_t halves[2];
  std::memcpy(halves, &v, sizeof halves);
  return (halves[0] | halves[1]) != 0;
}

// Finds a pattern in texts, comparing bytes through a fold table built from
// the global locale (identity when case matters). Under the classic locale,
// which the program never changes, the fold is plain ASCII and the text is
// scanned sixteen positions at a time for the pattern's first and last byte;
// any other locale takes the byte-by-byte path with the same table.
class TextMatcher {
 public:
  TextMatcher(const std::string& pattern, bool matchCase) : pattern_(pattern), fold_(!matchCase) {
    bool ascii = true;
    for (unsigned c = 0; c < 256; ++c) table_[c] = static_cast<unsigned char>(c);
    if (fold_) {
      const auto& ctype = std::use_facet<std::ctype<char>>(std::locale());
      for (unsigned c = 0; c < 256; ++c) {
        // Through unsigned char: bytes above 0x7F are never negative indexes.
        table_[c] = static_cast<unsigned char>(ctype.toupper(static_cast<char>(c)));
        const unsigned upper = (c >= 'a' && c <= 'z') ? c - 0x20 : c;
        ascii = ascii && table_[c] == upper;
      }
    }
    vectorFold_ = ascii;
    for (auto& ch : pattern_) ch = static_cast<char>(Fold(ch));
  }

  bool Matches(const std::string& text) const {
    const std::size_t m = pattern_.size();
    const std::size_t n = text.size();
    if (m == 0 || m > n) return false;
    const auto* t = reinterpret_cast<const unsigned char*>(text.data());
    const auto* p = reinterpret_cast<const unsigned char*>(pattern_.data());
    const std::size_t starts = n - m + 1;
    std::size_t i = 0;
    if (vectorFold_) {
      const Bytes16 first = Splat(p[0]);
      const Bytes16 last = Splat(p[m - 1]);
      for (; i + 16 <= starts; i += 16) {
        Bytes16 a = Load16(t + i);
        Bytes16 b = Load16(t + i + m - 1);
        if (fold_) {
          a = UpperAscii(a);
          b = UpperAscii(b);
        }
        const Bytes16 hit = reinterpret_cast<Bytes16>((a == first) & (b == last));
        if (!AnyLane(hit)) continue;
        for (unsigned j = 0; j < 16; ++j) {
          if (hit[j] && Rest(t + i + j, p, m)) return true;
        }
      }
    }
    for (; i < starts; ++i) {
      if (Fold(t[i]) == p[0] && Fold(t[i + m - 1]) == p[m - 1] && Rest(t + i, p, m)) return true;
    }
    return false;
  }

 private:
  unsigned char Fold(unsigned char c) const { return table_[c]; }
  unsigned char Fold(char c) const { return table_[static_cast<unsigned char>(c)]; }
  // The bytes between the first and the last.
  bool Rest(const unsigned char* at, const unsigned char* p, std::size_t m) const {
    for (std::size_t k = 1; k + 1 < m; ++k) {
      if (Fold(at[k]) != p[k]) return false;
    }
    return true;
  }

  std::string pattern_;
  bool fold_;
  bool vectorFold_ = true;
  std::array<unsigned char, 256> table_{};
};

}  // namespace

bool SearchTextMatches(const std::string& text, const std::string& pattern, bool matchCase) {
  return TextMatcher(pattern, matchCase).Matches(text);
}

}  // namespace pq

// ---- the list ----

SearchList::SearchList() {
  SearchCriteria::AddObserver(this);
  StartDelay();
}

SearchList::~SearchList() {
  if (timer_) timer_->Stop();
}

void SearchList::StartDelay() {
  if (!wxThread::IsMain()) return;
  if (!timer_) timer_ = cmn::MakeTimer(cmn::Timer::kOneShot, [this] { RunSearch(); });
  if (timer_) timer_->Start(kDelayMs);
}

bool SearchList::IsSearchPending() const { return timer_ && timer_->IsRunning(); }

void SearchList::OnSearchCriteriaChanged(SearchCriteria& criteria) {
  if (&criteria == static_cast<SearchCriteria*>(this)) StartDelay();
}

void SearchList::RunSearch() {
  if (timer_) timer_->Stop();
  std::unique_ptr<wxBusyCursor> busy;
  const wxAppConsole* app = wxAppConsole::GetInstance();
  if (app && app->IsGUI() && wxThread::IsMain()) busy = std::make_unique<wxBusyCursor>();

  std::deque<pq::RecordPtr> hits;
  const std::size_t limit = GetMaxRecords();
  if (history_ && !text_.empty()) {
    const pq::TextMatcher matcher(text_, matchCase);
    for (pq::RecordList* list : history_->GetLists()) {
      if (hits.size() >= limit) break;
      if (!list || pq::IsSearchList(list)) continue;
      for (const pq::RecordPtr& record : list->GetRecords()) {
        if (hits.size() >= limit) break;
        if (record && matcher.Matches(record->text)) hits.push_back(record);
      }
    }
  }
  ResetRecords(std::move(hits));
}

template <class Archive>
void SearchList::save(Archive& ar, unsigned) const {
  // The hits are never stored: the list goes out with no records, and the
  // hits stay in memory so the windows showing them keep valid rows.
  auto& self = const_cast<SearchList&>(*this);
  std::deque<pq::RecordPtr> hits;
  hits.swap(self.records_);
  struct Restore {
    std::deque<pq::RecordPtr>& into;
    std::deque<pq::RecordPtr>& from;
    ~Restore() { into.swap(from); }
  } restore{self.records_, hits};
  ar << boost::serialization::base_object<pq::RecordList>(*this);
  ar << boost::serialization::base_object<SearchCriteria>(*this);
}

template <class Archive>
void SearchList::load(Archive& ar, unsigned) {
  ar >> boost::serialization::base_object<pq::RecordList>(*this);
  ar >> boost::serialization::base_object<SearchCriteria>(*this);
  // Hits are never loaded; the first search runs after the delay.
  records_.clear();
  StartDelay();
}

PQ_ARCHIVE_INSTANCES(SearchList);
