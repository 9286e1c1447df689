#pragma once
// Keyboard state and synthesised input.
//
// Each thread has its own key state, updated as the thread reads each key
// event (so inside the keyboard hook it already includes the event being
// delivered); GetAsyncKeyState reports the physical state, updated when the
// event happens. Layout: US English.
#include "platform/types.h"

inline constexpr int VK_LBUTTON = 0x01;
inline constexpr int VK_RBUTTON = 0x02;
inline constexpr int VK_CANCEL = 0x03;
inline constexpr int VK_MBUTTON = 0x04;
inline constexpr int VK_BACK = 0x08;
inline constexpr int VK_TAB = 0x09;
inline constexpr int VK_RETURN = 0x0D;
inline constexpr int VK_SHIFT = 0x10;
inline constexpr int VK_CONTROL = 0x11;
inline constexpr int VK_MENU = 0x12;
inline constexpr int VK_PAUSE = 0x13;
inline constexpr int VK_CAPITAL = 0x14;
inline constexpr int VK_ESCAPE = 0x1B;
inline constexpr int VK_SPACE = 0x20;
inline constexpr int VK_PRIOR = 0x21;
inline constexpr int VK_NEXT = 0x22;
inline constexpr int VK_END = 0x23;
inline constexpr int VK_HOME = 0x24;
inline constexpr int VK_LEFT = 0x25;
inline constexpr int VK_UP = 0x26;
inline constexpr int VK_RIGHT = 0x27;
inline constexpr int VK_DOWN = 0x28;
inline constexpr int VK_INSERT = 0x2D;
inline constexpr int VK_DELETE = 0x2E;
inline constexpr int VK_LWIN = 0x5B;
inline constexpr int VK_RWIN = 0x5C;
inline constexpr int VK_APPS = 0x5D;
inline constexpr int VK_NUMPAD0 = 0x60;
inline constexpr int VK_F1 = 0x70;
inline constexpr int VK_F10 = 0x79;
inline constexpr int VK_F12 = 0x7B;
inline constexpr int VK_NUMLOCK = 0x90;
inline constexpr int VK_SCROLL = 0x91;
inline constexpr int VK_LSHIFT = 0xA0;
inline constexpr int VK_RSHIFT = 0xA1;
inline constexpr int VK_LCONTROL = 0xA2;
inline constexpr int VK_RCONTROL = 0xA3;
inline constexpr int VK_LMENU = 0xA4;
inline constexpr int VK_RMENU = 0xA5;
inline constexpr int VK_OEM_1 = 0xBA;
inline constexpr int VK_OEM_PLUS = 0xBB;
inline constexpr int VK_OEM_COMMA = 0xBC;
inline constexpr int VK_OEM_MINUS = 0xBD;
inline constexpr int VK_OEM_PERIOD = 0xBE;
inline constexpr int VK_OEM_2 = 0xBF;
inline constexpr int VK_OEM_3 = 0xC0;
inline constexpr int VK_OEM_4 = 0xDB;
inline constexpr int VK_OEM_5 = 0xDC;
inline constexpr int VK_OEM_6 = 0xDD;
inline constexpr int VK_OEM_7 = 0xDE;

// MapVirtualKeyA map types.
inline constexpr UINT MAPVK_VK_TO_VSC = 0;
inline constexpr UINT MAPVK_VSC_TO_VK = 1;
inline constexpr UINT MAPVK_VK_TO_CHAR = 2;

// High bit (0x8000, a negative SHORT) while the key is down; GetKeyState's
// low bit is the toggle, flipped by each press.
SHORT GetKeyState(int vk);
SHORT GetAsyncKeyState(int vk);
// The calling thread's 256 key bytes (0x80 down, 0x01 toggled).
BOOL GetKeyboardState(BYTE* state);
BOOL SetKeyboardState(const BYTE* state);
UINT MapVirtualKeyA(UINT code, UINT mapType);
// Virtual key in the low byte, shift state in the high byte (1 Shift, 2 Ctrl,
// 4 Alt); -1 for a character the keyboard cannot type (never 0).
SHORT VkKeyScanW(WCHAR ch);

inline constexpr DWORD INPUT_MOUSE = 0;
inline constexpr DWORD INPUT_KEYBOARD = 1;
inline constexpr DWORD INPUT_HARDWARE = 2;

inline constexpr DWORD KEYEVENTF_EXTENDEDKEY = 0x0001;
inline constexpr DWORD KEYEVENTF_KEYUP = 0x0002;
inline constexpr DWORD KEYEVENTF_UNICODE = 0x0004;
inline constexpr DWORD KEYEVENTF_SCANCODE = 0x0008;

struct KEYBDINPUT {
  WORD wVk;
  WORD wScan;
  DWORD dwFlags;
  DWORD time;
  ULONG_PTR dwExtraInfo;
};

struct MOUSEINPUT {
  LONG dx;
  LONG dy;
  DWORD mouseData;
  DWORD dwFlags;
  DWORD time;
  ULONG_PTR dwExtraInfo;
};

struct HARDWAREINPUT {
  DWORD uMsg;
  WORD wParamL;
  WORD wParamH;
};

struct INPUT {
  DWORD type;
  union {
    MOUSEINPUT mi;
    KEYBDINPUT ki;
    HARDWAREINPUT hi;
  };
};

// Keyboard records go, like typed keys, through the hooks to the focused
// window of the foreground thread. Returns the number of records inserted:
// 0 when cbSize is not sizeof(INPUT); the count stops at the first record
// that is not keyboard input or a key event without a virtual key.
UINT SendInput(UINT count, const INPUT* inputs, int cbSize);
