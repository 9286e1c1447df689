#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <future>
#include <string>
#include <thread>

#include "platform/backend.h"

namespace {

std::wstring Widen(const std::string& s) { return std::wstring(s.begin(), s.end()); }

TEST(ProcFs, OurOwnProcessIsListedAndItsDetailsAreReadOnRequest) {
  std::vector<DWORD> ids = platform::ProcFsProcessIds();
  EXPECT_TRUE(std::is_sorted(ids.begin(), ids.end()));
  EXPECT_NE(std::find(ids.begin(), ids.end(), static_cast<DWORD>(getpid())), ids.end());

  // Field 20 counts a second thread only while it lives: it waits until
  // the details are read.
  std::promise<void> readDone;
  std::thread second([done = readDone.get_future()]() mutable { done.wait(); });
  platform::ProcessInfo me;
  bool read = platform::ProcFsProcessDetails(static_cast<DWORD>(getpid()), &me);
  readDone.set_value();
  second.join();
  ASSERT_TRUE(read);
  EXPECT_EQ(me.pid, static_cast<DWORD>(getpid()));
  EXPECT_EQ(me.parentPid, static_cast<DWORD>(getppid()));
  EXPECT_GE(me.threadCount, 2u);
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
  ASSERT_GT(n, 0);
  EXPECT_EQ(me.exePath, Widen(std::string(buf, static_cast<std::size_t>(n))));

  platform::ProcessInfo gone;
  EXPECT_FALSE(platform::ProcFsProcessDetails(0x7FFFFFF0, &gone));
}

TEST(ProcFs, ANameWithSpacesAndParenthesesDoesNotShiftTheFields) {
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    prctl(PR_SET_NAME, "a) 7 8 (b", 0, 0, 0);
    pause();
    _exit(0);
  }
  platform::ProcessInfo info;
  bool renamed = false;
  for (int i = 0; i < 500 && !renamed; ++i) {
    std::ifstream comm("/proc/" + std::to_string(child) + "/comm");
    std::string name;
    renamed = std::getline(comm, name) && name == "a) 7 8 (b";
    if (!renamed) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  bool read = platform::ProcFsProcessDetails(static_cast<DWORD>(child), &info);
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  ASSERT_TRUE(renamed);
  ASSERT_TRUE(read);
  EXPECT_EQ(info.parentPid, static_cast<DWORD>(getpid()));
  EXPECT_EQ(info.threadCount, 1u);
}

TEST(ProcFs, TheExecutableModuleComesFirstAndIsMarked) {
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
  ASSERT_GT(n, 0);
  std::string exe(buf, static_cast<std::size_t>(n));
  std::vector<platform::ModuleInfo> mods;
  ASSERT_TRUE(platform::ProcFsModules(static_cast<DWORD>(getpid()), &mods));
  ASSERT_GE(mods.size(), 2u);
  EXPECT_EQ(mods[0].path, Widen(exe)) << "plain ASCII test path";
  EXPECT_TRUE(mods[0].isExecutable);
  EXPECT_GT(mods[0].base, 0u);
  EXPECT_TRUE(std::none_of(mods.begin() + 1, mods.end(), [](auto& m) { return m.isExecutable; }));
  bool platformLib = std::any_of(mods.begin(), mods.end(), [](auto& m) {
    return m.path.find(L"libpastiqplatform.so") != std::wstring::npos;
  });
  EXPECT_TRUE(platformLib);
  EXPECT_FALSE(platform::ProcFsModules(0x7FFFFFF0, &mods));
}

}  // namespace
