#include <string>

#include "sim_fixture.h"

namespace {

// Hook procedures are plain functions; they note what they saw here.
struct Call {
  char who;
  int code;
  WPARAM w;
  LPARAM l;
  DWORD thread;
};
std::vector<Call> calls;
HHOOK hookA, hookB, hookC;
// What B does: 'n' pass on, 's' swallow, 'r' remove A then pass on,
// 'x' remove itself then pass on.
char behaviourB = 'n';

LRESULT ProcA(int code, WPARAM w, LPARAM l) {
  calls.push_back({'A', code, w, l, GetCurrentThreadId()});
  return CallNextHookEx(hookA, code, w, l);
}
LRESULT ProcB(int code, WPARAM w, LPARAM l) {
  calls.push_back({'B', code, w, l, GetCurrentThreadId()});
  switch (behaviourB) {
    case 's':
      return 1;
    case 'r':
      UnhookWindowsHookEx(hookA);
      break;
    case 'x':
      UnhookWindowsHookEx(hookB);
      break;
    default:
      break;
  }
  return CallNextHookEx(hookB, code, w, l);
}
LRESULT ProcC(int code, WPARAM w, LPARAM l) {
  calls.push_back({'C', code, w, l, GetCurrentThreadId()});
  return CallNextHookEx(hookC, code, w, l);
}

std::string Order() {
  std::string s;
  for (auto& c : calls) s += c.who;
  return s;
}

class Hooks : public SimDesktop {
 protected:
  void SetUp() override {
    SimDesktop::SetUp();
    calls.clear();
    behaviourB = 'n';
    module = GetModuleHandleW(nullptr);
    ASSERT_TRUE(sim::SetFocus(editor));
  }
  void InstallKeyboardChain() {
    hookA = SetWindowsHookExA(WH_KEYBOARD, &ProcA, module, 0);
    hookB = SetWindowsHookExA(WH_KEYBOARD, &ProcB, module, 0);
    hookC = SetWindowsHookExA(WH_KEYBOARD, &ProcC, nullptr, editorThread);
    ASSERT_TRUE(hookA && hookB && hookC);
  }
  HMODULE module = nullptr;
};

TEST_F(Hooks, ThreadHooksRunFirstThenTheNewestDesktopHookInTheThreadOfTheKey) {
  InstallKeyboardChain();
  sim::KeyDown('Q');
  EXPECT_EQ(Order(), "CBA");
  for (auto& c : calls) {
    EXPECT_EQ(c.code, HC_ACTION);
    EXPECT_EQ(c.w, WPARAM{'Q'});
    EXPECT_EQ(c.thread, editorThread);
    EXPECT_EQ(c.l & 0x80000000, 0) << "a press";
    EXPECT_EQ((c.l >> 16) & 0xFF, LPARAM{0x10}) << "scan code of Q";
  }
  sim::KeyUp('Q');
  EXPECT_NE(calls.back().l & 0x80000000, 0) << "bit 31 marks the release";
  EXPECT_EQ(KeyTrail(editor), (std::vector<std::pair<UINT, WPARAM>>{{WM_KEYDOWN, 'Q'}, {WM_KEYUP, 'Q'}}));
  EXPECT_EQ(sim::EditText(editor), L"q");
}

TEST_F(Hooks, ASwallowedKeyNeverReachesItsWindowNorTheRestOfTheChain) {
  InstallKeyboardChain();
  behaviourB = 's';
  sim::Tap('W');
  EXPECT_EQ(Order(), "CBCB");
  EXPECT_TRUE(sim::Keys(editor).empty());
  EXPECT_EQ(sim::EditText(editor), L"");
}

TEST_F(Hooks, RemovalInsideAProcedureIsHonouredAtOnce) {
  InstallKeyboardChain();
  behaviourB = 'r';
  sim::KeyDown('E');
  EXPECT_EQ(Order(), "CB") << "A was removed before its turn";
  EXPECT_FALSE(UnhookWindowsHookEx(hookA));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HOOK_HANDLE);

  calls.clear();
  UnhookWindowsHookEx(hookB);
  hookA = SetWindowsHookExA(WH_KEYBOARD, &ProcA, module, 0);
  hookB = SetWindowsHookExA(WH_KEYBOARD, &ProcB, module, 0);
  behaviourB = 'x';
  sim::KeyDown('R');
  EXPECT_EQ(Order(), "CBA") << "a procedure that removes itself still passes on";
  calls.clear();
  sim::KeyDown('T');
  EXPECT_EQ(Order(), "CA");
  EXPECT_EQ(sim::InstalledHooks(WH_KEYBOARD), 2);
}

