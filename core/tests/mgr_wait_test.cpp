// Waiting for other applications and reading a thread's GUI state.
#include <gtest/gtest.h>

#include "platform/process.h"
#include "platform/sim/desktop.h"
#include "platform/window.h"
#include "pq/mgr.h"
#include "sim_app.h"

namespace {

namespace sim = platform::sim;

TEST(WaitForProcessIdle, FollowsTheProcessOnTheVirtualClock) {
  struct Case {
    const char* what;
    sim::Idle idle;
    DWORD busyMs;
    bool protectedProcess;
    bool result;
    std::uint64_t minMs, maxMs;  // virtual time the wait may take
  };
  const Case cases[] = {
      {"idle", sim::Idle::Idle, 0, false, true, 5, 5},
      {"busy for a while", sim::Idle::Busy, 4000, false, true, 4000, 4010},
      {"hung", sim::Idle::Busy, INFINITE, false, false, 15000, 15010},
      {"console", sim::Idle::NoInputQueue, 0, false, false, 0, 0},
      {"protected", sim::Idle::Idle, 0, true, false, 0, 0},
  };
  for (const Case& c : cases) {
    sim::Reset();
    sim::ProcessSpec spec;
    spec.exePath = L"/usr/bin/app";
    spec.idle = c.idle;
    spec.busyMs = c.busyMs;
    spec.protectedProcess = c.protectedProcess;
    const DWORD pid = sim::CreateProcess(spec);
    const std::uint64_t start = sim::NowMs();
    EXPECT_EQ(pq::WaitForProcessIdle(pid), c.result) << c.what;
    const std::uint64_t took = sim::NowMs() - start;
    EXPECT_GE(took, c.minMs) << c.what;
    EXPECT_LE(took, c.maxMs) << c.what;
  }
  sim::Reset();
  EXPECT_FALSE(pq::WaitForProcessIdle(0));
  EXPECT_FALSE(pq::WaitForProcessIdle(424242));
}

TEST(QueryGUIThreadInfo, ReportsTheForegroundThreadsFocusWithTheStructuresOwnSize) {
  sim::Reset();
  const testing_sim::App editor = testing_sim::AddApp(L"/usr/bin/editor");
  HWND top = editor.frame;
  HWND edit = sim::AddEdit(editor.thread, top);
  ASSERT_TRUE(sim::SetFocus(edit));

  GUITHREADINFO info = pq::QueryGUIThreadInfo(0);
  EXPECT_EQ(info.cbSize, sizeof(GUITHREADINFO));
  EXPECT_EQ(info.hwndFocus, edit);
  EXPECT_EQ(info.hwndActive, top);

  info = pq::QueryGUIThreadInfo(987654);  // no such thread
  EXPECT_EQ(info.cbSize, sizeof(GUITHREADINFO));
  EXPECT_EQ(info.hwndFocus, nullptr);
  EXPECT_EQ(info.hwndActive, nullptr);
}

}  // namespace
