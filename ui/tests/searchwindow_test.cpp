// The search window: its text field and "Match case" box drive the search
// list's criteria, and follow them when they change elsewhere.
#include "searchwindow.h"

#include <gtest/gtest.h>

#include <memory>

#include <wx/checkbox.h>
#include <wx/textctrl.h>

#include "lists_fixture.h"
#include "recordlistwindow.h"
#include "fake_timers.h"

namespace {

using lists_test::Fill;
using lists_test::Lines;
using lists_test::Texts;

// Writes each reset of the list it follows with the count after it.
class ResetLog : public pq::RecordListObserver {
 public:
  explicit ResetLog(const pq::RecordList& list) : list(list) {}
  void OnRecordAdded(const pq::RecordPtr&) override {}
  void OnRecordRemoving(const pq::RecordPtr&) override {}
  void OnRecordMovedToFront(unsigned) override {}
  void OnRecordListCleared() override {}
  void OnRecordListReset() override { log.push_back("reset, count " + std::to_string(list.GetCount())); }
  Lines log;

 private:
  const pq::RecordList& list;
};

class Search : public lists_test::WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    history.CreateDefaultLists();
    Fill(*history.GetMainList(), {"alpha", "Beta", "alphabet", "gamma"});
    search = lists_test::SearchListOf(history);
    log = std::make_unique<ResetLog>(*search);
    search->pq::RecordList::AddObserver(log.get());
    page = new SearchWindow(frame);
    frame->SendSizeEvent();
  }
  void TearDown() override {
    search->pq::RecordList::RemoveObserver(log.get());
    WindowTest::TearDown();
  }
  // Types into the field as a user does: one change per key.
  void Type(const wxString& text) {
    for (std::size_t n = 1; n <= text.length(); ++n) page->GetTextField()->SetValue(text.Left(n));
  }
  void ClickMatchCase() {
    wxCheckBox* box = page->GetMatchCaseBox();
    box->SetValue(!box->GetValue());
    wxCommandEvent click(wxEVT_CHECKBOX, box->GetId());
    click.SetInt(box->GetValue());
    click.SetEventObject(box);
    box->GetEventHandler()->ProcessEvent(click);
  }
  testing_timers::FakeTimers timers;  // before the history: its search list takes a fake timer
  pq::History history;
  SearchList* search = nullptr;
  std::unique_ptr<ResetLog> log;
  SearchWindow* page = nullptr;
};

TEST_F(Search, IsAFieldABoxAndTheResultList) {
  EXPECT_EQ(page->GetTextField()->GetId(), 8999);
  EXPECT_EQ(page->GetMatchCaseBox()->GetId(), 9001);
  EXPECT_EQ(page->GetMatchCaseBox()->GetLabel(), "Match case");
  EXPECT_TRUE(page->GetTextField()->IsEmpty());
  EXPECT_FALSE(page->GetMatchCaseBox()->GetValue());
  EXPECT_EQ(page->GetResultWindow()->GetRecordList(), nullptr);
  EXPECT_TRUE(page->HasFlag(wxTAB_TRAVERSAL));
  page->SetRecordList(search);
  EXPECT_EQ(page->GetResultWindow()->GetRecordList(), search);
}

TEST_F(Search, TypingChangesTheCriteriaAtEachKeyAndSearchesOnceAfterTheLast) {
  page->SetRecordList(search);
  Type("alp");
  EXPECT_EQ(search->GetText(), "alp");
  timers.Advance(SearchList::kDelayMs - 1);
  EXPECT_TRUE(log->log.empty());
  timers.Advance(1);
  EXPECT_EQ(log->log, (Lines{"reset, count 2"}));
  EXPECT_EQ(Texts(*search), (Lines{"alpha", "alphabet"}));
  DispatchPending();
  EXPECT_EQ(page->GetResultWindow()->GetItemCount(), 2);
}

TEST_F(Search, MatchCaseNotifiesAndSearchesEvenWithoutText) {
  page->SetRecordList(search);
  ClickMatchCase();
  EXPECT_TRUE(search->matchCase);
  timers.Advance(SearchList::kDelayMs);
  EXPECT_EQ(log->log, (Lines{"reset, count 0"}));
  Type("b");
  ClickMatchCase();
  EXPECT_FALSE(search->matchCase);
  timers.Advance(SearchList::kDelayMs);
  EXPECT_EQ(Texts(*search), (Lines{"Beta", "alphabet"}));
  ClickMatchCase();
  timers.Advance(SearchList::kDelayMs);
  EXPECT_EQ(Texts(*search), (Lines{"alphabet"}));
}

TEST_F(Search, TheControlsFollowTheCriteria) {
  search->SetText("gam");
  search->matchCase = true;
  page->SetRecordList(search);
  EXPECT_EQ(page->GetTextField()->GetValue(), "gam") << "a loaded history's criteria";
  EXPECT_TRUE(page->GetMatchCaseBox()->GetValue());
  search->SetText("alpha");
  search->matchCase = false;
  search->NotifyObservers();
  EXPECT_EQ(page->GetTextField()->GetValue(), "alpha");
  EXPECT_FALSE(page->GetMatchCaseBox()->GetValue());
}

TEST_F(Search, AnotherListEndsTheFollowingOfTheCriteria) {
  page->SetRecordList(search);
  page->SetRecordList(history.GetMainList());
  search->SetText("zeta");
  EXPECT_TRUE(page->GetTextField()->IsEmpty());
  // With a list that has no criteria the controls change nothing.
  Type("x");
  ClickMatchCase();
  EXPECT_EQ(search->GetText(), "zeta");
  EXPECT_FALSE(search->matchCase);
  page->SetRecordList(nullptr);
}

}  // namespace