TEST_F(Hooks, CallNextHookExOutsideAChainOrAtItsEndGivesZero) {
  EXPECT_EQ(CallNextHookEx(nullptr, 0, 0, 0), 0);
  hookA = SetWindowsHookExA(WH_KEYBOARD, [](int c, WPARAM w, LPARAM l) -> LRESULT {
    LRESULT r = CallNextHookEx(hookA, c, w, l);
    EXPECT_EQ(r, 0);
    return r;
  }, module, 0);
  sim::Tap('A');
  EXPECT_EQ(sim::Keys(editor).size(), 2u);
}

TEST_F(Hooks, InstallFailures) {
  struct Case {
    int kind;
    HINSTANCE module;
    DWORD thread;
    DWORD error;
  } cases[] = {
      {WH_KEYBOARD, nullptr, 0, ERROR_HOOK_NEEDS_HMOD},
      {13, GetModuleHandleW(nullptr), 0, ERROR_INVALID_HOOK_FILTER},
      {WH_CBT, reinterpret_cast<HINSTANCE>(0x999000), 0, ERROR_MOD_NOT_FOUND},
      {WH_MOUSE, nullptr, 0xFFFF0, ERROR_INVALID_PARAMETER},
  };
  for (const Case& c : cases) {
    SetLastError(0);
    EXPECT_EQ(SetWindowsHookExA(c.kind, &ProcA, c.module, c.thread), nullptr) << c.kind;
    EXPECT_EQ(GetLastError(), c.error) << c.kind;
  }
  EXPECT_EQ(SetWindowsHookExA(WH_CBT, nullptr, module, 0), nullptr);

  sim::FailHookInstalls(WH_CBT, 1);
  EXPECT_EQ(SetWindowsHookExA(WH_CBT, &ProcA, module, 0), nullptr);
  EXPECT_NE(SetWindowsHookExA(WH_KEYBOARD, &ProcA, module, 0), nullptr) << "other kinds are not affected";
  HHOOK second = SetWindowsHookExA(WH_CBT, &ProcA, module, 0);
  EXPECT_NE(second, nullptr) << "only the next install failed";
  sim::FailHookInstalls(WH_MOUSE, -1);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(SetWindowsHookExA(WH_MOUSE, &ProcA, module, 0), nullptr);
  sim::FailHookInstalls(WH_MOUSE, 0);
  EXPECT_NE(SetWindowsHookExA(WH_MOUSE, &ProcA, module, 0), nullptr);
  EXPECT_TRUE(UnhookWindowsHookEx(second));
  EXPECT_FALSE(UnhookWindowsHookEx(second));
}

TEST_F(Hooks, ARegisteredLibraryCanInstallDesktopHooks) {
  HMODULE lib = platform::RegisterModule(L"pastiqhook.dll", L"/opt/pastiq/bin/libpastiqhook.so");
  EXPECT_EQ(platform::RegisterModule(L"PASTIQHOOK"), lib) << "registering again keeps the handle";
  EXPECT_EQ(GetModuleHandleW(L"pastiqhook"), lib);
  EXPECT_NE(SetWindowsHookExA(WH_CBT, &ProcA, lib, 0), nullptr);
}

// Key state as the keyboard hook sees it.
struct KeyView {
  WPARAM vk;
  bool released;
  bool vDown, ctrlDown, lwinDown, asyncV;
};
std::vector<KeyView> views;
LRESULT StateProc(int code, WPARAM w, LPARAM l) {
  views.push_back({w, (l & 0x80000000) != 0, GetKeyState('V') < 0, GetKeyState(VK_CONTROL) < 0, GetKeyState(VK_LWIN) < 0,
                   GetAsyncKeyState('V') < 0});
  return CallNextHookEx(nullptr, code, w, l);
}

