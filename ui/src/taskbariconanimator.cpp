#include "taskbariconanimator.h"

#include <wx/bmpbndl.h>
#include <wx/taskbar.h>

TaskBarIconAnimator::TaskBarIconAnimator(wxTaskBarIcon* owner)
    : owner(owner), timer(cmn::MakeTimer(cmn::Timer::kRepeating, [this] { Notify(); })) {}

TaskBarIconAnimator::~TaskBarIconAnimator() = default;

void TaskBarIconAnimator::Play(const std::deque<wxIcon>& frames) {
  if (frames.empty() || !timer) return;  // no timer outside the toolkit's loop: no animation
  runs.push_back(frames);
  if (timer->IsRunning()) return;
  ShowNextFrame();
  timer->Start(kFrameMs);
}

void TaskBarIconAnimator::SetResting(const wxIcon& icon, const wxString& tooltip) {
  restingIcon = icon;
  restingTooltip = tooltip;
}

bool TaskBarIconAnimator::IsRunning() const { return timer && timer->IsRunning(); }

void TaskBarIconAnimator::ShowNextFrame() {
  std::deque<wxIcon>& run = runs.front();
  owner->SetIcon(run.front(), wxString());
  run.pop_front();
  if (run.empty()) runs.pop_front();
}

void TaskBarIconAnimator::Notify() {
  if (!runs.empty()) {
    ShowNextFrame();
    return;
  }
  timer->Stop();
  if (restingIcon.IsOk()) owner->SetIcon(restingIcon, restingTooltip);
}
