// The built library, linked as the program links it: it registers itself as
// a module when loaded, and its hooks report through the shared layer.
#include <gtest/gtest.h>

#include <vector>

#include "pastiqhook.h"
#include "platform/hooks.h"
#include "platform/input.h"
#include "platform/process.h"
#include "platform/sim/desktop.h"
#include "platform/window.h"

namespace {

std::vector<MSG> g_received;

LRESULT Record(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_HOOK_KEY || message == WM_HOOK_FOCUS) g_received.push_back({hwnd, message, wParam, lParam, 0, {0, 0}});
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST(HookLibrary, RegistersItselfAndReportsTheShortcutThroughItsHooks) {
  platform::sim::Reset();
  g_received.clear();
  EXPECT_NE(GetModuleHandleW(L"pastiqhook"), nullptr);
  HWND program = platform::CreateToolkitWindow(L"PastiqMainFrame", L"Pastiq", nullptr, &Record);
  platform::sim::ProcessSpec spec;
  spec.exePath = L"/usr/bin/editor";
  const DWORD pid = platform::sim::CreateProcess(spec);
  HWND edit = platform::sim::AddEdit(platform::sim::MainThread(pid));

  ASSERT_EQ(Helper_Initialize(program, program), 1);
  EXPECT_EQ(platform::sim::InstalledHooks(WH_KEYBOARD), 1);
  EXPECT_EQ(platform::sim::InstalledHooks(WH_CBT), 1);
  ASSERT_TRUE(platform::sim::SetFocus(edit));
  platform::sim::Chord({VK_LWIN, 'V'});
  platform::sim::Settle();

  ASSERT_EQ(g_received.size(), 3u);
  EXPECT_EQ(g_received[0].message, WM_HOOK_FOCUS);
  EXPECT_EQ(g_received[0].wParam, reinterpret_cast<WPARAM>(edit));
  EXPECT_EQ(g_received[1].message, WM_HOOK_KEY);
  EXPECT_EQ(g_received[1].wParam, static_cast<WPARAM>('V'));
  EXPECT_EQ(g_received[2].message, WM_HOOK_KEY);
  EXPECT_EQ(g_received[2].wParam, 0u);
  EXPECT_EQ(g_received[2].lParam, 1);

  EXPECT_EQ(Helper_Uninitialize(), 1);
  EXPECT_EQ(platform::sim::InstalledHooks(WH_KEYBOARD), 0);
  EXPECT_EQ(platform::sim::InstalledHooks(WH_CBT), 0);
}

}  // namespace