TEST_F(Hooks, KeyStateInsideTheKeyboardHookAlreadyIncludesTheEventBeingDelivered) {
  views.clear();
  ASSERT_NE(SetWindowsHookExA(WH_KEYBOARD, &StateProc, module, 0), nullptr);
  sim::KeyDown(VK_LCONTROL);
  sim::KeyDown('V');
  sim::KeyUp('V');
  sim::KeyUp(VK_LCONTROL);
  ASSERT_EQ(views.size(), 4u);
  EXPECT_EQ(views[0].vk, WPARAM{VK_CONTROL}) << "left and right modifiers are reported as the generic key";
  EXPECT_TRUE(views[0].ctrlDown);
  EXPECT_TRUE(views[1].vDown && views[1].ctrlDown && views[1].asyncV);
  EXPECT_FALSE(views[2].vDown) << "the release is already in the state";
  EXPECT_TRUE(views[2].released && views[2].ctrlDown);
  EXPECT_FALSE(views[3].ctrlDown);
  // Our own thread saw none of these keys: its state is its own.
  EXPECT_GE(GetKeyState(VK_CONTROL), 0);
  EXPECT_EQ(sim::EditText(editor), L"") << "Ctrl+V pastes, it does not type";
}

TEST_F(Hooks, KeysToOurOwnWindowRunTheHooksWhenOurQueueIsDrained) {
  views.clear();
  ASSERT_NE(SetWindowsHookExA(WH_KEYBOARD, &StateProc, module, 0), nullptr);
  HWND own = platform::CreateToolkitWindow(L"Frame", L"");
  platform::UpdateToolkitWindow(own, nullptr, 1);
  ASSERT_TRUE(SetForegroundWindow(own));
  sim::Chord({VK_LWIN, 'V'});
  EXPECT_TRUE(views.empty());
  EXPECT_EQ(platform::DrainMessages(), 4);
  ASSERT_EQ(views.size(), 4u);
  EXPECT_TRUE(views[1].lwinDown && views[1].vDown);
}

// Focus notices.
struct Cbt {
  int code;
  HWND w;
  HWND l;
  DWORD thread;
};
std::vector<Cbt> cbts;
bool refuseFocus = false;
LRESULT CbtProc(int code, WPARAM w, LPARAM l) {
  HWND other = code == HCBT_SETFOCUS ? reinterpret_cast<HWND>(l) : reinterpret_cast<CBTACTIVATESTRUCT*>(l)->hWndActive;
  cbts.push_back({code, reinterpret_cast<HWND>(w), other, GetCurrentThreadId()});
  if (refuseFocus && code == HCBT_SETFOCUS) return 1;
  return CallNextHookEx(nullptr, code, w, l);
}

TEST_F(Hooks, FocusChangesReportGainingAndLosingWindowsInTheGainingThread) {
  cbts.clear();
  refuseFocus = false;
  ASSERT_NE(SetWindowsHookExA(WH_CBT, &CbtProc, module, 0), nullptr);
  sim::ProcessSpec spec;
  spec.exePath = L"/usr/bin/browser";
  DWORD browserThread = sim::MainThread(sim::CreateProcess(spec));
  sim::WindowSpec ws;
  ws.thread = browserThread;
  ws.className = L"BrowserFrame";
  HWND browser = sim::AddWindow(ws);
  ws.parent = browser;
  ws.className = L"Button";
  HWND button = sim::AddWindow(ws);

  ASSERT_TRUE(sim::SetFocus(button));
  ASSERT_EQ(cbts.size(), 2u);
  EXPECT_EQ(cbts[0].code, HCBT_ACTIVATE);
  EXPECT_EQ(cbts[0].w, browser) << "the top-level window is activated";
  EXPECT_EQ(cbts[0].l, editorFrame);
  EXPECT_EQ(cbts[1].code, HCBT_SETFOCUS);
  EXPECT_EQ(cbts[1].w, button);
  EXPECT_EQ(cbts[1].l, editor);
  EXPECT_EQ(cbts[1].thread, browserThread);
  EXPECT_EQ(GetForegroundWindow(), browser);
  GUITHREADINFO gti{};
  gti.cbSize = sizeof(gti);
  ASSERT_TRUE(GetGUIThreadInfo(0, &gti));
  EXPECT_EQ(gti.hwndFocus, button);
  EXPECT_EQ(gti.hwndActive, browser);
  auto editorGot = sim::Messages(editor);
  ASSERT_FALSE(editorGot.empty());
  EXPECT_EQ(editorGot.back().message, WM_KILLFOCUS);
  EXPECT_EQ(sim::Messages(button).back().message, WM_SETFOCUS);

  // Within one window's thread only HCBT_SETFOCUS is reported.
  cbts.clear();
  ASSERT_TRUE(sim::SetFocus(browser));
  ASSERT_EQ(cbts.size(), 1u);
  EXPECT_EQ(cbts[0].w, browser);
  EXPECT_EQ(cbts[0].l, button);

  // A refused change leaves the focus where it was.
  refuseFocus = true;
  EXPECT_FALSE(sim::SetFocus(button));
  gti.cbSize = sizeof(gti);
  GetGUIThreadInfo(browserThread, &gti);
  EXPECT_EQ(gti.hwndFocus, browser);
}

