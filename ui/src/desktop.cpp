#include "desktop.h"

#include <string>

#include <wx/app.h>
#include <wx/toplevel.h>

#include "platform/backend.h"
#include "platform/window.h"

namespace {
bool g_started = false;

void DrainGuiQueue() { platform::DrainMessages(); }

RECT ToRect(const wxRect& r) {
  return RECT{static_cast<LONG>(r.x), static_cast<LONG>(r.y), static_cast<LONG>(r.x + r.width),
              static_cast<LONG>(r.y + r.height)};
}
}  // namespace

void StartDesktop() {
  if (g_started) return;
  g_started = true;
  // The one choice of backend. Only the simulated desktop exists so far: the
  // layer starts it on first use, and this thread becomes the GUI thread.
  platform::CurrentBackend();
  platform::SetGuiThread();
  // Called on whatever thread queued the work; it only schedules the drain.
  // The toolkit's queue is locked and wakes the idle main loop itself.
  platform::SetMessageWakeup([] {
    if (wxTheApp) wxTheApp->CallAfter(&DrainGuiQueue);
  });
  // Work queued before the wakeup was set would otherwise wait for the next.
  if (wxTheApp) wxTheApp->CallAfter(&DrainGuiQueue);
}

void StopDesktop() {
  if (!g_started) return;
  g_started = false;
  platform::SetMessageWakeup(nullptr);
}

const char* DesktopName() { return platform::CurrentBackend().Name(); }

bool RunsOnSimulatedDesktop() { return std::string(DesktopName()) == "sim"; }

HWND RegisterToolkitWindow(wxTopLevelWindow* window, LPCWSTR className, LPCWSTR title) {
  const HWND hwnd = platform::CreateToolkitWindow(className, title);
  if (!hwnd) return hwnd;
  // A backend that shows our windows to other programs (so that a later
  // start finds this one by its class) learns the toolkit's native window
  // here.
  const RECT rect = ToRect(window->GetRect());
  platform::UpdateToolkitWindow(hwnd, &rect, window->IsShown() ? 1 : 0);

  auto placed = [window, hwnd](wxEvent& event) {
    const RECT now = ToRect(window->GetRect());
    platform::UpdateToolkitWindow(hwnd, &now, -1);
    event.Skip();
  };
  window->Bind(wxEVT_MOVE, [placed](wxMoveEvent& e) { placed(e); });
  window->Bind(wxEVT_SIZE, [placed](wxSizeEvent& e) { placed(e); });
  window->Bind(wxEVT_SHOW, [hwnd](wxShowEvent& e) {
    platform::UpdateToolkitWindow(hwnd, nullptr, e.IsShown() ? 1 : 0);
    e.Skip();
  });
  window->Bind(wxEVT_ACTIVATE, [hwnd](wxActivateEvent& e) {
    if (e.GetActive()) platform::ToolkitFocusChanged(hwnd);
    e.Skip();
  });
  return hwnd;
}
