#include "cmn/timer.h"

#include <mutex>
#include <utility>

#include <wx/app.h>
#include <wx/thread.h>
#include <wx/timer.h>

namespace cmn {
namespace {

class ToolkitTimer : public Timer, private wxTimer {
 public:
  ToolkitTimer(Kind kind, std::function<void()> fire) : kind_(kind), fire_(std::move(fire)) {}
  void Start(int ms) override { wxTimer::Start(ms, kind_ == kOneShot ? wxTIMER_ONE_SHOT : wxTIMER_CONTINUOUS); }
  void Stop() override { wxTimer::Stop(); }
  bool IsRunning() const override { return wxTimer::IsRunning(); }

 private:
  void Notify() override { fire_(); }
  Kind kind_;
  std::function<void()> fire_;
};

std::mutex g_factoryLock;
TimerFactory g_factory;

}  // namespace

std::unique_ptr<Timer> MakeTimer(Timer::Kind kind, std::function<void()> fire) {
  TimerFactory factory;
  {
    std::lock_guard<std::mutex> lock(g_factoryLock);
    factory = g_factory;
  }
  if (factory) return factory(kind, std::move(fire));
  if (!wxAppConsole::GetInstance() || !wxThread::IsMain()) return nullptr;
  return std::make_unique<ToolkitTimer>(kind, std::move(fire));
}

void SetTimerFactory(TimerFactory factory) {
  std::lock_guard<std::mutex> lock(g_factoryLock);
  g_factory = std::move(factory);
}

}  // namespace cmn
