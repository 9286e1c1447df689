#include "fake_timers.h"

#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

#include "cmn/timer.h"
#include "platform/sim/desktop.h"

namespace testing_timers {

namespace sim = platform::sim;

struct FakeTimers::State {
  std::vector<FakeTimer*> timers;  // alive, oldest first
  int made = 0;
};

class FakeTimers::FakeTimer : public cmn::Timer {
 public:
  FakeTimer(std::shared_ptr<State> state, Kind kind, std::function<void()> fire)
      : state_(std::move(state)), kind_(kind), fire_(std::move(fire)) {
    state_->timers.push_back(this);
    ++state_->made;
  }
  ~FakeTimer() override {
    auto& timers = state_->timers;
    timers.erase(std::remove(timers.begin(), timers.end(), this), timers.end());
  }
  void Start(int ms) override {
    running_ = true;
    period_ = std::max(ms, 0);
    due_ = sim::NowMs() + static_cast<std::uint64_t>(period_);
  }
  void Stop() override { running_ = false; }
  bool IsRunning() const override { return running_; }

  // Called when its time has come: the next period is set first, since the
  // timer may be gone once `fire` returns.
  void Fire() {
    if (kind_ == kOneShot) {
      running_ = false;
    } else {
      due_ += static_cast<std::uint64_t>(std::max(period_, 1));
    }
    std::function<void()> fire = fire_;
    fire();
  }

  bool running_ = false;
  int period_ = 0;
  std::uint64_t due_ = 0;

 private:
  std::shared_ptr<State> state_;
  Kind kind_;
  std::function<void()> fire_;
};

namespace {

void AdvanceTo(std::uint64_t when) {
  const std::uint64_t now = sim::NowMs();
  if (when > now) sim::Advance(static_cast<DWORD>(when - now));
}

}  // namespace

FakeTimers::FakeTimers() : state_(std::make_shared<State>()) {
  std::weak_ptr<State> weak = state_;
  cmn::SetTimerFactory([weak](cmn::Timer::Kind kind, std::function<void()> fire) -> std::unique_ptr<cmn::Timer> {
    std::shared_ptr<State> state = weak.lock();
    if (!state) return nullptr;
    return std::make_unique<FakeTimer>(std::move(state), kind, std::move(fire));
  });
}

FakeTimers::~FakeTimers() {
  cmn::SetTimerFactory(nullptr);
  for (FakeTimer* t : state_->timers) t->Stop();
}

void FakeTimers::Advance(std::uint64_t ms) {
  const std::uint64_t end = sim::NowMs() + ms;
  for (;;) {
    FakeTimer* next = nullptr;
    for (FakeTimer* t : state_->timers)
      if (t->running_ && t->due_ <= end && (!next || t->due_ < next->due_)) next = t;
    if (!next) break;
    AdvanceTo(next->due_);
    next->Fire();
    sim::Settle();
  }
  AdvanceTo(end);
  sim::Settle();
}

int FakeTimers::Made() const { return state_->made; }

int FakeTimers::Running() const {
  return static_cast<int>(
      std::count_if(state_->timers.begin(), state_->timers.end(), [](const FakeTimer* t) { return t->running_; }));
}

int FakeTimers::RunningPeriod() const {
  for (auto it = state_->timers.rbegin(); it != state_->timers.rend(); ++it)
    if ((*it)->running_) return (*it)->period_;
  return 0;
}

}  // namespace testing_timers
