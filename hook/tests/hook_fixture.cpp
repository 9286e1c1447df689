#include "hook_fixture.h"

#include <new>

namespace hooktest {
namespace {
std::vector<Notice>& Inbox() {
  static std::vector<Notice> inbox;
  return inbox;
}
}  // namespace

LRESULT RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_HOOK_KEY || message == WM_HOOK_FOCUS || message == WM_HOOK_CLOSE_MENU)
    Inbox().push_back({hwnd, message, wParam, lParam});
  if (message == WM_HOOK_CLOSE_MENU) platform::UpdateToolkitWindow(hwnd, nullptr, 0);
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

void ResetLibraryState() {
  pastiqhook::SharedHookState& s = pastiqhook::State();
  s.~SharedHookState();
  new (&s) pastiqhook::SharedHookState();
  pastiqhook::OnModuleAttach(platform::RegisterModule(L"pastiqhook"));
}

void HookTest::SetUp() {
  platform::sim::Reset();
  ResetLibraryState();
  Inbox().clear();
  program_ = platform::CreateToolkitWindow(L"PastiqMainFrame", L"Pastiq", nullptr, &RecordingProc);
  platform::sim::ProcessSpec editor;
  editor.exePath = L"/usr/bin/editor";
  appPid_ = platform::sim::CreateProcess(editor);
  appThread_ = platform::sim::MainThread(appPid_);
  app_ = platform::sim::AddEdit(appThread_);
  ASSERT_TRUE(platform::sim::SetFocus(app_));
  platform::sim::Settle();
  Inbox().clear();
}

void HookTest::TearDown() {
  Helper_MenuWindow_Stop();
  Helper_Uninitialize();
  platform::sim::Reset();
}

std::vector<Notice> HookTest::TakeNotices() {
  platform::sim::Settle();
  std::vector<Notice> out;
  out.swap(Inbox());
  return out;
}

HWND HookTest::OurWindow(const wchar_t* className, HWND parent, RECT rect) {
  HWND hwnd = platform::CreateToolkitWindow(className, L"", parent, &RecordingProc);
  platform::UpdateToolkitWindow(hwnd, &rect, 1);
  return hwnd;
}

}  // namespace hooktest
