// The floating list: its tool bar, collapse and expand with the height an
// expand restores, the floating-list keys, the recording tool following its
// option, a double click pasting, and its stored rectangle.
#include "floatingwindow.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include <wx/listctrl.h>
#include <wx/toolbar.h>

#include "commands.h"
#include "commands_fixture.h"
#include "historytabmenu.h"
#include "maincommandhandler.h"
#include "msgbox_recorder.h"
#include "frames_fixture.h"
#include "historywindow.h"
#include "imagestrip.h"
#include "options.h"

namespace frames_test {
namespace {

class Floating : public FramesTest {
 protected:
  void SetUp() override {
    FramesTest::SetUp();
    SetOption(OPT_FLOATING_SHOWN, false);
    SetOption(OPT_FLOATING_RECT, wxRect(700, 50, 220, 300));
    floating = new FloatingWindow(&history);
    floating->RestoreState();
    DispatchPending();
    sim::KeyDown(VK_LWIN);
  }
  void TearDown() override {
    floating->GetHistoryWindow()->Unregister();
    floating->Unregister();
    delete floating;
    FramesTest::TearDown();
  }
  // One floating-list key with Win held; whether it was taken.
  bool Key(int vk) {
    const bool taken = floating->OnHotKey(vk, HeldModifiers());
    DispatchPending();
    return taken;
  }
  RecordListWindow* List() { return floating->GetHistoryWindow()->GetCurrentRecordListWindow(); }
  int LastToolId() {
    wxToolBar* tools = floating->GetToolBar();
    return tools->GetToolByPos(static_cast<int>(tools->GetToolsCount()) - 1)->GetId();
  }
  enum State { kHidden, kCollapsed, kExpanded };
  State Now() {
    if (!floating->IsShown()) return kHidden;
    return floating->IsExpanded() ? kExpanded : kCollapsed;
  }

