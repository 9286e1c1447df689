// Whole flows as the hook library and the manager drive them: a key notice
// posted from another application's thread to our window, and Ctrl+V typed
// inside another thread by a get-message hook while the caller waits.
#include "sim_fixture.h"

namespace {

constexpr UINT kKeyNotice = WM_USER + 2010;

HWND noticeWindow = nullptr;
std::vector<std::pair<UINT, WPARAM>> notices;
LRESULT NoticeProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == kKeyNotice) notices.emplace_back(m, w);
  return DefWindowProcW(h, m, w, l);
}

// Win+V: report and swallow the V.
LRESULT WinV(int code, WPARAM vk, LPARAM flags) {
  bool win = GetKeyState(VK_LWIN) < 0 || GetKeyState(VK_RWIN) < 0;
  bool press = (flags & 0x80000000) == 0;
  if (code >= 0 && win && press && vk == 'V') {
    PostMessageA(noticeWindow, kKeyNotice, vk, 0);
    return -1;
  }
  return CallNextHookEx(nullptr, code, vk, flags);
}

class Scenario : public SimDesktop {
 protected:
  void SetUp() override {
    SimDesktop::SetUp();
    notices.clear();
    noticeWindow = platform::CreateToolkitWindow(L"PastiqMainFrame{35F7679D-4441-4728-9159-36A8119613F7}", L"", nullptr, &NoticeProc);
    ASSERT_TRUE(sim::SetFocus(editor));
    sim::SetPasteSource([](std::wstring* t) {
      *t = L"clip";
      return true;
    });
  }
  void TearDown() override { sim::SetPasteSource(nullptr); }
};

TEST_F(Scenario, ShortcutInAnotherApplicationReachesOurWindowThroughTheDrain) {
  int wakeups = 0;
  platform::SetMessageWakeup([&] { ++wakeups; });
  ASSERT_NE(SetWindowsHookExA(WH_KEYBOARD, &WinV, GetModuleHandleW(nullptr), 0), nullptr);
  sim::Chord({VK_LWIN, 'V'});
  EXPECT_EQ(wakeups, 1);
  EXPECT_TRUE(notices.empty());
  sim::Settle();
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].second, WPARAM{'V'});
  // The application saw the Windows key and the release of V, never its press.
  EXPECT_EQ(KeyTrail(editor), (std::vector<std::pair<UINT, WPARAM>>{
                                  {WM_KEYDOWN, VK_LWIN}, {WM_KEYUP, 'V'}, {WM_KEYUP, VK_LWIN}}));
  platform::SetMessageWakeup(nullptr);
}

// A generator in the manner of the hook library's: state 0 idle, 1 keys
// posted, 2 finishing.
int state = 0;
HWND target = nullptr;
HHOOK getMessageHook = nullptr;
LRESULT TypeCtrlV(int code, WPARAM w, LPARAM l) {
  LRESULT r = CallNextHookEx(getMessageHook, code, w, l);
  if (GetWindowThreadProcessId(target, nullptr) != GetCurrentThreadId()) return r;
  BYTE keys[256];
  GetKeyboardState(keys);
  if (state == 0) {
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    LPARAM scan = static_cast<LPARAM>(MapVirtualKeyA('V', MAPVK_VK_TO_VSC)) << 16;
    PostMessageA(target, WM_KEYDOWN, 'V', scan | 1);
    PostMessageA(target, WM_KEYUP, 'V', scan | 1 | 0xC0000000);
    state = 1;
  } else if (state == 2) {
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
    state = 0;
  }
  return r;
}

TEST_F(Scenario, CtrlVTypedInsideTheTargetsThreadWhileTheCallerWaits) {
  state = 0;
  target = editor;
  DWORD pid = 0;
  GetWindowThreadProcessId(target, &pid);
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid);
  ASSERT_NE(process, nullptr);
  sim::SetBusy(editorPid, 40);  // the editor is busy for a moment
  getMessageHook = SetWindowsHookExA(WH_GETMESSAGE, &TypeCtrlV, GetModuleHandleW(nullptr), 0);
  ASSERT_NE(getMessageHook, nullptr);
  PostMessageW(target, WM_NULL, 0, 0);
  std::uint64_t start = sim::NowMs();
  for (int i = 0; i < 6 && state != 1; ++i) {
    Sleep(5);
    if (i < 5) WaitForInputIdle(process, 3000);
  }
  ASSERT_EQ(state, 1);
  EXPECT_EQ(sim::EditText(editor), L"clip");
  state = 2;
  PostMessageW(target, WM_NULL, 0, 0);
  for (int i = 0; i < 1500 && state != 0; ++i) {
    Sleep(50);
    WaitForInputIdle(process, 3000);
  }
  EXPECT_EQ(state, 0);
  UnhookWindowsHookEx(getMessageHook);
  CloseHandle(process);
  EXPECT_LT(sim::NowMs() - start, 200u) << "virtual time only";
  sim::RunInThread(editorThread, [] { EXPECT_GE(GetKeyState(VK_CONTROL), 0) << "Ctrl restored in the target's thread"; });
  auto keys = sim::Keys(editor);
  ASSERT_EQ(keys.size(), 2u);
  EXPECT_TRUE(keys[0].ctrl);
}

}  // namespace
