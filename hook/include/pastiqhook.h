#pragma once
// The hook library's public interface: the nine exported functions and the
// three window messages through which the hooks report to the program.
//
// The hooks watch the keyboard and the keyboard focus for the whole desktop.
// They report the configured shortcut keys to the key-notice window, every
// focus change to the focus-notice window (both given to Helper_Initialize),
// and close the program's menu window on an outside click, an outside focus
// change or Escape.
#include "platform/types.h"

#if defined(PASTIQHOOK_BUILDING)
#define PASTIQHOOK_API __attribute__((visibility("default")))
#else
#define PASTIQHOOK_API
#endif

// Posted to the key-notice window. wParam: a virtual-key code, lParam 0, or
// kHookKeyRepeated for the key's auto-repeat (a press while it is held); or
// wParam 0 and lParam kHookKeyReleased when the popup shortcut's modifiers
// were released. lParam also carries the modifiers the key was typed with
// (kHookKeyCtrl, kHookKeyAlt, kHookKeyWin): by the time the notice is read
// they may have been let go.
constexpr UINT WM_HOOK_KEY = 0xBDA;
constexpr LPARAM kHookKeyReleased = 1;
constexpr LPARAM kHookKeyRepeated = 2;
constexpr LPARAM kHookKeyCtrl = 0x10;
constexpr LPARAM kHookKeyAlt = 0x20;
constexpr LPARAM kHookKeyWin = 0x40;
constexpr LPARAM kHookKeyModifiers = kHookKeyCtrl | kHookKeyAlt | kHookKeyWin;
// Posted to the focus-notice window on every focus change. wParam: the window
// gaining the focus; lParam: the window losing it.
constexpr UINT WM_HOOK_FOCUS = 0xBDB;
// Sent to the menu window when it must close (wParam 0, lParam 0).
constexpr UINT WM_HOOK_CLOSE_MENU = 0xBE1;

extern "C" {

// Installs the focus (CBT) and keyboard hooks reporting to the given windows.
// Returns 1 when both hooks are installed, 0 when they could not be (then
// neither is).
PASTIQHOOK_API int Helper_Initialize(HWND keyWnd, HWND focusWnd);
// Removes both hooks and forgets the notice windows and the engaged state.
// Returns the result of the last removal, 1 when nothing was installed.
PASTIQHOOK_API int Helper_Uninitialize();
// Sets the popup shortcut (combination 1: vk with Ctrl/Alt/Win) and the
// floating-list keys (combination 2: arrows and Enter with Ctrl/Alt/Win).
// A combination with no modifier at all is stored as Win.
PASTIQHOOK_API void Helper_SetShortcutKey(short vk, int on1, int ctrl1, int alt1, int win1, int on2,
                                          int ctrl2, int alt2, int win2);
// Removes the keyboard hook for a while (around the program's own typing).
// Returns the removal's result, 0 when it was not installed.
PASTIQHOOK_API int Helper_PauseMonitorKeyboard();
// Puts the keyboard hook back. Returns 1 when it was installed now, 0 when it
// failed or was already installed.
PASTIQHOOK_API int Helper_ResumeMonitorKeyboard();
// Names the program's menu window (0 forgets it).
PASTIQHOOK_API void Helper_MenuWindow_SetWindow(HWND menu);
// Starts watching mouse clicks for the shown menu window. Returns 1 when the
// mouse hook is installed (now or already), 0 otherwise.
PASTIQHOOK_API int Helper_MenuWindow_Start();
// Stops watching mouse clicks. Returns the removal's result, 0 when none was
// installed.
PASTIQHOOK_API int Helper_MenuWindow_Stop();
// Types Ctrl+V inside the target window's thread and waits (a few seconds at
// most) until it is done. Returns 1 when the keys were delivered and the
// thread's Ctrl state restored, 0 otherwise.
PASTIQHOOK_API int Helper_GenerateCtrlV(HWND target);

}  // extern "C"
