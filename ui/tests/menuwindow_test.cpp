// The menu window: opened at a point with no row selected, closed by a
// click outside, a focus change or Escape through the hook library's
// monitors, and a left click on a row pastes it.
#include "menuwindow.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <wx/listctrl.h>

#include "commands.h"
#include "commands_fixture.h"
#include "maincommandhandler.h"
#include "frames_fixture.h"
#include "historywindow.h"
#include "options.h"
#include "platform/hooks.h"

namespace frames_test {
namespace {

class Menu : public FramesTest {
 protected:
  void SetUp() override {
    FramesTest::SetUp();
    menu = new MenuWindow(&history);
    menu->RestoreState();
  }
  void TearDown() override {
    menu->GetHistoryWindow()->Unregister();
    menu->ForgetInHookLibrary();
    delete menu;
    FramesTest::TearDown();
  }
  RecordListWindow* List() { return menu->GetHistoryWindow()->GetCurrentRecordListWindow(); }
  // A left-button release over a row, as the list reports it.
  void LeftClick() {
    wxCommandEvent click(wxEVT_COMMAND_LEFT_CLICK, List()->GetId());
    click.SetEventObject(List());
    List()->GetEventHandler()->ProcessEvent(click);
  }
  void Open() {
    menu->OpenAt(wxPoint(900, 700));
    sim::Settle();
    ASSERT_TRUE(menu->IsShown());
    ASSERT_EQ(sim::InstalledHooks(WH_MOUSE), 1);
  }

  MenuWindow* menu = nullptr;
};

TEST_F(Menu, OpensAtThePointWithNoRowSelectedAndTheFocusLeftAlone) {
  List()->SelectRow(1);
  Open();
  EXPECT_EQ(menu->GetRect(), wxRect(900 - 150, 700 - 300, 150, 300));
  EXPECT_EQ(List()->GetSelectedRow(), -1);
  EXPECT_EQ(GetForegroundWindow(), editor.frame);
  EXPECT_EQ(pq::QueryGUIThreadInfo(editor.thread).hwndFocus, field);
}

TEST_F(Menu, WithoutAListNothingOpensAndNoMonitorRuns) {
  MenuWindow bare(&history);  // its pages are not built
  bare.ShowMenu();
  EXPECT_FALSE(bare.IsShown());
  EXPECT_EQ(sim::InstalledHooks(WH_MOUSE), 0);
  bare.GetHistoryWindow()->Unregister();
  bare.ForgetInHookLibrary();
  menu->ForgetInHookLibrary();
}

TEST_F(Menu, ALeftClickOnARowPastesItAndCloses) {
  Open();
  List()->SelectRow(1);
  LeftClick();
  EXPECT_FALSE(menu->IsShown());
  EXPECT_EQ(pasted, std::vector<std::string>{"second"});
  EXPECT_EQ(sim::InstalledHooks(WH_MOUSE), 0);
}

TEST_F(Menu, ALeftClickWithNoRowSelectedPastesNothingAndStaysOpen) {
  Open();
  LeftClick();
  EXPECT_TRUE(menu->IsShown());
  EXPECT_TRUE(pasted.empty());
  EXPECT_EQ(sim::InstalledHooks(WH_MOUSE), 1);
}

// Whatever closes it, nothing is pasted and the mouse monitor stops.
TEST_F(Menu, ClosesOnAClickOutsideAFocusChangeOrEscape) {
  const testing_sim::App other = testing_sim::AddApp(L"/usr/bin/other");
  const HWND otherField = sim::AddEdit(other.thread, other.frame);
  const struct {
    const char* name;
    std::function<void()> act;
  } closers[] = {
      {"a click on another window", [&] { sim::Click(editor.frame, WM_LBUTTONDOWN, {0, 0}, false); }},
      {"a right click on another window", [&] { sim::Click(editor.frame, WM_RBUTTONDOWN, {0, 0}, false); }},
      {"the focus moving", [&] { sim::SetFocus(otherField); }},
      {"Escape", [&] { sim::Tap(VK_ESCAPE); }},
      {"its close event", [&] { menu->Close(); }},
  };
  for (const auto& c : closers) {
    SCOPED_TRACE(c.name);
    sim::SetFocus(field);
    sim::Settle();
    Open();
    List()->SelectRow(0);
    c.act();
    sim::Settle();
    DispatchPending();
    EXPECT_FALSE(menu->IsShown());
    EXPECT_EQ(sim::InstalledHooks(WH_MOUSE), 0);
    EXPECT_TRUE(pasted.empty());
  }
}

TEST(MenuPlacement, BottomRightAtThePointInsideTheWorkArea) {
  const RECT work{0, 0, 1280, 994};
  const wxSize size(150, 300);
  const struct {
    wxPoint point, at;
  } cases[] = {
      {{900, 700}, {750, 400}},   {{1280, 1024}, {1130, 694}}, {{100, 100}, {0, 0}},
      {{60, 900}, {0, 600}},      {{1400, 500}, {1130, 200}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MenuWindow::PlacementAt(c.point, size, work), c.at) << c.point.x << "," << c.point.y;
  }
}

// Its tab menu holds only the two pastes of the whole list, which its
// record commands run; a right click on a row opens the record menu.
TEST_F(Menu, ItsTabMenuOffersTheTwoPastesOfTheListAndItsRecordCommandsRunThem) {
  auto* handler = dynamic_cast<MainCommandHandler*>(menu->GetEventHandler());
  ASSERT_NE(handler, nullptr);
  EXPECT_EQ(handler->GetHistoryWindow(), menu->GetHistoryWindow());
  menu->Show();
  DispatchPending();
  SetOption(OPT_MULTIPASTE_AT_ONCE, true);
  {
    commands_test::MenuRecorder menus;
    menus.choose = ID_PASTE_ALL;
    commands_test::RightUpOn(menu->GetHistoryWindow(), commands_test::TabPoint(menu->GetHistoryWindow(), 0));
    ASSERT_EQ(menus.shown.size(), 1u);
    const commands_test::Menu& shown = menus.Last();
    EXPECT_EQ(commands_test::Ids(shown), (std::vector<int>{ID_MULTIPLE_PASTE, ID_PASTE_ALL}));
    for (const commands_test::MenuItem& item : shown) EXPECT_TRUE(item.hasBitmap) << item.label;
    EXPECT_EQ(shown[0].label, "&Multiple Paste");
    EXPECT_EQ(shown[1].help, "Paste ALL records in the list to previous working application");
  }
  EXPECT_EQ(pasted, std::vector<std::string>{"firstsecondthird"});

  commands_test::MenuRecorder menus;
  List()->SelectRow(1);
  wxListEvent click(wxEVT_LIST_ITEM_RIGHT_CLICK, List()->GetId());
  click.SetEventObject(List());
  click.m_itemIndex = 1;
  List()->GetEventHandler()->ProcessEvent(click);
  ASSERT_EQ(menus.shown.size(), 1u);
  EXPECT_NE(commands_test::Find(menus.Last(), ID_RECORD_MOVE_UP), nullptr);
  EXPECT_EQ(pasted.size(), 1u) << "a right click pastes nothing";
}

}  // namespace
}  // namespace frames_test
