// Dropping dragged records on record-list windows: moves inside a list and
// between lists, only for drags of this process, never between a search list
// and another list, and never losing a record.
#include "recordlistdroptarget.h"

#include <gtest/gtest.h>

#include <wx/sizer.h>

#include "dropsource.h"
#include "lists_fixture.h"
#include "pq/history.h"
#include "pq/tagid.h"
#include "recordlistwindow.h"

namespace {

using lists_test::Fill;
using lists_test::Lines;
using lists_test::MakeRecord;
using lists_test::Texts;

class Drop : public lists_test::WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Fill(a, {"W", "X", "Y", "Z"});
    Fill(b, {"P", "Q"});
    auto* sizer = new wxBoxSizer(wxHORIZONTAL);
    left = new RecordListWindow(frame);
    right = new RecordListWindow(frame);
    sizer->Add(left, 1, wxEXPAND);
    sizer->Add(right, 1, wxEXPAND);
    frame->SetSizer(sizer);
    frame->Layout();
    left->SetRecordList(&a);
    right->SetRecordList(&b);
    DispatchPending();
  }
  static RecordListWindowDropTarget& Target(RecordListWindow* window) {
    return *static_cast<RecordListWindowDropTarget*>(window->GetDropTarget());
  }
  static wxPoint Row(RecordListWindow* window, long row) {
    wxRect rect;
    EXPECT_TRUE(window->GetItemRect(row, rect)) << row;
    return rect.GetPosition() + wxPoint(rect.width / 2, rect.height / 2);
  }
  // A point in the window below its rows.
  static wxPoint Below(RecordListWindow* window) {
    const wxSize size = window->GetRowsWindow()->GetClientSize();
    return wxPoint(size.x / 2, size.y - 3);
  }
  // Drags the record at `row` of `from` and drops it at `at` of `to`, as the
  // toolkit's drag loop does: enter, move over, drop, data.
  bool DragAndDrop(pq::RecordList& from, unsigned row, RecordListWindow* to, const wxPoint& at) {
    ScopedRecordDrag drag(from.GetRecord(row), &from);
    RecordListWindowDropTarget& target = Target(to);
    if (target.OnEnter(at.x, at.y, wxDragMove) != wxDragMove) return false;
    if (target.OnDragOver(at.x, at.y, wxDragMove) != wxDragMove) return false;
    if (!target.OnDrop(at.x, at.y)) return false;
    const bool taken = target.DropAt(at, &drag.GetTag());
    DispatchPending();
    return taken;
  }
  pq::RecordList a, b;
  RecordListWindow* left = nullptr;
  RecordListWindow* right = nullptr;
};

TEST_F(Drop, InsideAListTheRecordLandsBeforeTheRowDroppedOn) {
  struct Case {
    unsigned from;
    long onto;  // -1: below the rows
    Lines result;
  } cases[] = {
      {3, 1, {"W", "Z", "X", "Y"}},
      {1, 3, {"W", "Y", "X", "Z"}},  // row 1 onto row 3: its new place is 2
      {2, 2, {"W", "X", "Y", "Z"}},  // onto itself: nothing
      {0, -1, {"X", "Y", "Z", "W"}},
  };
  for (const Case& c : cases) {
    a.Clear();
    Fill(a, {"W", "X", "Y", "Z"});
    DispatchPending();
    EXPECT_TRUE(DragAndDrop(a, c.from, left, c.onto < 0 ? Below(left) : Row(left, c.onto)));
    EXPECT_EQ(Texts(a), c.result) << c.from << " onto " << c.onto;
  }
}

TEST_F(Drop, AReorderOfAListOverItsLimitKeepsEveryRecord) {
  a.maxRecords = 2;
  EXPECT_TRUE(DragAndDrop(a, 3, left, Row(left, 0)));
  EXPECT_EQ(Texts(a), (Lines{"Z", "W", "X", "Y"}));
}

TEST_F(Drop, OntoAnotherListTheRecordMovesThere) {
  EXPECT_TRUE(DragAndDrop(a, 1, right, Row(right, 1)));
  EXPECT_EQ(Texts(b), (Lines{"P", "X", "Q"}));
  EXPECT_EQ(Texts(a), (Lines{"W", "Y", "Z"}));
  EXPECT_TRUE(DragAndDrop(a, 0, right, Below(right)));
  EXPECT_EQ(Texts(b), (Lines{"P", "X", "Q", "W"}));
  EXPECT_EQ(Texts(a), (Lines{"Y", "Z"}));
  EXPECT_EQ(right->GetItemCount(), 4);
  EXPECT_EQ(left->GetItemCount(), 2);
}

TEST_F(Drop, OntoAnEmptyListTheRecordIsItsOnlyRow) {
  b.Clear();
  DispatchPending();
  EXPECT_TRUE(DragAndDrop(a, 2, right, Below(right)));
  EXPECT_EQ(Texts(b), (Lines{"Y"}));
  EXPECT_EQ(Texts(a), (Lines{"W", "X", "Z"}));
}

