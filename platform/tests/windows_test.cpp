#include "sim_fixture.h"

namespace {

std::vector<std::pair<UINT, WPARAM>> frameMessages;
WINDOWPOS lastPos{};
LRESULT FrameProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  frameMessages.emplace_back(m, w);
  if (m == WM_WINDOWPOSCHANGED) lastPos = *reinterpret_cast<WINDOWPOS*>(l);
  return DefWindowProcW(h, m, w, l);
}

class Windows : public SimDesktop {
 protected:
  void SetUp() override {
    SimDesktop::SetUp();
    frameMessages.clear();
    popup = platform::CreateToolkitWindow(L"PopupFrame", L"Popup", nullptr, &FrameProc);
    RECT r{0, 0, 150, 300};
    platform::UpdateToolkitWindow(popup, &r, 0);
    ASSERT_TRUE(sim::SetFocus(editor));
  }
  HWND popup = nullptr;
};

TEST_F(Windows, TableLookups) {
  EXPECT_EQ(FindWindowW(L"editorframe", nullptr), editorFrame) << "class names ignore case";
  EXPECT_EQ(FindWindowW(nullptr, L"Untitled - Editor"), editorFrame);
  EXPECT_EQ(FindWindowW(nullptr, L"untitled - editor"), nullptr) << "titles do not";
  EXPECT_EQ(FindWindowW(L"Edit", nullptr), nullptr) << "child windows are not searched";
  EXPECT_EQ(FindWindowW(L"PopupFrame", L"Popup"), popup);

  wchar_t cls[5];
  EXPECT_EQ(GetClassNameW(editor, cls, 5), 4);
  EXPECT_STREQ(cls, L"Edit");
  EXPECT_EQ(GetClassNameW(editorFrame, cls, 5), 4) << "truncated to the buffer";
  EXPECT_STREQ(cls, L"Edit");
  EXPECT_EQ(GetClassNameW(nullptr, cls, 5), 0);

  DWORD pid = 0;
  EXPECT_EQ(GetWindowThreadProcessId(editor, &pid), editorThread);
  EXPECT_EQ(pid, editorPid);
  EXPECT_EQ(GetWindowThreadProcessId(popup, &pid), platform::GuiThreadId());
  EXPECT_EQ(pid, sim::OwnProcessId());
  EXPECT_EQ(GetWindowThreadProcessId(nullptr, &pid), 0u);
  EXPECT_EQ(pid, 0u);

  EXPECT_TRUE(IsChild(editorFrame, editor));
  EXPECT_FALSE(IsChild(editor, editorFrame));
  EXPECT_FALSE(IsChild(editor, editor));
  EXPECT_EQ(GetParent(editor), editorFrame);
}

TEST_F(Windows, VisibilityFollowsTheAncestors) {
  EXPECT_TRUE(IsWindowVisible(editor));
  EXPECT_FALSE(IsWindowVisible(popup));
  ShowWindow(editorFrame, SW_HIDE);
  EXPECT_FALSE(IsWindowVisible(editor));
  EXPECT_EQ(GetForegroundWindow(), nullptr) << "a hidden window is not in front";
}

TEST_F(Windows, CaretAndWorkAreaForPlacement) {
  RECT caret{40, 10, 41, 26};
  sim::SetCaret(editorThread, editor, caret);
  DWORD thread = GetWindowThreadProcessId(editor, nullptr);
  GUITHREADINFO gti{};
  gti.cbSize = 48;  // the size a 32-bit build passes is accepted too
  ASSERT_TRUE(GetGUIThreadInfo(thread, &gti));
  EXPECT_EQ(gti.hwndCaret, editor);
  EXPECT_EQ(gti.rcCaret.left, 40);
  EXPECT_EQ(gti.rcCaret.bottom, 26);
  EXPECT_EQ(gti.hwndFocus, editor);
  gti.cbSize = 12;
  EXPECT_FALSE(GetGUIThreadInfo(thread, &gti));
  gti.cbSize = sizeof(gti);
  EXPECT_FALSE(GetGUIThreadInfo(0xFFFF0, &gti));

  RECT work{};
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
  EXPECT_EQ(work.right, 1280);
  EXPECT_EQ(work.bottom, 994);
  sim::SetWorkArea(RECT{0, 0, 800, 570});
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  EXPECT_EQ(work.bottom, 570);
  EXPECT_FALSE(SystemParametersInfoW(0x1234, 0, &work, 0));
}

