#pragma once
// Opening the display for a test process. An X server started for a test run
// resets whenever its last client leaves, and a client that connects during
// the reset is refused; with many short test processes that happens now and
// then. A test process tries again for a moment instead of failing.
#include <dlfcn.h>

#include <chrono>
#include <cstdio>
#include <thread>

inline bool OpenTestDisplay(int& argc, char**& argv) {
  // The toolkit's own GTK, already loaded with it.
  using InitCheck = int (*)(int*, char***);
  auto initCheck = reinterpret_cast<InitCheck>(dlsym(RTLD_DEFAULT, "gtk_init_check"));
  if (!initCheck) return true;  // let the toolkit report it
  for (int attempt = 0; attempt < 30; ++attempt) {
    if (initCheck(&argc, &argv)) {
      if (attempt) std::fprintf(stderr, "display opened at attempt %d\n", attempt + 1);
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}
