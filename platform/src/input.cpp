// Key state, the US keyboard layout and synthesised input.
#include "desktop_internal.h"

namespace platform::detail {
namespace {

struct KeyInfo {
  int vk;
  BYTE scan;
  bool extended;
};

const KeyInfo kKeys[] = {
    {VK_ESCAPE, 0x01, false}, {'1', 0x02, false},        {'2', 0x03, false},          {'3', 0x04, false},
    {'4', 0x05, false},       {'5', 0x06, false},        {'6', 0x07, false},          {'7', 0x08, false},
    {'8', 0x09, false},       {'9', 0x0A, false},        {'0', 0x0B, false},          {VK_OEM_MINUS, 0x0C, false},
    {VK_OEM_PLUS, 0x0D, false}, {VK_BACK, 0x0E, false},  {VK_TAB, 0x0F, false},       {'Q', 0x10, false},
    {'W', 0x11, false},       {'E', 0x12, false},        {'R', 0x13, false},          {'T', 0x14, false},
    {'Y', 0x15, false},       {'U', 0x16, false},        {'I', 0x17, false},          {'O', 0x18, false},
    {'P', 0x19, false},       {VK_OEM_4, 0x1A, false},   {VK_OEM_6, 0x1B, false},     {VK_RETURN, 0x1C, false},
    {VK_CONTROL, 0x1D, false}, {VK_LCONTROL, 0x1D, false}, {VK_RCONTROL, 0x1D, true}, {'A', 0x1E, false},
    {'S', 0x1F, false},       {'D', 0x20, false},        {'F', 0x21, false},          {'G', 0x22, false},
    {'H', 0x23, false},       {'J', 0x24, false},        {'K', 0x25, false},          {'L', 0x26, false},
    {VK_OEM_1, 0x27, false},  {VK_OEM_7, 0x28, false},   {VK_OEM_3, 0x29, false},     {VK_SHIFT, 0x2A, false},
    {VK_LSHIFT, 0x2A, false}, {VK_OEM_5, 0x2B, false},   {'Z', 0x2C, false},          {'X', 0x2D, false},
    {'C', 0x2E, false},       {'V', 0x2F, false},        {'B', 0x30, false},          {'N', 0x31, false},
    {'M', 0x32, false},       {VK_OEM_COMMA, 0x33, false}, {VK_OEM_PERIOD, 0x34, false}, {VK_OEM_2, 0x35, false},
    {VK_RSHIFT, 0x36, false}, {VK_MENU, 0x38, false},    {VK_LMENU, 0x38, false},     {VK_RMENU, 0x38, true},
    {VK_SPACE, 0x39, false},  {VK_CAPITAL, 0x3A, false}, {VK_F1, 0x3B, false},        {VK_F1 + 1, 0x3C, false},
    {VK_F1 + 2, 0x3D, false}, {VK_F1 + 3, 0x3E, false},  {VK_F1 + 4, 0x3F, false},    {VK_F1 + 5, 0x40, false},
    {VK_F1 + 6, 0x41, false}, {VK_F1 + 7, 0x42, false},  {VK_F1 + 8, 0x43, false},    {VK_F10, 0x44, false},
    {VK_NUMLOCK, 0x45, false}, {VK_SCROLL, 0x46, false}, {VK_HOME, 0x47, true},       {VK_UP, 0x48, true},
    {VK_PRIOR, 0x49, true},   {VK_LEFT, 0x4B, true},     {VK_RIGHT, 0x4D, true},      {VK_END, 0x4F, true},
    {VK_DOWN, 0x50, true},    {VK_NEXT, 0x51, true},     {VK_INSERT, 0x52, true},     {VK_DELETE, 0x53, true},
    {VK_F1 + 10, 0x57, false}, {VK_F12, 0x58, false},    {VK_LWIN, 0x5B, true},       {VK_RWIN, 0x5C, true},
    {VK_APPS, 0x5D, true},
};

const KeyInfo* Key(int vk) {
  for (const KeyInfo& k : kKeys)
    if (k.vk == vk) return &k;
  return nullptr;
}

// Characters of the US layout: the unshifted and the shifted character of
// each key that types one.
struct CharKey {
  int vk;
  wchar_t plain;
  wchar_t shifted;
};
const CharKey kChars[] = {
    {'1', L'1', L'!'}, {'2', L'2', L'@'}, {'3', L'3', L'#'}, {'4', L'4', L'$'}, {'5', L'5', L'%'},
    {'6', L'6', L'^'}, {'7', L'7', L'&'}, {'8', L'8', L'*'}, {'9', L'9', L'('}, {'0', L'0', L')'},
    {VK_OEM_MINUS, L'-', L'_'}, {VK_OEM_PLUS, L'=', L'+'}, {VK_OEM_4, L'[', L'{'}, {VK_OEM_6, L']', L'}'},
    {VK_OEM_1, L';', L':'}, {VK_OEM_7, L'\'', L'"'}, {VK_OEM_3, L'`', L'~'}, {VK_OEM_5, L'\\', L'|'},
    {VK_OEM_COMMA, L',', L'<'}, {VK_OEM_PERIOD, L'.', L'>'}, {VK_OEM_2, L'/', L'?'}, {VK_SPACE, L' ', L' '},
};

void Set(BYTE* keys, int vk, bool down) {
  if (down) {
    if (!(keys[vk] & 0x80)) keys[vk] ^= 0x01;
    keys[vk] |= 0x80;
  } else {
    keys[vk] &= static_cast<BYTE>(~0x80);
  }
}

}  // namespace

void ApplyKey(BYTE* keys, int vk, bool up) {
  if (vk <= 0 || vk > 0xFF) return;
  Set(keys, vk, !up);
  const int groups[3][3] = {{VK_SHIFT, VK_LSHIFT, VK_RSHIFT}, {VK_CONTROL, VK_LCONTROL, VK_RCONTROL}, {VK_MENU, VK_LMENU, VK_RMENU}};
  for (auto& grp : groups) {
    if (vk == grp[0]) {
      Set(keys, grp[1], !up);
      if (up) Set(keys, grp[2], false);
    } else if (vk == grp[1] || vk == grp[2]) {
      bool any = (keys[grp[1]] & 0x80) || (keys[grp[2]] & 0x80);
      Set(keys, grp[0], any);
    }
  }
}

LPARAM KeyFlags(const BYTE* before, int vk, bool up) {
  const KeyInfo* k = Key(vk);
  DWORD flags = 1;
  if (k) flags |= static_cast<DWORD>(k->scan) << 16;
  if (k && k->extended) flags |= 1u << 24;
  if ((before[VK_MENU] & 0x80) && vk != VK_MENU && vk != VK_LMENU && vk != VK_RMENU) flags |= 1u << 29;
  if (up || (before[vk] & 0x80)) flags |= 1u << 30;
  if (up) flags |= 1u << 31;
  return static_cast<LPARAM>(flags);
}

WCHAR CharForKey(int vk, bool shift) {
  if (vk >= 'A' && vk <= 'Z') return static_cast<WCHAR>(shift ? vk : vk - 'A' + 'a');
  for (const CharKey& c : kChars)
    if (c.vk == vk) return shift ? c.shifted : c.plain;
  return 0;
}

void InjectKey(int vk, bool up) {
  if (vk <= 0 || vk > 0xFF) return;  // no such key: every key state is one byte of 256
  DWORD tid = 0;
  {
    Desktop& d = D();
    Lock g(d.mu);
    ApplyKey(d.async, vk, up);
    WindowRec* fg = FindWindowRec(d.foreground);
    if (!fg) return;  // nobody in front: the key goes nowhere
    tid = fg->tid;
  }
  QueueItem item;
  item.kind = QueueItem::Input;
  item.input.vk = vk;
  item.input.up = up;
  Enqueue(tid, std::move(item));
}

void InjectMouse(HWND target, UINT msg, POINT pt) {
  DWORD tid = 0;
  {
    Desktop& d = D();
    Lock g(d.mu);
    WindowRec* w = FindWindowRec(target);
    if (!w) return;
    tid = w->tid;
    int vk = (msg == WM_LBUTTONDOWN || msg == WM_LBUTTONUP) ? VK_LBUTTON
             : (msg == WM_RBUTTONDOWN || msg == WM_RBUTTONUP) ? VK_RBUTTON
                                                              : VK_MBUTTON;
    bool up = msg == WM_LBUTTONUP || msg == WM_RBUTTONUP || msg == WM_MBUTTONUP;
    ApplyKey(d.async, vk, up);
  }
  QueueItem item;
  item.kind = QueueItem::Input;
  item.input.mouse = true;
  item.input.mouseMsg = msg;
  item.input.pt = pt;
  item.input.target = target;
  Enqueue(tid, std::move(item));
}

}  // namespace platform::detail

