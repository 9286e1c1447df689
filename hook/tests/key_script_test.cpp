// The keyboard hook, played as key scripts on the simulated desktop: which
// keys reach the focused application, which are swallowed, and what the
// program is told.
#include <map>
#include <optional>
#include <sstream>
#include <string>

#include "hook_fixture.h"
#include "hook_procs.h"

namespace hooktest {
namespace {

struct Shortcut {
  short vk;
  int on1, ctrl1, alt1, win1;
  int on2, ctrl2, alt2, win2;
};

struct KeyScript {
  const char* name;
  std::optional<Shortcut> shortcut;  // none: the library's initial settings
  // "+KEY" presses, "-KEY" releases; "=OFF1" switches combination 1 off
  // where the script stands, as the options page may do at any moment.
  const char* script;
  // One per step: "p" reaches the application, "s" is swallowed, "-" for a
  // step that is no key.
  const char* fate;
  std::vector<std::pair<WPARAM, LPARAM>> notices;
};

void PrintTo(const KeyScript& ks, std::ostream* os) { *os << ks.script; }

int Key(const std::string& name) {
  static const std::map<std::string, int> keys = {
      {"LWIN", VK_LWIN},     {"RWIN", VK_RWIN},   {"CTRL", VK_CONTROL}, {"ALT", VK_MENU},
      {"SHIFT", VK_SHIFT},   {"UP", VK_UP},       {"DOWN", VK_DOWN},    {"LEFT", VK_LEFT},
      {"RIGHT", VK_RIGHT},   {"ESC", VK_ESCAPE},  {"ENTER", VK_RETURN}, {"V", 'V'},
      {"X", 'X'},            {"A", 'A'}};
  auto it = keys.find(name);
  EXPECT_NE(it, keys.end()) << name;
  return it == keys.end() ? 0 : it->second;
}

std::vector<std::string> Words(const char* text) {
  std::istringstream in(text);
  std::vector<std::string> out;
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

constexpr WPARAM V = 'V';
const Shortcut kCtrlAltX{'X', 1, 1, 1, 0, 1, 0, 0, 1};

const KeyScript kScripts[] = {
    {"WinV_PostsTheKey_ReleasingWinItselfPostsTheReleaseNotice", std::nullopt, "+LWIN +V -V -LWIN", "p s p s",
     {{V, 0}, {0, 1}}},
    {"RightWinWorksLikeLeftWin", std::nullopt, "+RWIN +V -V -RWIN", "p s p s", {{V, 0}, {0, 1}}},
    {"WinV_Twice_PostsTwice", std::nullopt, "+LWIN +V -V +V -V -LWIN", "p s p s p s",
     {{V, 0}, {V, 0}, {0, 1}}},
    {"ReleaseNoticeComesOnceForTheFirstReleaseAfterTheModifiers", std::nullopt, "+LWIN +V -LWIN -V",
     "p s s p", {{V, 0}, {0, 1}}},
    {"WinDownWhileEngaged_OneNoticeAndSwallowed", std::nullopt, "+LWIN +V +DOWN -DOWN -LWIN", "p s s p s",
     {{V, 0}, {VK_DOWN, 0}, {0, 1}}},
    {"UpEnterEscapeWhileEngaged", std::nullopt, "+LWIN +V +UP +ENTER +ESC -LWIN", "p s s s s s",
     {{V, 0}, {VK_UP, 0}, {VK_RETURN, 0}, {VK_ESCAPE, 0}, {0, 1}}},
    {"WinLeftNotEngaged_FloatingKeys", std::nullopt, "+LWIN +LEFT -LEFT -LWIN", "p s p p", {{VK_LEFT, 0}}},
    {"WinLeftEngaged_ReachesTheFloatingKeysToo", std::nullopt, "+LWIN +V +LEFT -LWIN", "p s s s",
     {{V, 0}, {VK_LEFT, 0}, {0, 1}}},
    {"WinDownNotEngaged_FloatingKeys", std::nullopt, "+LWIN +DOWN +ENTER +RIGHT", "p s s s",
     {{VK_DOWN, 0}, {VK_RETURN, 0}, {VK_RIGHT, 0}}},
    {"WinEscapeNotEngaged_PassedOn", std::nullopt, "+LWIN +ESC -ESC -LWIN", "p p p p", {}},
    {"CtrlWinV_PassedOn", std::nullopt, "+CTRL +LWIN +V -V -LWIN -CTRL", "p p p p p p", {}},
    {"WinShiftV_Matches", std::nullopt, "+LWIN +SHIFT +V -V -SHIFT -LWIN", "p p s p p s", {{V, 0}, {0, 1}}},
    {"PlainV_PassedOn", std::nullopt, "+V -V +DOWN", "p p p", {}},
    {"OtherKeyWhileEngaged_PassedOn", std::nullopt, "+LWIN +V +A -A -LWIN", "p s p p s", {{V, 0}, {0, 1}}},
    {"CtrlAltX_Configured", kCtrlAltX, "+CTRL +ALT +X -X -ALT -CTRL", "p p s p s p", {{'X', 0}, {0, 1}}},
    {"CtrlAltX_Configured_WinVPassedOn", kCtrlAltX, "+LWIN +V -V -LWIN", "p p p p", {}},
    {"CtrlAltX_Configured_WithWinDoesNotMatch", kCtrlAltX, "+CTRL +ALT +LWIN +X", "p p p p", {}},
    {"CtrlAltX_Configured_DownWhileEngaged", kCtrlAltX, "+CTRL +ALT +X +DOWN -CTRL", "p p s s s",
     {{'X', 0}, {VK_DOWN, 0}, {0, 1}}},
    {"PopupShortcutOff_PassedOn", Shortcut{'V', 0, 0, 0, 1, 1, 0, 0, 1}, "+LWIN +V -V +DOWN -DOWN -LWIN",
     "p p p s p p", {{VK_DOWN, 0}}},
    {"FloatingKeysOff_PassedOn", Shortcut{'V', 1, 0, 0, 1, 0, 0, 0, 1}, "+LWIN +LEFT +V +DOWN +LEFT -LWIN",
     "p p s s p s", {{V, 0}, {VK_DOWN, 0}, {0, 1}}},
    {"FloatingKeysWithCtrl", Shortcut{'V', 1, 0, 0, 1, 1, 1, 0, 0}, "+CTRL +UP -UP -CTRL +LWIN +UP",
     "p s p p p p", {{VK_UP, 0}}},
    {"NoModifierIsStoredAsWin", Shortcut{'V', 1, 0, 0, 0, 1, 0, 0, 0}, "+V -V +LWIN +V +LEFT", "p p p s s",
     {{V, 0}, {VK_LEFT, 0}}},
    {"AltOnlyIsStoredAsAltOnly", Shortcut{'V', 1, 0, 1, 0, 1, 0, 0, 1}, "+ALT +V -V -ALT +LWIN +V",
     "p s p s p p", {{V, 0}, {0, 1}}},
    // Combination 1 switched off while engaged: its keys are passed on and
    // never taken for the floating list's, which share the modifiers here.
    {"Combo1OffWhileEngaged_ItsKeysArePassedOn", std::nullopt, "+LWIN +V =OFF1 +DOWN -DOWN +ENTER +LEFT -LWIN",
     "p s - p p p s p", {{V, 0}, {VK_LEFT, 0}}},
    // A key with a shift state in its high byte is not a virtual key.
    {"ShortcutWithShiftStateNeverMatches", Shortcut{0x0156, 1, 0, 0, 1, 1, 0, 0, 1}, "+LWIN +V -V -LWIN",
     "p p p p", {}},
};

class KeyScripts : public HookTest, public ::testing::WithParamInterface<KeyScript> {};

TEST_P(KeyScripts, PostsAndSwallowsAsExpected) {
  const KeyScript& ks = GetParam();
  if (ks.shortcut) {
    const Shortcut& k = *ks.shortcut;
    Helper_SetShortcutKey(k.vk, k.on1, k.ctrl1, k.alt1, k.win1, k.on2, k.ctrl2, k.alt2, k.win2);
  }
  ASSERT_EQ(Helper_Initialize(program_, program_), 1);
  std::vector<std::string> steps = Words(ks.script);
  std::vector<std::string> fates = Words(ks.fate);
  ASSERT_EQ(steps.size(), fates.size());
  std::vector<std::pair<WPARAM, LPARAM>> notices;
  for (std::size_t i = 0; i < steps.size(); ++i) {
    if (steps[i] == "=OFF1") {
      pastiqhook::State().combo1On = 0;
      continue;
    }
    const bool press = steps[i][0] == '+';
    const int vk = Key(steps[i].substr(1));
    const std::size_t before = platform::sim::Keys(app_).size();
    if (press)
      platform::sim::KeyDown(vk);
    else
      platform::sim::KeyUp(vk);
    for (const Notice& n : TakeNotices()) {
      EXPECT_EQ(n.hwnd, program_);
      // The modifiers the notice carries are checked on their own below.
      if (n.message == WM_HOOK_KEY) notices.emplace_back(n.wParam, n.lParam & ~kHookKeyModifiers);
    }
    const std::size_t reached = platform::sim::Keys(app_).size() - before;
    EXPECT_EQ(reached, fates[i] == "p" ? 1u : 0u) << "step " << i << " " << steps[i];
  }
  EXPECT_EQ(notices, ks.notices);
}

INSTANTIATE_TEST_SUITE_P(Keyboard, KeyScripts, ::testing::ValuesIn(kScripts),
                         [](const ::testing::TestParamInfo<KeyScript>& info) { return info.param.name; });

// Each notice carries the modifiers its key was typed with, as the hook read
// them: the program may read the notice only after they were let go.
TEST_F(HookTest, NoticesCarryTheModifiersTheirKeyWasTypedWith) {
  // Ctrl+Alt+X opens the popup; Ctrl with the arrows are the floating keys.
  Helper_SetShortcutKey('X', 1, 1, 1, 0, 1, 1, 0, 0);
  ASSERT_EQ(Helper_Initialize(program_, program_), 1);
  for (int vk : {VK_CONTROL, VK_MENU, int{'X'}, VK_DOWN}) platform::sim::KeyDown(vk);
  platform::sim::KeyUp(VK_MENU);
  platform::sim::KeyDown(VK_UP);
  std::vector<std::pair<WPARAM, LPARAM>> notices;
  for (const Notice& n : TakeNotices())
    if (n.message == WM_HOOK_KEY) notices.emplace_back(n.wParam, n.lParam);
  const LPARAM ctrlAlt = kHookKeyCtrl | kHookKeyAlt;
  EXPECT_EQ(notices, (std::vector<std::pair<WPARAM, LPARAM>>{
                         {'X', ctrlAlt}, {VK_DOWN, ctrlAlt}, {0, kHookKeyReleased | kHookKeyCtrl}, {VK_UP, kHookKeyCtrl}}));
}

// A peek at a key (HC_NOREMOVE) is swallowed like its delivery, but only the
// delivery reports it and changes the engaged state.
class PeekedKeys : public HookTest {
 protected:
  void HoldWin(bool down) {
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_LWIN] = down ? 0x80 : 0;
    SetKeyboardState(keys);
  }
  static LPARAM Flags(bool release) { return release ? static_cast<LPARAM>(0xC0000001u) : 1; }
};

TEST_F(PeekedKeys, PeekSwallowsWithoutNoticeAndDeliveryNotifiesOnce) {
  using pastiqhook::KeyboardProc;
  ASSERT_EQ(Helper_Initialize(program_, program_), 1);
  HoldWin(true);
  EXPECT_EQ(KeyboardProc(HC_NOREMOVE, 'V', Flags(false)), -1);
  EXPECT_EQ(pastiqhook::State().engaged.load(), 0u);
  EXPECT_TRUE(TakeNotices().empty());
  EXPECT_EQ(KeyboardProc(HC_ACTION, 'V', Flags(false)), -1);
  EXPECT_EQ(pastiqhook::State().engaged.load(), 1u);
  ASSERT_EQ(TakeNotices().size(), 1u);

  HoldWin(false);
  EXPECT_EQ(KeyboardProc(HC_NOREMOVE, VK_LWIN, Flags(true)), -1);
  EXPECT_EQ(pastiqhook::State().engaged.load(), 1u);
  EXPECT_TRUE(TakeNotices().empty());
  EXPECT_EQ(KeyboardProc(HC_ACTION, VK_LWIN, Flags(true)), -1);
  std::vector<Notice> n = TakeNotices();
  ASSERT_EQ(n.size(), 1u);
  EXPECT_EQ(n[0].wParam, 0u);
  EXPECT_EQ(n[0].lParam, 1);
  EXPECT_EQ(pastiqhook::State().engaged.load(), 0u);
}

TEST_F(PeekedKeys, NegativeCodeIsPassedOnUnread) {
  ASSERT_EQ(Helper_Initialize(program_, program_), 1);
  HoldWin(true);
  EXPECT_EQ(pastiqhook::KeyboardProc(-1, 'V', Flags(false)), 0);
  EXPECT_TRUE(TakeNotices().empty());
  EXPECT_EQ(pastiqhook::State().engaged.load(), 0u);
}

}  // namespace
}  // namespace hooktest
