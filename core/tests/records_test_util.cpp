#include "records_test_util.h"

#include <algorithm>

namespace records_test {

struct FakeClock::Timer : SearchTimer {
  Timer(FakeClock& c, std::function<void()> f) : clock(c), fire(std::move(f)) {
    clock.timers_.push_back(this);
  }
  ~Timer() override {
    auto& ts = clock.timers_;
    ts.erase(std::remove(ts.begin(), ts.end(), this), ts.end());
  }
  void Start(int ms) override {
    running = true;
    due = clock.now_ + ms;
  }
  void Stop() override { running = false; }
  bool IsRunning() const override { return running; }

  FakeClock& clock;
  std::function<void()> fire;
  bool running = false;
  int due = 0;
};

FakeClock::FakeClock() {
  SetSearchTimerFactory([this](std::function<void()> fire) -> std::unique_ptr<SearchTimer> {
    ++timersMade;
    return std::make_unique<Timer>(*this, std::move(fire));
  });
}

FakeClock::~FakeClock() { SetSearchTimerFactory(nullptr); }

void FakeClock::Advance(int ms) {
  const int end = now_ + ms;
  for (;;) {
    Timer* next = nullptr;
    for (Timer* t : timers_) {
      if (t->running && t->due <= end && (!next || t->due < next->due)) next = t;
    }
    if (!next) break;
    now_ = next->due;
    next->running = false;  // one-shot: the search stops it anyway
    next->fire();
  }
  now_ = end;
}

}  // namespace records_test
