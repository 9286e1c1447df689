#pragma once
// Test servers and clients: a private Xvfb (on a display number it picks
// itself) with a window manager, and real X clients run against it.
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace x11test {

class Process {
 public:
  Process() = default;
  ~Process();
  Process(Process&& o) noexcept;
  Process& operator=(Process&& o) noexcept;
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  // Runs argv[0] (a full path) with DISPLAY set; `input` (when not null) is
  // written to its standard input, which is then closed.
  static Process Run(const std::vector<std::string>& argv, const std::string& display, const std::string* input = nullptr);
  pid_t pid() const { return pid_; }
  bool running();
  // The complete lines of its standard output read so far (non-blocking).
  const std::vector<std::string>& Lines();
  std::string Output();  // everything, after the process ended
  // SIGTERM, then SIGKILL after a while; reaps it.
  void Stop();
  int Wait(int ms);  // exit status, -1 when still running after ms

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string buf_;
  std::vector<std::string> lines_;
  int status_ = -1;
  void Read();
};

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
// Another client that grabs Super+V on the root window for as long as it lives.
class KeyHolder {
 public:
  ~KeyHolder();
  bool GrabSuperV(const std::string& display);

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
