// The Ctrl+V generator: types Ctrl+V inside another window's thread. A
// thread's keyboard state belongs to that thread, so the work is done by a
// get-message hook running there; the caller only asks and waits.
//
// Ctrl+V state: idle -> posted (the target thread pressed Ctrl and posted
// V down and up) -> finishing (asked to put Ctrl back) -> idle (Ctrl put
// back, hook removed). While Ctrl is held for the target thread, ending a
// generation leaves the hook in place until that thread has put Ctrl back
// (or, should it never read again, until a later call gives up on it), so
// no path leaves Ctrl down behind the program's back.
#include <algorithm>

#include "hook_procs.h"
#include "pastiqhook.h"
#include "shared_state.h"

namespace pastiqhook {
namespace {

// The whole generation, however slow the target, ends within this time.
constexpr DWORD kGenerationBudgetMs = 5000;
constexpr DWORD kIdleWaitMs = 3000;

bool ThreadAlive(DWORD thread) {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  return thread && GetGUIThreadInfo(thread, &info);
}

// Makes the target's thread read a message.
void Prompt() {
  SharedHookState& s = State();
  HWND target = AsHandle<HWND>(s.ctrlVTarget.load());
  if (!IsWindow(target) || !PostMessageA(target, WM_NULL, 0, 0))
    PostThreadMessageW(static_cast<DWORD>(s.ctrlVThread.load()), WM_NULL, 0, 0);
}

void ResetNow() {
  SharedHookState& s = State();
  TakeAndUnhook(s.getMessageHook, FALSE);
  s.ctrlVCtrlHeld = 0;
  s.ctrlVAwaitSince = 0;
  s.ctrlVThread = 0;
  s.ctrlVTarget = 0;
  s.ctrlVState = kCtrlVIdle;
}

// Ends a generation. While Ctrl is held for a live target thread, that
// thread is asked to put it back and the hook stays for it; a put-back
// awaited for longer than a generation's budget is given up.
void Reset() {
  SharedHookState& s = State();
  if (s.ctrlVCtrlHeld.load() && s.getMessageHook.load() && ThreadAlive(static_cast<DWORD>(s.ctrlVThread.load()))) {
    const DWORD now = GetTickCount();
    const std::uintptr_t since = s.ctrlVAwaitSince.load();
    if (!since) {
      s.ctrlVAwaitSince = static_cast<std::uintptr_t>(now) | 1;  // 0 means "not awaited"
    } else if (now - static_cast<DWORD>(since) >= kGenerationBudgetMs) {
      ResetNow();
      return;
    }
    s.ctrlVState = kCtrlVFinishing;
    Prompt();
    return;
  }
  ResetNow();
}

// In the target thread: puts its Ctrl byte back as it was.
void PutCtrlBack() {
  SharedHookState& s = State();
  if (!s.ctrlVCtrlHeld.load()) return;
  BYTE keys[256] = {};
  GetKeyboardState(keys);
  keys[VK_CONTROL] = static_cast<BYTE>(s.ctrlVSavedCtrl.load());
  SetKeyboardState(keys);
  s.ctrlVCtrlHeld = 0;
  s.ctrlVRestored = 1;
}

// In the target thread: presses Ctrl for it and posts V down and up.
void PressCtrlAndPostV(HWND target) {
  SharedHookState& s = State();
  BYTE keys[256] = {};
  GetKeyboardState(keys);
  s.ctrlVSavedCtrl = keys[VK_CONTROL];
  keys[VK_CONTROL] = 0x80;
  SetKeyboardState(keys);
  s.ctrlVCtrlHeld = 1;
  const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyA('V', MAPVK_VK_TO_VSC)) << 16;
  PostMessageA(target, WM_KEYDOWN, 'V', scan | 1);
  PostMessageA(target, WM_KEYUP, 'V', scan | 1 | static_cast<LPARAM>(0xC0000000u));
  s.ctrlVState = kCtrlVPosted;
}

// A generation's time budget; it is spent at once when a later call has
// reset the generation.
class Budget {
 public:
  explicit Budget(std::uintptr_t call) : start_(GetTickCount()), call_(call) {}
  bool Superseded() const { return State().ctrlVCalls.load() != call_; }
  bool Spent() const { return Superseded() || Left() == 0; }
  // Waits for the process to be idle, never past the budget.
  void WaitIdle(HANDLE process) const {
    if (DWORD left = Left()) WaitForInputIdle(process, std::min(kIdleWaitMs, left));
  }

