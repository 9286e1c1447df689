// Keys: the hooks' shortcut combinations grabbed on the root window, every
// grabbed key delivered to the keyboard hooks as a virtual key, the whole
// keyboard grabbed while the popup shortcut is engaged, and synthesised
// input typed through XTest.
#include <X11/XKBlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <X11/extensions/XTest.h>

#include <algorithm>

#include "../../src/desktop_internal.h"
#include "platform/shortcuts.h"
#include "platform/x11.h"
#include "x11_internal.h"

namespace platform::x11::detail {
namespace {

namespace pd = platform::detail;

struct KeyMap {
  int vk;
  KeySym sym;
};

const KeyMap kKeys[] = {
    {VK_BACK, XK_BackSpace}, {VK_TAB, XK_Tab}, {VK_RETURN, XK_Return}, {VK_ESCAPE, XK_Escape},
    {VK_SPACE, XK_space}, {VK_PRIOR, XK_Prior}, {VK_NEXT, XK_Next}, {VK_END, XK_End}, {VK_HOME, XK_Home},
    {VK_LEFT, XK_Left}, {VK_UP, XK_Up}, {VK_RIGHT, XK_Right}, {VK_DOWN, XK_Down}, {VK_INSERT, XK_Insert},
    {VK_DELETE, XK_Delete}, {VK_PAUSE, XK_Pause}, {VK_CAPITAL, XK_Caps_Lock}, {VK_NUMLOCK, XK_Num_Lock},
    {VK_SCROLL, XK_Scroll_Lock}, {VK_APPS, XK_Menu},
    {VK_SHIFT, XK_Shift_L}, {VK_LSHIFT, XK_Shift_L}, {VK_RSHIFT, XK_Shift_R},
    {VK_CONTROL, XK_Control_L}, {VK_LCONTROL, XK_Control_L}, {VK_RCONTROL, XK_Control_R},
    {VK_MENU, XK_Alt_L}, {VK_LMENU, XK_Alt_L}, {VK_RMENU, XK_Alt_R},
    {VK_LWIN, XK_Super_L}, {VK_RWIN, XK_Super_R},
    {VK_OEM_1, XK_semicolon}, {VK_OEM_PLUS, XK_equal}, {VK_OEM_COMMA, XK_comma}, {VK_OEM_MINUS, XK_minus},
    {VK_OEM_PERIOD, XK_period}, {VK_OEM_2, XK_slash}, {VK_OEM_3, XK_grave}, {VK_OEM_4, XK_bracketleft},
    {VK_OEM_5, XK_backslash}, {VK_OEM_6, XK_bracketright}, {VK_OEM_7, XK_apostrophe},
};

KeySym SymOf(int vk) {
  if (vk >= 'A' && vk <= 'Z') return XK_a + static_cast<KeySym>(vk - 'A');
  if (vk >= '0' && vk <= '9') return XK_0 + static_cast<KeySym>(vk - '0');
  if (vk >= VK_F1 && vk <= VK_F12) return XK_F1 + static_cast<KeySym>(vk - VK_F1);
  if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD0 + 9) return XK_KP_0 + static_cast<KeySym>(vk - VK_NUMPAD0);
  for (const KeyMap& k : kKeys)
    if (k.vk == vk) return k.sym;
  return NoSymbol;
}

int VkOfSym(KeySym sym) {
  if (sym >= XK_a && sym <= XK_z) return 'A' + static_cast<int>(sym - XK_a);
  if (sym >= XK_A && sym <= XK_Z) return 'A' + static_cast<int>(sym - XK_A);
  if (sym >= XK_0 && sym <= XK_9) return '0' + static_cast<int>(sym - XK_0);
  if (sym >= XK_F1 && sym <= XK_F12) return VK_F1 + static_cast<int>(sym - XK_F1);
  if (sym >= XK_KP_0 && sym <= XK_KP_9) return VK_NUMPAD0 + static_cast<int>(sym - XK_KP_0);
  if (sym == XK_KP_Enter) return VK_RETURN;
  if (sym == XK_ISO_Left_Tab) return VK_TAB;
  if (sym == XK_Meta_L) return VK_LMENU;
  if (sym == XK_Meta_R || sym == XK_ISO_Level3_Shift) return VK_RMENU;
  for (const KeyMap& k : kKeys)
    if (k.sym == sym && k.vk != VK_SHIFT && k.vk != VK_CONTROL && k.vk != VK_MENU) return k.vk;
  return 0;
}

struct Grab {
  KeyCode code;
  unsigned int mods;
};

struct KeysState {
  unsigned int altMask = Mod1Mask;
  unsigned int superMask = Mod4Mask;
  unsigned int numMask = Mod2Mask;
  bool grabbing = false;  // while a keyboard hook is installed
  std::vector<Grab> grabs;
  std::vector<std::string> failed;
  std::vector<HookShortcut> shortcuts;
  bool keyboardGrabbed = false;
  HookShortcut engagedBy{};
  std::set<KeyCode> forwarded;  // presses passed on during the keyboard grab
  // The key being routed from the keyboard right now.
  bool routing = false;
  bool passed = false;
};

KeysState ks;

// Keycodes of the virtual keys, looked up once per keyboard mapping.
KeyCode codes[256];
bool codesKnown = false;

void ReadCodes() {
  for (int vk = 0; vk < 256; ++vk) {
    KeySym s = SymOf(vk);
    codes[vk] = s == NoSymbol ? 0 : XKeysymToKeycode(C().dpy, s);
  }
  codesKnown = true;
}

KeyCode CodeOf(int vk) {
  if (vk <= 0 || vk > 0xFF) return 0;
  if (!codesKnown) ReadCodes();
  return codes[vk];
}

bool IsModifierVk(int vk) {
  switch (vk) {
    case VK_SHIFT: case VK_LSHIFT: case VK_RSHIFT:
    case VK_CONTROL: case VK_LCONTROL: case VK_RCONTROL:
    case VK_MENU: case VK_LMENU: case VK_RMENU:
    case VK_LWIN: case VK_RWIN:
      return true;
    default:
      return false;
  }
}

void ReadModifierMasks() {
  ks.altMask = 0;
  ks.superMask = 0;
  ks.numMask = 0;
  XModifierKeymap* map = XGetModifierMapping(C().dpy);
  if (!map) return;
  for (int mod = 3; mod < 8; ++mod) {  // Mod1 .. Mod5
    for (int k = 0; k < map->max_keypermod; ++k) {
      KeyCode code = map->modifiermap[mod * map->max_keypermod + k];
      if (!code) continue;
      KeySym sym = XkbKeycodeToKeysym(C().dpy, code, 0, 0);
      unsigned int mask = 1u << mod;
      if (sym == XK_Alt_L || sym == XK_Alt_R || sym == XK_Meta_L) ks.altMask |= mask;
      if (sym == XK_Super_L || sym == XK_Super_R) ks.superMask |= mask;
      if (sym == XK_Num_Lock) ks.numMask |= mask;
    }
  }
  XFreeModifiermap(map);
  if (!ks.altMask) ks.altMask = Mod1Mask;
  if (!ks.superMask) ks.superMask = Mod4Mask;
}

std::string NameOf(const HookShortcut& s) {
  std::string out;
  if (s.ctrl) out += "Ctrl+";
  if (s.alt) out += "Alt+";
  if (s.win) out += "Win+";
  KeySym sym = SymOf(s.vk);
  const char* name = sym == NoSymbol ? nullptr : XKeysymToString(sym);
  std::string key = name ? name : std::to_string(s.vk);
  if (key.size() == 1) key[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(key[0])));
  return out + key;
}

