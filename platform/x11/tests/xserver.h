#pragma once
// Test servers and clients: a private Xvfb (on a display number it picks
// itself) with a window manager, and real X clients run against it.
#include <functional>
#include <string>

#include "child_process.h"

namespace x11test {

// Real clients run against a test server (argv[0] a full path, DISPLAY set).
using Process = testing_process::ChildProcess;

class XServer {
 public:
  ~XServer() { Stop(); }
  // Starts Xvfb and, when `wm`, openbox; false when either does not come up
  // within a few seconds.
  bool Start(bool wm = true);
  void Stop();
  const std::string& display() const { return display_; }

 private:
  Process xvfb_;
  Process wm_;
  std::string display_;
};

// Another connection that takes the CLIPBOARD and never answers requests.
class HungOwner {
 public:
  ~HungOwner();
  bool Take(const std::string& display);

 private:
  void* dpy_ = nullptr;
};
// Another client that grabs a combination on the root window for as long as
// it lives.
class KeyHolder {
 public:
  ~KeyHolder();
  bool GrabSuperV(const std::string& display) { return Grab(display, "v", false, false, true); }
  // keysym by its X name ("q"); false when the grab was refused.
  bool Grab(const std::string& display, const std::string& keysym, bool ctrl, bool alt, bool super);

 private:
  void* dpy_ = nullptr;
};
// The window manager's active window (0: none).
unsigned long ActiveWindow(const std::string& display);

// The test client's X window once it printed READY (0 when it did not in
// ms); a window manager still starting on a busy machine maps it late.
unsigned long WaitReady(Process& client, int ms);
// Waits until the test client has the focus; a window manager that left it
// behind (focus stealing prevention on a busy machine) is overruled as a user
// would, by activating it.
bool FocusClient(Process& client, const std::string& display, int ms);

// Runs the layer's loop (X events, then our queue) until pred() or ms pass.
bool PumpUntil(const std::function<bool()>& pred, int ms);
// Runs the loop for ms.
void Pump(int ms);
// Runs the loop until a round finds nothing to do (at most a second): what
// a start set going has been handled.
bool Settle();
// The test client built beside the tests.
std::string TestClientPath();
// Another instance of the program (see x11_peer.cpp).
std::string PeerPath();
// A client that writes the clipboard on a schedule (see x11_clip_owner.cpp).
std::string ClipOwnerPath();

// Runs the layer's loop as the program does, until pred() or ms pass: it
// sleeps until the connection (or the layer's own wakeup) has work, never on
// a timer, so that work left unannounced stays undone.
bool RunUntil(const std::function<bool()>& pred, int ms);

}  // namespace x11test
