#pragma once
// Every timer (cmn::MakeTimer) on the simulated desktop's virtual clock, for
// as long as a FakeTimers lives. Nothing fires by itself: Advance moves the
// clock and fires what falls due on the way, in time order, so a test says
// exactly how much time passes.
//
//   testing_timers::FakeTimers timers;   // in the fixture, before the code makes its timers
//   ...start the thing under test...
//   timers.Advance(249);                 // not yet
//   timers.Advance(1);                   // a 250 ms one-shot timer fires here
//
// Library pastiq_fake_timers (links foundation and platform).
#include <cstdint>
#include <memory>

namespace testing_timers {

class FakeTimers {
 public:
  // Installs itself as the timer factory.
  FakeTimers();
  // Restores the toolkit's timers; fake timers still alive never fire again.
  ~FakeTimers();
  FakeTimers(const FakeTimers&) = delete;
  FakeTimers& operator=(const FakeTimers&) = delete;

  // Moves the virtual clock (platform::sim::Advance) on by `ms`; every timer
  // that falls due meanwhile fires at its time, earliest first (a repeating
  // one as often as its period fits), and the desktop settles after each.
  void Advance(std::uint64_t ms);

  // Timers made while this lived, alive or not.
  int Made() const;
  // Timers alive and running now.
  int Running() const;
  // The period of the newest running timer; 0 when none runs.
  int RunningPeriod() const;

 private:
  struct State;
  class FakeTimer;
  std::shared_ptr<State> state_;
};

}  // namespace testing_timers
