#pragma once
// Hooks: procedures that see input and messages of every thread (thread id 0)
// or of one thread. The newest hook of a kind is called first, hooks of one
// thread before desktop-wide ones; each procedure runs in the thread the
// event belongs to (GetCurrentThreadId and GetCurrentProcessId report that
// thread inside it) and passes the event on with CallNextHookEx.
#include "platform/types.h"

using HOOKPROC = LRESULT (*)(int code, WPARAM wParam, LPARAM lParam);

// Kinds the layer runs. Others are refused.
inline constexpr int WH_KEYBOARD = 2;
inline constexpr int WH_GETMESSAGE = 3;
inline constexpr int WH_CBT = 5;
inline constexpr int WH_MOUSE = 7;

inline constexpr int HC_ACTION = 0;
inline constexpr int HC_NOREMOVE = 3;

// CBT codes that the layer reports (as the code argument of a WH_CBT hook).
inline constexpr int HCBT_ACTIVATE = 5;  // wParam: window being activated; lParam: CBTACTIVATESTRUCT*
inline constexpr int HCBT_SETFOCUS = 9;  // wParam: window gaining the focus; lParam: window losing it

// wParam of a WH_GETMESSAGE hook.
inline constexpr UINT PM_NOREMOVE = 0x0000;
inline constexpr UINT PM_REMOVE = 0x0001;

inline constexpr UINT HTCLIENT = 1;

// lParam of a WH_MOUSE hook; wParam is the mouse message.
struct MOUSEHOOKSTRUCT {
  POINT pt;
  HWND hwnd;  // the window that will receive the message
  UINT wHitTestCode;
  ULONG_PTR dwExtraInfo;
};

struct CBTACTIVATESTRUCT {
  BOOL fMouse;
  HWND hWndActive;
};

// How each kind is called:
// - WH_KEYBOARD: code HC_ACTION, wParam the virtual key, lParam the key
//   message's flags (repeat count 1, scan code in bits 16-23, bit 30 the
//   previous state, bit 31 set for a release). The reading thread's key state
//   (GetKeyState, GetKeyboardState) already includes this event. A nonzero
//   result swallows the key: it never reaches its window. Key messages
//   that were posted (not typed) pass through it too, without changing the
//   key state.
// - WH_GETMESSAGE: code HC_ACTION, wParam PM_REMOVE, lParam MSG* (may be
//   changed), for every message a thread reads, after WH_KEYBOARD or WH_MOUSE.
// - WH_CBT: HCBT_ACTIVATE, then HCBT_SETFOCUS, in the thread of the window
//   concerned; a nonzero result refuses the change.
// - WH_MOUSE: code HC_ACTION, wParam the button message, lParam
//   MOUSEHOOKSTRUCT*; a nonzero result discards the message.
//
// threadId 0 hooks every thread and needs a module handle (the module is
// any handle from GetModuleHandleW or LoadLibraryW). NULL when the kind is
// not one above, proc is null, the thread is unknown, or the install fails;
// GetLastError tells which.
HHOOK SetWindowsHookExA(int idHook, HOOKPROC proc, HINSTANCE module, DWORD threadId);
HHOOK SetWindowsHookExW(int idHook, HOOKPROC proc, HINSTANCE module, DWORD threadId);
// FALSE for a handle that is not installed. A hook removed while a chain is
// running is skipped from then on; the running procedure finishes normally.
BOOL UnhookWindowsHookEx(HHOOK hook);
// Calls the next procedure of the chain that is running on this thread and
// returns its result (0 at the end of the chain, or outside of a chain). The
// hook argument is not needed to find the next procedure, as on current
// systems; a removed or null handle works too.
LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam);
