// The rules of the exported functions: what they store, install and remove,
// and what they return.
#include "hook_fixture.h"

#include <vector>

#include "platform/input.h"
#include "platform/shortcuts.h"

namespace hooktest {
namespace {

using platform::sim::FailHookInstalls;
using platform::sim::InstalledHooks;
using pastiqhook::State;

class Exports : public HookTest {};

TEST_F(Exports, InitialStateIsWinVAndWinArrows) {
  const pastiqhook::SharedHookState& s = State();
  EXPECT_EQ(s.shortcutKey.load(), 0x56u);
  EXPECT_EQ(s.combo1On.load(), 1u);
  EXPECT_EQ(s.combo1Ctrl.load() + s.combo1Alt.load(), 0u);
  EXPECT_EQ(s.combo1Win.load(), 1u);
  EXPECT_EQ(s.combo2On.load(), 1u);
  EXPECT_EQ(s.combo2Ctrl.load() + s.combo2Alt.load(), 0u);
  EXPECT_EQ(s.combo2Win.load(), 1u);
  EXPECT_EQ(s.mouseHook.load() + s.cbtHook.load() + s.keyboardHook.load() + s.getMessageHook.load(), 0u);
  EXPECT_EQ(s.engaged.load() + s.ctrlVTarget.load() + s.ctrlVState.load(), 0u);
  EXPECT_NE(s.module.load(), 0u);
}

TEST_F(Exports, SetShortcutKeyStoresEachValueAndNeverAComboWithoutModifier) {
  const pastiqhook::SharedHookState& s = State();
  struct Case {
    int ctrl, alt, win;
    std::uintptr_t storedCtrl, storedAlt, storedWin;
  } cases[] = {
      {0, 0, 0, 0, 0, 1}, {0, 1, 0, 0, 1, 0}, {1, 0, 0, 1, 0, 0},
      {1, 1, 0, 1, 1, 0}, {0, 0, 1, 0, 0, 1}, {1, 1, 1, 1, 1, 1},
  };
  for (const Case& c : cases) {
    Helper_SetShortcutKey('X', 0, c.ctrl, c.alt, c.win, 1, c.ctrl, c.alt, c.win);
    EXPECT_EQ(s.shortcutKey.load(), static_cast<std::uintptr_t>('X'));
    EXPECT_EQ(s.combo1On.load(), 0u);
    EXPECT_EQ(s.combo2On.load(), 1u);
    EXPECT_EQ(s.combo1Ctrl.load(), c.storedCtrl);
    EXPECT_EQ(s.combo1Alt.load(), c.storedAlt);
    EXPECT_EQ(s.combo1Win.load(), c.storedWin);
    EXPECT_EQ(s.combo2Ctrl.load(), c.storedCtrl);
    EXPECT_EQ(s.combo2Alt.load(), c.storedAlt);
    EXPECT_EQ(s.combo2Win.load(), c.storedWin);
  }
  // Only 16 bits of the key are kept, shift state included.
  Helper_SetShortcutKey(static_cast<short>(0x0156), 1, 0, 0, 1, 1, 0, 0, 1);
  EXPECT_EQ(s.shortcutKey.load(), 0x0156u);
  Helper_SetShortcutKey(-1, 1, 0, 0, 1, 1, 0, 0, 1);
  EXPECT_EQ(s.shortcutKey.load(), 0xFFFFu);
}

TEST_F(Exports, SetShortcutKeyTellsTheLayerWhichCombinationsToDeliver) {
  Helper_SetShortcutKey('X', 1, 1, 1, 0, 1, 0, 1, 0);
  std::vector<platform::HookShortcut> keys = platform::HookShortcuts();
  ASSERT_EQ(keys.size(), 6u);
  EXPECT_EQ(keys[0].vk, 'X');
  EXPECT_TRUE(keys[0].ctrl && keys[0].alt && !keys[0].win && keys[0].engages);
  for (std::size_t i = 1; i < keys.size(); ++i) {
    EXPECT_TRUE(!keys[i].ctrl && keys[i].alt && !keys[i].win && !keys[i].engages) << i;
  }
  EXPECT_EQ(keys[1].vk, VK_UP);
  EXPECT_EQ(keys[5].vk, VK_RETURN);

  // Switched off, or a key only a shift state can type: nothing to deliver.
  Helper_SetShortcutKey(static_cast<short>(0x0156), 1, 0, 0, 1, 0, 0, 0, 1);
  EXPECT_TRUE(platform::HookShortcuts().empty());
}

TEST_F(Exports, InitializeInstallsBothHooksOnceAndUninitializeRemovesThem) {
  EXPECT_EQ(Helper_Initialize(program_, program_), 1);
  EXPECT_EQ(InstalledHooks(WH_CBT), 1);
  EXPECT_EQ(InstalledHooks(WH_KEYBOARD), 1);
  // A second start keeps the installed hooks rather than doubling them.
  EXPECT_EQ(Helper_Initialize(program_, program_), 1);
  EXPECT_EQ(InstalledHooks(WH_CBT), 1);
  EXPECT_EQ(InstalledHooks(WH_KEYBOARD), 1);
  EXPECT_EQ(Helper_Uninitialize(), 1);
  EXPECT_EQ(InstalledHooks(WH_CBT), 0);
  EXPECT_EQ(InstalledHooks(WH_KEYBOARD), 0);
  EXPECT_EQ(State().keyNoticeWindow.load() + State().focusNoticeWindow.load(), 0u);
}

struct FailedInstall {
  int failing;
};
class InitializeFailure : public HookTest, public ::testing::WithParamInterface<FailedInstall> {};

TEST_P(InitializeFailure, ReportsFailureAndLeavesNoHook) {
  if (GetParam().failing)
    FailHookInstalls(GetParam().failing, 1);
  else {
    FailHookInstalls(WH_CBT, 1);
    FailHookInstalls(WH_KEYBOARD, 1);
  }
  EXPECT_EQ(Helper_Initialize(program_, program_), 0);
  EXPECT_EQ(InstalledHooks(WH_CBT), 0);
  EXPECT_EQ(InstalledHooks(WH_KEYBOARD), 0);
  EXPECT_EQ(State().cbtHook.load(), 0u);
  EXPECT_EQ(State().keyboardHook.load(), 0u);
  // Keys and focus changes go unreported.
  platform::sim::Chord({VK_LWIN, 'V'});
  EXPECT_TRUE(TakeNotices().empty());
  // Once installs work again, a new start succeeds.
  EXPECT_EQ(Helper_Initialize(program_, program_), 1);
  EXPECT_EQ(InstalledHooks(WH_CBT), 1);
  EXPECT_EQ(InstalledHooks(WH_KEYBOARD), 1);
}

INSTANTIATE_TEST_SUITE_P(Hooks, InitializeFailure,
                         ::testing::Values(FailedInstall{WH_CBT}, FailedInstall{WH_KEYBOARD}, FailedInstall{0}),
                         [](const ::testing::TestParamInfo<FailedInstall>& i) {
                           return i.param.failing == WH_CBT ? std::string("Cbt")
                                  : i.param.failing == WH_KEYBOARD ? std::string("Keyboard")
                                                                   : std::string("Both");
                         });

TEST_F(Exports, UninitializeWithoutHooksReturnsOneAndClearsWindowsAndEngaged) {
  State().keyNoticeWindow = pastiqhook::AsWord(program_);
  State().focusNoticeWindow = pastiqhook::AsWord(program_);
  State().engaged = 1;
  EXPECT_EQ(Helper_Uninitialize(), 1);
  EXPECT_EQ(State().keyNoticeWindow.load(), 0u);
  EXPECT_EQ(State().focusNoticeWindow.load(), 0u);
  EXPECT_EQ(State().engaged.load(), 0u);
}

TEST_F(Exports, UninitializeReportsAFailedRemoval) {
  ASSERT_EQ(Helper_Initialize(program_, program_), 1);
  // The CBT hook was removed behind the library's back: its removal fails.
  ASSERT_TRUE(UnhookWindowsHookEx(pastiqhook::AsHandle<HHOOK>(State().cbtHook.load())));
  EXPECT_EQ(Helper_Uninitialize(), 0);
  EXPECT_EQ(InstalledHooks(WH_KEYBOARD), 0);
  EXPECT_EQ(State().cbtHook.load(), 0u);
}

TEST_F(Exports, UninitializeDoesNotResetTheShortcut) {
  Helper_SetShortcutKey('X', 1, 1, 1, 0, 0, 0, 0, 1);
  ASSERT_EQ(Helper_Initialize(program_, program_), 1);
  Helper_Uninitialize();
  EXPECT_EQ(State().shortcutKey.load(), static_cast<std::uintptr_t>('X'));
  EXPECT_EQ(State().combo1Ctrl.load(), 1u);
  EXPECT_EQ(State().combo2On.load(), 0u);
}

TEST_F(Exports, PauseAndResumeTheKeyboardHook) {
  ASSERT_EQ(Helper_Initialize(program_, program_), 1);
  EXPECT_EQ(Helper_PauseMonitorKeyboard(), 1);
  EXPECT_EQ(InstalledHooks(WH_KEYBOARD), 0);
  EXPECT_EQ(InstalledHooks(WH_CBT), 1);
  EXPECT_EQ(Helper_PauseMonitorKeyboard(), 0);
  // While paused the shortcut reaches the application.
  const std::size_t before = platform::sim::Keys(app_).size();
  platform::sim::Chord({VK_LWIN, 'V'});
  EXPECT_EQ(platform::sim::Keys(app_).size() - before, 4u);
  EXPECT_TRUE(TakeNotices().empty());

  State().engaged = 1;
  EXPECT_EQ(Helper_ResumeMonitorKeyboard(), 1);
  EXPECT_EQ(InstalledHooks(WH_KEYBOARD), 1);
  EXPECT_EQ(State().engaged.load(), 0u);
  platform::sim::Chord({VK_LWIN, 'V'});
  std::vector<Notice> n = TakeNotices();
  ASSERT_FALSE(n.empty());
  EXPECT_EQ(n[0].wParam, static_cast<WPARAM>('V'));
}

TEST_F(Exports, ResumeWhileInstalledChangesNothing) {
  ASSERT_EQ(Helper_Initialize(program_, program_), 1);
  const std::uintptr_t hook = State().keyboardHook.load();
  State().engaged = 1;
  EXPECT_EQ(Helper_ResumeMonitorKeyboard(), 0);
  EXPECT_EQ(State().engaged.load(), 1u);
  EXPECT_EQ(State().keyboardHook.load(), hook);
  EXPECT_EQ(InstalledHooks(WH_KEYBOARD), 1);
}

TEST_F(Exports, ResumeWhoseInstallFailsReturnsZero) {
  ASSERT_EQ(Helper_Initialize(program_, program_), 1);
  ASSERT_EQ(Helper_PauseMonitorKeyboard(), 1);
  FailHookInstalls(WH_KEYBOARD, 1);
  EXPECT_EQ(Helper_ResumeMonitorKeyboard(), 0);
  EXPECT_EQ(State().keyboardHook.load(), 0u);
  EXPECT_EQ(Helper_ResumeMonitorKeyboard(), 1);
}

TEST_F(Exports, MenuWindowStartKeepsAnInstalledMouseHook) {
  EXPECT_EQ(Helper_MenuWindow_Stop(), 0);
  EXPECT_EQ(Helper_MenuWindow_Start(), 1);
  const std::uintptr_t hook = State().mouseHook.load();
  EXPECT_EQ(Helper_MenuWindow_Start(), 1);
  EXPECT_EQ(State().mouseHook.load(), hook);
  EXPECT_EQ(InstalledHooks(WH_MOUSE), 1);
  EXPECT_EQ(Helper_MenuWindow_Stop(), 1);
  EXPECT_EQ(InstalledHooks(WH_MOUSE), 0);
  EXPECT_EQ(Helper_MenuWindow_Stop(), 0);
  FailHookInstalls(WH_MOUSE, 1);
  EXPECT_EQ(Helper_MenuWindow_Start(), 0);
  EXPECT_EQ(State().mouseHook.load(), 0u);
}

TEST_F(Exports, MenuWindowIsStoredAndCleared) {
  HWND menu = OurWindow(L"PastiqMenu");
  Helper_MenuWindow_SetWindow(menu);
  EXPECT_EQ(State().menuWindow.load(), pastiqhook::AsWord(menu));
  Helper_MenuWindow_SetWindow(nullptr);
  EXPECT_EQ(State().menuWindow.load(), 0u);
}

TEST_F(Exports, TheFirstModuleHandleIsKept) {
  const std::uintptr_t first = State().module.load();
  pastiqhook::OnModuleAttach(platform::RegisterModule(L"another"));
  EXPECT_EQ(State().module.load(), first);
}

TEST_F(Exports, AHookTakenElsewhereIsNotRemovedTwice) {
  ASSERT_EQ(Helper_MenuWindow_Start(), 1);
  // A hook procedure took the handle first; the export finds nothing left.
  EXPECT_TRUE(pastiqhook::TakeAndUnhook(State().mouseHook, FALSE));
  EXPECT_FALSE(pastiqhook::TakeAndUnhook(State().mouseHook, FALSE));
  EXPECT_EQ(Helper_MenuWindow_Stop(), 0);
}

}  // namespace
}  // namespace hooktest
