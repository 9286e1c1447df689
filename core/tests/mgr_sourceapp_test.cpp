// Finding a process's executable through either enumeration facility.
#include <gtest/gtest.h>

#include "platform/process.h"
#include "platform/sim/desktop.h"
#include "pq/sourceapp.h"

namespace sim = platform::sim;

namespace {

DWORD StartProcess(const std::wstring& exe) {
  sim::ProcessSpec spec;
  spec.exePath = exe;
  return sim::CreateProcess(spec);
}

constexpr DWORD kToolHelpMajor = 5, kToolHelpMinor = 1;  // code 8
constexpr DWORD kProcessStatusMajor = 4;                 // code 6

class SourceApp : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::Reset();
    sim::ProcessSpec spec;
    spec.exePath = L"/usr/bin/editor";
    spec.modules = {{L"/usr/lib/libc.so.6", 0x100000}, {L"/usr/lib/libgtk-3.so.0"}};
    editorPid = sim::CreateProcess(spec);
  }
  void TearDown() override {
    sim::SetVersion(kToolHelpMajor, kToolHelpMinor);
    pq::RebindProcessFunctions();
  }
  void Use(DWORD major, DWORD minor) {
    sim::SetVersion(major, minor);
    pq::RebindProcessFunctions();
  }
  DWORD editorPid = 0;
};

TEST_F(SourceApp, VersionCodeFollowsTheTable) {
  struct Case {
    DWORD platformId, major, minor;
    int code;
  };
  const Case cases[] = {
      {VER_PLATFORM_WIN32s, 3, 1, 1},         {VER_PLATFORM_WIN32_WINDOWS, 4, 0, 2},
      {VER_PLATFORM_WIN32_WINDOWS, 4, 10, 3}, {VER_PLATFORM_WIN32_WINDOWS, 4, 90, 4},
      {VER_PLATFORM_WIN32_NT, 4, 0, 6},       {VER_PLATFORM_WIN32_NT, 5, 0, 7},
      {VER_PLATFORM_WIN32_NT, 5, 1, 8},       {VER_PLATFORM_WIN32_NT, 6, 1, 8},
  };
  for (const Case& c : cases) {
    sim::SetVersion(c.major, c.minor, c.platformId);
    pq::RebindProcessFunctions();
    EXPECT_EQ(pq::GetWindowsVersionCode(), c.code) << c.platformId << " " << c.major << "." << c.minor;
  }
}

TEST_F(SourceApp, VersionCodeIsCachedUntilRebound) {
  Use(kProcessStatusMajor, 0);
  sim::SetVersion(6, 1);
  EXPECT_EQ(pq::GetWindowsVersionCode(), 6);
}

TEST_F(SourceApp, BothFacilitiesGiveTheExecutablesFullPath) {
  for (DWORD major : {kToolHelpMajor, kProcessStatusMajor}) {
    Use(major, major == kToolHelpMajor ? kToolHelpMinor : 0);
    EXPECT_EQ(pq::GetSourceApplication(editorPid), L"/usr/bin/editor") << "major " << major;
    EXPECT_EQ(pq::GetSourceApplication(sim::OwnProcessId()), L"/opt/pastiq/bin/pastiq");
  }
}

TEST_F(SourceApp, UnknownOrProtectedProcessesGiveNothing) {
  sim::ProcessSpec spec;
  spec.exePath = L"/usr/sbin/service";
  spec.protectedProcess = true;
  DWORD service = sim::CreateProcess(spec);
  DWORD gone = StartProcess(L"/usr/bin/short-lived");
  sim::EndProcess(gone);
  for (DWORD major : {kToolHelpMajor, kProcessStatusMajor}) {
    Use(major, major == kToolHelpMajor ? kToolHelpMinor : 0);
    EXPECT_EQ(pq::GetSourceApplication(0), L"");
    EXPECT_EQ(pq::GetSourceApplication(99999), L"");
    EXPECT_EQ(pq::GetSourceApplication(service), L"") << "major " << major;
    EXPECT_EQ(pq::GetSourceApplication(gone), L"") << "major " << major;
  }
}

TEST_F(SourceApp, AMissingFunctionDisablesTheWholeFacility) {
  // Functions the lookup never calls must be present all the same.
  struct Case {
    DWORD major, minor;
    const wchar_t* module;
    const char* name;
  };
  const Case cases[] = {
      {kToolHelpMajor, kToolHelpMinor, L"KERNEL32.DLL", "Heap32First"},
      {kToolHelpMajor, kToolHelpMinor, L"KERNEL32.DLL", "Module32NextW"},
      {kProcessStatusMajor, 0, L"PSAPI.DLL", "GetProcessMemoryInfo"},
      {kProcessStatusMajor, 0, L"PSAPI.DLL", "GetModuleFileNameExW"},
  };
  for (const Case& c : cases) {
    sim::Reset();
    DWORD pid = StartProcess(L"/usr/bin/editor");
    sim::HideExport(c.module, c.name);
    Use(c.major, c.minor);
    EXPECT_EQ(pq::GetSourceApplication(pid), L"") << c.name;
  }
}

TEST_F(SourceApp, ALongPathIsCutTo258Characters) {
  const std::wstring longPath = L"/opt/" + std::wstring(300, L'x');
  DWORD pid = StartProcess(longPath);
  Use(kToolHelpMajor, kToolHelpMinor);
  EXPECT_EQ(pq::GetSourceApplication(pid), longPath.substr(0, 258));
}

}  // namespace