void UngrabAll() {
  for (const Grab& g : ks.grabs) XUngrabKey(C().dpy, g.code, g.mods, C().root);
  ks.grabs.clear();
}

void GrabAll(bool report) {
  UngrabAll();
  std::vector<std::string> before;
  if (report) before.swap(ks.failed);
  const unsigned int locks[] = {0u, LockMask, ks.numMask, LockMask | ks.numMask};
  for (const HookShortcut& s : ks.shortcuts) {
    if (s.vk <= 0 || s.vk > 0xFF) continue;  // a shifted key never matches the hook
    KeyCode code = CodeOf(s.vk);
    if (!code) continue;
    unsigned int base = (s.ctrl ? ControlMask : 0u) | (s.alt ? ks.altMask : 0u) | (s.win ? ks.superMask : 0u);
    // The combination itself must be ours; a variant with Shift or a lock
    // that another client holds (window managers bind Win+Shift+arrows) only
    // loses that variant.
    bool baseFailed = false;
    {
      Trap trap;
      XGrabKey(C().dpy, code, base, C().root, False, GrabModeAsync, GrabModeSync);
      baseFailed = trap.Failed();
    }
    if (baseFailed) {
      if (report) {
        ks.failed.push_back(NameOf(s));
        // Said once: the shortcuts are grabbed again whenever they change.
        if (std::find(before.begin(), before.end(), NameOf(s)) == before.end())
          Warn("the shortcut " + NameOf(s) + " could not be grabbed: another client holds it");
      }
      continue;
    }
    ks.grabs.push_back(Grab{code, base});
    for (unsigned int shift : {0u, static_cast<unsigned int>(ShiftMask)}) {
      for (unsigned int lock : locks) {
        unsigned int mods = base | shift | lock;
        if (std::any_of(ks.grabs.begin(), ks.grabs.end(), [&](const Grab& g) { return g.code == code && g.mods == mods; }))
          continue;
        Trap trap;
        XGrabKey(C().dpy, code, mods, C().root, False, GrabModeAsync, GrabModeSync);
        if (!trap.Failed()) ks.grabs.push_back(Grab{code, mods});
      }
    }
  }
}