 private:
  DWORD Left() const {
    const DWORD used = GetTickCount() - start_;
    return used >= kGenerationBudgetMs ? 0 : kGenerationBudgetMs - used;
  }
  DWORD start_;
  std::uintptr_t call_;
};

std::uintptr_t StateNow() { return State().ctrlVState.load(); }

// Once the hook is installed and the target prompted: waits for the keys,
// lets the target read them, then has it put Ctrl back. Returns whether the
// keys were delivered and Ctrl put back.
bool RunGeneration(HANDLE process, const Budget& budget) {
  if (StateNow() != kCtrlVPosted) {
    for (int i = 0; i < 6; ++i) {
      Sleep(5);
      if (i == 5 || budget.Spent()) break;
      budget.WaitIdle(process);
      if (StateNow() == kCtrlVPosted) break;
    }
    if (StateNow() != kCtrlVPosted || budget.Superseded()) return false;
  }
  Sleep(20);
  Sleep(5);
  for (int i = 0; i < 5 && !budget.Spent(); ++i) {
    budget.WaitIdle(process);
    Sleep(5);
  }
  State().ctrlVState = kCtrlVFinishing;
  Prompt();
  while (StateNow() != kCtrlVIdle && !budget.Spent()) {
    Sleep(50);
    budget.WaitIdle(process);
  }
  return !budget.Superseded() && StateNow() == kCtrlVIdle && State().ctrlVRestored.load() != 0;
}

}  // namespace

LRESULT GetMessageProc(int nCode, WPARAM wParam, LPARAM lParam) {
  SharedHookState& s = State();
  const std::uintptr_t hook = s.getMessageHook.load();
  if (!hook) {
    Reset();
    return 0;
  }
  const LRESULT result = CallNextHookEx(AsHandle<HHOOK>(hook), nCode, wParam, lParam);
  HWND target = AsHandle<HWND>(s.ctrlVTarget.load());
  const bool inTarget = s.ctrlVThread.load() == GetCurrentThreadId();
  if (!IsWindow(target)) {
    // Only the target's own thread can put its Ctrl back; the others leave
    // a held Ctrl to it.
    if (inTarget) {
      PutCtrlBack();
      ResetNow();
    } else if (!s.ctrlVCtrlHeld.load()) {
      ResetNow();
    }
    return result;
  }
  if (!inTarget) return result;
  switch (StateNow()) {
    case kCtrlVIdle:
      if (!s.ctrlVCtrlHeld.load()) PressCtrlAndPostV(target);
      break;
    case kCtrlVFinishing:
      PutCtrlBack();
      ResetNow();
      break;
    default:
      break;
  }
  return result;
}

}  // namespace pastiqhook

using namespace pastiqhook;

extern "C" int Helper_GenerateCtrlV(HWND target) {
  SharedHookState& s = State();
  const std::uintptr_t call = ++s.ctrlVCalls;
  if (s.ctrlVState.load() != kCtrlVIdle || s.ctrlVTarget.load()) {
    Reset();
    return 0;
  }
  if (!IsWindow(target)) return 0;
  if (s.getMessageHook.load()) {
    Reset();
    return 0;
  }
  DWORD pid = 0;
  const DWORD thread = GetWindowThreadProcessId(target, &pid);
  if (!pid) return 0;
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid);
  if (!process) return 0;
  const Budget budget(call);
  Sleep(0);
  // Known before the hook can first run in the target's thread.
  s.ctrlVRestored = 0;
  s.ctrlVCtrlHeld = 0;
  s.ctrlVAwaitSince = 0;
  s.ctrlVThread = thread;
  s.ctrlVTarget = AsWord(target);
  HHOOK hook = InstallHook(WH_GETMESSAGE, &GetMessageProc);
  if (!hook) {
    s.ctrlVTarget = 0;
    s.ctrlVThread = 0;
    CloseHandle(process);
    return 0;
  }
  s.getMessageHook = AsWord(hook);
  Prompt();
  const bool delivered = RunGeneration(process, budget);
  // A generation reset by a later call is that call's to clean up.
  if (!delivered && !budget.Superseded()) Reset();
  CloseHandle(process);
  return delivered ? 1 : 0;
}
