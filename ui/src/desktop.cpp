#include "desktop.h"

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/evtloopsrc.h>
#include <wx/toplevel.h>

#include "logger.h"
#include "platform/backend.h"
#include "platform/window.h"
#include "platform/x11.h"

namespace x11 = platform::x11;

namespace {
bool g_opened = false;
bool g_started = false;
wxEventLoopSource* g_x11Source = nullptr;

void DrainGuiQueue() { platform::DrainMessages(); }

// X events and work for other applications' windows first, then what they
// queued for ours.
void DispatchX11() {
  if (!x11::Running()) return;
  x11::Dispatch();
  platform::DrainMessages();
}

class X11Readable : public wxEventLoopSourceHandler {
 public:
  void OnReadWaiting() override { DispatchX11(); }
  void OnWriteWaiting() override {}
  void OnExceptionWaiting() override {}
};
X11Readable g_x11Handler;

RECT ToRect(const wxRect& r) {
  return RECT{static_cast<LONG>(r.x), static_cast<LONG>(r.y), static_cast<LONG>(r.x + r.width),
              static_cast<LONG>(r.y + r.height)};
}

// The X window behind a toolkit window. GTK is the toolkit's own, already
// loaded with it, so its functions are looked up rather than linked.
unsigned long NativeXWindow(wxTopLevelWindow* window) {
  using WidgetFn = void* (*)(void*);
  using VoidFn = void (*)(void*);
  using XidFn = unsigned long (*)(void*);
  auto getWindow = reinterpret_cast<WidgetFn>(dlsym(RTLD_DEFAULT, "gtk_widget_get_window"));
  auto realize = reinterpret_cast<VoidFn>(dlsym(RTLD_DEFAULT, "gtk_widget_realize"));
  auto getXid = reinterpret_cast<XidFn>(dlsym(RTLD_DEFAULT, "gdk_x11_window_get_xid"));
  void* widget = window->GetHandle();
  if (!getWindow || !realize || !getXid || !widget) return 0;
  void* gdkWindow = getWindow(widget);
  if (!gdkWindow) {
    // A hidden frame may not have its X window yet; it gets it unmapped.
    realize(widget);
    gdkWindow = getWindow(widget);
  }
  return gdkWindow ? getXid(gdkWindow) : 0;
}
}  // namespace

bool SimulatedDesktopAsked() {
  const char* asked = std::getenv("PASTIQ_DESKTOP");
  return asked && std::strcmp(asked, "sim") == 0;
}

bool OpenDesktop(std::string* error) {
  if (g_opened) return true;
  if (!SimulatedDesktopAsked()) {
    std::string why;
    if (!x11::Start(nullptr, &why)) {
      if (error)
        *error = "no X display can be reached (" + why +
                 "); start it on an X11 desktop (or XWayland), or set PASTIQ_DESKTOP=sim for the simulated desktop";
      return false;
    }
  }
  // The one choice of backend: the X11 desktop when it started above, else
  // the simulated one, which the layer starts on first use. This thread is
  // the GUI thread either way.
  platform::CurrentBackend();
  platform::SetGuiThread();
  g_opened = true;
  return true;
}

bool StartDesktop(std::string* error) {
  if (g_started) return true;
  if (!OpenDesktop(error)) return false;
  g_started = true;
  if (x11::Running()) {
    x11::SetWarningHandler([](const std::string& text) {
      Logger::Get().Log(Logger::Warning, wxString::FromUTF8(text.c_str()));
    });
    // The connection wakes the toolkit's loop only when it has something to
    // do: no polling.
    g_x11Source = wxEventLoopBase::AddSourceForFD(x11::EventFd(), &g_x11Handler, wxEVENT_SOURCE_INPUT);
    if (!g_x11Source && error) *error = "the X connection cannot be attached to the main loop";
    if (!g_x11Source) return false;
  }
  // Called on whatever thread queued the work; it only schedules the drain.
  // The toolkit's queue is locked and wakes the idle main loop itself.
  platform::SetMessageWakeup([] {
    if (wxTheApp) wxTheApp->CallAfter(&DrainGuiQueue);
  });
  // Work queued (or X events read) before the wakeup was set would otherwise
  // wait for the next.
  if (wxTheApp) {
    wxTheApp->CallAfter(&DrainGuiQueue);
    if (x11::Running()) wxTheApp->CallAfter(&DispatchX11);
  }
  return true;
}

void StopDesktop() {
  if (!g_started && !g_opened) return;
  g_started = false;
  g_opened = false;
  platform::SetMessageWakeup(nullptr);
  delete g_x11Source;
  g_x11Source = nullptr;
  if (x11::Running()) {
    // Hands our clipboard data to a clipboard manager where one runs.
    x11::Stop();
    x11::SetWarningHandler(nullptr);
  }
}

const char* DesktopName() { return platform::CurrentBackend().Name(); }

bool RunsOnSimulatedDesktop() { return std::string(DesktopName()) == "sim"; }

HWND RegisterToolkitWindow(wxTopLevelWindow* window, LPCWSTR className, LPCWSTR title) {
  const HWND hwnd = platform::CreateToolkitWindow(className, title);
  if (!hwnd) return hwnd;
  // On X11 other programs see our windows (a later start finds this one by
  // its class), so the layer learns the toolkit's native window.
  if (x11::Running()) {
    if (const unsigned long xwindow = NativeXWindow(window)) x11::SetNativeWindow(hwnd, xwindow);
  }
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
