#pragma once
// Plays the taskbar icon's short animation: runs of frames, one frame every
// kFrameMs, a run queued behind the one playing, and the resting picture and
// tooltip back once the last run has played.
#include <deque>
#include <memory>

#include <wx/icon.h>
#include <wx/string.h>

#include "cmn/timer.h"

class wxTaskBarIcon;

class TaskBarIconAnimator {
 public:
  static constexpr int kFrameMs = 188;

  // owner: the icon whose picture changes; it outlives the animator.
  explicit TaskBarIconAnimator(wxTaskBarIcon* owner);
  ~TaskBarIconAnimator();
  TaskBarIconAnimator(const TaskBarIconAnimator&) = delete;
  TaskBarIconAnimator& operator=(const TaskBarIconAnimator&) = delete;

  // Queues one run of `frames`; when nothing plays, its first frame shows at
  // once and the rest follow.
  void Play(const std::deque<wxIcon>& frames);
  // What shows once the runs are over (and, while nothing plays, nothing
  // changes now: the caller has just shown it).
  void SetResting(const wxIcon& icon, const wxString& tooltip);
  bool IsRunning() const;

 private:
  void ShowNextFrame();
  void Notify();

  std::deque<std::deque<wxIcon>> runs;
  wxIcon restingIcon;
  wxString restingTooltip;
  wxTaskBarIcon* owner;
  std::unique_ptr<cmn::Timer> timer;
};