void Regrab() {
  ks.shortcuts = platform::HookShortcuts();
  if (ks.grabbing) GrabAll(true);
  XFlush(C().dpy);
}

bool Down(const char* keys, KeyCode code) { return code && (keys[code / 8] & (1 << (code % 8))); }

// The foreground thread's key state takes the modifiers the key was typed
// with (the hooks read them with GetKeyState): the event's own state, since
// by the time a key is handled its modifiers may have been released (Escape
// then Super let go at once must still be Super+Escape). The sides come from
// the keyboard as it holds them now, else from what the thread had. Without
// an event's state, the keyboard's alone. The physical state
// (GetAsyncKeyState) is always the keyboard's now. `except` is the key being
// delivered, which changes as it is read.
void SyncModifiers(DWORD tid, KeyCode except, const unsigned int* state) {
  char keys[32] = {};
  XQueryKeymap(C().dpy, keys);
  struct Pair {
    int left, right;
    unsigned int mask;
  };
  const Pair pairs[] = {{VK_LSHIFT, VK_RSHIFT, ShiftMask},
                        {VK_LCONTROL, VK_RCONTROL, ControlMask},
                        {VK_LMENU, VK_RMENU, ks.altMask},
                        {VK_LWIN, VK_RWIN, ks.superMask}};
  pd::Desktop& d = pd::D();
  pd::Lock g(d.mu);
  pd::ThreadRec* t = pd::FindThread(tid);
  auto set = [](BYTE* table, int vk, bool down) {
    if (((table[vk] & 0x80) != 0) != down) pd::ApplyKey(table, vk, !down);
  };
  for (const Pair& p : pairs) {
    const KeyCode left = CodeOf(p.left), right = CodeOf(p.right);
    const bool nowLeft = Down(keys, left), nowRight = Down(keys, right);
    bool wantLeft = nowLeft, wantRight = nowRight;
    if (state && !(*state & p.mask)) {
      wantLeft = wantRight = false;
    } else if (state && !nowLeft && !nowRight) {
      // Held when typed, let go since: the side the thread had, else left.
      wantRight = t && (t->keys[p.right] & 0x80) != 0;
      wantLeft = !wantRight;
    }
    if (t && left && left != except) set(t->keys, p.left, wantLeft);
    if (t && right && right != except) set(t->keys, p.right, wantRight);
    if (left && left != except) set(d.async, p.left, nowLeft);
    if (right && right != except) set(d.async, p.right, nowRight);
  }
}

bool ModifiersHeld(const HookShortcut& s) {
  char keys[32] = {};
  XQueryKeymap(C().dpy, keys);
  auto any = [&](int a, int b) { return Down(keys, CodeOf(a)) || Down(keys, CodeOf(b)); };
  return (s.ctrl && any(VK_LCONTROL, VK_RCONTROL)) || (s.alt && any(VK_LMENU, VK_RMENU)) ||
         (s.win && any(VK_LWIN, VK_RWIN));
}

