#pragma once
// A simulated desktop for the hook tests: our program's notice window, an
// application with the focus, and the hook library's state fresh for each
// test.
#include <gtest/gtest.h>

#include <vector>

#include "pastiqhook.h"
#include "platform/sim/desktop.h"
#include "platform_api.h"
#include "shared_state.h"

namespace hooktest {

// A message one of our windows received from the hooks.
struct Notice {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

// Records the hooks' messages; a menu window hides itself on
// WM_HOOK_CLOSE_MENU, as the program's does.
LRESULT RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Puts the library's state back to its initial values, the module included.
void ResetLibraryState();

class HookTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Delivers what was posted to our windows and returns what arrived since
  // the last call.
  std::vector<Notice> TakeNotices();
  // One of our windows, shown at `rect`.
  HWND OurWindow(const wchar_t* className, HWND parent = nullptr, RECT rect = {10, 10, 200, 300});

  HWND program_ = nullptr;  // receives key and focus notices
  DWORD appPid_ = 0;
  DWORD appThread_ = 0;
  HWND app_ = nullptr;  // another application's window, focused
};

}  // namespace hooktest
