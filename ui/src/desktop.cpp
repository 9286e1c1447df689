#include "desktop.h"

#include <string>

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/evtloopsrc.h>
#include <wx/toplevel.h>

#include "logger.h"
#include "platform/desktop.h"
#include "platform/window.h"

namespace {
bool g_started = false;
wxEventLoopSource* g_source = nullptr;

void DrainGuiQueue() { platform::DrainMessages(); }

// The desktop's own events and its work for other applications' windows
// first, then what they queued for ours.
void DispatchDesktop() {
  platform::Desktop* desktop = platform::CurrentDesktop();
  if (!desktop) return;
  desktop->Dispatch();
  platform::DrainMessages();
}

class DesktopReadable : public wxEventLoopSourceHandler {
 public:
  void OnReadWaiting() override { DispatchDesktop(); }
  void OnWriteWaiting() override {}
  void OnExceptionWaiting() override {}
};
DesktopReadable g_handler;

RECT ToRect(const wxRect& r) {
  return RECT{static_cast<LONG>(r.x), static_cast<LONG>(r.y), static_cast<LONG>(r.x + r.width),
              static_cast<LONG>(r.y + r.height)};
}
}  // namespace

bool OpenDesktop(std::string* error) { return platform::StartDesktop(error) != nullptr; }

bool StartDesktop(std::string* error) {
  if (g_started) return true;
  platform::Desktop* desktop = platform::StartDesktop(error);
  if (!desktop) return false;
  g_started = true;
  desktop->SetWarningHandler([](const std::string& text) {
    Logger::Get().Log(Logger::Warning, wxString::FromUTF8(text.c_str()));
  });
  // The desktop wakes the toolkit's loop only when it has something to do:
  // no polling.
  if (desktop->EventFd() >= 0) {
    g_source = wxEventLoopBase::AddSourceForFD(desktop->EventFd(), &g_handler, wxEVENT_SOURCE_INPUT);
    if (!g_source) {
      if (error) *error = "the desktop's connection cannot be attached to the main loop";
      return false;
    }
  }
  // Called on whatever thread queued the work; it only schedules the drain.
  // The toolkit's queue is locked and wakes the idle main loop itself.
  platform::SetMessageWakeup([] {
    if (wxTheApp) wxTheApp->CallAfter(&DrainGuiQueue);
  });
  // Work queued (or events read) before the wakeup was set would otherwise
  // wait for the next.
  if (wxTheApp) {
    wxTheApp->CallAfter(&DrainGuiQueue);
    if (g_source) wxTheApp->CallAfter(&DispatchDesktop);
  }
  return true;
}

void StopDesktop() {
  if (!g_started && !platform::CurrentDesktop()) return;
  g_started = false;
  platform::SetMessageWakeup(nullptr);
  delete g_source;
  g_source = nullptr;
  platform::StopDesktop();
}

const char* DesktopName() {
  const platform::Desktop* desktop = platform::CurrentDesktop();
  return desktop ? desktop->Name() : "none";
}

std::vector<std::string> UnavailableShortcuts() {
  const platform::Desktop* desktop = platform::CurrentDesktop();
  return desktop ? desktop->UnavailableShortcuts() : std::vector<std::string>();
}

bool RunsOnSimulatedDesktop() { return std::string(DesktopName()) == "sim"; }

HWND RegisterToolkitWindow(wxTopLevelWindow* window, LPCWSTR className, LPCWSTR title) {
  const HWND hwnd = platform::CreateToolkitWindow(className, title);
  if (!hwnd) return hwnd;
  // On a real desktop other programs see our windows (a later start finds
  // this one by its class).
  if (platform::Desktop* desktop = platform::CurrentDesktop()) desktop->AddToolkitWindow(hwnd, window->GetHandle());
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
