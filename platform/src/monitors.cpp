// Monitors: which one holds a rectangle or a window, and its work area. The
// backend lists them; a handle is the monitor's place in that list plus one.
#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

#include "platform/backend.h"
#include "platform/window.h"

namespace {

using Monitor = platform::Backend::Monitor;

std::int64_t Overlap(const RECT& a, const RECT& b) {
  const std::int64_t w = std::int64_t{std::min(a.right, b.right)} - std::max(a.left, b.left);
  const std::int64_t h = std::int64_t{std::min(a.bottom, b.bottom)} - std::max(a.top, b.top);
  return w > 0 && h > 0 ? w * h : 0;
}

// How far a rectangle lies from a monitor, squared (0 when they touch).
std::int64_t DistanceSquared(const RECT& r, const RECT& m) {
  auto gap = [](LONG lo1, LONG hi1, LONG lo2, LONG hi2) -> std::int64_t {
    if (hi1 < lo2) return std::int64_t{lo2} - hi1;
    if (hi2 < lo1) return std::int64_t{lo1} - hi2;
    return 0;
  };
  const std::int64_t dx = gap(r.left, r.right, m.left, m.right);
  const std::int64_t dy = gap(r.top, r.bottom, m.top, m.bottom);
  return dx * dx + dy * dy;
}

HMONITOR HandleOf(std::size_t index) { return reinterpret_cast<HMONITOR>(static_cast<std::uintptr_t>(index + 1)); }

}  // namespace

HMONITOR MonitorFromRect(const RECT* rect, DWORD flags) {
  if (!rect) return nullptr;
  const std::vector<Monitor> monitors = platform::CurrentBackend().Monitors();
  if (monitors.empty()) return nullptr;
  std::size_t best = 0;
  std::int64_t bestArea = 0;
  for (std::size_t i = 0; i < monitors.size(); ++i) {
    const std::int64_t area = Overlap(*rect, monitors[i].area);
    if (area > bestArea) {
      best = i;
      bestArea = area;
    }
  }
  if (bestArea > 0) return HandleOf(best);
  if (flags == MONITOR_DEFAULTTOPRIMARY) return HandleOf(0);
  if (flags != MONITOR_DEFAULTTONEAREST) return nullptr;
  std::int64_t bestDistance = std::numeric_limits<std::int64_t>::max();
  for (std::size_t i = 0; i < monitors.size(); ++i) {
    const std::int64_t d = DistanceSquared(*rect, monitors[i].area);
    if (d < bestDistance) {
      best = i;
      bestDistance = d;
    }
  }
  return HandleOf(best);
}

HMONITOR MonitorFromWindow(HWND hwnd, DWORD flags) {
  RECT r{0, 0, 0, 0};
  if (!GetWindowRect(hwnd, &r)) {
    if (flags == MONITOR_DEFAULTTONULL) return nullptr;
    r = RECT{0, 0, 0, 0};
    flags = MONITOR_DEFAULTTOPRIMARY;
  }
  // An empty rectangle still has a place.
  if (r.right <= r.left) r.right = r.left + 1;
  if (r.bottom <= r.top) r.bottom = r.top + 1;
  return MonitorFromRect(&r, flags);
}

BOOL GetMonitorInfoW(HMONITOR monitor, MONITORINFO* info) {
  if (!info || info->cbSize != sizeof(MONITORINFO)) return FALSE;
  const auto index = reinterpret_cast<std::uintptr_t>(monitor);
  const std::vector<Monitor> monitors = platform::CurrentBackend().Monitors();
  if (index == 0 || index > monitors.size()) return FALSE;
  const Monitor& m = monitors[index - 1];
  info->rcMonitor = m.area;
  info->rcWork = m.work;
  info->dwFlags = index == 1 ? MONITORINFOF_PRIMARY : 0;
  return TRUE;
}