TEST_F(Windows, PlacingAndShowingWithoutActivationLeavesFocusAndForeground) {
  ASSERT_TRUE(SetWindowPos(popup, HWND_TOP, 300, 200, 150, 300, SWP_NOACTIVATE));
  RECT r{};
  GetWindowRect(popup, &r);
  EXPECT_EQ(r.left, 300);
  EXPECT_EQ(r.bottom, 500);
  EXPECT_EQ(lastPos.x, 300);
  EXPECT_EQ(lastPos.cy, 300);
  EXPECT_EQ(lastPos.flags, SWP_NOACTIVATE);

  frameMessages.clear();
  EXPECT_FALSE(ShowWindow(popup, SW_SHOWNOACTIVATE)) << "it was hidden";
  EXPECT_TRUE(IsWindowVisible(popup));
  ASSERT_EQ(frameMessages.size(), 2u);
  EXPECT_EQ(frameMessages[0], (std::pair<UINT, WPARAM>{WM_SHOWWINDOW, TRUE}));
  EXPECT_EQ(frameMessages[1].first, WM_WINDOWPOSCHANGED);
  EXPECT_NE(lastPos.flags & SWP_SHOWWINDOW, 0u);
  EXPECT_EQ(GetForegroundWindow(), editorFrame);
  GUITHREADINFO gti{};
  gti.cbSize = sizeof(gti);
  GetGUIThreadInfo(0, &gti);
  EXPECT_EQ(gti.hwndFocus, editor);
  frameMessages.clear();
  EXPECT_TRUE(ShowWindow(popup, SW_SHOWNOACTIVATE));
  EXPECT_TRUE(frameMessages.empty()) << "no change, no messages";

  SetWindowPos(popup, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  EXPECT_EQ(GetForegroundWindow(), popup) << "without SWP_NOACTIVATE the window comes to the front";
  GetWindowRect(popup, &r);
  EXPECT_EQ(r.left, 300) << "SWP_NOMOVE kept the position";
  EXPECT_EQ(r.right - r.left, 150) << "SWP_NOSIZE kept the size";
}

TEST_F(Windows, ShowWindowWithActivationBringsTheWindowToTheFront) {
  ShowWindow(popup, SW_SHOW);
  EXPECT_EQ(GetForegroundWindow(), popup);
  ShowWindow(popup, SW_HIDE);
  EXPECT_FALSE(IsWindowVisible(popup));
  EXPECT_EQ(GetForegroundWindow(), nullptr);
  EXPECT_FALSE(ShowWindow(reinterpret_cast<HWND>(0x42), SW_SHOW));
}

TEST_F(Windows, TheToolkitReportsItsOwnChanges) {
  RECT r{10, 20, 110, 220};
  platform::UpdateToolkitWindow(popup, &r, 1);
  EXPECT_TRUE(frameMessages.empty()) << "the toolkit already did it: nothing is sent";
  RECT got{};
  GetWindowRect(popup, &got);
  EXPECT_EQ(got.top, 20);
  EXPECT_TRUE(IsWindowVisible(popup));
  platform::ToolkitFocusChanged(popup);
  EXPECT_EQ(GetForegroundWindow(), popup);
  EXPECT_EQ(frameMessages.back().first, WM_SETFOCUS);
  EXPECT_EQ(sim::Messages(editor).back().message, WM_KILLFOCUS);
}

TEST_F(Windows, OnlyOurOwnThreadsCreateToolkitWindows) {
  HWND made = reinterpret_cast<HWND>(1);
  sim::RunInThread(editorThread, [&] { made = platform::CreateToolkitWindow(L"X", L""); });
  EXPECT_EQ(made, nullptr);
  EXPECT_EQ(platform::CreateToolkitWindow(L"X", L"", reinterpret_cast<HWND>(0x42)), nullptr) << "bad parent";
}

TEST_F(Windows, AnEndedApplicationLeavesNoWindowsAndNoForeground) {
  sim::EndProcess(editorPid);
  EXPECT_EQ(FindWindowW(L"EditorFrame", nullptr), nullptr);
  EXPECT_EQ(GetForegroundWindow(), nullptr);
  GUITHREADINFO gti{};
  gti.cbSize = sizeof(gti);
  EXPECT_FALSE(GetGUIThreadInfo(0, &gti));
}

}  // namespace
