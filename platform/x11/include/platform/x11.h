#pragma once
// The X11 desktop: the backend that makes the layer work with the real
// applications of an X display (or XWayland).
//
// Everything runs on the GUI thread. The layer includes no toolkit, so the
// application attaches EventFd() to its own loop and calls Dispatch() on
// the GUI thread whenever it becomes readable; nothing polls. The fd also
// wakes up when work was queued for other applications' windows, or when X
// events were read ahead while the layer waited for something else.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/desktop.h"
#include "platform/types.h"

namespace platform::x11 {

// Opens the display (null: $DISPLAY) and makes it this process's desktop;
// the calling thread becomes the GUI thread. False, with the reason in
// *error, when no display can be reached.
bool Start(const char* displayName = nullptr, std::string* error = nullptr);
// Closes the connection (the simulated desktop takes over on next use).
void Stop();
bool Running();

// Readable when Dispatch has something to do; -1 when not running.
int EventFd();
// Handles every X event that has arrived and the work queued for other
// applications' windows. Returns the number of items handled.
int Dispatch();

// The X window a window handle stands for (0: none, or one of ours that the
// toolkit did not name), and the handle for an X window (entered into the
// window table on first use; null for our own windows).
unsigned long XWindowOf(HWND hwnd);
HWND WindowFor(unsigned long xwindow);
// The toolkit names the X window of one of its windows, so that other
// instances of the program can find it by its class (FindWindowW) and post
// to it, and so that the layer never mistakes it for another application's.
void SetNativeWindow(HWND hwnd, unsigned long xwindow);

// The process id that stands for "unknown": windows whose process cannot be
// learnt belong to it; it can be opened and is always idle.
DWORD UnknownProcessId();

// Warnings (a shortcut that another client already grabbed, say) go here;
// until one is set they are written to the standard error stream.
void SetWarningHandler(std::function<void(const std::string&)> handler);
// The shortcut combinations that could not be grabbed, by name ("Win+V").
std::vector<std::string> FailedGrabs();

// Milliseconds a clipboard read may wait for its owner.
inline constexpr unsigned kReadTimeoutMs = 1000;

// The program's real desktop (platform::SetRealDesktop): opens $DISPLAY as
// Start does; Dispatch, EventFd, warnings and the toolkit's windows (GTK's X
// windows) go through it, and destroying it stops the connection. Null,
// with a message for the user in *error, when no display can be reached.
std::unique_ptr<Desktop> OpenDesktop(std::string* error);

}  // namespace platform::x11
