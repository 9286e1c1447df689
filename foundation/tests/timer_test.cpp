// Timers: the toolkit's on its event loop, where none can be made, the
// factory that replaces them, and the fake ones on the virtual clock.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <wx/app.h>
#include <wx/apptrait.h>
#include <wx/evtloop.h>
#include <wx/init.h>
#include <wx/timer.h>

#include "cmn/timer.h"
#include "fake_timers.h"
#include "platform/sim/desktop.h"

namespace {

namespace sim = platform::sim;

// The one test on real time: both kinds of the toolkit's timer on its loop.
TEST(ToolkitTimer, OneShotFiresOnceAndRepeatingUntilStopped) {
  wxInitializer toolkit;
  ASSERT_TRUE(toolkit.IsOk());
  std::unique_ptr<wxEventLoopBase> loop(wxAppConsole::GetInstance()->GetTraits()->CreateEventLoop());
  wxEventLoopActivator active(loop.get());
  int once = 0, repeated = 0;
  std::unique_ptr<cmn::Timer> repeating;
  std::unique_ptr<cmn::Timer> oneShot = cmn::MakeTimer(cmn::Timer::kOneShot, [&] { ++once; });
  repeating = cmn::MakeTimer(cmn::Timer::kRepeating, [&] {
    if (++repeated == 3) {
      repeating->Stop();
      loop->ScheduleExit();
    }
  });
  ASSERT_TRUE(oneShot && repeating);
  EXPECT_FALSE(oneShot->IsRunning());
  oneShot->Start(5);
  repeating->Start(20);
  EXPECT_TRUE(oneShot->IsRunning());
  struct Guard : wxTimer {
    wxEventLoopBase* loop = nullptr;
    void Notify() override { loop->ScheduleExit(); }
  } guard;
  guard.loop = loop.get();
  guard.StartOnce(10000);
  loop->Run();
  EXPECT_EQ(repeated, 3) << "the guard ended the loop";
  EXPECT_EQ(once, 1);
  EXPECT_FALSE(oneShot->IsRunning());
  EXPECT_FALSE(repeating->IsRunning());
}

TEST(ToolkitTimer, NoneWithoutTheToolkitOrOffTheGuiThread) {
  EXPECT_EQ(cmn::MakeTimer(cmn::Timer::kOneShot, [] {}), nullptr) << "no toolkit application";
  wxInitializer toolkit;
  ASSERT_TRUE(toolkit.IsOk());
  bool madeOffGui = true;
  std::thread other([&] { madeOffGui = cmn::MakeTimer(cmn::Timer::kOneShot, [] {}) != nullptr; });
  other.join();
  EXPECT_FALSE(madeOffGui);
  EXPECT_NE(cmn::MakeTimer(cmn::Timer::kOneShot, [] {}), nullptr);
}

TEST(TimerFactory, ReplacesTheToolkitsTimersUntilReset) {
  std::vector<cmn::Timer::Kind> asked;
  cmn::SetTimerFactory([&](cmn::Timer::Kind kind, std::function<void()>) -> std::unique_ptr<cmn::Timer> {
    asked.push_back(kind);
    return nullptr;
  });
  cmn::MakeTimer(cmn::Timer::kRepeating, [] {});
  cmn::MakeTimer(cmn::Timer::kOneShot, [] {});
  cmn::SetTimerFactory(nullptr);
  wxInitializer toolkit;
  ASSERT_TRUE(toolkit.IsOk());
  EXPECT_NE(cmn::MakeTimer(cmn::Timer::kOneShot, [] {}), nullptr) << "the toolkit's again";
  EXPECT_EQ(asked, (std::vector<cmn::Timer::Kind>{cmn::Timer::kRepeating, cmn::Timer::kOneShot}));
}

// The fake: each timer fires at its own time on the desktop's clock, in time
// order, a repeating one as often as its period fits.
TEST(FakeTimers, FireInTimeOrderOnTheDesktopsClock) {
  sim::Reset();
  testing_timers::FakeTimers timers;
  const std::uint64_t start = sim::NowMs();
  std::vector<std::string> fired;
  auto note = [&](const char* what) { fired.push_back(what + std::to_string(sim::NowMs() - start)); };
  auto repeating = cmn::MakeTimer(cmn::Timer::kRepeating, [&] { note("r"); });
  auto oneShot = cmn::MakeTimer(cmn::Timer::kOneShot, [&] { note("o"); });
  auto never = cmn::MakeTimer(cmn::Timer::kOneShot, [&] { note("n"); });
  repeating->Start(100);
  oneShot->Start(250);
  EXPECT_EQ(timers.Made(), 3);
  EXPECT_EQ(timers.Running(), 2);
  EXPECT_EQ(timers.RunningPeriod(), 250) << "the newest running timer's";

  timers.Advance(99);
  EXPECT_TRUE(fired.empty());
  timers.Advance(231);
  EXPECT_EQ(fired, (std::vector<std::string>{"r100", "r200", "o250", "r300"}));
  EXPECT_EQ(sim::NowMs() - start, 330u);
  EXPECT_FALSE(oneShot->IsRunning());
  EXPECT_TRUE(repeating->IsRunning());

  // Started again, the one-shot timer counts from now; a stopped timer and
  // one destroyed in its own call fire no more.
  fired.clear();
  oneShot->Start(50);
  repeating->Stop();
  never = cmn::MakeTimer(cmn::Timer::kRepeating, [&] {
    note("d");
    never.reset();
  });
  never->Start(10);
  timers.Advance(100);
  EXPECT_EQ(fired, (std::vector<std::string>{"d340", "o380"}));
  EXPECT_EQ(timers.Running(), 0);
}

}  // namespace
