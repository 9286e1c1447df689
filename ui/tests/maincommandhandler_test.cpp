// The record commands on the list a history window shows: each command's
// enable rule on an empty list, a list with rows and the search list; what
// each does; the record menu; sending to another computer; the drag.
#include "maincommandhandler.h"

#include <gtest/gtest.h>

#include <wx/checkbox.h>
#include <wx/stattext.h>

#include "commands.h"
#include "commands_fixture.h"
#include "dialog_test_util.h"
#include "dlgmgr.h"
#include "dropsource.h"
#include "hostnamedlg.h"
#include "multipaster.h"
#include "platform/sim/clipboard.h"
#include "selectrecorddlg.h"
#include "send_fixture.h"

namespace {

using commands_test::Find;
using commands_test::Ids;
using commands_test::MenuRecorder;
using commands_test::PasteRecorder;
using lists_test::Lines;
using lists_test::Texts;

using RecordCommands = commands_test::Commands;

// The state the update-UI handlers see.
enum class Shown { kEmptyList, kRowsNoneSelected, kFirstRow, kMiddleRow, kLastRow, kSearchHit };

TEST_F(RecordCommands, EachCommandIsEnabledOnlyWhenItsTargetIsThere) {
  lists_test::SearchNow(Search(), "a");  // every record of Main a hit
  DispatchPending();
  auto show = [&](Shown state) {
    for (int page : {kMain, kWork, kSearch}) Window(page)->SetItemState(-1, 0, wxLIST_STATE_SELECTED);
    switch (state) {
      case Shown::kEmptyList: ShowPage(kWork); break;
      case Shown::kRowsNoneSelected: ShowPage(kMain); break;
      case Shown::kFirstRow: Select(kMain, 0); break;
      case Shown::kMiddleRow: Select(kMain, 1); break;
      case Shown::kLastRow: Select(kMain, 2); break;
      case Shown::kSearchHit: Select(kSearch, 1); break;
    }
  };
  const int commands[] = {wxID_COPY,         wxID_PASTE,    wxID_DELETE,       ID_MULTIPLE_PASTE,  ID_PASTE_ALL,
                          ID_MULTIPLE_DELETE, ID_DELETE_ALL, ID_RECORD_MOVE_UP, ID_RECORD_MOVE_DOWN};
  struct Case {
    Shown state;
    const char* what;
    bool enabled[9];  // in the order of `commands`
  } cases[] = {
      //                                   copy paste del  mpaste pall  mdel  dall  up    down
      {Shown::kEmptyList, "empty list", {false, false, false, false, false, false, false, false, false}},
      {Shown::kRowsNoneSelected, "no selection", {false, false, false, true, true, true, true, false, false}},
      {Shown::kFirstRow, "first row", {true, true, true, true, true, true, true, false, true}},
      {Shown::kMiddleRow, "middle row", {true, true, true, true, true, true, true, true, true}},
      {Shown::kLastRow, "last row", {true, true, true, true, true, true, true, true, false}},
      {Shown::kSearchHit, "search list", {true, true, true, true, true, false, false, true, true}},
  };
  for (const Case& c : cases) {
    show(c.state);
    for (std::size_t i = 0; i < std::size(commands); ++i)
      EXPECT_EQ(Enabled(commands[i]), c.enabled[i]) << c.what << ": " << CommandLabel(commands[i]);
  }
}

TEST_F(RecordCommands, CopyPasteAndDeleteAreDisabledForASelectedRowOutOfView) {
  for (int i = 0; i < 60; ++i) Main().AddRecord(commands_test::TextRecord("r" + std::to_string(i)));
  DispatchPending();
  RecordListWindow* window = Window(kMain);
  window->EnsureVisible(0);
  DispatchPending();
  const long last = window->GetItemCount() - 1;
  window->SetItemState(last, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);  // not scrolled to
  DispatchPending();
  for (int id : {wxID_COPY, wxID_PASTE, wxID_DELETE}) EXPECT_FALSE(Enabled(id)) << CommandLabel(id);
  window->EnsureVisible(last);
  DispatchPending();
  for (int id : {wxID_COPY, wxID_PASTE, wxID_DELETE}) EXPECT_TRUE(Enabled(id)) << CommandLabel(id);
}

TEST_F(RecordCommands, PasteCopyAndDeleteActOnTheSelectedRecord) {
  PasteRecorder pastes;
  Select(kMain, 1);
  Command(wxID_PASTE);
  EXPECT_EQ(pastes.texts, Lines{"Beta"});
  EXPECT_EQ(pastes.lists, std::vector<pq::RecordList*>{&Main()});
  EXPECT_EQ(Texts(Main()), (Lines{"Beta", "Alpha", "Gamma"})) << "Main moves a pasted record to the front";

  Select(kMain, 2);
  Command(wxID_COPY);
  std::wstring text;
  ASSERT_TRUE(platform::sim::ClipboardText(&text));
  EXPECT_EQ(text, L"Gamma");
  EXPECT_EQ(Texts(Main()), (Lines{"Beta", "Alpha", "Gamma"}));

  MessageBoxRecorder boxes;
  Select(kMain, 0);
  Command(wxID_DELETE);
  EXPECT_EQ(Texts(Main()), (Lines{"Alpha", "Gamma"}));
  EXPECT_TRUE(boxes.boxes.empty()) << "no question";
}

TEST_F(RecordCommands, WithoutTheirTargetTheCommandsDoNothingAndSayNothing) {
  PasteRecorder pastes;
  MessageBoxRecorder boxes(wxYES);
  ShowPage(kMain);  // rows, none selected
  for (int id : std::initializer_list<int>{wxID_PASTE, wxID_COPY, wxID_DELETE, ID_RECORD_MOVE_UP, ID_RECORD_MOVE_DOWN, ID_MOVE_TO_LIST_FIRST + 1,
                 ID_SEND_RECORD_FIRST, ID_SEND_RECORD_OTHER})
    Command(id);
  ShowPage(kWork);  // no rows
  Command(ID_PASTE_ALL);
  EXPECT_EQ(Texts(Main()), (Lines{"Alpha", "Beta", "Gamma"}));
  EXPECT_TRUE(pastes.texts.empty());
  EXPECT_TRUE(boxes.boxes.empty());
  EXPECT_EQ(DlgMgr::CurrentDialog(), nullptr);
}

TEST_F(RecordCommands, DeleteAllAsksAndOnlyYesClearsTheList) {
  commands_test::FillWithItems(*work, {"w1", "w2"});
  for (int answer : {wxNO, wxYES}) {
    MessageBoxRecorder boxes(answer);
    ShowPage(kWork);
    Command(ID_DELETE_ALL);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].message, "Do you really want to delete all of the clipboard records from list: Work?");
    EXPECT_EQ(boxes.boxes[0].caption, "Pastiq");
    EXPECT_EQ(boxes.boxes[0].style & (wxYES_NO | wxOK | wxCANCEL), wxYES_NO);
    EXPECT_EQ(boxes.boxes[0].parent, nullptr);
    EXPECT_EQ(work->GetCount(), answer == wxYES ? 0u : 2u);
  }
}

