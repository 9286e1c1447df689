#pragma once
// Timers for the GUI thread: one-shot or repeating, made by one factory. In
// the program each is the toolkit's timer; a test puts every timer on a
// virtual clock in its place (testing/fake_timers.h) by setting the factory.
//
//   std::unique_ptr<cmn::Timer> timer = cmn::MakeTimer(cmn::Timer::kOneShot, [this] { OnDelay(); });
//   if (timer) timer->Start(250);
#include <functional>
#include <memory>

namespace cmn {

class Timer {
 public:
  enum Kind {
    kOneShot,    // fires once, `ms` after Start, and stops
    kRepeating,  // fires every `ms` after Start until Stop
  };
  virtual ~Timer() = default;
  // (Re)starts the timer with the period `ms`; a running timer starts over.
  virtual void Start(int ms) = 0;
  virtual void Stop() = 0;
  virtual bool IsRunning() const = 0;
};

// A stopped timer that calls `fire` on the GUI thread whenever its time
// ends. Without a factory it is the toolkit's timer, which needs the
// toolkit's application and the GUI thread: elsewhere there is no timer
// (null). Destroying the timer stops it.
std::unique_ptr<Timer> MakeTimer(Timer::Kind kind, std::function<void()> fire);

using TimerFactory = std::function<std::unique_ptr<Timer>(Timer::Kind kind, std::function<void()> fire)>;
// Makes every timer made from now on with `factory`; an empty factory
// restores the toolkit's timer. Any thread.
void SetTimerFactory(TimerFactory factory);

}  // namespace cmn
