#pragma once
// Helpers for tests that drive the toolkit's event handling by hand.
#include <functional>

#include <wx/app.h>

// Runs what the main loop would: every pending event, then idle handling.
inline void DispatchPending() {
  for (int i = 0; i < 5; ++i) {
    wxTheApp->ProcessPendingEvents();
    wxTheApp->Yield(true);
  }
}

// Runs action from inside whatever event loop runs next (a modal dialog's,
// say), once that loop has dispatched what was queued before.
inline void RunSoon(std::function<void()> action) {
  wxTheApp->CallAfter([action] {
    wxTheApp->CallAfter([action] {
      wxTheApp->ProcessPendingEvents();
      action();
    });
  });
}
