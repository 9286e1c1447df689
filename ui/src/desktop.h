#pragma once
// The desktop the platform layer works on in this run, and how the toolkit's
// windows and main loop meet it. The backend is chosen here and nowhere else.
#include <string>

#include "platform/types.h"

class wxTopLevelWindow;

// The switch: PASTIQ_DESKTOP=sim asks for the simulated desktop; otherwise
// the program works on the X display ($DISPLAY).
bool SimulatedDesktopAsked();

// Chooses the backend and opens it on the calling (GUI) thread: the X11
// desktop unless the simulated one is asked for. False, with a message for
// the user in *error, when no X display can be reached. Calling it again
// changes nothing.
bool OpenDesktop(std::string* error = nullptr);
// Opens the desktop when that was not done yet, and hands the GUI thread's
// message queue (and on X11 the display connection) to the toolkit's main
// loop: whenever work arrives, a dispatch is scheduled there, so nothing
// polls. X11 warnings go to the log. Calling it again changes nothing.
bool StartDesktop(std::string* error = nullptr);
// Unhooks the desktop from the main loop and, on X11, closes the display
// connection (our clipboard data goes to a clipboard manager where one runs);
// what arrives later waits unhandled.
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
