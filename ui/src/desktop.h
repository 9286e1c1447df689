#pragma once
// The desktop the platform layer works on in this run, and how the toolkit's
// windows and main loop meet it. The backend is chosen here and nowhere else.
#include "platform/types.h"

class wxTopLevelWindow;

// Starts the desktop backend (on the GUI thread, before anything else uses the
// platform layer) and hands the GUI thread's message queue to the toolkit's
// main loop: whenever work arrives, a drain of the queue is scheduled there,
// so nothing polls. Calling it again changes nothing.
void StartDesktop();
// Unhooks the queue from the main loop; what arrives later waits unhandled.
void StopDesktop();

// Whether this run works on the simulated desktop, where the clipboard and
// keys of other applications are not seen.
bool RunsOnSimulatedDesktop();
// The backend's name ("sim", ...).
const char* DesktopName();

// Enters a top-level window of ours in the layer's window table under the
// class name and keeps the layer told of its moves, sizes, showing and
// activation. The handle is the window's for its whole life; the caller
// destroys it (DestroyWindow) when the window goes.
HWND RegisterToolkitWindow(wxTopLevelWindow* window, LPCWSTR className, LPCWSTR title);