DWORD ForegroundThread() {
  HWND fg = GetForegroundWindow();
  if (!fg) {
    HWND desk = DesktopWindow();
    if (desk) pd::ChangeFocus(desk, false);
    fg = GetForegroundWindow();
  }
  return fg ? GetWindowThreadProcessId(fg, nullptr) : 0;
}

// Delivers one key to the hooks; true when it was passed on to the window.
bool Route(int vk, bool up, KeyCode code, const unsigned int* state = nullptr) {
  DWORD tid = ForegroundThread();
  if (!tid) return true;
  SyncModifiers(tid, code, state);
  bool foreign = false;
  {
    pd::Desktop& d = pd::D();
    pd::Lock g(d.mu);
    pd::ThreadRec* t = pd::FindThread(tid);
    foreign = t && !t->own;
  }
  ks.routing = true;
  ks.passed = false;
  pd::InjectKey(vk, up);  // another application's thread runs it at once
  ks.routing = false;
  // Our own window in front: the key waits in our queue and the toolkit's
  // drain runs the hooks on it; the toolkit never sees the grabbed key.
  return foreign && ks.passed;
}

const HookShortcut* Matching(KeyCode code, unsigned int state) {
  for (const HookShortcut& s : ks.shortcuts) {
    if (CodeOf(s.vk) != code) continue;
    bool ctrl = state & ControlMask, alt = state & ks.altMask, win = state & ks.superMask;
    if (ctrl == s.ctrl && alt == s.alt && win == s.win) return &s;
  }
  return nullptr;
}

void ForwardToFocus(XEvent ev) {
  Window focus = 0;
  int revert = 0;
  XGetInputFocus(C().dpy, &focus, &revert);
  if (focus == None || focus == PointerRoot) return;
  ev.xkey.window = focus;
  ev.xkey.subwindow = None;
  Trap trap;
  XSendEvent(C().dpy, focus, True, ev.type == KeyPress ? KeyPressMask : KeyReleaseMask, &ev);
  trap.Failed();
}

void EndKeyboardGrab() {
  if (!ks.keyboardGrabbed) return;
  XUngrabKeyboard(C().dpy, CurrentTime);
  ks.keyboardGrabbed = false;
  ks.forwarded.clear();
  XFlush(C().dpy);
}

}  // namespace

void OnKeyEvent(XEvent& ev) {
  bool up = ev.type == KeyRelease;
  KeyCode code = static_cast<KeyCode>(ev.xkey.keycode);
  int vk = VkOfSym(XkbKeycodeToKeysym(C().dpy, code, 0, 0));
  if (!ks.keyboardGrabbed) {
    // A passive grab: a press froze the keyboard until we decide.
    const HookShortcut* match = up ? nullptr : Matching(code, ev.xkey.state);
    bool passed = vk ? Route(vk, up, code, &ev.xkey.state) : true;
    if (!up) XAllowEvents(C().dpy, passed ? ReplayKeyboard : AsyncKeyboard, ev.xkey.time);
    if (!up && !passed && match && match->engages) {
      int r = XGrabKeyboard(C().dpy, C().root, False, GrabModeAsync, GrabModeAsync, ev.xkey.time);
      ks.keyboardGrabbed = r == GrabSuccess;
      ks.engagedBy = *match;
      if (ks.keyboardGrabbed && !ModifiersHeld(*match)) {
        // Released before the grab took: the hooks still see a release.
        KeyCode w = CodeOf(match->win ? VK_LWIN : match->ctrl ? VK_LCONTROL : VK_LMENU);
        Route(match->win ? VK_LWIN : match->ctrl ? VK_LCONTROL : VK_LMENU, true, w);
        EndKeyboardGrab();
      }
    }
    XFlush(C().dpy);
    return;
  }
  // The keyboard is ours while the popup shortcut is engaged.
  bool passed = vk ? Route(vk, up, code, &ev.xkey.state) : true;
  if (passed && (!up || ks.forwarded.count(code))) {
    ForwardToFocus(ev);
    if (up) ks.forwarded.erase(code);
    else ks.forwarded.insert(code);
  }
  if (up && !ModifiersHeld(ks.engagedBy)) EndKeyboardGrab();
  XFlush(C().dpy);
}