TEST_F(Drop, OntoAFullListTheRecordIsNeverLost) {
  for (bool dropOldest : {true, false}) {
    b.Clear();
    Fill(b, {"P", "Q"});
    b.maxRecords = 2;
    b.dropOldest = dropOldest;
    DispatchPending();
    const pq::RecordPtr moved = a.GetRecord(0);
    EXPECT_TRUE(DragAndDrop(a, 0, right, Below(right)));
    EXPECT_GE(b.IndexOf(moved.get()), 0) << dropOldest;
    EXPECT_EQ(a.IndexOf(moved.get()), -1) << dropOldest;
    EXPECT_EQ(b.GetCount(), dropOldest ? 2u : 3u);
  }
}

TEST_F(Drop, BetweenASearchListAndAnotherListNothingMoves) {
  pq::History history;
  history.CreateDefaultLists();
  SearchList* search = lists_test::SearchListOf(history);
  ASSERT_NE(search, nullptr);
  Fill(*history.GetMainList(), {"W1", "W2"});
  lists_test::SearchNow(*search, "W");
  right->SetRecordList(search);
  DispatchPending();
  ASSERT_EQ(search->GetCount(), 2u);

  EXPECT_FALSE(DragAndDrop(a, 0, right, Row(right, 0)));
  EXPECT_FALSE(DragAndDrop(*search, 0, left, Row(left, 0)));
  EXPECT_EQ(Texts(a), (Lines{"W", "X", "Y", "Z"}));
  EXPECT_EQ(Texts(*search), (Lines{"W1", "W2"}));
  // Inside the search list a drop reorders it.
  EXPECT_TRUE(DragAndDrop(*search, 1, right, Row(right, 0)));
  EXPECT_EQ(Texts(*search), (Lines{"W2", "W1"}));
  right->SetRecordList(nullptr);
}

TEST_F(Drop, OnlyTheDragOfThisProcessIsTaken) {
  RecordListWindowDropTarget& target = Target(right);
  const wxPoint at = Row(right, 0);
  // No drag of ours runs: the data came from elsewhere.
  EXPECT_EQ(target.OnEnter(at.x, at.y, wxDragMove), wxDragNone);
  EXPECT_EQ(target.OnDragOver(at.x, at.y, wxDragMove), wxDragNone);
  EXPECT_FALSE(target.OnDrop(at.x, at.y));
  EXPECT_FALSE(target.DropAt(at, nullptr));
  {
    // Ours runs, but the dropped data names another process or record.
    ScopedRecordDrag drag(a.GetRecord(0), &a);
    pq::PastiqTagItem::Tag foreign = drag.GetTag();
    foreign.process += 1;
    EXPECT_FALSE(target.DropAt(at, &foreign));
    pq::PastiqTagItem::Tag other = drag.GetTag();
    other.record = pq::tagid::Register(a.GetRecord(1).get());
    EXPECT_FALSE(target.DropAt(at, &other));
  }
  EXPECT_EQ(Texts(a), (Lines{"W", "X", "Y", "Z"}));
  EXPECT_EQ(Texts(b), (Lines{"P", "Q"}));
}

TEST_F(Drop, ARecordOrListGoneDuringTheDragMovesNothing) {
  {
    const pq::RecordPtr record = a.GetRecord(0);
    ScopedRecordDrag drag(record, &a);
    a.RemoveRecord(record);
    EXPECT_TRUE(Target(right).DropAt(Row(right, 0), &drag.GetTag()));
    EXPECT_EQ(Texts(b), (Lines{"P", "Q"}));
  }
  auto* gone = new pq::RecordList;
  Fill(*gone, {"G"});
  ScopedRecordDrag drag(gone->GetRecord(0), gone);
  EXPECT_NE(CurrentRecordDrag(), nullptr);
  delete gone;
  EXPECT_EQ(CurrentRecordDrag(), nullptr);
  EXPECT_FALSE(Target(right).DropAt(Row(right, 0), nullptr));
  EXPECT_EQ(Texts(b), (Lines{"P", "Q"}));
}

TEST_F(Drop, BesideTheRowsNothingMoves) {
  EXPECT_TRUE(DragAndDrop(a, 0, right, wxPoint(-5, 5)));
  EXPECT_EQ(Texts(a), (Lines{"W", "X", "Y", "Z"}));
  EXPECT_EQ(Texts(b), (Lines{"P", "Q"}));
}

TEST_F(Drop, TheRowUnderTheDragIsMarked) {
  ScopedRecordDrag drag(a.GetRecord(0), &a);
  RecordListWindowDropTarget& target = Target(right);
  const wxPoint first = Row(right, 0), second = Row(right, 1);
  target.OnEnter(second.x, second.y, wxDragMove);
  EXPECT_EQ(right->GetDropRow(), 1);
  target.OnDragOver(first.x, first.y, wxDragMove);
  EXPECT_EQ(right->GetDropRow(), 0);
  target.OnDragOver(Below(right).x, Below(right).y, wxDragMove);
  EXPECT_EQ(right->GetDropRow(), -1);
  target.OnDragOver(first.x, first.y, wxDragMove);
  target.OnLeave();
  EXPECT_EQ(right->GetDropRow(), -1);
  target.OnEnter(first.x, first.y, wxDragMove);
  target.OnDrop(first.x, first.y);
  EXPECT_EQ(right->GetDropRow(), -1) << "the mark goes when the record is dropped";
}

}  // namespace
