// The X11 desktop as the program's main loop sees it (platform/desktop.h).
#include <dlfcn.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/desktop.h"
#include "platform/x11.h"

namespace platform::x11 {
namespace {

// The X window behind a toolkit window. GTK is the toolkit's own, already
// loaded with it, so its functions are looked up rather than linked.
unsigned long NativeXWindow(void* widget) {
  using WidgetFn = void* (*)(void*);
  using VoidFn = void (*)(void*);
  using XidFn = unsigned long (*)(void*);
  auto getWindow = reinterpret_cast<WidgetFn>(dlsym(RTLD_DEFAULT, "gtk_widget_get_window"));
  auto realize = reinterpret_cast<VoidFn>(dlsym(RTLD_DEFAULT, "gtk_widget_realize"));
  auto getXid = reinterpret_cast<XidFn>(dlsym(RTLD_DEFAULT, "gdk_x11_window_get_xid"));
  if (!getWindow || !realize || !getXid || !widget) return 0;
  void* gdkWindow = getWindow(widget);
  if (!gdkWindow) {
    // A hidden frame may not have its X window yet; it gets it unmapped.
    realize(widget);
    gdkWindow = getWindow(widget);
  }
  return gdkWindow ? getXid(gdkWindow) : 0;
}

class X11Desktop : public Desktop {
 public:
  ~X11Desktop() override {
    // Hands our clipboard data to a clipboard manager where one runs.
    Stop();
    x11::SetWarningHandler(nullptr);
  }
  const char* Name() const override { return "x11"; }
  int EventFd() const override { return x11::EventFd(); }
  void Dispatch() override {
    if (Running()) x11::Dispatch();
  }
  void AddToolkitWindow(HWND hwnd, void* toolkitWindow) override {
    if (const unsigned long xwindow = NativeXWindow(toolkitWindow)) SetNativeWindow(hwnd, xwindow);
  }
  void SetWarningHandler(std::function<void(const std::string&)> handler) override {
    x11::SetWarningHandler(std::move(handler));
  }
  std::vector<std::string> UnavailableShortcuts() const override { return FailedGrabs(); }
};

}  // namespace

std::unique_ptr<Desktop> OpenDesktop(std::string* error) {
  std::string why;
  if (!Start(nullptr, &why)) {
    if (error)
      *error = "no X display can be reached (" + why +
               "); start it in an X11 or XWayland session, or on a virtual X server (xvfb-run)";
    return nullptr;
  }
  return std::make_unique<X11Desktop>();
}

}  // namespace platform::x11
