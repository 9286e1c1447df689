// How the toolkit meets the desktop: the desktop's connection on the main
// loop, our windows handed to it, its warnings in the log. A desktop of the
// test's own stands for the X11 one.
#include <gtest/gtest.h>

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <wx/frame.h>

#include "desktop.h"
#include "gui_util.h"
#include "logger.h"
#include "platform/desktop.h"
#include "platform/window.h"

namespace {

struct Seen {
  int dispatches = 0;
  std::vector<std::pair<HWND, void*>> windows;
  std::function<void(const std::string&)> warn;
  bool destroyed = false;
  int fd = -1;
};
Seen g_seen;

class TestDesktop : public platform::Desktop {
 public:
  ~TestDesktop() override { g_seen.destroyed = true; }
  const char* Name() const override { return "test"; }
  int EventFd() const override { return g_seen.fd; }
  void Dispatch() override {
    std::uint64_t value = 0;
    while (read(g_seen.fd, &value, sizeof value) > 0) {
    }
    ++g_seen.dispatches;
  }
  void AddToolkitWindow(HWND hwnd, void* toolkitWindow) override { g_seen.windows.emplace_back(hwnd, toolkitWindow); }
  void SetWarningHandler(std::function<void(const std::string&)> handler) override { g_seen.warn = std::move(handler); }
};

std::unique_ptr<platform::Desktop> OpenTestDesktop(std::string*) { return std::make_unique<TestDesktop>(); }

bool Logged(const std::string& part) {
  Logger& logger = Logger::Get();
  for (std::size_t i = 0; i < logger.GetCount(); ++i)
    if (logger.GetEntry(i).text.find(part) != std::string::npos) return true;
  return false;
}

class ToolkitDesktop : public ::testing::Test {
 protected:
  void SetUp() override {
    g_seen = Seen();
    g_seen.fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    ASSERT_GE(g_seen.fd, 0);
    unsetenv("PASTIQ_DESKTOP");
    platform::SetRealDesktop(&OpenTestDesktop);
  }
  void TearDown() override {
    StopDesktop();
    platform::SetRealDesktop(nullptr);
    setenv("PASTIQ_DESKTOP", "sim", 1);  // as the rest of this binary runs
    close(g_seen.fd);
  }
  void Wake() {
    const std::uint64_t one = 1;
    ASSERT_EQ(write(g_seen.fd, &one, sizeof one), static_cast<ssize_t>(sizeof one));
  }
};

TEST_F(ToolkitDesktop, ItsConnectionIsDispatchedFromTheMainLoopUntilItStops) {
  std::string error;
  ASSERT_TRUE(StartDesktop(&error)) << error;
  EXPECT_STREQ(DesktopName(), "test");
  EXPECT_FALSE(RunsOnSimulatedDesktop());
  DispatchPending();
  const int atStart = g_seen.dispatches;
  Wake();
  DispatchPending();
  EXPECT_GT(g_seen.dispatches, atStart) << "readable, yet not dispatched";

  StopDesktop();
  EXPECT_TRUE(g_seen.destroyed);
  const int atStop = g_seen.dispatches;
  Wake();
  DispatchPending();
  EXPECT_EQ(g_seen.dispatches, atStop);
}

TEST_F(ToolkitDesktop, OurWindowsAndWarningsReachIt) {
  ASSERT_TRUE(StartDesktop());
  auto* frame = new wxFrame(nullptr, wxID_ANY, "ours");
  const HWND hwnd = RegisterToolkitWindow(frame, L"OursFrame", L"ours");
  ASSERT_TRUE(IsWindow(hwnd));
  ASSERT_EQ(g_seen.windows.size(), 1u);
  EXPECT_EQ(g_seen.windows[0].first, hwnd);
  EXPECT_EQ(g_seen.windows[0].second, static_cast<void*>(frame->GetHandle()));
  DestroyWindow(hwnd);
  frame->Destroy();

  ASSERT_TRUE(g_seen.warn);
  g_seen.warn("Win+V is grabbed by another client");
  EXPECT_TRUE(Logged("Win+V is grabbed by another client"));
}

}  // namespace
