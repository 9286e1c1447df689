#pragma once
// Keyboard state and synthesised input.
//
// Each thread has its own key state, updated as the thread reads each key
// event (so inside the keyboard hook it already includes the event being
// delivered); GetAsyncKeyState reports the physical state, updated when the
// event happens. Layout: US English.
#include "platform/types.h"

enum : int {
  VK_LBUTTON = 0x01,
  VK_RBUTTON = 0x02,
  VK_CANCEL = 0x03,
  VK_MBUTTON = 0x04,
  VK_BACK = 0x08,
  VK_TAB = 0x09,
  VK_RETURN = 0x0D,
  VK_SHIFT = 0x10,
  VK_CONTROL = 0x11,
  VK_MENU = 0x12,
  VK_PAUSE = 0x13,
  VK_CAPITAL = 0x14,
  VK_ESCAPE = 0x1B,
  VK_SPACE = 0x20,
  VK_PRIOR = 0x21,
  VK_NEXT = 0x22,
  VK_END = 0x23,
  VK_HOME = 0x24,
  VK_LEFT = 0x25,
  VK_UP = 0x26,
  VK_RIGHT = 0x27,
  VK_DOWN = 0x28,
  VK_INSERT = 0x2D,
  VK_DELETE = 0x2E,
  VK_LWIN = 0x5B,
  VK_RWIN = 0x5C,
  VK_APPS = 0x5D,
  VK_NUMPAD0 = 0x60,
  VK_F1 = 0x70,
  VK_F10 = 0x79,
  VK_F12 = 0x7B,
  VK_NUMLOCK = 0x90,
  VK_SCROLL = 0x91,
  VK_LSHIFT = 0xA0,
  VK_RSHIFT = 0xA1,
  VK_LCONTROL = 0xA2,
  VK_RCONTROL = 0xA3,
  VK_LMENU = 0xA4,
  VK_RMENU = 0xA5,
  VK_OEM_1 = 0xBA,
  VK_OEM_PLUS = 0xBB,
  VK_OEM_COMMA = 0xBC,
  VK_OEM_MINUS = 0xBD,
  VK_OEM_PERIOD = 0xBE,
  VK_OEM_2 = 0xBF,
  VK_OEM_3 = 0xC0,
  VK_OEM_4 = 0xDB,
  VK_OEM_5 = 0xDC,
  VK_OEM_6 = 0xDD,
  VK_OEM_7 = 0xDE,
};

// MapVirtualKeyA map types.
enum : UINT {
  MAPVK_VK_TO_VSC = 0,
  MAPVK_VSC_TO_VK = 1,
  MAPVK_VK_TO_CHAR = 2,
};

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

enum : DWORD {
  INPUT_MOUSE = 0,
  INPUT_KEYBOARD = 1,
  INPUT_HARDWARE = 2,
};

enum : DWORD {
  KEYEVENTF_EXTENDEDKEY = 0x0001,
  KEYEVENTF_KEYUP = 0x0002,
  KEYEVENTF_UNICODE = 0x0004,
  KEYEVENTF_SCANCODE = 0x0008,
};

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
