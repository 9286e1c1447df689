// The history window: a page per list, the listening list's brackets, the
// stored tab, and following the history's insertions, removals, renames and
// listening-list changes.
#include "historywindow.h"

#include <gtest/gtest.h>

#include <memory>

#include "lists_fixture.h"
#include "options.h"
#include "recordlistwindow.h"
#include "searchwindow.h"

namespace {

using lists_test::Fill;
using lists_test::MakeRecord;

// Main, Work, Search.
class Tabs : public lists_test::WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    history.CreateDefaultLists();
    work = NewList("Work");
    history.InsertRecordList(work, 1);
    Fill(*work, {"w1", "w2"});
    tabs = new HistoryWindow(&history, frame);
    frame->SendSizeEvent();
  }
  void TearDown() override {
    tabs->Unregister();
    WindowTest::TearDown();
  }
  static pq::RecordList* NewList(const char* name) {
    auto* list = new pq::RecordList;
    list->name = name;
    return list;
  }
  // What a tab shows (the toolkit reads it back from the tab's label).
  wxString Shown(std::size_t page) const { return tabs->GetPageText(page); }
  std::vector<wxString> Titles() const {
    std::vector<wxString> out;
    for (std::size_t i = 0; i < tabs->GetPageCount(); ++i) out.push_back(Shown(i));
    return out;
  }
  pq::History history;
  pq::RecordList* work = nullptr;
  HistoryWindow* tabs = nullptr;
};
using Titles_t = std::vector<wxString>;

TEST_F(Tabs, StartBuildsAPagePerListInTheHistorysOrder) {
  EXPECT_EQ(tabs->GetName(), "notebook");
  EXPECT_EQ(tabs->GetPageCount(), 0u) << "nothing before Start";
  tabs->Start(OPT_MAIN_FRAME_TAB);
  EXPECT_EQ(Titles(), (Titles_t{"[Main]", "Work", "Search"}));
  for (int page = 0; page < 3; ++page) {
    RecordListWindow* list = tabs->GetRecordListWindow(page);
    ASSERT_NE(list, nullptr) << page;
    EXPECT_EQ(list->GetRecordList(), history.GetLists()[page]);
  }
  EXPECT_EQ(tabs->GetRecordListWindow(1)->GetItemCount(), 2);
  // The search tab holds the search window; its list window is the result.
  auto* search = dynamic_cast<SearchWindow*>(tabs->GetPage(2));
  ASSERT_NE(search, nullptr);
  EXPECT_EQ(tabs->GetRecordListWindow(2), search->GetResultWindow());
  EXPECT_EQ(tabs->GetRecordListWindow(-1), nullptr);
  EXPECT_EQ(tabs->GetRecordListWindow(3), nullptr);
}

TEST_F(Tabs, TheStoredTabIsSelectedWithinThePages) {
  struct Case {
    int stored;
    int selected;
  } cases[] = {{7, 2}, {-2, 0}, {1, 1}, {2, 2}};
  for (const Case& c : cases) {
    SetOption(OPT_FLOATING_TAB, c.stored);
    auto* other = new HistoryWindow(&history, frame);
    other->Start(OPT_FLOATING_TAB);
    EXPECT_EQ(other->GetSelection(), c.selected) << c.stored;
    EXPECT_EQ(other->GetCurrentRecordListWindow(), other->GetRecordListWindow(c.selected));
    other->SetSelection(1);
    other->SaveSelection(OPT_FLOATING_TAB);
    EXPECT_EQ(OptionValue<int>(OPT_FLOATING_TAB, -1), 1);
    other->Unregister();
    delete other;
  }
}

TEST_F(Tabs, AHistoryWithoutListsSelectsNothing) {
  pq::History empty;
  auto* none = new HistoryWindow(&empty, frame);
  SetOption(OPT_POPUP_TAB, 3);
  none->Start(OPT_POPUP_TAB);
  EXPECT_EQ(none->GetPageCount(), 0u);
  EXPECT_EQ(none->GetCurrentRecordListWindow(), nullptr);
  none->SaveSelection(OPT_POPUP_TAB);
  EXPECT_EQ(OptionValue<int>(OPT_POPUP_TAB, -1), 0);
  delete none;  // still registered: the destructor leaves the history's observers
  empty.InsertRecordList(NewList("later"), 0);
}

TEST_F(Tabs, InsertedListsGetTheirPage) {
  tabs->Start(OPT_MAIN_FRAME_TAB);
  ASSERT_TRUE(history.InsertRecordList(NewList("First"), 0));
  ASSERT_TRUE(history.InsertRecordList(NewList("R&D"), 4));
  EXPECT_EQ(Titles(), (Titles_t{"First", "[Main]", "Work", "Search", "R&D"}));
  EXPECT_EQ(tabs->GetRecordListWindow(4)->GetRecordList(), history.GetLists()[4]);
  // An index past the pages (the window was started late, say) appends.
  std::unique_ptr<pq::RecordList> stray(NewList("Stray"));
  tabs->OnRecordListInserted(stray.get(), 99);
  EXPECT_EQ(Shown(5), "Stray");
  tabs->GetRecordListWindow(5)->SetRecordList(nullptr);
}

TEST_F(Tabs, ARemovedListsPageGoesAfterItsWindowLetGoOfTheList) {
  tabs->Start(OPT_MAIN_FRAME_TAB);
  RecordListWindow* shown = tabs->GetRecordListWindow(1);
  bool boundAtDestruction = true;
  shown->Bind(wxEVT_DESTROY, [&](wxWindowDestroyEvent& e) {
    if (e.GetEventObject() == shown) boundAtDestruction = shown->GetRecordList() != nullptr;
    e.Skip();
  });
  history.RemoveRecordList(work, false);
  EXPECT_FALSE(boundAtDestruction);
  EXPECT_EQ(Titles(), (Titles_t{"[Main]", "Search"}));
  work->AddRecord(MakeRecord("after"));  // nobody follows it any more
  DispatchPending();
  delete work;
}

TEST_F(Tabs, RenamesAndTheListeningListRetitleTheirTabs) {
  tabs->Start(OPT_MAIN_FRAME_TAB);
  work->name = "Work & Notes";
  history.NotifyRecordListChanged(work);
  EXPECT_EQ(Shown(1), "Work & Notes") << "an '&' shows as it stands";
  history.SetMainList(work);
  EXPECT_EQ(Titles(), (Titles_t{"Main", "[Work & Notes]", "Search"}));
  history.GetMainList()->name = "Renamed";
  history.NotifyRecordListChanged(history.GetMainList());
  EXPECT_EQ(Shown(1), "[Renamed]");
  EXPECT_EQ(HistoryWindow::GetPageTitle(*history.GetLists()[0], true), "[Main]");
}

TEST_F(Tabs, AfterUnregisterTheHistoryIsNoLongerFollowed) {
  tabs->Start(OPT_MAIN_FRAME_TAB);
  tabs->Unregister();
  EXPECT_EQ(tabs->GetHistory(), nullptr);
  history.InsertRecordList(NewList("unseen"), 0);
  EXPECT_EQ(tabs->GetPageCount(), 3u);
}

}  // namespace
