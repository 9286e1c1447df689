// Monitors from RandR (1.5's monitor list), each with its part of the window
// manager's work area. _NET_WORKAREA is one rectangle over the whole screen:
// with several monitors it is clipped to each, and a monitor it misses
// keeps its whole area.
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>
#include <vector>

#include "x11_internal.h"

namespace platform::x11::detail {
namespace {

bool Intersect(const RECT& a, const RECT& b, RECT* out) {
  const RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
               std::min(a.bottom, b.bottom)};
  if (r.right <= r.left || r.bottom <= r.top) return false;
  *out = r;
  return true;
}

}  // namespace

std::vector<MonitorArea> ReadMonitors(const RECT& workArea) {
  std::vector<MonitorArea> out;
  Display* dpy = C().dpy;
  int eventBase = 0, errorBase = 0, major = 0, minor = 0;
  if (XRRQueryExtension(dpy, &eventBase, &errorBase) && XRRQueryVersion(dpy, &major, &minor) &&
      (major > 1 || (major == 1 && minor >= 5))) {
    Trap trap;
    int count = 0;
    XRRMonitorInfo* monitors = XRRGetMonitors(dpy, C().root, True, &count);
    for (int i = 0; monitors && i < count; ++i) {
      const XRRMonitorInfo& m = monitors[i];
      if (m.width <= 0 || m.height <= 0) continue;
      MonitorArea area;
      area.area = RECT{m.x, m.y, m.x + m.width, m.y + m.height};
      if (!Intersect(area.area, workArea, &area.work)) area.work = area.area;
      // The primary monitor first, as the layer lists them.
      if (m.primary) {
        out.insert(out.begin(), area);
      } else {
        out.push_back(area);
      }
    }
    if (monitors) XRRFreeMonitors(monitors);
    trap.Failed();
  }
  if (out.empty()) {
    const RECT screen{0, 0, DisplayWidth(dpy, C().screen), DisplayHeight(dpy, C().screen)};
    MonitorArea whole{screen, screen};
    Intersect(screen, workArea, &whole.work);
    out.push_back(whole);
  }
  return out;
}

}  // namespace platform::x11::detail