  FloatingWindow* floating = nullptr;
};

TEST_F(Floating, TheToolBarInItsOrder) {
  const std::vector<int> ids = {ID_TOGGLE_RECORDING, ID_MULTIPLE_PASTE, ID_PASTE_ALL, wxID_SEPARATOR, ID_DELETE_ALL,
                                wxID_SEPARATOR,      wxID_PREFERENCES,  ID_FLOATING_TEXT, ID_FLOATING_CLOSE};
  std::vector<int> got;
  wxToolBar* tools = floating->GetToolBar();
  ASSERT_NE(tools, nullptr);
  EXPECT_EQ(tools->GetName(), "toolbar");
  for (std::size_t i = 0; i < tools->GetToolsCount(); ++i) {
    const wxToolBarToolBase* tool = tools->GetToolByPos(static_cast<int>(i));
    got.push_back(tool->IsSeparator() ? wxID_SEPARATOR : tool->GetId());
  }
  EXPECT_EQ(got, ids) << "the stored rectangle expanded it";
  EXPECT_EQ(tools->FindById(ID_FLOATING_CLOSE)->GetShortHelp(), "Close the floating list window");
}

// Right: hidden -> shown expanded; Left: expanded -> collapsed -> hidden;
// Up and Down open it first, then move the selection; Enter pastes only
// when it is shown and expanded, but is always taken.
TEST_F(Floating, TheKeysWalkItThroughItsStates) {
  const struct {
    int key;
    State after;
    long row;  // the selection afterwards
  } steps[] = {
      {VK_RIGHT, kExpanded, -1}, {VK_LEFT, kCollapsed, -1}, {VK_RETURN, kCollapsed, -1},
      {VK_DOWN, kExpanded, -1},  // shown and collapsed: only expands
      {VK_DOWN, kExpanded, 0},   {VK_DOWN, kExpanded, 1},   {VK_UP, kExpanded, 0},     {VK_UP, kExpanded, 2},
      {VK_LEFT, kCollapsed, 2},  {VK_LEFT, kHidden, 2},     {VK_RETURN, kHidden, 2},   {VK_LEFT, kHidden, 2},
      {VK_UP, kExpanded, 2},  // hidden: expands and shows
      {VK_RIGHT, kExpanded, 2},
  };
  floating->Collapse();
  DispatchPending();
  ASSERT_EQ(Now(), kHidden);
  for (const auto& s : steps) {
    SCOPED_TRACE(s.key);
    EXPECT_TRUE(Key(s.key));
    EXPECT_EQ(Now(), s.after);
    EXPECT_EQ(List()->GetSelectedRow(), s.row);
  }
  EXPECT_TRUE(pasted.empty());
  EXPECT_TRUE(Key(VK_RETURN));
  EXPECT_EQ(pasted, std::vector<std::string>{"third"});
  EXPECT_EQ(Now(), kExpanded) << "pasting leaves it where it is";
  // The focus never moved.
  EXPECT_EQ(pq::QueryGUIThreadInfo(editor.thread).hwndFocus, field);
}

TEST_F(Floating, OnlyItsKeysWithExactlyItsModifiersAreTaken) {
  EXPECT_FALSE(Key('V'));
  EXPECT_FALSE(Key(VK_ESCAPE));
  sim::KeyDown(VK_CONTROL);
  EXPECT_FALSE(Key(VK_DOWN)) << "Win+Ctrl with only Win configured";
  sim::KeyUp(VK_CONTROL);
  SetOption(OPT_FLOATING_KEYS, false);
  EXPECT_FALSE(Key(VK_RIGHT));
  EXPECT_FALSE(floating->IsShown());
  // None of the three configured: Win, as the hook library reports them.
  SetOption(OPT_FLOATING_KEYS, true);
  SetOption(OPT_FLOATING_KEYS_WIN, false);
  EXPECT_TRUE(Key(VK_RIGHT));
  EXPECT_TRUE(floating->IsShown());
}

TEST_F(Floating, AnExpandRestoresTheLastHeightAbove100) {
  floating->SetClientSize(220, 180);
  DispatchPending();
  const int width = floating->GetClientSize().GetWidth();
  EXPECT_EQ(floating->GetExpandedHeight(), 180);
  floating->SetClientSize(220, 80);  // dragged small: not kept
  DispatchPending();
  floating->Collapse();
  DispatchPending();
  EXPECT_FALSE(floating->IsExpanded());
  EXPECT_EQ(LastToolId(), ID_FLOATING_OPEN);
  floating->Expand();
  DispatchPending();
  EXPECT_EQ(floating->GetClientSize(), wxSize(width, 180));
  EXPECT_EQ(LastToolId(), ID_FLOATING_CLOSE);
  // The tools do the same.
  wxCommandEvent close(wxEVT_TOOL, ID_FLOATING_CLOSE);
  floating->GetEventHandler()->ProcessEvent(close);
  DispatchPending();
  EXPECT_FALSE(floating->IsExpanded());
  wxCommandEvent open(wxEVT_TOOL, ID_FLOATING_OPEN);
  floating->GetEventHandler()->ProcessEvent(open);
  DispatchPending();
  EXPECT_EQ(floating->GetClientSize().GetHeight(), 180);
}

TEST_F(Floating, AFreshStartExpandsTo100) {
  testing_settings::ScopedSettings bare(testing_settings::kNoOptions);
  FloatingWindow fresh(&history);
  fresh.RestoreState();
  EXPECT_FALSE(fresh.IsShown());
  EXPECT_FALSE(fresh.IsExpanded());
  fresh.Expand();
  EXPECT_EQ(fresh.GetClientSize().GetHeight(), 100);
  fresh.GetHistoryWindow()->Unregister();
  fresh.Unregister();
}

TEST_F(Floating, TheRecordingToolFollowsItsOptionAndOnlyItChanges) {
  wxToolBar* tools = floating->GetToolBar();
  for (bool recording : {false, true, false}) {
    SetOption(OPT_RECORDING, recording);
    const wxToolBarToolBase* first = tools->GetToolByPos(0);
    EXPECT_EQ(first->GetId(), ID_TOGGLE_RECORDING);
    EXPECT_EQ(first->GetLabel(), recording ? "&Pause Recording" : "&Start Recording");
    EXPECT_EQ(tools->GetToolByPos(1)->GetId(), ID_MULTIPLE_PASTE);
    EXPECT_EQ(tools->GetToolsCount(), 9u);
  }
}

TEST_F(Floating, ADoubleClickPastesAndTheWindowStays) {
  Key(VK_RIGHT);
  List()->SelectRow(1);
  wxListEvent activated(wxEVT_LIST_ITEM_ACTIVATED, List()->GetId());
  activated.SetEventObject(List());
  List()->GetEventHandler()->ProcessEvent(activated);
  EXPECT_EQ(pasted, std::vector<std::string>{"second"});
  EXPECT_TRUE(floating->IsShown());
}

TEST_F(Floating, SaveStateStoresTabShownRectangleAndHeight) {
  Key(VK_RIGHT);
  floating->SetSize(640, 60, 230, 320);
  DispatchPending();
  floating->GetHistoryWindow()->SetSelection(1);
  floating->SaveState();
  EXPECT_EQ(OptionValue<int>(OPT_FLOATING_TAB, -1), 1);
  EXPECT_TRUE(OptionValue<bool>(OPT_FLOATING_SHOWN, false));
  EXPECT_EQ(OptionValue<wxRect>(OPT_FLOATING_RECT, wxRect()), floating->GetRect());
  EXPECT_EQ(OptionValue<int>(OPT_FLOATING_HEIGHT, 0), floating->GetExpandedHeight());
}

// A stored rectangle off every monitor moves onto the nearest, inside its
// work area; one on a monitor stays.
TEST(FloatingRectangle, OffEveryMonitorMovesOntoTheNearest) {
  sim::Reset();
  sim::SetMonitors({{{0, 0, 1280, 1024}, {0, 0, 1280, 994}}, {{1280, 0, 2560, 1024}, {1280, 0, 2560, 994}}});
  const struct {
    wxRect stored, used;
  } cases[] = {
      {{100, 100, 150, 300}, {100, 100, 150, 300}},   {{2400, 900, 150, 300}, {2400, 900, 150, 300}},
      {{3000, 200, 150, 300}, {2410, 200, 150, 300}}, {{-500, -400, 150, 300}, {0, 0, 150, 300}},
      {{1000, 2000, 150, 300}, {1000, 694, 150, 300}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FloatingWindow::OntoMonitor(c.stored), c.used) << c.stored.x << "," << c.stored.y;
  }
}

// Its tools and tab menu reach the record and tab commands it pushed.
TEST_F(Floating, ItsToolsAndTabMenuReachTheRecordAndTabCommands) {
  auto* handler = dynamic_cast<MainCommandHandler*>(floating->GetEventHandler());
  ASSERT_NE(handler, nullptr);
  EXPECT_EQ(handler->GetHistoryWindow(), floating->GetHistoryWindow());
  ASSERT_NE(dynamic_cast<HistoryTabMenu*>(floating->GetHistoryWindow()->GetEventHandler()), nullptr);

  SetOption(OPT_MULTIPASTE_AT_ONCE, true);
  floating->UpdateWindowUI(wxUPDATE_UI_RECURSE);
  EXPECT_TRUE(floating->GetToolBar()->GetToolEnabled(ID_PASTE_ALL));
  floating->GetToolBar()->OnLeftClick(ID_PASTE_ALL, false);
  DispatchPending();
  EXPECT_EQ(pasted, std::vector<std::string>{"firstsecondthird"});

  {
    commands_test::MenuRecorder menus;
    menus.choose = ID_DELETE_ALL;
    MessageBoxRecorder yes(wxYES);
    commands_test::RightUpOn(floating->GetHistoryWindow(), commands_test::TabPoint(floating->GetHistoryWindow(), 0));
    ASSERT_EQ(menus.shown.size(), 1u);
    EXPECT_NE(commands_test::Find(menus.Last(), ID_LIST_PROPERTIES), nullptr) << "the full tab menu";
    EXPECT_EQ(yes.boxes.size(), 1u);
  }
  EXPECT_EQ(history.GetMainList()->GetCount(), 0u);
  floating->UpdateWindowUI(wxUPDATE_UI_RECURSE);
  EXPECT_FALSE(floating->GetToolBar()->GetToolEnabled(ID_PASTE_ALL));
  EXPECT_FALSE(floating->GetToolBar()->GetToolEnabled(ID_DELETE_ALL));
}

}  // namespace
}  // namespace frames_test
