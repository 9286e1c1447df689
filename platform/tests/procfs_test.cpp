#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "platform/backend.h"

namespace {

std::wstring Widen(const std::string& s) { return std::wstring(s.begin(), s.end()); }

TEST(ProcFs, OurOwnProcessIsListedWithItsParent) {
  auto all = platform::ProcFsProcesses();
  auto it = std::find_if(all.begin(), all.end(), [](const platform::ProcessInfo& p) { return p.pid == static_cast<DWORD>(getpid()); });
  ASSERT_NE(it, all.end());
  EXPECT_EQ(it->parentPid, static_cast<DWORD>(getppid()));
  EXPECT_GE(it->threadCount, 1u);
  EXPECT_TRUE(std::is_sorted(all.begin(), all.end(), [](auto& a, auto& b) { return a.pid < b.pid; }));
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