void OnMappingNotify(XEvent& ev) {
  XRefreshKeyboardMapping(&ev.xmapping);
  ReadCodes();
  ReadModifierMasks();
  if (ks.grabbing) GrabAll(false);
}

void UpdateKeyGrabs() {
  bool want = pd::AnyHook(WH_KEYBOARD);
  if (want == ks.grabbing) return;
  ks.grabbing = want;
  if (want) {
    Regrab();
  } else {
    EndKeyboardGrab();
    UngrabAll();
    ks.failed.clear();
  }
  // Grabbed (or given back) before the caller goes on: a key typed right
  // after the hook is installed must reach it.
  XSync(C().dpy, False);
  NoteQueuedEvents();
}

void KeyReachedWindow(HWND, UINT msg, WPARAM vkParam) {
  if (ks.routing) {
    ks.passed = true;
    return;
  }
  // Synthesised input (SendInput): typed for real through XTest.
  if (!C().xtest) return;
  int vk = static_cast<int>(vkParam);
  KeyCode code = CodeOf(vk);
  if (!code) return;
  bool up = msg == WM_KEYUP || msg == WM_SYSKEYUP;
  EndKeyboardGrab();
  std::vector<Grab> had = ks.grabs;
  UngrabAll();  // our own keystrokes must not come back to us
  std::vector<KeyCode> supers;
  if (!IsModifierVk(vk)) {
    // A held Super key turns Ctrl+V into another shortcut: it is lifted for
    // the key and pressed again after it.
    char keys[32] = {};
    XQueryKeymap(C().dpy, keys);
    for (int s : {VK_LWIN, VK_RWIN}) {
      KeyCode sc = CodeOf(s);
      if (Down(keys, sc)) supers.push_back(sc);
    }
  }
  for (KeyCode s : supers) XTestFakeKeyEvent(C().dpy, s, False, CurrentTime);
  XTestFakeKeyEvent(C().dpy, code, up ? False : True, CurrentTime);
  for (KeyCode s : supers) XTestFakeKeyEvent(C().dpy, s, True, CurrentTime);
  XSync(C().dpy, False);
  if (!had.empty()) {
    // The same grabs again: they were ours a moment ago.
    Trap trap;
    for (const Grab& g : had) XGrabKey(C().dpy, g.code, g.mods, C().root, False, GrabModeAsync, GrabModeSync);
    trap.Failed();
    ks.grabs = had;
  }
  XFlush(C().dpy);
  KickIfQueued();
}

void SyncAsyncKeys() {
  if (!Connected()) return;
  char keys[32] = {};
  XQueryKeymap(C().dpy, keys);
  std::vector<std::pair<int, bool>> state;
  for (int vk = 1; vk < 0xFF; ++vk) {
    if (vk == VK_SHIFT || vk == VK_CONTROL || vk == VK_MENU) continue;  // follow their two sides
    KeyCode code = CodeOf(vk);
    if (code) state.emplace_back(vk, Down(keys, code));
  }
  pd::Desktop& d = pd::D();
  pd::Lock g(d.mu);
  for (auto& [vk, down] : state)
    if (((d.async[vk] & 0x80) != 0) != down) pd::ApplyKey(d.async, vk, !down);
}

void InitKeys() {
  ks = KeysState{};
  ReadCodes();
  Bool supported = False;
  XkbSetDetectableAutoRepeat(C().dpy, True, &supported);
  ReadModifierMasks();
  ks.shortcuts = platform::HookShortcuts();
  UpdateKeyGrabs();
  platform::SetHookShortcutsListener([] {
    if (Connected()) Regrab();
  });
}

void ShutdownKeys() {
  codesKnown = false;
  platform::SetHookShortcutsListener(nullptr);
  EndKeyboardGrab();
  UngrabAll();
  ks = KeysState{};
}

}  // namespace platform::x11::detail

namespace platform::x11 {
std::vector<std::string> FailedGrabs() { return detail::ks.failed; }
}  // namespace platform::x11
