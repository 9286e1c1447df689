// The menu window's rules: Escape, clicks and focus changes outside close it;
// anything inside keeps it open. And the focus hook's own clean-up.
#include "hook_fixture.h"

namespace hooktest {
namespace {

using platform::sim::InstalledHooks;
using pastiqhook::State;

class MenuRules : public HookTest {
 protected:
  void SetUp() override {
    HookTest::SetUp();
    ASSERT_EQ(Helper_Initialize(program_, program_), 1);
    menu_ = OurWindow(L"PastiqMenu");
    child_ = OurWindow(L"PastiqMenuList", menu_, {0, 0, 100, 100});
    Helper_MenuWindow_SetWindow(menu_);
    ASSERT_EQ(Helper_MenuWindow_Start(), 1);
    TakeNotices();
  }
  int Closes(const std::vector<Notice>& notices) const {
    int n = 0;
    for (const Notice& x : notices)
      if (x.message == WM_HOOK_CLOSE_MENU) {
        EXPECT_EQ(x.hwnd, menu_);
        ++n;
      }
    return n;
  }
  static std::vector<Notice> Focus(const std::vector<Notice>& notices) {
    std::vector<Notice> out;
    for (const Notice& x : notices)
      if (x.message == WM_HOOK_FOCUS) out.push_back(x);
    return out;
  }
  bool MenuOpen() const { return IsWindowVisible(menu_) && State().mouseHook.load() && InstalledHooks(WH_MOUSE) == 1; }
  bool MenuClosed() const { return !IsWindowVisible(menu_) && !State().mouseHook.load() && InstalledHooks(WH_MOUSE) == 0; }

  HWND menu_ = nullptr;
  HWND child_ = nullptr;
};

TEST_F(MenuRules, EscapeClosesTheMenuAndIsStillPassedOn) {
  const std::size_t before = platform::sim::Keys(app_).size();
  platform::sim::KeyDown(VK_ESCAPE);
  EXPECT_EQ(Closes(TakeNotices()), 1);
  EXPECT_TRUE(MenuClosed());
  EXPECT_EQ(platform::sim::Keys(app_).size() - before, 1u);
  // With the menu hidden, Escape closes nothing.
  platform::sim::KeyUp(VK_ESCAPE);
  EXPECT_EQ(Closes(TakeNotices()), 0);
}

TEST_F(MenuRules, EscapeWhileEngagedClosesTheMenuAndIsReported) {
  platform::sim::KeyDown(VK_LWIN);
  platform::sim::KeyDown('V');
  TakeNotices();
  platform::sim::KeyDown(VK_ESCAPE);
  std::vector<Notice> n = TakeNotices();
  EXPECT_EQ(Closes(n), 1);
  ASSERT_EQ(n.size(), 2u);
  EXPECT_EQ(n[1].message, WM_HOOK_KEY);
  EXPECT_EQ(n[1].wParam, static_cast<WPARAM>(VK_ESCAPE));
}

TEST_F(MenuRules, ClickInAChildKeepsTheMenuOpen) {
  platform::sim::Click(child_, WM_LBUTTONDOWN);
  std::vector<Notice> n = TakeNotices();
  EXPECT_EQ(Closes(n), 0);
  EXPECT_TRUE(MenuOpen());
  platform::sim::Click(menu_, WM_RBUTTONDOWN);
  EXPECT_EQ(Closes(TakeNotices()), 0);
  EXPECT_TRUE(MenuOpen());
}

TEST_F(MenuRules, ClickElsewhereClosesTheMenuAndRemovesTheMouseHook) {
  for (UINT button : {WM_LBUTTONDOWN, WM_RBUTTONDOWN}) {
    platform::UpdateToolkitWindow(menu_, nullptr, 1);
    ASSERT_EQ(Helper_MenuWindow_Start(), 1);
    // Without activation the click itself is what closes the menu.
    platform::sim::Click(app_, button, {300, 300}, false);
    EXPECT_EQ(Closes(TakeNotices()), 1) << button;
    EXPECT_TRUE(MenuClosed()) << button;
  }
}

TEST_F(MenuRules, MiddleClickElsewhereKeepsTheMenu) {
  platform::sim::Click(app_, WM_MBUTTONDOWN, {300, 300}, false);
  EXPECT_EQ(Closes(TakeNotices()), 0);
  EXPECT_TRUE(MenuOpen());
}

TEST_F(MenuRules, AHiddenMenuLosesItsMouseHookOnTheNextMouseEvent) {
  platform::UpdateToolkitWindow(menu_, nullptr, 0);
  platform::sim::Click(child_, WM_LBUTTONDOWN, {0, 0}, false);
  EXPECT_EQ(Closes(TakeNotices()), 0);
  EXPECT_TRUE(MenuClosed());
}

TEST_F(MenuRules, FocusOutsideClosesTheMenuAndIsReported) {
  HWND other = platform::sim::AddEdit(appThread_);
  ASSERT_TRUE(platform::sim::SetFocus(other));
  std::vector<Notice> n = TakeNotices();
  EXPECT_EQ(Closes(n), 1);
  EXPECT_TRUE(MenuClosed());
  std::vector<Notice> f = Focus(n);
  ASSERT_EQ(f.size(), 1u);
  EXPECT_EQ(f[0].hwnd, program_);
  EXPECT_EQ(f[0].wParam, pastiqhook::AsWord(other));
  EXPECT_EQ(static_cast<std::uintptr_t>(f[0].lParam), pastiqhook::AsWord(app_));
}

TEST_F(MenuRules, FocusInsideTheMenuKeepsIt) {
  ASSERT_TRUE(platform::sim::SetFocus(child_));
  ASSERT_TRUE(platform::sim::SetFocus(menu_));
  std::vector<Notice> n = TakeNotices();
  EXPECT_EQ(Closes(n), 0);
  EXPECT_TRUE(MenuOpen());
  EXPECT_EQ(Focus(n).size(), 2u);
}

TEST_F(MenuRules, FocusChangesWithoutAMenuAreStillReported) {
  ASSERT_EQ(Helper_MenuWindow_Stop(), 1);
  HWND other = platform::sim::AddEdit(appThread_);
  ASSERT_TRUE(platform::sim::SetFocus(other));
  std::vector<Notice> n = TakeNotices();
  EXPECT_EQ(Closes(n), 0);
  EXPECT_EQ(Focus(n).size(), 1u);
  EXPECT_TRUE(IsWindowVisible(menu_));
}

TEST_F(MenuRules, FocusHookRemovesBothHooksOnceTheNoticeWindowIsGone) {
  ASSERT_TRUE(DestroyWindow(program_));
  HWND other = platform::sim::AddEdit(appThread_);
  EXPECT_TRUE(platform::sim::SetFocus(other));
  TakeNotices();
  EXPECT_EQ(InstalledHooks(WH_CBT), 0);
  EXPECT_EQ(InstalledHooks(WH_KEYBOARD), 0);
  EXPECT_EQ(State().cbtHook.load() + State().keyboardHook.load(), 0u);
  EXPECT_EQ(State().focusNoticeWindow.load() + State().keyNoticeWindow.load(), 0u);
  // Keys now reach the application untouched.
  const std::size_t before = platform::sim::Keys(other).size();
  platform::sim::Chord({VK_LWIN, 'V'});
  EXPECT_EQ(platform::sim::Keys(other).size() - before, 4u);
}

}  // namespace
}  // namespace hooktest