TEST_F(Hooks, SetForegroundWindowRestoresTheThreadsFocusThroughTheHooks) {
  HWND own = platform::CreateToolkitWindow(L"Frame", L"");
  platform::UpdateToolkitWindow(own, nullptr, 1);
  ASSERT_TRUE(SetForegroundWindow(own));
  cbts.clear();
  refuseFocus = false;
  ASSERT_NE(SetWindowsHookExA(WH_CBT, &CbtProc, module, 0), nullptr);
  ASSERT_TRUE(SetForegroundWindow(editorFrame));
  ASSERT_EQ(cbts.size(), 2u);
  EXPECT_EQ(cbts[1].code, HCBT_SETFOCUS);
  EXPECT_EQ(cbts[1].w, editor) << "the editor's thread had the focus in its edit control";
  EXPECT_EQ(cbts[1].l, own);
  sim::SetForegroundAllowed(false);
  EXPECT_FALSE(SetForegroundWindow(own));
  EXPECT_EQ(GetForegroundWindow(), editorFrame);
}

// Mouse hook.
std::vector<MOUSEHOOKSTRUCT> mice;
std::vector<WPARAM> mouseMessages;
bool swallowMouse = false;
LRESULT MouseProc(int code, WPARAM w, LPARAM l) {
  LRESULT r = CallNextHookEx(nullptr, code, w, l);
  mice.push_back(*reinterpret_cast<MOUSEHOOKSTRUCT*>(l));
  mouseMessages.push_back(w);
  return swallowMouse ? 1 : r;
}

TEST_F(Hooks, MouseHookSeesTheTargetWindowAndCanDiscardTheClick) {
  mice.clear();
  mouseMessages.clear();
  swallowMouse = false;
  ASSERT_NE(SetWindowsHookExA(WH_MOUSE, &MouseProc, module, 0), nullptr);
  sim::Click(editor, WM_RBUTTONDOWN, POINT{150, 120}, false);
  ASSERT_EQ(mice.size(), 2u);
  EXPECT_EQ(mouseMessages, (std::vector<WPARAM>{WM_RBUTTONDOWN, WM_RBUTTONUP}));
  EXPECT_EQ(mice[0].hwnd, editor);
  EXPECT_EQ(mice[0].pt.x, 150);
  auto got = sim::Messages(editor);
  ASSERT_GE(got.size(), 2u);
  EXPECT_EQ(got[got.size() - 2].message, WM_RBUTTONDOWN);
  EXPECT_EQ(got[got.size() - 2].lParam, static_cast<LPARAM>(MAKELONG(50, 20))) << "client coordinates";

  swallowMouse = true;
  sim::ClearMessages(editor);
  sim::Click(editor);
  EXPECT_TRUE(sim::Messages(editor).empty());
}

// Get-message hook, used the way a Ctrl+V generator uses it: inside the
// target's thread it sets Ctrl in that thread's key state and posts V.
HWND ctrlVTarget = nullptr;
int getMessageCalls = 0;
LRESULT GetMessageProc(int code, WPARAM w, LPARAM l) {
  LRESULT r = CallNextHookEx(nullptr, code, w, l);
  ++getMessageCalls;
  EXPECT_EQ(w, WPARAM{PM_REMOVE});
  MSG* msg = reinterpret_cast<MSG*>(l);
  DWORD targetThread = GetWindowThreadProcessId(ctrlVTarget, nullptr);
  if (msg->message == WM_NULL && targetThread == GetCurrentThreadId()) {
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    LPARAM scan = static_cast<LPARAM>(MapVirtualKeyA('V', MAPVK_VK_TO_VSC)) << 16;
    PostMessageA(ctrlVTarget, WM_KEYDOWN, 'V', scan | 1);
    PostMessageA(ctrlVTarget, WM_KEYUP, 'V', scan | 1 | 0xC0000000);
  }
  return r;
}

