// The Ctrl+V generator on the virtual clock: the keys arrive with Ctrl down,
// the target thread's Ctrl state is put back on every path, and no
// generation outlasts its budget.
#include "hook_fixture.h"

namespace hooktest {
namespace {

using platform::sim::InstalledHooks;
using pastiqhook::State;

// The generation's bound, with room for the last wait's step.
constexpr std::uint64_t kBudgetMs = 5000 + 100;

DWORD g_targetPid = 0;
HWND g_target = nullptr;
int g_nestedResult = -1;
bool g_hangAfterKeys = false;
bool g_callAgainOnKey = false;
bool g_removeOnKey = false;

LRESULT TargetProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_KEYUP && g_hangAfterKeys) platform::sim::SetBusy(g_targetPid, INFINITE);
  if (message == WM_KEYUP && g_removeOnKey) {
    g_removeOnKey = false;
    platform::sim::RemoveWindow(hwnd);
    return 0;
  }
  if (message == WM_KEYDOWN && g_callAgainOnKey) {
    g_callAgainOnKey = false;
    g_nestedResult = Helper_GenerateCtrlV(g_target);
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

class CtrlVGenerator : public HookTest {
 protected:
  void SetUp() override {
    HookTest::SetUp();
    g_hangAfterKeys = g_callAgainOnKey = g_removeOnKey = false;
    g_nestedResult = -1;
    platform::sim::ProcessSpec spec;
    spec.exePath = L"/usr/bin/notes";
    pid_ = g_targetPid = platform::sim::CreateProcess(spec);
    thread_ = platform::sim::MainThread(pid_);
    platform::sim::WindowSpec w;
    w.thread = thread_;
    w.proc = &TargetProc;
    target_ = g_target = platform::sim::AddWindow(w);
  }

  BYTE TargetCtrl() {
    BYTE keys[256] = {};
    platform::sim::RunInThread(thread_, [&] { GetKeyboardState(keys); });
    return keys[VK_CONTROL];
  }
  void SetTargetCtrl(BYTE value) {
    platform::sim::RunInThread(thread_, [&] {
      BYTE keys[256] = {};
      GetKeyboardState(keys);
      keys[VK_CONTROL] = value;
      SetKeyboardState(keys);
    });
  }
  // The V key messages the target received, as (message, ctrl down).
  std::vector<std::pair<UINT, bool>> VKeys() {
    std::vector<std::pair<UINT, bool>> out;
    for (const platform::sim::Received& r : platform::sim::Keys(target_))
      if (r.wParam == 'V') out.emplace_back(r.message, r.ctrl);
    return out;
  }
  void ExpectIdle() {
    EXPECT_EQ(State().ctrlVState.load(), 0u);
    EXPECT_EQ(State().ctrlVTarget.load(), 0u);
    EXPECT_EQ(State().getMessageHook.load(), 0u);
    EXPECT_EQ(InstalledHooks(WH_GETMESSAGE), 0);
  }

  DWORD pid_ = 0;
  DWORD thread_ = 0;
  HWND target_ = nullptr;
};

using Keys = std::vector<std::pair<UINT, bool>>;

TEST_F(CtrlVGenerator, TypesCtrlVInTheTargetThreadAndPutsCtrlBack) {
  const std::uint64_t start = platform::sim::NowMs();
  EXPECT_EQ(Helper_GenerateCtrlV(target_), 1);
  EXPECT_LE(platform::sim::NowMs() - start, kBudgetMs);
  EXPECT_EQ(VKeys(), (Keys{{WM_KEYDOWN, true}, {WM_KEYUP, true}}));
  EXPECT_EQ(TargetCtrl() & 0x80, 0);
  ExpectIdle();
}

TEST_F(CtrlVGenerator, KeepsACtrlTheTargetThreadHeldItself) {
  SetTargetCtrl(0x81);
  EXPECT_EQ(Helper_GenerateCtrlV(target_), 1);
  EXPECT_EQ(VKeys(), (Keys{{WM_KEYDOWN, true}, {WM_KEYUP, true}}));
  EXPECT_EQ(TargetCtrl(), 0x81);
  ExpectIdle();
}

TEST_F(CtrlVGenerator, ATargetThatNeverReadsFailsWithinTheBudget) {
  platform::sim::SetBusy(pid_, INFINITE);
  const std::uint64_t start = platform::sim::NowMs();
  EXPECT_EQ(Helper_GenerateCtrlV(target_), 0);
  EXPECT_LE(platform::sim::NowMs() - start, kBudgetMs);
  ExpectIdle();
  // Nothing reaches it later either.
  platform::sim::SetIdle(pid_);
  platform::sim::Settle();
  EXPECT_TRUE(VKeys().empty());
  EXPECT_EQ(TargetCtrl() & 0x80, 0);
}

TEST_F(CtrlVGenerator, ATargetThatHangsAfterTheKeysGetsCtrlBackWhenItReadsAgain) {
  g_hangAfterKeys = true;
  const std::uint64_t start = platform::sim::NowMs();
  EXPECT_EQ(Helper_GenerateCtrlV(target_), 0);
  EXPECT_LE(platform::sim::NowMs() - start, kBudgetMs);
  EXPECT_EQ(VKeys(), (Keys{{WM_KEYDOWN, true}, {WM_KEYUP, true}}));
  // Still held: the hook waits for the target thread to put it back.
  EXPECT_EQ(TargetCtrl() & 0x80, 0x80);
  g_hangAfterKeys = false;
  platform::sim::SetIdle(pid_);
  platform::sim::Settle();
  EXPECT_EQ(TargetCtrl() & 0x80, 0);
  ExpectIdle();
  // The next generation works.
  platform::sim::ClearMessages(target_);
  EXPECT_EQ(Helper_GenerateCtrlV(target_), 1);
  EXPECT_EQ(VKeys().size(), 2u);
}

TEST_F(CtrlVGenerator, ACallWhileBusyResetsAndReturnsZero) {
  g_callAgainOnKey = true;
  EXPECT_EQ(Helper_GenerateCtrlV(target_), 0);
  EXPECT_EQ(g_nestedResult, 0);
  platform::sim::Settle();
  EXPECT_EQ(TargetCtrl() & 0x80, 0);
  ExpectIdle();
}

TEST_F(CtrlVGenerator, ALeftoverGenerationIsResetByTheNextCall) {
  State().ctrlVState = pastiqhook::kCtrlVPosted;
  EXPECT_EQ(Helper_GenerateCtrlV(target_), 0);
  ExpectIdle();
  EXPECT_EQ(Helper_GenerateCtrlV(target_), 1);
}

TEST_F(CtrlVGenerator, RefusesWhatItCannotReach) {
  EXPECT_EQ(Helper_GenerateCtrlV(nullptr), 0);
  platform::sim::ProcessSpec locked;
  locked.exePath = L"/usr/sbin/service";
  locked.protectedProcess = true;
  const DWORD pid = platform::sim::CreateProcess(locked);
  platform::sim::WindowSpec w;
  w.thread = platform::sim::MainThread(pid);
  HWND unreachable = platform::sim::AddWindow(w);
  EXPECT_EQ(Helper_GenerateCtrlV(unreachable), 0);
  platform::sim::FailHookInstalls(WH_GETMESSAGE, 1);
  EXPECT_EQ(Helper_GenerateCtrlV(target_), 0);
  ExpectIdle();
  EXPECT_TRUE(VKeys().empty());
}

TEST_F(CtrlVGenerator, ATargetWindowThatGoesAwayStillGetsItsThreadsCtrlBack) {
  g_removeOnKey = true;
  Helper_GenerateCtrlV(target_);
  platform::sim::Settle();
  EXPECT_FALSE(IsWindow(target_));
  EXPECT_EQ(TargetCtrl() & 0x80, 0);
  ExpectIdle();
  EXPECT_EQ(Helper_GenerateCtrlV(target_), 0);
}

TEST_F(CtrlVGenerator, APutBackThatNeverComesIsGivenUpByALaterCall) {
  g_hangAfterKeys = true;
  EXPECT_EQ(Helper_GenerateCtrlV(target_), 0);
  EXPECT_EQ(InstalledHooks(WH_GETMESSAGE), 1);
  // Soon after, the target is still awaited.
  EXPECT_EQ(Helper_GenerateCtrlV(target_), 0);
  EXPECT_EQ(InstalledHooks(WH_GETMESSAGE), 1);
  platform::sim::Advance(6000);
  EXPECT_EQ(Helper_GenerateCtrlV(target_), 0);
  ExpectIdle();
}

}  // namespace
}  // namespace hooktest
