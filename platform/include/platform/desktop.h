#pragma once
// The desktop a program works on, as its main loop sees it, and the one
// place where the backend is chosen.
//
// The program names the real desktop it is built with once, first thing in
// main (the X11 backend's platform::x11::OpenDesktop); StartDesktop then
// opens it, or the simulated desktop when PASTIQ_DESKTOP=sim. The toolkit
// side attaches EventFd to its loop, calls Dispatch when it is readable and
// hands every top-level window of ours to AddToolkitWindow. Nothing here
// knows the toolkit or the backend's details. GUI thread only.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/types.h"

namespace platform {

class Desktop {
 public:
  virtual ~Desktop() = default;
  // "x11", "sim".
  virtual const char* Name() const = 0;
  // Readable whenever Dispatch has work; -1 when the desktop has none of its
  // own (the GUI queue's wakeup, platform::SetMessageWakeup, is then all).
  virtual int EventFd() const = 0;
  // Handles what has arrived; the caller drains the GUI queue afterwards.
  virtual void Dispatch() = 0;
  // One of our top-level windows (`hwnd` from CreateToolkitWindow) with the
  // toolkit's own handle of it (a GtkWidget*), so that other programs see it
  // under its class.
  virtual void AddToolkitWindow(HWND hwnd, void* toolkitWindow) = 0;
  // Where the desktop's warnings go (standard error until one is set).
  virtual void SetWarningHandler(std::function<void(const std::string&)> handler) = 0;
  // The hooks' shortcut combinations (platform/shortcuts.h) that the desktop
  // could not give the hooks because another client holds them, by name
  // ("Win+V"), as of the combinations last set. Empty where the hooks see
  // every key.
  virtual std::vector<std::string> UnavailableShortcuts() const { return {}; }
};

// Opens the real desktop; null, with the reason for the user in *error,
// when it cannot be reached.
using DesktopOpener = std::unique_ptr<Desktop> (*)(std::string* error);
// The real desktop of this program; set before the first StartDesktop.
void SetRealDesktop(DesktopOpener open);

// Whether PASTIQ_DESKTOP=sim asks for the simulated desktop.
bool SimulatedDesktopAsked();
// Starts the process's desktop on the calling thread, which becomes the GUI
// thread: the simulated one when it is asked for, else the real one. Null,
// with a message for the user in *error, when the real one cannot be
// reached or the program has none. Once started, returns the same desktop.
Desktop* StartDesktop(std::string* error = nullptr);
// The desktop started, or null.
Desktop* CurrentDesktop();
// Closes the desktop (the real one hands our clipboard data to a clipboard
// manager where one runs); the next StartDesktop opens it afresh.
void StopDesktop();

}  // namespace platform
