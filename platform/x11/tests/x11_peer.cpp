// Another instance of the program, for the tests: starts the X11 backend,
// makes a main frame window with the program's class and reports on its
// standard output: "READY" once the window is published, "COMMAND <id>" for
// every WM_COMMAND that reaches the window.
#include <sys/epoll.h>

#include <cstdio>

#include "platform/window.h"
#include "platform/x11.h"

namespace {
LRESULT Frame(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_COMMAND) {
    std::printf("COMMAND %lu\n", static_cast<unsigned long>(wParam));
    std::fflush(stdout);
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}
}  // namespace

int main() {
  if (!platform::x11::Start()) return 2;
  platform::CreateToolkitWindow(L"PastiqMainFrame{35F7679D-4441-4728-9159-36A8119613F7}", L"Pastiq", nullptr, &Frame);
  bool ready = false;
  for (;;) {
    epoll_event e;
    epoll_wait(platform::x11::EventFd(), &e, 1, 1000);
    platform::x11::Dispatch();
    platform::DrainMessages();
    if (!ready) {
      ready = true;
      std::printf("READY\n");
      std::fflush(stdout);
    }
  }
}