using namespace platform::detail;

SHORT GetKeyState(int vk) {
  if (vk <= 0 || vk > 0xFF) return 0;
  DWORD tid = GetCurrentThreadId();
  Desktop& d = D();
  Lock g(d.mu);
  ThreadRec* t = FindThread(tid);
  if (!t) return 0;
  BYTE b = t->keys[vk];
  return static_cast<SHORT>(((b & 0x80) ? 0x8000 : 0) | (b & 0x01));
}

SHORT GetAsyncKeyState(int vk) {
  if (vk <= 0 || vk > 0xFF) return 0;
  platform::CurrentBackend().ReadKeyboard();
  Desktop& d = D();
  Lock g(d.mu);
  return static_cast<SHORT>((d.async[vk] & 0x80) ? 0x8000 : 0);
}

namespace {
// Runs f on the calling thread's key bytes; FALSE without a state.
template <typename F>
BOOL WithThreadKeys(const void* state, F&& f) {
  if (!state) return FALSE;
  DWORD tid = GetCurrentThreadId();
  Desktop& d = D();
  Lock g(d.mu);
  ThreadRec* t = FindThread(tid);
  if (!t) return FALSE;
  f(t->keys);
  return TRUE;
}
}  // namespace

BOOL GetKeyboardState(BYTE* state) {
  return WithThreadKeys(state, [&](BYTE* keys) { std::copy(keys, keys + 256, state); });
}