TEST_F(Hooks, GetMessageHookRunsInTheReadingThreadAndItsKeyStateReachesTheWindow) {
  getMessageCalls = 0;
  ctrlVTarget = editor;
  sim::SetPasteSource([](std::wstring* t) {
    *t = L"pasted";
    return true;
  });
  ASSERT_NE(SetWindowsHookExA(WH_GETMESSAGE, &GetMessageProc, module, 0), nullptr);
  ASSERT_TRUE(PostMessageW(editor, WM_NULL, 0, 0));
  EXPECT_EQ(getMessageCalls, 0) << "nothing runs before the thread reads";
  sim::RunPending();
  EXPECT_EQ(getMessageCalls, 3) << "WM_NULL and the two posted keys";
  EXPECT_EQ(sim::EditText(editor), L"pasted");
  auto keys = sim::Keys(editor);
  ASSERT_EQ(keys.size(), 2u);
  EXPECT_TRUE(keys[0].ctrl);
  sim::LetThreadRead(editorThread);
  EXPECT_EQ(getMessageCalls, 6) << "a thread message is read through the hook too";
  EXPECT_EQ(sim::EditText(editor), L"pastedpasted");
  sim::SetPasteSource(nullptr);
}

TEST_F(Hooks, SynthesisedInputGoesThroughTheHooksToTheFocusedWindow) {
  InstallKeyboardChain();
  INPUT in[4] = {};
  WORD vks[4] = {VK_CONTROL, 'V', 'V', VK_CONTROL};
  for (int i = 0; i < 4; ++i) {
    in[i].type = INPUT_KEYBOARD;
    in[i].ki.wVk = vks[i];
    in[i].ki.dwFlags = i >= 2 ? KEYEVENTF_KEYUP : 0;
  }
  EXPECT_EQ(SendInput(4, in, static_cast<int>(sizeof(INPUT)) - 1), 0u);
  EXPECT_EQ(SendInput(4, in, sizeof(INPUT)), 4u);
  EXPECT_EQ(calls.size(), 12u) << "every event through the three hooks";
  EXPECT_EQ(KeyTrail(editor), (std::vector<std::pair<UINT, WPARAM>>{
                                  {WM_KEYDOWN, VK_CONTROL}, {WM_KEYDOWN, 'V'}, {WM_KEYUP, 'V'}, {WM_KEYUP, VK_CONTROL}}));
  EXPECT_TRUE(sim::Keys(editor)[1].ctrl);

  // With the desktop hooks removed first, only the thread hook sees them.
  UnhookWindowsHookEx(hookA);
  UnhookWindowsHookEx(hookB);
  calls.clear();
  SendInput(4, in, sizeof(INPUT));
  EXPECT_EQ(Order(), "CCCC");
  INPUT mouse{};
  mouse.type = INPUT_MOUSE;
  EXPECT_EQ(SendInput(1, &mouse, sizeof(INPUT)), 0u) << "mouse input is not synthesised";
}

}  // namespace

namespace {

int deliveredDuringHook = -1;
HWND watched = nullptr;
LRESULT SleepingCbt(int code, WPARAM w, LPARAM l) {
  std::size_t before = sim::Messages(watched).size();
  Sleep(0);
  Sleep(20);
  deliveredDuringHook = static_cast<int>(sim::Messages(watched).size() - before);
  return CallNextHookEx(nullptr, code, w, l);
}

TEST_F(Hooks, AThreadsQueueWaitsWhileCodeRunsInThatThread) {
  ASSERT_TRUE(sim::SetFocus(editor));
  watched = editor;
  ASSERT_NE(SetWindowsHookExA(WH_CBT, &SleepingCbt, module, 0), nullptr);
  PostMessageW(editor, WM_USER + 3, 0, 0);
  ASSERT_TRUE(sim::SetFocus(editorFrame));  // the hook runs in the editor's thread and sleeps
  EXPECT_EQ(deliveredDuringHook, 0) << "the editor's thread is inside its hook; its queue waits";
  sim::RunPending();
  EXPECT_EQ(sim::Messages(editor).back().message, WM_USER + 3u);
}

}  // namespace
