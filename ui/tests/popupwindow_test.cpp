// The popup list: the key notices of the shortcut typed on the simulated
// desktop through the real hooks and manager (the double press on the
// virtual clock), its placement next to the caret, its saved size.
#include "popupwindow.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "child_process.h"
#include "frames_fixture.h"
#include "historywindow.h"
#include "options.h"
#include "platform/input.h"

namespace frames_test {
namespace {

class Popup : public FramesTest {
 protected:
  void SetUp() override {
    FramesTest::SetUp();
    popup = new PopupWindow(&history);
    popup->RestoreState();
    popupKeys = [this](int vk, bool released, bool repeat, pq::KeyModifiers typedWith) {
      return popup->OnHotKey(vk, released, repeat, typedWith);
    };
    floatingKeys = [this](int vk, pq::KeyModifiers) {
      floatingGot.push_back(vk);
      return false;
    };
  }
  void TearDown() override {
    popupKeys = nullptr;
    popup->GetHistoryWindow()->Unregister();
    popup->DeletePasteTimer();
    delete popup;
    FramesTest::TearDown();
  }
  long SelectedRow() { return popup->GetHistoryWindow()->GetCurrentRecordListWindow()->GetSelectedRow(); }

  PopupWindow* popup = nullptr;
  std::vector<int> floatingGot;
};

// One thing the user does: a key pressed, let go, tapped, or time passing.
struct Step {
  enum Kind { kDown, kUp, kTap, kWait } kind;
  int arg;
};
Step Down(int vk) { return {Step::kDown, vk}; }
Step Up(int vk) { return {Step::kUp, vk}; }
Step Tap(int vk) { return {Step::kTap, vk}; }
Step Wait(int ms) { return {Step::kWait, ms}; }

enum Shortcut { kWinV, kCtrlV, kNoModifierV };

struct Script {
  const char* name;
  Shortcut shortcut;
  std::vector<Step> steps;
  bool shown;
  long row;  // the selected row while shown
  std::vector<std::string> pasted;
  int clipboardPastes;
  std::vector<int> floating;  // key notices that went on to the floating list
};

TEST_F(Popup, KeyNoticeScripts) {
  const int V = 'V';
  const Script scripts[] = {
      {"the shortcut shows the list with row 0", kWinV, {Down(VK_LWIN), Tap(V)}, true, 0, {}, 0, {}},
      {"V again moves down and wraps", kWinV, {Down(VK_LWIN), Tap(V), Tap(V), Tap(V), Tap(V)}, true, 0, {}, 0, {}},
      {"Down moves down", kWinV, {Down(VK_LWIN), Tap(V), Tap(VK_DOWN)}, true, 1, {}, 0, {}},
      {"Up wraps to the last row", kWinV, {Down(VK_LWIN), Tap(V), Tap(VK_UP)}, true, 2, {}, 0, {}},
      {"the release pastes the selected record", kWinV, {Down(VK_LWIN), Tap(V), Tap(VK_DOWN), Up(VK_LWIN)},
       false, -1, {"second"}, 0, {}},
      {"Enter pastes, the release then does nothing", kWinV,
       {Down(VK_LWIN), Tap(V), Tap(VK_UP), Tap(VK_RETURN), Up(VK_LWIN)}, false, -1, {"third"}, 0, {0}},
      {"Escape hides and pastes nothing", kWinV, {Down(VK_LWIN), Tap(V), Tap(VK_ESCAPE), Up(VK_LWIN)}, false, -1,
       {}, 0, {0}},
      {"Win+Shift+V counts as Win+V", kWinV, {Down(VK_LWIN), Down(VK_SHIFT), Tap(V)}, true, 0, {}, 0, {}},
      // The hook does not even report it (the popup's own refusal: below).
      {"Win+Ctrl+V shows nothing", kWinV, {Down(VK_LWIN), Down(VK_CONTROL), Tap(V)}, false, -1, {}, 0, {}},
      {"no modifier configured: Win+V", kNoModifierV, {Down(VK_LWIN), Tap(V), Tap(V), Up(VK_LWIN)}, false, -1,
       {"second"}, 0, {}},
      {"Ctrl+V tapped pastes the clipboard at the release", kCtrlV,
       {Down(VK_CONTROL), Tap(V), Up(VK_CONTROL), Wait(500)}, false, -1, {}, 1, {}},
      {"Ctrl+V held pastes after 268 ms", kCtrlV, {Down(VK_CONTROL), Tap(V), Wait(268), Up(VK_CONTROL), Wait(500)},
       false, -1, {}, 1, {}},
      {"Ctrl+V twice opens the list", kCtrlV, {Down(VK_CONTROL), Tap(V), Wait(267), Tap(V), Wait(500)}, true, 0, {},
       0, {}},
      {"an auto-repeat is no second press", kCtrlV, {Down(VK_CONTROL), Down(V), Down(V), Wait(268), Up(V)}, false,
       -1, {}, 1, {}},
  };
  for (const Script& s : scripts) {
    SCOPED_TRACE(s.name);
    SetOption(OPT_POPUP_SHORTCUT_WIN, s.shortcut == kWinV);
    SetOption(OPT_POPUP_SHORTCUT_CTRL, s.shortcut == kCtrlV);
    popup->Show(false);
    history.GetMainList()->Clear();
    lists_test::Fill(*history.GetMainList(), {"first", "second", "third"});
    DispatchPending();
    popup->GetHistoryWindow()->GetCurrentRecordListWindow()->SetItemState(SelectedRow(), 0, wxLIST_STATE_SELECTED);
    pasted.clear();
    floatingGot.clear();
    sim::ClearMessages(field);
    for (const Step& step : s.steps) {
      switch (step.kind) {
        case Step::kDown: sim::KeyDown(step.arg); break;
        case Step::kUp: sim::KeyUp(step.arg); break;
        case Step::kTap: sim::Tap(step.arg); break;
        case Step::kWait: timers->Advance(step.arg); break;
      }
      sim::Settle();
    }
    EXPECT_EQ(popup->IsShown(), s.shown);
    if (s.shown) {
      EXPECT_EQ(SelectedRow(), s.row);
    }
    EXPECT_EQ(pasted, s.pasted);
    EXPECT_EQ(ClipboardPastes(), s.clipboardPastes);
    EXPECT_EQ(floatingGot, s.floating);
    EXPECT_FALSE(popup->IsPastePending());
    for (int vk : {VK_LWIN, VK_CONTROL, VK_SHIFT, V}) {
      if (GetAsyncKeyState(vk) & 0x8000) sim::KeyUp(vk);
    }
    sim::Settle();
    timers->Advance(1000);
  }
}

// The popup never takes the focus: the field keeps it and its application
// stays in front.
TEST_F(Popup, ShowingLeavesTheFocusWithTheTarget) {
  sim::KeyDown(VK_LWIN);
  sim::Tap('V');
  sim::Settle();
  ASSERT_TRUE(popup->IsShown());
  EXPECT_EQ(GetForegroundWindow(), editor.frame);
  EXPECT_EQ(pq::QueryGUIThreadInfo(editor.thread).hwndFocus, field);
  // The previous selection is kept the next time.
  sim::Tap(VK_DOWN);
  sim::KeyUp(VK_LWIN);
  sim::Settle();
  EXPECT_EQ(pasted, std::vector<std::string>{"second"});
  sim::KeyDown(VK_LWIN);
  sim::Tap('V');
  sim::Settle();
  // (The recorded paste leaves the list's order as it was.)
  EXPECT_EQ(SelectedRow(), 1);
}

TEST_F(Popup, WithTheShortcutOffNoKeyIsTaken) {
  popup->ShowPopup();
  ASSERT_TRUE(popup->IsShown());
  SetOption(OPT_POPUP_SHORTCUT, false);
  sim::KeyDown(VK_LWIN);
  for (int vk : {int{'V'}, VK_DOWN, VK_ESCAPE, VK_RETURN}) EXPECT_FALSE(popup->OnHotKey(vk, false, false, HeldModifiers())) << vk;
  EXPECT_FALSE(popup->OnHotKey(0, true, false, HeldModifiers()));
  EXPECT_TRUE(popup->IsShown());
  EXPECT_TRUE(pasted.empty());
}

// Ctrl not configured but down: not the popup's; the manager hands it on.
TEST_F(Popup, AnExtraModifierSpoilsTheMatch) {
  sim::KeyDown(VK_LWIN);
  sim::KeyDown(VK_CONTROL);
  EXPECT_FALSE(popup->OnHotKey('V', false, false, HeldModifiers()));
  EXPECT_FALSE(popup->IsShown());
  // A release goes on whatever the modifiers are.
  popup->ShowPopup();
  EXPECT_TRUE(popup->OnHotKey(0, true, false, HeldModifiers()));
  EXPECT_FALSE(popup->IsShown());
  EXPECT_EQ(pasted, std::vector<std::string>{"first"});
}

TEST_F(Popup, WithTheTargetGoneNothingShowsButTheKeyIsTaken) {
  sim::RemoveWindow(editor.frame);
  sim::Settle();
  sim::KeyDown(VK_LWIN);
  EXPECT_TRUE(popup->OnHotKey('V', false, false, HeldModifiers()));
  EXPECT_FALSE(popup->IsShown());
}

// Keys typed faster than the program reads their notices: Win is already up
// when the notice of Escape or Down is handled, and the key still counts
// with the modifiers it was typed with.
TEST_F(Popup, AKeyCountsWithTheModifiersItWasTypedWithNotThoseHeldWhenItsNoticeIsRead) {
  const struct {
    int vk;
    bool shown;
    std::vector<std::string> pasted;
  } cases[] = {{VK_ESCAPE, false, {}}, {VK_DOWN, false, {"second"}}, {VK_UP, false, {"third"}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.vk);
    pasted.clear();
    popup->GetHistoryWindow()->GetCurrentRecordListWindow()->SelectRow(0);
    sim::KeyDown(VK_LWIN);
    sim::Tap('V');
    sim::Settle();
    ASSERT_TRUE(popup->IsShown());
    sim::Tap(c.vk);
    sim::KeyUp(VK_LWIN);
    sim::Settle();
    EXPECT_EQ(popup->IsShown(), c.shown);
    EXPECT_EQ(pasted, c.pasted);
    history.GetMainList()->Clear();
    lists_test::Fill(*history.GetMainList(), {"first", "second", "third"});
    DispatchPending();
  }
}

// A popup hidden at once after it showed (Escape typed quickly) gets the map
// notice of that show late, and the toolkit marks it shown until the hide
// queued for it runs: the shortcut typed in between still shows it.
TEST_F(Popup, TheShortcutShowsThePopupThatALateMapNoticeMarkedShown) {
  bool late = false;
  popup->Bind(wxEVT_SHOW, [&](wxShowEvent& event) {
    event.Skip();
    if (!event.IsShown() || popup->IsMeantShown() || late) return;
    late = true;
    // Queued before the frame's own handler queues the hide.
    popup->CallAfter([] {
      sim::KeyDown(VK_LWIN);
      sim::Tap('V');
      sim::Settle();
    });
  });
  ASSERT_TRUE(popup->ShowPopup());
  popup->Show(false);
  ASSERT_TRUE(testing_process::WaitUntil(
      [&] {
        DispatchPending();
        return late;
      },
      std::chrono::seconds(10)))
      << "no map notice came after the hide";
  DispatchPending();
  EXPECT_TRUE(popup->IsMeantShown());
  EXPECT_TRUE(popup->IsShown());
}

TEST_F(Popup, AnEmptyListShowsWithNoRowSelected) {
  history.GetMainList()->Clear();
  DispatchPending();
  EXPECT_TRUE(popup->ShowPopup());
  EXPECT_TRUE(popup->IsShown());
  EXPECT_EQ(SelectedRow(), -1);
}

// Placement: x0, y0 the caret's top-left on the screen; the popup's size
// 150 x 300 unless given; work area 0,0 - 1280,994.
TEST(PopupPlacement, NextToTheCaretAndInsideTheWorkArea) {
  const RECT work{0, 0, 1280, 994};
  const struct {
    const char* name;
    RECT target, caret;
    wxSize size;
    wxPoint at;
  } cases[] = {
      {"below the caret", {100, 100, 500, 400}, {20, 30, 22, 46}, {150, 300}, {120, 151}},
      {"no caret: the target's top-left, 5 px down", {100, 100, 500, 400}, {0, 0, 0, 0}, {150, 300}, {100, 105}},
      {"near the right edge: 5 px inside", {1100, 100, 1280, 400}, {100, 0, 102, 16}, {150, 300}, {1125, 121}},
      {"near the bottom: above the caret", {100, 800, 500, 990}, {10, 50, 12, 66}, {150, 300}, {110, 545}},
      {"no caret near the bottom", {300, 900, 600, 994}, {0, 0, 0, 0}, {150, 300}, {300, 595}},
      {"the right and the bottom at once", {1200, 900, 1280, 994}, {60, 40, 62, 56}, {150, 300}, {1125, 635}},
      {"off the left edge: inside", {-300, 100, 100, 400}, {10, 0, 12, 16}, {150, 300}, {0, 121}},
      {"too tall for the room above: inside at the top", {100, 100, 500, 994}, {0, 700, 2, 716}, {150, 900},
       {100, 0}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PopupWindow::Placement(c.target, c.caret, work, c.size), c.at) << c.name;
  }
}

TEST_F(Popup, ShowsNextToTheCaretInTheWorkAreaOfTheTargetsMonitor) {
  // Two monitors side by side; the editor sits on the second, whose work
  // area leaves a panel of 30 px at its bottom.
  sim::SetMonitors({{{0, 0, 1280, 1024}, {0, 0, 1280, 994}}, {{1280, 0, 2560, 1024}, {1280, 0, 2560, 994}}});
  sim::WindowSpec frameSpec;
  frameSpec.rect = RECT{2300, 600, 2560, 900};
  const testing_sim::App other = testing_sim::AddApp(L"/usr/bin/other", L"OtherFrame", {}, frameSpec);
  sim::SetFocus(other.frame);
  sim::Settle();
  ASSERT_EQ(pq::Mgr::Get().GetTargetWindow(), other.frame);
  sim::SetCaret(other.thread, other.frame, RECT{250, 200, 252, 216});
  popup->ShowPopup();
  // Right edge 5 px inside the second monitor; above the caret (the room
  // below ends at 994).
  EXPECT_EQ(popup->GetPosition(), wxPoint(2560 - 5 - 150, 800 - 5 - 300));
}

TEST(PopupSize, AbsentOrNotPositiveFallsBackTo150By300) {
  testing_settings::ScopedSettings settings(testing_settings::kNoOptions);
  pq::History history;
  history.CreateDefaultLists();
  const struct {
    bool set;
    wxSize stored, used;
  } cases[] = {{false, {}, {150, 300}},     {true, {0, 0}, {150, 300}},    {true, {-20, 400}, {150, 300}},
               {true, {200, 0}, {150, 300}}, {true, {220, 410}, {220, 410}}};
  for (const auto& c : cases) {
    settings.options().Clear();
    if (c.set) SetOption(OPT_POPUP_SIZE, c.stored);
    PopupWindow popup(&history);
    popup.RestoreState();
    EXPECT_EQ(popup.GetSize(), c.used) << c.stored.x << "x" << c.stored.y;
    popup.GetHistoryWindow()->Unregister();
    popup.DeletePasteTimer();
  }
}

}  // namespace
}  // namespace frames_test
