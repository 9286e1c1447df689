#include <thread>

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/apptrait.h>
#include <wx/evtloop.h>
#include <wx/init.h>
#include <wx/time.h>
#include <wx/timer.h>

#include "fake_timers.h"
#include "pq/history.h"
#include "pq/searchlist.h"
#include "records_test_util.h"

namespace {

using testing_timers::FakeTimers;
using records_test::LogObserver;
using records_test::MakeRecord;
using records_test::Texts;
using Lines = std::vector<std::string>;

// A history of "Main" and "Search" (the defaults) plus a list "Other", with
// the search list's timer on a virtual clock.
class SearchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    history.CreateDefaultLists();
    main = history.GetLists()[0];
    search = static_cast<SearchList*>(history.GetLists()[1]);
    other = new pq::RecordList;
    other->name = "Other";
    ASSERT_TRUE(history.InsertRecordList(other, 2));
    clock.Advance(1000);  // the search every new search list runs first
    obs = std::make_unique<LogObserver>(*search);
    search->pq::RecordList::AddObserver(obs.get());
  }
  void TearDown() override { search->pq::RecordList::RemoveObserver(obs.get()); }

  int Searches() const {
    int n = 0;
    for (const auto& line : obs->log) n += line.rfind("reset", 0) == 0;
    return n;
  }

  FakeTimers clock;
  pq::History history;
  pq::RecordList* main = nullptr;
  pq::RecordList* other = nullptr;
  SearchList* search = nullptr;
  std::unique_ptr<LogObserver> obs;
};

TEST_F(SearchTest, TypingFasterThanTheDelayRunsOneSearchAfterTheLastKey) {
  main->AddRecord(MakeRecord("xaby"));
  search->SetText("a");
  clock.Advance(200);
  search->SetText("ab");
  clock.Advance(249);
  EXPECT_EQ(Searches(), 0);
  EXPECT_TRUE(search->IsSearchPending());
  clock.Advance(1);
  EXPECT_EQ(Searches(), 1);
  EXPECT_EQ(Texts(*search), (Lines{"xaby"}));
  EXPECT_FALSE(search->IsSearchPending());
  clock.Advance(5000);
  EXPECT_EQ(Searches(), 1);
}

TEST_F(SearchTest, SettingTheSameTextAgainNotifiesNobodyAndStartsNoSearch) {
  struct Counter : SearchCriteriaObserver {
    int calls = 0;
    void OnSearchCriteriaChanged(SearchCriteria&) override { ++calls; }
  } counter;
  search->SearchCriteria::AddObserver(&counter);
  search->SetText("abc");
  clock.Advance(300);
  search->SetText("abc");
  EXPECT_FALSE(search->IsSearchPending());
  clock.Advance(300);
  EXPECT_EQ(counter.calls, 1);
  EXPECT_EQ(Searches(), 1);
  search->SearchCriteria::RemoveObserver(&counter);
}

TEST_F(SearchTest, ARemovedCriteriaObserverIsNeverCalledAgain) {
  struct Counter : SearchCriteriaObserver {
    int calls = 0;
    void OnSearchCriteriaChanged(SearchCriteria&) override { ++calls; }
  };
  auto window = std::make_unique<Counter>();
  search->SearchCriteria::AddObserver(window.get());
  search->SetText("a");
  search->SearchCriteria::RemoveObserver(window.get());
  window.reset();  // a closed search window
  search->SetText("b");
  search->matchCase = true;
  search->NotifyObservers();
  clock.Advance(300);
  EXPECT_EQ(Searches(), 1);
}

TEST_F(SearchTest, AnEmptyTextLeavesTheListEmpty) {
  main->AddRecord(MakeRecord("abc"));
  search->SetText("b");
  clock.Advance(300);
  ASSERT_EQ(search->GetCount(), 1u);
  search->SetText("");
  clock.Advance(300);
  EXPECT_EQ(search->GetCount(), 0u);
  EXPECT_EQ(obs->log.back(), "reset, count 0");
}

TEST_F(SearchTest, HitsStopAtTheListLimitInWalkOrder) {
  for (int i = 149; i >= 0; --i) {
    (i < 80 ? main : other)->AddRecord(MakeRecord("hit " + std::to_string(i)));
  }
  main->AddRecord(MakeRecord("miss"));
  search->SetText("hit");
  clock.Advance(300);
  ASSERT_EQ(search->GetCount(), 100u);
  for (unsigned i = 0; i < 100; ++i) EXPECT_EQ(search->GetRecord(i)->text, "hit " + std::to_string(i));
  // Replaced in one step: one reset, no per-record calls.
  EXPECT_EQ(obs->log, (Lines{"reset, count 100"}));
}

TEST_F(SearchTest, ARecordInTwoListsIsTwoHitsAndOtherSearchListsAreSkipped) {
  const auto shared = MakeRecord("shared text");
  main->AddRecord(shared);
  other->AddRecord(shared);
  auto* second = new SearchList;
  ASSERT_TRUE(history.InsertRecordList(second, 3));
  static_cast<pq::RecordList*>(second)->AddRecord(MakeRecord("text in another search list"));
  search->SetText("text");
  clock.Advance(300);
  ASSERT_EQ(search->GetCount(), 2u);
  EXPECT_EQ(search->GetRecord(0), shared);
  EXPECT_EQ(search->GetRecord(1), shared);
}

