#pragma once
// The hook library's only data. Every hook procedure and every export reads
// and writes it without a lock, so each field is one atomic word wide enough
// for a handle, read and written whole.
#include <atomic>
#include <cstdint>

#include "platform/types.h"

namespace pastiqhook {

using Word = std::atomic<std::uintptr_t>;

struct SharedHookState {
  Word mouseHook{0};           // HHOOK of the WH_MOUSE hook; 0 = not installed
  Word menuWindow{0};          // HWND of the program's menu window
  Word cbtHook{0};             // HHOOK of the WH_CBT hook
  Word focusNoticeWindow{0};   // HWND that receives WM_HOOK_FOCUS
  Word keyboardHook{0};        // HHOOK of the WH_KEYBOARD hook
  Word keyNoticeWindow{0};     // HWND that receives WM_HOOK_KEY
  Word module{0};              // HINSTANCE given to every hook install
  Word engaged{0};             // popup shortcut pressed, modifiers not yet released
  Word combo1On{1};            // popup shortcut enabled
  Word combo1Ctrl{0};          // 1: Ctrl must be down; 0: up
  Word combo1Alt{0};
  Word combo1Win{1};
  Word combo2On{1};            // floating-list keys enabled
  Word combo2Ctrl{0};
  Word combo2Alt{0};
  Word combo2Win{1};
  Word shortcutKey{0x56};      // virtual key of the popup shortcut (16 bits used)
  Word ctrlVTarget{0};         // HWND whose thread gets Ctrl+V; 0 = idle
  Word getMessageHook{0};      // HHOOK of the WH_GETMESSAGE hook of the generator
  Word ctrlVState{0};          // CtrlVState below
  // Beyond the generator's three words: the target's thread, its VK_CONTROL
  // byte from before Ctrl was pressed for it, whether Ctrl is held for it
  // now, whether it was put back, and since when a put-back is awaited after
  // the generator gave up (virtual-clock ticks, 0 = not awaited); and a
  // count of calls, by which a running generation learns it was reset by a
  // later call.
  Word ctrlVThread{0};
  Word ctrlVSavedCtrl{0};
  Word ctrlVCtrlHeld{0};
  Word ctrlVRestored{0};
  Word ctrlVAwaitSince{0};
  Word ctrlVCalls{0};
};

enum CtrlVState : std::uintptr_t {
  kCtrlVIdle = 0,       // nothing asked, or done
  kCtrlVPosted = 1,     // the target thread pressed Ctrl and posted V down/up
  kCtrlVFinishing = 2,  // the generator asks the target thread to put Ctrl back
};

SharedHookState& State();

// The entry point's rule: the first module handle stored is kept.
void OnModuleAttach(HINSTANCE module);

template <typename H>
H AsHandle(std::uintptr_t v) {
  return reinterpret_cast<H>(v);
}
template <typename H>
std::uintptr_t AsWord(H h) {
  return reinterpret_cast<std::uintptr_t>(h);
}

// Takes the hook out of `field` (an exchange to 0) and removes it. Only the
// caller that took a non-zero handle removes it, so two places never remove
// the same hook. Returns the removal's result, or `absent` when nothing was
// installed.
BOOL TakeAndUnhook(Word& field, BOOL absent);

}  // namespace pastiqhook
