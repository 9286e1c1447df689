#pragma once
// Pieces of the simulated desktop shared between its files.
#include "platform/sim/desktop.h"

namespace platform::sim::detail {
// The procedure of every simulated window: records, then hands on.
LRESULT SimWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Registers a new simulated window's behaviour.
void AddWindowData(HWND hwnd, WNDPROC user, bool edit);
void ResetControls();
}  // namespace platform::sim::detail
