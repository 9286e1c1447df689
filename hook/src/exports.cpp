// The exported functions that install, pause and remove the hooks and store
// the shortcut settings.
#include "hook_procs.h"
#include "pastiqhook.h"
#include "shared_state.h"

#include <vector>

#include "platform/input.h"
#include "platform/shortcuts.h"

namespace pastiqhook {

HHOOK InstallHook(int idHook, HOOKPROC proc) {
  return SetWindowsHookExA(idHook, proc, AsHandle<HINSTANCE>(State().module.load()), 0);
}

namespace {

enum class Install { kNew, kKept, kFailed };

// Installs a hook into `field` unless one is there already (one installed
// meanwhile by another caller is kept, and ours removed).
Install InstallInto(Word& field, int idHook, HOOKPROC proc) {
  if (field.load()) return Install::kKept;
  HHOOK hook = InstallHook(idHook, proc);
  if (!hook) return Install::kFailed;
  std::uintptr_t expected = 0;
  if (field.compare_exchange_strong(expected, AsWord(hook))) return Install::kNew;
  UnhookWindowsHookEx(hook);
  return Install::kKept;
}

bool EnsureHook(Word& field, int idHook, HOOKPROC proc) { return InstallInto(field, idHook, proc) != Install::kFailed; }

// Tells the layer which combinations the keyboard hook acts on, so that a
// desktop that delivers only grabbed keys (X11) grabs exactly these.
void AnnounceShortcuts(const SharedHookState& s) {
  std::vector<platform::HookShortcut> keys;
  const auto key = s.shortcutKey.load();
  // A key with a shift state in its high byte never matches a virtual key.
  if (s.combo1On.load() && (key & 0xFF00) == 0)
    keys.push_back({static_cast<int>(key), s.combo1Ctrl.load() != 0, s.combo1Alt.load() != 0,
                    s.combo1Win.load() != 0, true});
  if (s.combo2On.load())
    for (int vk : {VK_UP, VK_DOWN, VK_LEFT, VK_RIGHT, VK_RETURN})
      keys.push_back({vk, s.combo2Ctrl.load() != 0, s.combo2Alt.load() != 0, s.combo2Win.load() != 0, false});
  platform::SetHookShortcuts(keys);
}

std::uintptr_t Flag(int v) { return v ? 1 : 0; }

// Removes the hook in `field` when installed and lets the hooked threads
// leave the procedure. Returns the removal's result, 0 when none was there.
int RemoveHook(Word& field) {
  if (!field.load()) return 0;
  BOOL result = TakeAndUnhook(field, FALSE);
  Sleep(10);
  return result;
}

}  // namespace
}  // namespace pastiqhook

using namespace pastiqhook;

extern "C" {

int Helper_Initialize(HWND keyWnd, HWND focusWnd) {
  SharedHookState& s = State();
  s.keyNoticeWindow = AsWord(keyWnd);
  s.focusNoticeWindow = AsWord(focusWnd);
  // A hook already installed by an earlier call is kept rather than doubled:
  // two keyboard hooks would report every key twice.
  Sleep(0);
  bool cbt = EnsureHook(s.cbtHook, WH_CBT, &CbtProc);
  Sleep(0);
  bool keyboard = EnsureHook(s.keyboardHook, WH_KEYBOARD, &KeyboardProc);
  if (cbt != keyboard) {
    // Half the hooks are no use: the program would miss keys or focus.
    TakeAndUnhook(cbt ? s.cbtHook : s.keyboardHook, TRUE);
  }
  return cbt && keyboard ? 1 : 0;
}

int Helper_Uninitialize() {
  SharedHookState& s = State();
  // Taking each handle clears its field; storing 0 again afterwards could
  // lose a hook installed meanwhile.
  BOOL result = TakeAndUnhook(s.keyboardHook, TRUE);
  result = TakeAndUnhook(s.cbtHook, result);
  Sleep(10);
  s.focusNoticeWindow = 0;
  s.keyNoticeWindow = 0;
  s.engaged = 0;
  return result;
}

void Helper_SetShortcutKey(short vk, int on1, int ctrl1, int alt1, int win1, int on2, int ctrl2,
                           int alt2, int win2) {
  SharedHookState& s = State();
  // A combination without any modifier would take a plain key from every
  // application: it is stored as Win instead.
  if (!ctrl1 && !alt1 && !win1) win1 = 1;
  if (!ctrl2 && !alt2 && !win2) win2 = 1;
  s.shortcutKey = static_cast<std::uint16_t>(vk);
  s.combo1On = Flag(on1);
  s.combo1Ctrl = Flag(ctrl1);
  s.combo1Alt = Flag(alt1);
  s.combo1Win = Flag(win1);
  s.combo2On = Flag(on2);
  s.combo2Ctrl = Flag(ctrl2);
  s.combo2Alt = Flag(alt2);
  s.combo2Win = Flag(win2);
  AnnounceShortcuts(s);
}

int Helper_PauseMonitorKeyboard() { return RemoveHook(State().keyboardHook); }

int Helper_ResumeMonitorKeyboard() {
  SharedHookState& s = State();
  if (s.keyboardHook.load()) return 0;
  s.engaged = 0;
  Sleep(0);
  return InstallInto(s.keyboardHook, WH_KEYBOARD, &KeyboardProc) == Install::kNew ? 1 : 0;
}

void Helper_MenuWindow_SetWindow(HWND menu) { State().menuWindow = AsWord(menu); }

int Helper_MenuWindow_Start() {
  // An installed mouse hook is kept: a second one would leak the first.
  Sleep(0);
  return EnsureHook(State().mouseHook, WH_MOUSE, &MouseProc) ? 1 : 0;
}

int Helper_MenuWindow_Stop() { return RemoveHook(State().mouseHook); }

}  // extern "C"
