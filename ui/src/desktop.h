#pragma once
// How the toolkit's windows and main loop meet the desktop the platform layer
// works on (platform/desktop.h, which chooses it: the real desktop the
// program names in main, or the simulated one when PASTIQ_DESKTOP=sim).
#include <string>
#include <vector>

#include "platform/types.h"

class wxTopLevelWindow;

// Opens the desktop on the calling (GUI) thread. False, with a message for
// the user in *error, when the real desktop cannot be reached. Calling it
// again changes nothing.
bool OpenDesktop(std::string* error = nullptr);
// Opens the desktop when that was not done yet, and hands the GUI thread's
// message queue (and the desktop's own connection, where it has one) to the
// toolkit's main loop: whenever work arrives, a dispatch is scheduled there,
// so nothing polls. The desktop's warnings go to the log. Calling it again
// changes nothing.
bool StartDesktop(std::string* error = nullptr);
// Unhooks the desktop from the main loop and closes it (a real one hands our
// clipboard data to a clipboard manager where one runs); what arrives later
// waits unhandled.
void StopDesktop();

// Whether this run works on the simulated desktop, where the clipboard and
// keys of other applications are not seen.
bool RunsOnSimulatedDesktop();
// The desktop's name ("x11", "sim"; "none" before it is opened).
const char* DesktopName();
// The shortcut combinations the hook library was last given that the
// desktop could not give it, because another program holds them ("Win+V").
std::vector<std::string> UnavailableShortcuts();

// Enters a top-level window of ours in the layer's window table under the
// class name, hands it to the desktop (so that other programs see it) and
// keeps the layer told of its moves, sizes, showing and activation. The
// handle is the window's for its whole life; the caller destroys it
// (DestroyWindow) when the window goes.
HWND RegisterToolkitWindow(wxTopLevelWindow* window, LPCWSTR className, LPCWSTR title);
