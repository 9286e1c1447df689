// The keyboard, focus (CBT) and mouse hooks. They run on whatever thread
// receives the input and talk to the program only through the shared state
// and posted or sent messages.
#include <initializer_list>

#include "hook_procs.h"
#include "pastiqhook.h"
#include "shared_state.h"

namespace pastiqhook {
namespace {

bool Down(int vk) { return (static_cast<USHORT>(GetKeyState(vk)) & 0x8000u) != 0; }

bool MenuShown(HWND menu) { return menu && IsWindow(menu) && IsWindowVisible(menu); }

// What one key event does. Worked out without touching any state, so that a
// peek at the event (HC_NOREMOVE) swallows exactly what its delivery would.
struct KeyOutcome {
  bool swallow = false;
  bool notify = false;
  WPARAM noticeW = 0;
  LPARAM noticeL = 0;
  bool engage = false;
  bool disengage = false;
};

bool IsOneOf(WPARAM vk, std::initializer_list<int> keys) {
  for (int k : keys)
    if (vk == static_cast<WPARAM>(k)) return true;
  return false;
}

KeyOutcome DecideKey(const SharedHookState& s, WPARAM vk, bool release) {
  const std::uintptr_t ctrl = Down(VK_CONTROL) ? 1 : 0;
  const std::uintptr_t alt = Down(VK_MENU) ? 1 : 0;
  const std::uintptr_t win = (Down(VK_LWIN) || Down(VK_RWIN)) ? 1 : 0;
  const bool engaged = s.engaged.load() != 0;
  const bool on1 = s.combo1On.load() != 0;
  KeyOutcome out;
  const LPARAM typedWith = (ctrl ? kHookKeyCtrl : 0) | (alt ? kHookKeyAlt : 0) | (win ? kHookKeyWin : 0);
  auto post = [&out, typedWith](WPARAM w, LPARAM l) {
    out.swallow = out.notify = true;
    out.noticeW = w;
    out.noticeL = l | typedWith;
  };

  const bool match1 = ctrl == s.combo1Ctrl.load() && alt == s.combo1Alt.load() && win == s.combo1Win.load();
  if (engaged && !match1 && release) {
    // The first release once the modifiers no longer hold ends the shortcut.
    if (on1) {
      out.disengage = true;
      post(0, kHookKeyReleased);
    }
    return out;
  }
  if (match1 && !release) {
    if (on1 && LOWORD(vk) == s.shortcutKey.load()) {
      out.engage = true;
      post(vk, 0);
      return out;
    }
    if (engaged && IsOneOf(vk, {VK_UP, VK_DOWN, VK_ESCAPE, VK_RETURN})) {
      if (on1) post(vk, 0);
      return out;
    }
  }
  const bool match2 = ctrl == s.combo2Ctrl.load() && alt == s.combo2Alt.load() && win == s.combo2Win.load();
  if (match2 && !release && s.combo2On.load() &&
      IsOneOf(vk, {VK_UP, VK_DOWN, VK_LEFT, VK_RIGHT, VK_RETURN}))
    post(vk, 0);
  return out;
}

// Closes the menu window: its mouse hook goes first, so no click reaches a
// menu that is already closing.
void CloseMenu(HWND menu) {
  TakeAndUnhook(State().mouseHook, FALSE);
  SendMessageA(menu, WM_HOOK_CLOSE_MENU, 0, 0);
}

}  // namespace

LRESULT KeyboardProc(int nCode, WPARAM wParam, LPARAM lParam) {
  SharedHookState& s = State();
  if (nCode >= 0) {
    const bool release = (static_cast<DWORD>(lParam) & 0x80000000u) != 0;
    // Only the delivery of a key (HC_ACTION) acts; a peek (HC_NOREMOVE) at
    // the same event must not report it a second time.
    const bool act = nCode == HC_ACTION;
    if (act && wParam == VK_ESCAPE) {
      HWND menu = AsHandle<HWND>(s.menuWindow.load());
      if (MenuShown(menu)) CloseMenu(menu);
    }
    KeyOutcome out = DecideKey(s, wParam, release);
    // A press of a key already down is its auto-repeat (bit 30: the key's
    // previous state).
    if (out.notify && out.noticeW != 0 && (static_cast<DWORD>(lParam) & 0x40000000u) != 0)
      out.noticeL |= kHookKeyRepeated;
    if (act) {
      if (out.engage) s.engaged = 1;
      if (out.disengage) s.engaged = 0;
      if (out.notify)
        PostMessageA(AsHandle<HWND>(s.keyNoticeWindow.load()), WM_HOOK_KEY, out.noticeW, out.noticeL);
    }
    if (out.swallow) return -1;
  }
  std::uintptr_t hook = s.keyboardHook.load();
  if (!hook) return 0;
  return CallNextHookEx(AsHandle<HHOOK>(hook), nCode, wParam, lParam);
}

LRESULT CbtProc(int nCode, WPARAM wParam, LPARAM lParam) {
  SharedHookState& s = State();
  if (!IsWindow(AsHandle<HWND>(s.focusNoticeWindow.load()))) {
    // The program ended without removing its hooks: remove them for it.
    Helper_Uninitialize();
  } else if (nCode == HCBT_SETFOCUS) {
    HWND gaining = AsHandle<HWND>(wParam);
    PostMessageA(AsHandle<HWND>(s.focusNoticeWindow.load()), WM_HOOK_FOCUS, wParam, lParam);
    HWND menu = AsHandle<HWND>(s.menuWindow.load());
    if (s.mouseHook.load() && gaining != menu && MenuShown(menu) && !IsChild(menu, gaining)) {
      CloseMenu(menu);
    }
  }
  return CallNextHookEx(AsHandle<HHOOK>(s.cbtHook.load()), nCode, wParam, lParam);
}

LRESULT MouseProc(int nCode, WPARAM wParam, LPARAM lParam) {
  SharedHookState& s = State();
  std::uintptr_t hook = s.mouseHook.load();
  if (!hook) return 0;
  LRESULT result = CallNextHookEx(AsHandle<HHOOK>(hook), nCode, wParam, lParam);
  HWND menu = AsHandle<HWND>(s.menuWindow.load());
  if (!MenuShown(menu)) {
    TakeAndUnhook(s.mouseHook, FALSE);
  } else if (nCode == HC_ACTION && (wParam == WM_LBUTTONDOWN || wParam == WM_RBUTTONDOWN)) {
    const auto* info = reinterpret_cast<const MOUSEHOOKSTRUCT*>(lParam);
    HWND target = info ? info->hwnd : nullptr;
    if (target != menu && !IsChild(menu, target)) CloseMenu(menu);
  }
  return result;
}

}  // namespace pastiqhook
