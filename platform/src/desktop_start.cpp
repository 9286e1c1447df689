// The choice of the program's desktop: the simulated one when asked for,
// else the real one the program names.
#include <cstdlib>
#include <cstring>
#include <utility>

#include "platform/backend.h"
#include "platform/desktop.h"
#include "platform/sim/desktop.h"
#include "platform/window.h"

namespace platform {
namespace {

// The simulated desktop runs inside the layer: its other applications work
// when the tests let them, and our windows need no more than the table.
class SimDesktop : public Desktop {
 public:
  const char* Name() const override { return "sim"; }
  int EventFd() const override { return -1; }
  void Dispatch() override {}
  void AddToolkitWindow(HWND, void*) override {}
  void SetWarningHandler(std::function<void(const std::string&)>) override {}
  std::vector<std::string> UnavailableShortcuts() const override { return sim::HeldShortcuts(); }
};

DesktopOpener g_realDesktop = nullptr;
std::unique_ptr<Desktop> g_desktop;

}  // namespace

void SetRealDesktop(DesktopOpener open) { g_realDesktop = open; }

bool SimulatedDesktopAsked() {
  const char* asked = std::getenv("PASTIQ_DESKTOP");
  return asked && std::strcmp(asked, "sim") == 0;
}

Desktop* StartDesktop(std::string* error) {
  if (g_desktop) return g_desktop.get();
  std::unique_ptr<Desktop> desktop;
  if (SimulatedDesktopAsked()) {
    desktop = std::make_unique<SimDesktop>();
  } else {
    // The real desktop's own message says what to do; the simulated one
    // would need a display for the toolkit all the same.
    std::string why = "this program has no desktop of its own; set PASTIQ_DESKTOP=sim for the simulated desktop";
    if (g_realDesktop) desktop = g_realDesktop(&why);
    if (!desktop) {
      if (error) *error = why;
      return nullptr;
    }
  }
  // The real desktop made itself the backend; otherwise the simulated one
  // starts here. This thread is the GUI thread either way.
  CurrentBackend();
  SetGuiThread();
  g_desktop = std::move(desktop);
  return g_desktop.get();
}

Desktop* CurrentDesktop() { return g_desktop.get(); }

void StopDesktop() { g_desktop.reset(); }

}  // namespace platform