TEST_F(RecordCommands, TheWholeListDeletionsLeaveTheSearchListAlone) {
  lists_test::SearchNow(Search(), "a");
  DispatchPending();
  MessageBoxRecorder boxes(wxYES);
  ShowPage(kSearch);
  Command(ID_DELETE_ALL);
  Command(ID_MULTIPLE_DELETE);
  EXPECT_TRUE(boxes.boxes.empty());
  EXPECT_EQ(DlgMgr::CurrentDialog(), nullptr);
  EXPECT_EQ(Search().GetCount(), 3u);
}

TEST_F(RecordCommands, MultipleDeleteRemovesTheRecordsChosenInTheSelectionDialog) {
  for (bool confirm : {false, true}) {
    std::string prompt;
    ShowPage(kMain);
    commands_test::WhenShown<SelectRecordDlg>([&](SelectRecordDlg& dialog) {
      for (wxWindow* child : dialog.GetChildren())
        if (auto* text = dynamic_cast<wxStaticText*>(child)) {
          wxString label = text->GetLabel();
          label.Replace("\n", " ");  // wrapped to the dialog's width
          prompt = label.utf8_string();
        }
      for (long row : {2L, 0L}) dialog.GetListWindow()->SetItemState(row, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
      if (confirm) PressOK(dialog);
    });
    Command(ID_MULTIPLE_DELETE);
    EXPECT_EQ(prompt, "Please select the records that will be deleted");
    EXPECT_EQ(Texts(Main()), confirm ? Lines{"Beta"} : (Lines{"Alpha", "Beta", "Gamma"}));
  }
}

TEST_F(RecordCommands, MultiplePasteShowsTheDialogOverTheCurrentListAndPasteAllPastesItAtOnce) {
  PasteRecorder pastes;
  pq::RecordList* shownList = nullptr;
  wxWindow* parent = nullptr;
  ShowPage(kMain);
  commands_test::WhenShown<MultiPaster>([&](MultiPaster& dialog) {
    shownList = dialog.GetListWindow()->GetRecordList();
    parent = dialog.GetParent();
    dialog.GetListWindow()->SetItemState(1, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
    PressOK(dialog);
  });
  Command(ID_MULTIPLE_PASTE);
  EXPECT_EQ(shownList, &Main());
  EXPECT_EQ(parent, tabs);
  EXPECT_EQ(pastes.texts, Lines{"Beta"});

  pastes.texts.clear();
  Command(ID_PASTE_ALL);
  EXPECT_EQ(pastes.texts, Lines{"AlphaBetaGamma"});
  EXPECT_EQ(DlgMgr::CurrentDialog(), nullptr) << "at once: no dialog";
}

TEST_F(RecordCommands, MoveUpAndDownSwapWithTheNeighbourAndTheSelectionStaysOnItsRow) {
  struct Case {
    long row;
    int command;
    Lines result;
  } cases[] = {
      {1, ID_RECORD_MOVE_UP, {"Beta", "Alpha", "Gamma"}},   {1, ID_RECORD_MOVE_DOWN, {"Alpha", "Gamma", "Beta"}},
      {0, ID_RECORD_MOVE_UP, {"Alpha", "Beta", "Gamma"}},   {2, ID_RECORD_MOVE_DOWN, {"Alpha", "Beta", "Gamma"}},
      {0, ID_RECORD_MOVE_DOWN, {"Beta", "Alpha", "Gamma"}}, {2, ID_RECORD_MOVE_UP, {"Alpha", "Gamma", "Beta"}},
  };
  for (const Case& c : cases) {
    Main().Clear();
    commands_test::FillWithItems(Main(), {"Alpha", "Beta", "Gamma"});
    DispatchPending();
    Select(kMain, c.row);
    Command(c.command);
    EXPECT_EQ(Texts(Main()), c.result) << c.row << " " << CommandLabel(c.command);
    EXPECT_EQ(Window(kMain)->GetSelectedRow(), c.row);
  }
}

TEST_F(RecordCommands, AMoveNeverDropsARecordOfAListOverItsLimit) {
  Main().maxRecords = 2;  // holds three: more than its limit
  Select(kMain, 1);
  Command(ID_RECORD_MOVE_UP);
  EXPECT_EQ(Texts(Main()), (Lines{"Beta", "Alpha", "Gamma"}));
  Command(ID_RECORD_MOVE_DOWN);
  EXPECT_EQ(Texts(Main()), (Lines{"Beta", "Gamma", "Alpha"}));
}

TEST_F(RecordCommands, MoveToListPutsTheRecordAtTheFrontOfTheOtherListButNeverIntoOrOutOfASearchList) {
  commands_test::FillWithItems(*work, {"w1"});
  Select(kMain, 1);
  Command(ID_MOVE_TO_LIST_FIRST + kWork);
  EXPECT_EQ(Texts(Main()), (Lines{"Alpha", "Gamma"}));
  EXPECT_EQ(Texts(*work), (Lines{"Beta", "w1"}));
  EXPECT_EQ(Window(kMain)->GetSelectedRow(), 1) << "the selection keeps its row";

  // Refused: the list itself, the search list, a position past the lists,
  // and the search list as the source.
  for (int position : std::initializer_list<int>{kMain, kSearch, 3, 999}) Command(ID_MOVE_TO_LIST_FIRST + position);
  lists_test::SearchNow(Search(), "a");
  DispatchPending();
  Select(kSearch, 0);
  Command(ID_MOVE_TO_LIST_FIRST + kWork);
  EXPECT_EQ(Texts(Main()), (Lines{"Alpha", "Gamma"}));
  EXPECT_EQ(Texts(*work), (Lines{"Beta", "w1"}));
  EXPECT_EQ(Search().GetCount(), 3u) << "the hits stay";
}

TEST_F(RecordCommands, TheRecordMenuOffersTheRecordCommandsTheOtherListsAndTheRememberedHosts) {
  settings.config.AddHost("laptop", 45689);
  settings.config.AddHost("R&D", 80);
  auto* rnd = new pq::RecordList;
  rnd->name = "Q&A";
  history.InsertRecordList(rnd, 2);  // Main, Work, Q&A, Search
  DispatchPending();
  ShowPage(kMain);
  MenuRecorder menus;
  RightClickRow(1);
  ASSERT_EQ(menus.shown.size(), 1u);
  EXPECT_EQ(menus.windows[0], tabs) << "popped up on the history window";
  EXPECT_EQ(Window(kMain)->GetSelectedRow(), 1) << "the clicked row is selected";
  const commands_test::Menu& menu = menus.Last();
  EXPECT_EQ(Ids(menu), (std::vector<int>{wxID_COPY, wxID_PASTE, wxID_DELETE, 0, ID_RECORD_MOVE_UP, ID_RECORD_MOVE_DOWN,
                                         ID_MOVE_TO_LIST_MENU, 0, ID_SEND_RECORD_MENU}));
  for (int id : {wxID_COPY, wxID_PASTE, wxID_DELETE}) EXPECT_TRUE(Find(menu, id)->hasBitmap);
  EXPECT_EQ(Find(menu, wxID_COPY)->label, "&Copy");
  EXPECT_EQ(Find(menu, ID_RECORD_MOVE_UP)->label, "Move &Up");
  EXPECT_EQ(Find(menu, ID_RECORD_MOVE_DOWN)->label, "Move &Down");

  const commands_test::MenuItem* moveTo = Find(menu, ID_MOVE_TO_LIST_MENU);
  EXPECT_EQ(moveTo->label, "Move &To List:");
  EXPECT_EQ(moveTo->help, "Move the record to other list");
  EXPECT_TRUE(moveTo->enabled);
  EXPECT_EQ(Ids(moveTo->submenu), (std::vector<int>{ID_MOVE_TO_LIST_FIRST + 1, ID_MOVE_TO_LIST_FIRST + 2}));
  EXPECT_EQ(moveTo->submenu[0].label, "Work");
  EXPECT_EQ(moveTo->submenu[0].help, "Move the record to list: Work");
  EXPECT_EQ(moveTo->submenu[1].label, "Q&&A") << "an ampersand shows as it stands";
  EXPECT_EQ(moveTo->submenu[1].help, "Move the record to list: Q&A");

  const commands_test::MenuItem* send = Find(menu, ID_SEND_RECORD_MENU);
  EXPECT_EQ(send->label, "&Send Record To:");
  EXPECT_EQ(send->help, "Send the record to other computer");
  EXPECT_EQ(Ids(send->submenu),
            (std::vector<int>{ID_SEND_RECORD_FIRST, ID_SEND_RECORD_FIRST + 1, ID_SEND_RECORD_OTHER}));
  EXPECT_EQ(send->submenu[0].label, "laptop:45689");
  EXPECT_EQ(send->submenu[0].help, "Send the record to: laptop:45689");
  EXPECT_EQ(send->submenu[1].label, "R&&D:80");
  EXPECT_EQ(send->submenu[2].label, "&Other Computer...");
  EXPECT_EQ(send->submenu[2].help, "Send the record to other computer");
  history.RemoveRecordList(rnd, true);
}

TEST_F(RecordCommands, TheRecordMenusItemsFollowTheirRules) {
  struct Case {
    const char* what;
    std::function<void()> prepare;
    int page;
    long row;
    bool up, down;
    int moveTo;  // 1 present and enabled, 0 present and disabled, -1 absent
  } cases[] = {
      {"first row", [] {}, kMain, 0, false, true, 1},
      {"last row", [] {}, kMain, 2, true, false, 1},
      {"search list", [&] { lists_test::SearchNow(Search(), "a"); }, kSearch, 1, true, true, -1},
      {"no other list", [&] { history.RemoveRecordList(work, true); }, kMain, 1, true, true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.prepare();
    DispatchPending();
    ShowPage(c.page);
    MenuRecorder menus;
    RightClickRow(c.row);
    ASSERT_EQ(menus.shown.size(), 1u);
    EXPECT_EQ(Find(menus.Last(), ID_RECORD_MOVE_UP)->enabled, c.up);
    EXPECT_EQ(Find(menus.Last(), ID_RECORD_MOVE_DOWN)->enabled, c.down);
    const commands_test::MenuItem* moveTo = Find(menus.Last(), ID_MOVE_TO_LIST_MENU);
    if (c.moveTo < 0) {
      EXPECT_EQ(moveTo, nullptr);
    } else {
      ASSERT_NE(moveTo, nullptr);
      EXPECT_EQ(moveTo->enabled, c.moveTo == 1);
    }
    EXPECT_EQ(Ids(Find(menus.Last(), ID_SEND_RECORD_MENU)->submenu), std::vector<int>{ID_SEND_RECORD_OTHER})
        << "no remembered host: only the other computer";
  }
}

TEST_F(RecordCommands, AClickOffTheRowsShowsNoMenu) {
  MenuRecorder menus;
  ShowPage(kMain);
  RightClickRow(-1);
  RightClickRow(7);
  EXPECT_TRUE(menus.shown.empty());
}

TEST_F(RecordCommands, WhatIsChosenInTheRecordMenuReachesTheCommands) {
  MenuRecorder menus;
  ShowPage(kMain);
  menus.choose = ID_MOVE_TO_LIST_FIRST + kWork;
  RightClickRow(2);
  menus.choose = ID_RECORD_MOVE_UP;
  RightClickRow(1);
  EXPECT_EQ(menus.chosen, (std::vector<bool>{true, true}));
  EXPECT_EQ(Texts(Main()), (Lines{"Beta", "Alpha"}));
  EXPECT_EQ(Texts(*work), (Lines{"Gamma"}));
}

TEST_F(RecordCommands, ADragCarriesTheSelectedRecordAndItsList) {
  const RecordDrag* seen = nullptr;
  std::string text;
  pq::RecordList* list = nullptr;
  int flags = 0, drags = 0;
  DropSource::DragLoop previous = DropSource::SetDragLoop([&](DropSource&, int f) {
    ++drags;
    seen = CurrentRecordDrag();
    if (seen) {
      text = seen->record->text;
      list = seen->list;
    }
    flags = f;
    return wxDragMove;
  });
  auto beginDrag = [&] {
    RecordListWindow* window = tabs->GetCurrentRecordListWindow();
    wxListEvent event(wxEVT_LIST_BEGIN_DRAG, window->GetId());
    event.SetEventObject(window);
    event.SetIndex(window->GetSelectedRow());
    window->GetEventHandler()->ProcessEvent(event);
  };
  ShowPage(kMain);
  beginDrag();  // nothing selected: no drag
  EXPECT_EQ(drags, 0);
  Select(kMain, 2);
  beginDrag();
  DropSource::SetDragLoop(previous);
  EXPECT_EQ(drags, 1);
  ASSERT_NE(seen, nullptr);
  EXPECT_EQ(text, "Gamma");
  EXPECT_EQ(list, &Main());
  EXPECT_EQ(flags & wxDrag_AllowMove, wxDrag_AllowMove);
  EXPECT_EQ(CurrentRecordDrag(), nullptr) << "the drag is over";
  EXPECT_EQ(Texts(Main()), (Lines{"Alpha", "Beta", "Gamma"})) << "the drop target moves, not the source";
}

// Our records to another computer of ours on loopback.
class SendRecord : public RecordCommands {
 protected:
  send_test::Computers computers;
};

TEST_F(SendRecord, ToARememberedHostItLandsInTheListTheOtherComputerNamesForUs) {
  settings.config.AddHost("nowhere.invalid", 1);
  settings.config.AddHost(computers.OtherHost(), computers.OtherPort());
  Select(kMain, 1);
  Command(ID_SEND_RECORD_FIRST + 1);
  ASSERT_TRUE(computers.WaitForInbox(1));
  EXPECT_EQ(Texts(computers.Inbox()), Lines{"Beta"});
  EXPECT_EQ(Texts(Main()), (Lines{"Alpha", "Beta", "Gamma"}));
  Command(ID_SEND_RECORD_FIRST + 5);  // no such host: nothing
  ASSERT_TRUE(computers.WaitForSenders());
  EXPECT_EQ(computers.Inbox().GetCount(), 1u);
}

TEST_F(SendRecord, ToAnotherComputerTheHostIsAskedForAndRememberedAfterTheSendStarted) {
  std::size_t hostsWhenAsked = 99;
  wxString hostShown = "?", portShown;
  wxWindow* parent = nullptr;
  Select(kMain, 2);
  commands_test::WhenShown<HostnameDlg>([&](HostnameDlg& dialog) {
    parent = dialog.GetParent();
    hostShown = dialog.GetHostText()->GetValue();
    portShown = dialog.GetPortText()->GetValue();
    hostsWhenAsked = settings.config.sendToHosts.size();
    dialog.GetHostText()->SetValue(computers.OtherHost());
    dialog.GetPortText()->SetValue(wxString::Format("%d", computers.OtherPort()));
    PressOK(dialog);
  });
  Command(ID_SEND_RECORD_OTHER);
  EXPECT_EQ(parent, tabs);
  EXPECT_EQ(hostShown, "");
  EXPECT_EQ(portShown, "45689");
  EXPECT_EQ(hostsWhenAsked, 0u);
  ASSERT_EQ(settings.config.sendToHosts.size(), 1u);
  EXPECT_EQ(settings.config.sendToHosts[0].GetHost(), computers.OtherHost());
  EXPECT_EQ(settings.config.sendToHosts[0].port, computers.OtherPort());
  ASSERT_TRUE(computers.WaitForInbox(1));
  EXPECT_EQ(Texts(computers.Inbox()), Lines{"Gamma"});

  // The next menu lists it; a cancelled dialog sends nothing and remembers
  // nothing.
  MenuRecorder menus;
  RightClickRow(0);
  EXPECT_EQ(Find(menus.Last(), ID_SEND_RECORD_FIRST)->label,
            computers.OtherHost() + ":" + std::to_string(computers.OtherPort()));
  commands_test::WhenShown<HostnameDlg>([](HostnameDlg&) {});
  Command(ID_SEND_RECORD_OTHER);
  EXPECT_EQ(settings.config.sendToHosts.size(), 1u);
  ASSERT_TRUE(computers.WaitForSenders());
  EXPECT_EQ(computers.Inbox().GetCount(), 1u);
}

}  // namespace