BOOL SetKeyboardState(const BYTE* state) {
  return WithThreadKeys(state, [&](BYTE* keys) { std::copy(state, state + 256, keys); });
}

UINT MapVirtualKeyA(UINT code, UINT mapType) {
  switch (mapType) {
    case MAPVK_VK_TO_VSC: {
      const KeyInfo* k = Key(static_cast<int>(code));
      return k ? k->scan : 0;
    }
    case MAPVK_VSC_TO_VK:
      for (const KeyInfo& k : kKeys)
        if (k.scan == code && !k.extended && k.vk != VK_CONTROL && k.vk != VK_SHIFT && k.vk != VK_MENU) return static_cast<UINT>(k.vk);
      return 0;
    case MAPVK_VK_TO_CHAR: {
      int vk = static_cast<int>(code);
      if (vk >= 'A' && vk <= 'Z') return code;
      if (vk == VK_RETURN) return L'\r';
      if (vk == VK_TAB) return L'\t';
      if (vk == VK_BACK) return L'\b';
      if (vk == VK_ESCAPE) return 0x1B;
      return CharForKey(vk, false);
    }
    default:
      return 0;
  }
}

SHORT VkKeyScanW(WCHAR ch) {
  if (ch >= L'a' && ch <= L'z') return static_cast<SHORT>(ch - L'a' + 'A');
  if (ch >= L'A' && ch <= L'Z') return static_cast<SHORT>(0x100 | ch);
  switch (ch) {
    case L'\t':
      return VK_TAB;
    case L'\r':
      return VK_RETURN;
    case L'\n':
      return static_cast<SHORT>(0x200 | VK_RETURN);
    case L'\b':
      return VK_BACK;
    case 0x1B:
      return VK_ESCAPE;
    default:
      break;
  }
  for (const CharKey& c : kChars) {
    if (c.plain == ch) return static_cast<SHORT>(c.vk);
    if (c.shifted == ch) return static_cast<SHORT>(0x100 | c.vk);
  }
  return -1;
}

UINT SendInput(UINT count, const INPUT* inputs, int cbSize) {
  if (cbSize != static_cast<int>(sizeof(INPUT)) || (count && !inputs)) {
    SetError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  UINT done = 0;
  for (UINT i = 0; i < count; ++i) {
    const INPUT& in = inputs[i];
    if (in.type != INPUT_KEYBOARD || (in.ki.dwFlags & KEYEVENTF_UNICODE)) break;
    int vk = in.ki.wVk;
    if (!vk && (in.ki.dwFlags & KEYEVENTF_SCANCODE)) vk = static_cast<int>(MapVirtualKeyA(in.ki.wScan, MAPVK_VSC_TO_VK));
    if (vk <= 0 || vk > 0xFF) break;
    InjectKey(vk, (in.ki.dwFlags & KEYEVENTF_KEYUP) != 0);
    ++done;
  }
  return done;
}
