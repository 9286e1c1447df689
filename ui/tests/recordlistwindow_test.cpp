// The record-list window: row texts, following its list on the next turn of
// the loop, the selection helpers, the paste, the hot row and the left click.
#include "recordlistwindow.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lists_fixture.h"
#include "pq/history.h"
#include "pq/searchlist.h"

namespace {

using lists_test::Fill;
using lists_test::Lines;
using lists_test::MakeRecord;
using lists_test::Texts;

TEST(RowText, TrimsOnlyAsciiWhiteSpaceAndShowsLineBreaksAsSpaces) {
  const std::string nbsp = "\xC2\xA0";
  struct Case {
    std::string text, shown;
  } cases[] = {
      {"  \tHello\r\n", "Hello"},
      {nbsp + "kept" + nbsp, nbsp + "kept" + nbsp},
      {"one\r\ntwo\nthree\rfour\tfive", "one two three four five"},
      {"\v\f \r\n", ""},
      {"", ""},
      {"caf\xC3\xA9 \xE2\x82\xAC", "caf\xC3\xA9 \xE2\x82\xAC"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(RecordListWindow::RowText(c.text), wxString::FromUTF8(c.shown)) << c.text;
}

TEST(RowText, IsCutAfterItsLimitOfCharacters) {
  const std::size_t limit = RecordListWindow::kMaxRowChars;
  const wxString ellipsis = wxString::FromUTF8("\xE2\x80\xA6");
  EXPECT_EQ(RecordListWindow::RowText(std::string(limit, 'a')), wxString(limit, 'a'));
  EXPECT_EQ(RecordListWindow::RowText(std::string(limit + 1, 'a')), wxString(limit, 'a') + ellipsis);
  // Characters, not bytes: a two-byte letter counts once, and is never cut.
  std::string accents;
  for (std::size_t i = 0; i < limit + 5; ++i) accents += "\xC3\xA9";
  const wxString shown = RecordListWindow::RowText(accents);
  EXPECT_EQ(shown.length(), limit + 1);
  EXPECT_EQ(shown[0], wxUniChar(0xE9));
  // Megabytes with trailing blanks: only the shown part is read.
  const std::string huge = std::string(4 << 20, 'x') + std::string(1 << 20, ' ');
  EXPECT_EQ(RecordListWindow::RowText(huge), wxString(limit, 'x') + ellipsis);
  // Bytes that are not UTF-8 still show something.
  EXPECT_FALSE(RecordListWindow::RowText("bad \xFF byte").empty());
}

// A window over W, X, Y, Z in the test frame.
class ListWindow : public lists_test::WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Fill(list, {"W", "X", "Y", "Z"});
    window = new Probe(frame);
    frame->SendSizeEvent();
    window->SetRecordList(&list);
    DispatchPending();
  }
  // The protected callbacks the control asks, for the checks.
  struct Probe : RecordListWindow {
    using RecordListWindow::OnGetItemAttr;
    using RecordListWindow::OnGetItemImage;
    using RecordListWindow::OnGetItemText;
    using RecordListWindow::RecordListWindow;
  };
  wxPoint RowCentre(long row) {
    wxRect rect;
    EXPECT_TRUE(window->GetItemRect(row, rect));
    return rect.GetPosition() + wxPoint(rect.width / 2, rect.height / 2);
  }
  void Mouse(wxEventType type, const wxPoint& at) {
    wxMouseEvent event(type);
    event.SetPosition(at);
    event.SetEventObject(window->GetRowsWindow());
    window->GetRowsWindow()->GetEventHandler()->ProcessEvent(event);
  }
  pq::RecordList list;
  Probe* window = nullptr;
};

TEST_F(ListWindow, IsAOneColumnVirtualListWithoutHeader) {
  EXPECT_EQ(window->GetName(), "listCtrl");
  EXPECT_TRUE(window->HasFlag(wxLC_REPORT | wxLC_VIRTUAL | wxLC_NO_HEADER | wxLC_SINGLE_SEL));
  ASSERT_EQ(window->GetColumnCount(), 1);
  wxListItem column;
  column.SetMask(wxLIST_MASK_TEXT);
  window->GetColumn(0, column);
  EXPECT_EQ(column.GetText(), "Records");
  EXPECT_NE(window->GetRowsWindow(), window);
  EXPECT_EQ(window->GetItemCount(), 4);
  EXPECT_EQ(window->OnGetItemText(1, 0), "X");
  EXPECT_EQ(window->OnGetItemText(1, 1), "");
  EXPECT_EQ(window->OnGetItemText(9, 0), "") << "a row whose record is gone";
  EXPECT_EQ(window->OnGetItemImage(9), -1);
  EXPECT_EQ(window->OnGetItemImage(0), 0) << "no source: the generic image";
}

TEST_F(ListWindow, BindingReturnsThePreviousListAndUnbindingStopsFollowingIt) {
  pq::RecordList other;
  Fill(other, {"A"});
  EXPECT_EQ(window->SetRecordList(&list), &list);
  EXPECT_EQ(window->SetRecordList(&other), &list);
  EXPECT_EQ(window->GetItemCount(), 1);
  list.AddRecord(MakeRecord("V"));
  DispatchPending();
  EXPECT_EQ(window->GetItemCount(), 1) << "the old list is no longer followed";
  EXPECT_EQ(window->SetRecordList(nullptr), &other);
  EXPECT_EQ(window->GetItemCount(), 0);
  other.AddRecord(MakeRecord("B"));
  DispatchPending();
  EXPECT_EQ(window->GetItemCount(), 0);
  EXPECT_EQ(window->OnGetItemText(0, 0), "");
}

TEST_F(ListWindow, FollowsItsListOnTheNextTurnOfTheLoop) {
  struct Case {
    const char* what;
    std::function<void(pq::RecordList&)> change;
  } cases[] = {
      {"add", [](pq::RecordList& l) { l.AddRecord(MakeRecord("V")); }},
      {"insert", [](pq::RecordList& l) { l.InsertRecord(MakeRecord("V"), 2); }},
      {"remove", [](pq::RecordList& l) { l.RemoveRecordAt(1); }},
      {"clear", [](pq::RecordList& l) { l.Clear(); }},
  };
  for (const Case& c : cases) {
    const long before = window->GetItemCount();
    c.change(list);
    EXPECT_EQ(window->GetItemCount(), before) << c.what << ": changed inside the list operation";
    wxTheApp->ProcessPendingEvents();
    EXPECT_EQ(window->GetItemCount(), static_cast<long>(list.GetCount())) << c.what;
  }
}

TEST_F(ListWindow, FollowsTheSearchListsReset) {
  pq::History history;
  history.CreateDefaultLists();
  Fill(*history.GetMainList(), {"apple", "pear", "apricot"});
  SearchList* search = lists_test::SearchListOf(history);
  ASSERT_NE(search, nullptr);
  window->SetRecordList(search);
  lists_test::SearchNow(*search, "ap");
  EXPECT_EQ(window->GetItemCount(), 0);
  wxTheApp->ProcessPendingEvents();
  EXPECT_EQ(window->GetItemCount(), 2);
  EXPECT_EQ(window->OnGetItemText(1, 0), "apricot");
  window->SetRecordList(nullptr);
}

TEST_F(ListWindow, AMoveToTheFrontKeepsTheSelectionOnItsRecord) {
  struct Case {
    long selected;
    unsigned moved;
    long after;
  } cases[] = {
      {-1, 2, 0},  // nothing selected: the record at the front is
      {2, 2, 0},   // the selected record moved
      {1, 3, 2},   // above the moved one: one row down
      {3, 1, 3},   // below it: the same row
  };
  for (const Case& c : cases) {
    list.Clear();
    Fill(list, {"W", "X", "Y", "Z"});
    DispatchPending();
    for (long row = 0; row < 4; ++row) window->SetItemState(row, 0, wxLIST_STATE_SELECTED);
    if (c.selected >= 0) window->SelectRow(c.selected);
    const std::string record = list.GetRecord(c.after == 0 ? c.moved : c.selected)->text;
    list.MoveRecordToFront(c.moved);
    EXPECT_EQ(window->GetSelectedRow(), c.selected) << "changed inside the list operation";
    wxTheApp->ProcessPendingEvents();
    EXPECT_EQ(window->GetSelectedRow(), c.after) << c.selected << " " << c.moved;
    const pq::RecordPtr selected = window->GetSelectedRecord();
    ASSERT_TRUE(selected);
    EXPECT_EQ(selected->text, record);
  }
}

TEST_F(ListWindow, SelectAdjacentWrapsAtBothEnds) {
  struct Case {
    long selected;
    bool up;
    long after;
  } cases[] = {{-1, true, 0}, {-1, false, 0}, {0, true, 3}, {3, false, 0}, {1, true, 0}, {1, false, 2}};
  for (const Case& c : cases) {
    for (long row = 0; row < 4; ++row) window->SetItemState(row, 0, wxLIST_STATE_SELECTED);
    if (c.selected >= 0) window->SelectRow(c.selected);
    window->SelectAdjacent(c.up);
    EXPECT_EQ(window->GetSelectedRow(), c.after) << c.selected << (c.up ? " up" : " down");
  }
  window->SetRecordList(nullptr);
  window->SelectAdjacent(true);  // nothing to select: nothing happens
  EXPECT_EQ(window->GetSelectedRow(), -1);
}

struct Pasted {
  pq::RecordPtr record;
  pq::RecordList* list;
  bool frameShown;
};

class Paste : public ListWindow {
 protected:
  void SetUp() override {
    ListWindow::SetUp();
    previous = RecordListWindow::SetPasteFunction([this](const pq::RecordPtr& r, pq::RecordList* l) {
      pasted.push_back({r, l, frame->IsShown()});
      return true;
    });
  }
  void TearDown() override {
    RecordListWindow::SetPasteFunction(previous);
    ListWindow::TearDown();
  }
  std::vector<Pasted> pasted;
  RecordListWindow::PasteFunction previous;
};

TEST_F(Paste, GoesThroughTheManagerWithTheSelectedRecordAndItsList) {
  window->SelectRow(2);
  window->PasteSelected();
  ASSERT_EQ(pasted.size(), 1u);
  EXPECT_EQ(pasted[0].record->text, "Y");
  EXPECT_EQ(pasted[0].list, &list);
  EXPECT_EQ(Texts(list), (Lines{"W", "X", "Y", "Z"})) << "the list does not move pasted records";
}

TEST_F(Paste, AListThatMovesPastedRecordsToTheFrontDoesSoFirst) {
  list.moveToFront = true;
  window->SelectRow(2);
  window->PasteSelected();
  ASSERT_EQ(pasted.size(), 1u);
  EXPECT_EQ(pasted[0].record->text, "Y");
  EXPECT_EQ(Texts(list), (Lines{"Y", "W", "X", "Z"}));
}

TEST_F(Paste, HidesTheFrameFirst) {
  window->SelectRow(0);
  window->PasteSelected(frame);
  ASSERT_EQ(pasted.size(), 1u);
  EXPECT_FALSE(pasted[0].frameShown);
  EXPECT_FALSE(frame->IsShown());
}

TEST_F(Paste, WithoutSelectionOrListNothingIsPasted) {
  window->PasteSelected();
  window->SelectRow(1);
  window->SetRecordList(nullptr);
  window->PasteSelected();
  EXPECT_TRUE(pasted.empty());
}

TEST_F(ListWindow, TheRowUnderTheMouseIsHot) {
  const wxPoint second = RowCentre(1);
  Mouse(wxEVT_ENTER_WINDOW, second);
  EXPECT_EQ(window->GetHotRow(), 1);
  ASSERT_NE(window->OnGetItemAttr(1), nullptr);
  EXPECT_TRUE(window->OnGetItemAttr(1)->HasBackgroundColour());
  EXPECT_EQ(window->OnGetItemAttr(0), nullptr);
  Mouse(wxEVT_MOTION, RowCentre(3));
  EXPECT_EQ(window->GetHotRow(), 3);
  EXPECT_EQ(window->OnGetItemAttr(1), nullptr);
  Mouse(wxEVT_MOTION, RowCentre(3) + wxPoint(0, 200));  // below the rows
  EXPECT_EQ(window->GetHotRow(), -1);
  Mouse(wxEVT_MOTION, second);
  Mouse(wxEVT_LEAVE_WINDOW, second);
  EXPECT_EQ(window->GetHotRow(), -1);
}

TEST_F(ListWindow, ReleasingTheLeftButtonOverARowSendsTheLeftClickAfterwards) {
  std::vector<wxObject*> clicks;
  frame->Bind(wxEVT_COMMAND_LEFT_CLICK, [&](wxCommandEvent& e) { clicks.push_back(e.GetEventObject()); });
  Mouse(wxEVT_LEFT_UP, RowCentre(2));
  EXPECT_TRUE(clicks.empty()) << "sent before the control's own handling";
  DispatchPending();
  ASSERT_EQ(clicks.size(), 1u);
  EXPECT_EQ(clicks[0], window);
  Mouse(wxEVT_LEFT_UP, RowCentre(3) + wxPoint(0, 200));
  DispatchPending();
  EXPECT_EQ(clicks.size(), 1u) << "no row there";
}

TEST_F(ListWindow, ALongRowIsCutToTheColumnAndAShortOneLeftAlone) {
  list.AddRecord(MakeRecord(std::string(RecordListWindow::kMaxRowChars, 'w')));
  DispatchPending();
  const wxString row = window->OnGetItemText(0, 0);
  EXPECT_TRUE(row.EndsWith(wxString::FromUTF8("\xE2\x80\xA6")));
  EXPECT_LT(row.length(), RecordListWindow::kMaxRowChars);
  EXPECT_LE(window->GetTextExtent(row).x, window->GetColumnWidth(0));
  EXPECT_GT(window->GetTextExtent(row + "www").x, window->GetColumnWidth(0) - 40) << "cut no shorter than needed";
  EXPECT_EQ(window->OnGetItemText(1, 0), "W");
}

TEST_F(ListWindow, TheColumnFillsTheWidthWithoutAHorizontalScrollBar) {
  for (int i = 0; i < 60; ++i) list.AddRecord(MakeRecord(std::string(300, 'm')));
  frame->SetClientSize(240, 150);
  frame->SendSizeEvent();
  DispatchPending();
  const wxSize client = window->GetClientSize();
  EXPECT_EQ(window->GetColumnWidth(0), client.x);
  EXPECT_LT(client.x, 240) << "the vertical scroll bar takes its part";
  // The rows fit the width: no horizontal range to scroll.
  EXPECT_LE(window->GetScrollRange(wxHORIZONTAL), window->GetScrollThumb(wxHORIZONTAL));
  EXPECT_EQ(window->GetRowsWindow()->GetClientSize().y, client.y);
}

}  // namespace