struct CaseRule {
  const char* text;
  const char* pattern;
  bool matchCase;
  bool hit;
};

TEST(SearchCaseRules, OnlyAsciiLettersFoldAndEveryOtherByteMustMatch) {
  const CaseRule rules[] = {
      {"Hello World", "o wor", false, true},
      {"Hello World", "o wor", true, false},
      {"Hello World", "o Wor", true, true},
      {"abc", "", false, false},
      {"abc", "", true, false},
      {"ab", "abc", false, false},
      {"abc", "abc", true, true},
      {"aaab", "aab", false, true},
      {"\xC3\x84rger", "\xC3\xA4rger", false, false},  // Ä / ä: not folded
      {"\xC3\x84rger", "\xC3\x84RGER", false, true},
      {"x\xE9y", "X\xC9Y", false, false},  // Latin-1 bytes above 0x7F stay as they are
      {"x\xE9y", "X\xE9Y", false, true},
      {"line\none", "E\nO", false, true},
  };
  for (const auto& r : rules) {
    EXPECT_EQ(pq::SearchTextMatches(r.text, r.pattern, r.matchCase), r.hit)
        << '"' << r.text << "\" / \"" << r.pattern << "\" case " << r.matchCase;
  }
}

TEST(SearchCaseRules, LongTextsFindThePatternAtEveryPosition) {
  // Long enough for the scan that takes sixteen positions at a time.
  for (std::size_t at = 0; at <= 60; ++at) {
    std::string text(64, '.');
    text.replace(at, 4, "NeEd");
    EXPECT_TRUE(pq::SearchTextMatches(text, "need", false)) << at;
    EXPECT_FALSE(pq::SearchTextMatches(text, "need", true)) << at;
    EXPECT_TRUE(pq::SearchTextMatches(text, "NeEd", true)) << at;
    std::string latin(64, 'x');
    latin[at] = '\xC9';
    EXPECT_FALSE(pq::SearchTextMatches(latin, "\xE9", false)) << at;
    EXPECT_TRUE(pq::SearchTextMatches(latin, "X\xC9", false) || at == 0) << at;
  }
  // First and last bytes agree but the middle does not.
  EXPECT_FALSE(pq::SearchTextMatches(std::string(40, 'a') + "abxa" + std::string(40, 'a'), "abca", false));
}

TEST(SearchTimerThread, AListBuiltOffTheGuiThreadStartsNoTimer) {
  wxInitializer toolkit;  // tells the GUI thread from the others
  ASSERT_TRUE(toolkit.IsOk());
  FakeTimers clock;
  std::thread receiver([] {
    SearchList list;
    list.SetText("a");
  });
  receiver.join();
  EXPECT_EQ(clock.Made(), 0);
  SearchList onGui;
  EXPECT_EQ(clock.Made(), 1);
  EXPECT_TRUE(onGui.IsSearchPending());
}

// The one test on the toolkit's own timer and event loop (real time).
TEST(SearchToolkitTimer, RunsTheSearchFromTheEventLoop) {
  wxInitializer toolkit;
  ASSERT_TRUE(toolkit.IsOk());
  pq::History history;
  history.CreateDefaultLists();
  history.GetLists()[0]->AddRecord(MakeRecord("found"));
  auto* search = static_cast<SearchList*>(history.GetLists()[1]);
  std::unique_ptr<wxEventLoopBase> loop(wxAppConsole::GetInstance()->GetTraits()->CreateEventLoop());
  wxEventLoopActivator active(loop.get());
  struct Stop : pq::RecordListObserver {
    wxEventLoopBase* loop;
    void OnRecordAdded(const pq::RecordPtr&) override {}
    void OnRecordRemoving(const pq::RecordPtr&) override {}
    void OnRecordMovedToFront(unsigned) override {}
    void OnRecordListCleared() override {}
    void OnRecordListReset() override { loop->ScheduleExit(); }
  } stop;
  stop.loop = loop.get();
  search->pq::RecordList::AddObserver(&stop);
  search->SetText("FOUND");
  ASSERT_TRUE(search->IsSearchPending());
  struct Guard : wxTimer {
    wxEventLoopBase* loop;
    void Notify() override { loop->ScheduleExit(); }
  } guard;
  guard.loop = loop.get();
  guard.Start(5000, wxTIMER_ONE_SHOT);
  const wxLongLong started = wxGetLocalTimeMillis();
  loop->Run();
  EXPECT_EQ(search->GetCount(), 1u);
  EXPECT_GE(wxGetLocalTimeMillis() - started, 200);
  search->pq::RecordList::RemoveObserver(&stop);
}

TEST(SearchWithoutHistory, FindsNothing) {
  FakeTimers clock;
  SearchList list;
  list.SetText("a");
  clock.Advance(300);
  EXPECT_EQ(list.GetCount(), 0u);
}

}  // namespace
