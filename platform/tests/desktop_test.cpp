// The choice of the program's desktop: the simulated one when asked for, the
// real one the program names otherwise, and a clear message without one.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "platform/desktop.h"
#include "platform/process.h"
#include "platform/window.h"

namespace {

int g_opened = 0;
bool g_reachable = true;
bool g_destroyed = false;

class FakeRealDesktop : public platform::Desktop {
 public:
  ~FakeRealDesktop() override { g_destroyed = true; }
  const char* Name() const override { return "real"; }
  int EventFd() const override { return -1; }
  void Dispatch() override {}
  void AddToolkitWindow(HWND, void*) override {}
  void SetWarningHandler(std::function<void(const std::string&)>) override {}
};

std::unique_ptr<platform::Desktop> OpenFake(std::string* error) {
  ++g_opened;
  if (!g_reachable) {
    *error = "the fake display is gone";
    return nullptr;
  }
  return std::make_unique<FakeRealDesktop>();
}

class DesktopChoice : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* asked = std::getenv("PASTIQ_DESKTOP");
    saved_ = asked ? asked : "";
    unsetenv("PASTIQ_DESKTOP");
    g_opened = 0;
    g_reachable = true;
    g_destroyed = false;
  }
  void TearDown() override {
    platform::StopDesktop();
    platform::SetRealDesktop(nullptr);
    if (!saved_.empty()) setenv("PASTIQ_DESKTOP", saved_.c_str(), 1);
  }
  std::string saved_;
};

TEST_F(DesktopChoice, TheRealDesktopUnlessTheSimulatedOneIsAsked) {
  platform::SetRealDesktop(&OpenFake);
  platform::Desktop* desktop = platform::StartDesktop();
  ASSERT_NE(desktop, nullptr);
  EXPECT_STREQ(desktop->Name(), "real");
  EXPECT_EQ(platform::CurrentDesktop(), desktop);
  EXPECT_EQ(platform::StartDesktop(), desktop) << "started once";
  EXPECT_EQ(g_opened, 1);
  platform::StopDesktop();
  EXPECT_TRUE(g_destroyed);
  EXPECT_EQ(platform::CurrentDesktop(), nullptr);

  setenv("PASTIQ_DESKTOP", "sim", 1);
  EXPECT_TRUE(platform::SimulatedDesktopAsked());
  desktop = platform::StartDesktop();
  ASSERT_NE(desktop, nullptr);
  EXPECT_STREQ(desktop->Name(), "sim");
  EXPECT_EQ(desktop->EventFd(), -1) << "nothing of its own to watch";
  EXPECT_EQ(g_opened, 1) << "the real one is not opened";
  setenv("PASTIQ_DESKTOP", "x11", 1);
  EXPECT_FALSE(platform::SimulatedDesktopAsked()) << "only \"sim\" asks for it";
}

TEST_F(DesktopChoice, AnUnreachableOrMissingRealDesktopIsToldToTheUser) {
  struct Case {
    const char* what;
    platform::DesktopOpener open;
    const char* says;
  } cases[] = {
      {"unreachable", &OpenFake, "the fake display is gone"},
      {"none named", nullptr, "this program has no desktop of its own; set PASTIQ_DESKTOP=sim for the simulated desktop"},
  };
  g_reachable = false;
  for (const Case& c : cases) {
    platform::SetRealDesktop(c.open);
    std::string error;
    EXPECT_EQ(platform::StartDesktop(&error), nullptr) << c.what;
    EXPECT_EQ(error, c.says) << c.what;
    EXPECT_EQ(platform::CurrentDesktop(), nullptr) << c.what;
    EXPECT_EQ(platform::StartDesktop(), nullptr) << c.what << ": no error asked for";
  }
}

TEST_F(DesktopChoice, TheStartingThreadBecomesTheGuiThread) {
  platform::SetRealDesktop(&OpenFake);
  DWORD gui = 0;
  DWORD starter = 0;
  std::thread other([&] {
    starter = GetCurrentThreadId();
    platform::StartDesktop();
    gui = platform::GuiThreadId();
  });
  other.join();
  EXPECT_EQ(gui, starter);
  platform::StopDesktop();
  platform::StartDesktop();
  EXPECT_EQ(platform::GuiThreadId(), GetCurrentThreadId());
}

}  // namespace
