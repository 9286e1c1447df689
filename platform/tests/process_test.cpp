#include <chrono>
#include <string>

#include "sim_fixture.h"

namespace {

class Processes : public SimDesktop {
 protected:
  DWORD Spawn(sim::Idle idle, DWORD busyMs = 0, bool protectedProcess = false) {
    sim::ProcessSpec spec;
    spec.exePath = L"/usr/bin/tool";
    spec.idle = idle;
    spec.busyMs = busyMs;
    spec.protectedProcess = protectedProcess;
    return sim::CreateProcess(spec);
  }
  // The manager's idle wait: five attempts of 3 s with a 1 ms pause after each.
  static bool WaitIdleFiveTimes(DWORD pid) {
    HANDLE h = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid);
    if (!h) return false;
    DWORD r = 0;
    for (int i = 0; i < 5; ++i) {
      r = WaitForInputIdle(h, 3000);
      if (r != 0 && r != WAIT_TIMEOUT) {
        CloseHandle(h);
        return false;
      }
      Sleep(1);
    }
    CloseHandle(h);
    return r == 0;
  }
};

TEST_F(Processes, WaitForInputIdleRunsOnTheVirtualClock) {
  struct Case {
    sim::Idle idle;
    DWORD busyMs;
    DWORD expected;
    std::uint64_t clockMoves;
  } cases[] = {
      {sim::Idle::Idle, 0, 0, 0},
      {sim::Idle::Busy, 2000, 0, 2000},
      {sim::Idle::Busy, 3000, 0, 3000},
      {sim::Idle::Busy, 10000, WAIT_TIMEOUT, 3000},
      {sim::Idle::Busy, INFINITE, WAIT_TIMEOUT, 3000},
      {sim::Idle::NoInputQueue, 0, WAIT_FAILED, 0},
  };
  for (const Case& c : cases) {
    DWORD pid = Spawn(c.idle, c.busyMs);
    HANDLE h = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid);
    ASSERT_NE(h, nullptr);
    std::uint64_t before = sim::NowMs();
    EXPECT_EQ(WaitForInputIdle(h, 3000), c.expected) << c.busyMs;
    EXPECT_EQ(sim::NowMs() - before, c.clockMoves) << c.busyMs;
    EXPECT_TRUE(CloseHandle(h));
  }
  EXPECT_EQ(WaitForInputIdle(reinterpret_cast<HANDLE>(0x77), 10), WAIT_FAILED);
}

TEST_F(Processes, ABusyProcessCostsFiveTimesThreeSecondsWithoutRealSleeping) {
  DWORD busy = Spawn(sim::Idle::Busy, INFINITE);
  auto realStart = std::chrono::steady_clock::now();
  std::uint64_t before = sim::NowMs();
  EXPECT_FALSE(WaitIdleFiveTimes(busy));
  EXPECT_EQ(sim::NowMs() - before, 5u * 3001u);
  EXPECT_TRUE(WaitIdleFiveTimes(editorPid));
  EXPECT_FALSE(WaitIdleFiveTimes(Spawn(sim::Idle::NoInputQueue)));
  sim::SetIdle(busy);
  EXPECT_TRUE(WaitIdleFiveTimes(busy));
  Sleep(3600000);
  EXPECT_LT(std::chrono::steady_clock::now() - realStart, std::chrono::seconds(2));
}

TEST_F(Processes, SleepMovesTheTickCountAndLetsDueWorkRun) {
  DWORD t0 = GetTickCount();
  Sleep(50);
  EXPECT_EQ(GetTickCount() - t0, 50u);
  sim::SetBusy(editorPid, 100);
  PostMessageW(editor, WM_USER, 0, 0);
  EXPECT_EQ(sim::RunPending(), 0) << "a busy application reads nothing";
  Sleep(99);
  EXPECT_TRUE(sim::Messages(editor).empty());
  Sleep(1);
  ASSERT_EQ(sim::Messages(editor).size(), 1u);
  SendMessageW(editor, WM_USER + 1, 0, 0);
  sim::SetBusy(editorPid, INFINITE);
  EXPECT_EQ(SendMessageW(editor, WM_GETTEXTLENGTH, 0, 0), 0) << "sent messages are answered even while busy";
}

TEST_F(Processes, OpenProcessAndHandles) {
  SetLastError(0);
  EXPECT_EQ(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, 0), nullptr);
  EXPECT_EQ(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, 0xFFFF0), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, Spawn(sim::Idle::Idle, 0, true)), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  HANDLE own = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, GetCurrentProcessId());
  ASSERT_NE(own, nullptr);
  EXPECT_EQ(WaitForInputIdle(own, 0), 0u);
  EXPECT_TRUE(CloseHandle(own));
  EXPECT_FALSE(CloseHandle(own));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(GetCurrentProcessId(), sim::OwnProcessId());

  HANDLE h = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, editorPid);
  sim::EndProcess(editorPid);
  EXPECT_FALSE(IsWindow(editor));
  EXPECT_EQ(WaitForInputIdle(h, 100), WAIT_FAILED) << "the handle outlives the process, waits fail";
  EXPECT_TRUE(CloseHandle(h));
  EXPECT_EQ(sim::MainThread(editorPid), 0u);
}

using SnapshotFn = HANDLE (*)(DWORD, DWORD);
using ProcessWalk = BOOL (*)(HANDLE, PROCESSENTRY32W*);
using ModuleWalk = BOOL (*)(HANDLE, MODULEENTRY32W*);

TEST_F(Processes, ToolHelpListsProcessesAndMarksTheExecutableModule) {
  HMODULE kernel = GetModuleHandleW(L"KERNEL32.DLL");
  ASSERT_NE(kernel, nullptr);
  for (const char* name : {"CreateToolhelp32Snapshot", "Heap32First", "Heap32ListFirst", "Heap32ListNext", "Heap32Next",
                           "Module32FirstW", "Module32NextW", "Module32First", "Module32Next", "Process32FirstW",
                           "Process32NextW", "Process32First", "Process32Next", "Thread32First", "Thread32Next",
                           "Toolhelp32ReadProcessMemory"})
    EXPECT_NE(GetProcAddress(kernel, name), nullptr) << name;
  auto snap = reinterpret_cast<SnapshotFn>(GetProcAddress(kernel, "CreateToolhelp32Snapshot"));
  auto pFirst = reinterpret_cast<ProcessWalk>(GetProcAddress(kernel, "Process32FirstW"));
  auto pNext = reinterpret_cast<ProcessWalk>(GetProcAddress(kernel, "Process32NextW"));
  auto mFirst = reinterpret_cast<ModuleWalk>(GetProcAddress(kernel, "Module32FirstW"));
  auto mNext = reinterpret_cast<ModuleWalk>(GetProcAddress(kernel, "Module32NextW"));

  HANDLE ps = snap(TH32CS_SNAPPROCESS, 0);
  ASSERT_NE(ps, INVALID_HANDLE_VALUE);
  PROCESSENTRY32W pe{};
  EXPECT_FALSE(pFirst(ps, &pe)) << "the size field must be set";
  pe.dwSize = sizeof(pe);
  std::vector<DWORD> pids;
  std::wstring editorName;
  for (BOOL ok = pFirst(ps, &pe); ok; ok = pNext(ps, &pe)) {
    pids.push_back(pe.th32ProcessID);
    if (pe.th32ProcessID == editorPid) editorName = pe.szExeFile;
  }
  EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
  CloseHandle(ps);
  ASSERT_GE(pids.size(), 3u);
  EXPECT_EQ(pids[0], 0u) << "the idle process comes first";
  EXPECT_NE(std::find(pids.begin(), pids.end(), sim::OwnProcessId()), pids.end());
  EXPECT_EQ(editorName, L"editor");

  HANDLE ms = snap(TH32CS_SNAPMODULE, editorPid);
  ASSERT_NE(ms, INVALID_HANDLE_VALUE);
  MODULEENTRY32W me{};
  me.dwSize = sizeof(me);
  std::vector<std::wstring> names;
  std::vector<bool> exe;
  for (BOOL ok = mFirst(ms, &me); ok; ok = mNext(ms, &me)) {
    names.push_back(me.szModule);
    exe.push_back(me.isExecutable != FALSE);
    EXPECT_EQ(me.th32ProcessID, editorPid);
    EXPECT_EQ(me.hModule, reinterpret_cast<HMODULE>(me.modBaseAddr));
  }
  CloseHandle(ms);
  EXPECT_EQ(names, (std::vector<std::wstring>{L"editor", L"libc.so.6", L"libgtk-3.so.0"}));
  EXPECT_EQ(exe, (std::vector<bool>{true, false, false}));

  EXPECT_EQ(snap(TH32CS_SNAPMODULE, Spawn(sim::Idle::Idle, 0, true)), INVALID_HANDLE_VALUE);
  EXPECT_EQ(snap(TH32CS_SNAPMODULE, 0xFFFF0), INVALID_HANDLE_VALUE);
}

TEST_F(Processes, LongPathsAreCutToTheEntryFields) {
  sim::ProcessSpec spec;
  spec.exePath = L"/" + std::wstring(300, L'd') + L"/app";
  DWORD pid = sim::CreateProcess(spec);
  HANDLE ms = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid);
  MODULEENTRY32W me{};
  me.dwSize = sizeof(me);
  ASSERT_TRUE(Module32FirstW(ms, &me));
  EXPECT_EQ(std::wstring(me.szExePath).size(), MAX_PATH - 1);
  EXPECT_STREQ(me.szModule, L"app");
  CloseHandle(ms);
}

using EnumProcessesFn = BOOL (*)(DWORD*, DWORD, DWORD*);
using EnumModulesFn = BOOL (*)(HANDLE, HMODULE*, DWORD, DWORD*);
using FileNameFn = DWORD (*)(HANDLE, HMODULE, LPWSTR, DWORD);

TEST_F(Processes, ProcessStatusLibraryIsLoadedByNameAndGivesTheExecutableFirst) {
  EXPECT_EQ(GetModuleHandleW(L"PSAPI.DLL"), nullptr) << "not loaded until asked for";
  HMODULE psapi = LoadLibraryW(L"psapi");
  ASSERT_NE(psapi, nullptr);
  for (const char* name : {"EnumProcesses", "EnumProcessModules", "GetModuleBaseNameA", "GetModuleBaseNameW",
                           "GetModuleFileNameExA", "GetModuleFileNameExW", "GetModuleInformation", "EmptyWorkingSet",
                           "QueryWorkingSet", "InitializeProcessForWsWatch", "GetWsChanges", "GetMappedFileNameW",
                           "GetMappedFileNameA", "EnumDeviceDrivers", "GetDeviceDriverBaseNameA",
                           "GetDeviceDriverBaseNameW", "GetDeviceDriverFileNameA", "GetDeviceDriverFileNameW",
                           "GetProcessMemoryInfo"})
    EXPECT_NE(GetProcAddress(psapi, name), nullptr) << name;
  EXPECT_EQ(GetProcAddress(psapi, "NoSuchFunction"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);

  auto enumProcesses = reinterpret_cast<EnumProcessesFn>(GetProcAddress(psapi, "EnumProcesses"));
  auto enumModules = reinterpret_cast<EnumModulesFn>(GetProcAddress(psapi, "EnumProcessModules"));
  auto fileName = reinterpret_cast<FileNameFn>(GetProcAddress(psapi, "GetModuleFileNameExW"));
  DWORD ids[1024];
  DWORD bytes = 0;
  ASSERT_TRUE(enumProcesses(ids, sizeof(ids), &bytes));
  std::vector<DWORD> all(ids, ids + bytes / sizeof(DWORD));
  EXPECT_NE(std::find(all.begin(), all.end(), editorPid), all.end());
  ASSERT_TRUE(enumProcesses(ids, 2 * sizeof(DWORD), &bytes));
  EXPECT_EQ(bytes, 2 * sizeof(DWORD)) << "bounded by the buffer";

  HANDLE queryOnly = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, editorPid);
  HMODULE mods[1024];
  DWORD needed = 0;
  EXPECT_FALSE(enumModules(queryOnly, mods, sizeof(mods), &needed)) << "reading modules needs PROCESS_VM_READ";
  CloseHandle(queryOnly);
  HANDLE h = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, editorPid);
  ASSERT_TRUE(enumModules(h, mods, sizeof(mods), &needed));
  EXPECT_EQ(needed, 3 * sizeof(HMODULE));
  wchar_t path[MAX_PATH];
  EXPECT_EQ(fileName(h, mods[0], path, MAX_PATH), 15u);
  EXPECT_STREQ(path, L"/usr/bin/editor");
  EXPECT_EQ(fileName(h, nullptr, path, 5), 4u);
  EXPECT_STREQ(path, L"/usr");
  wchar_t base[32];
  EXPECT_GT(GetModuleBaseNameW(h, mods[1], base, 32), 0u);
  EXPECT_STREQ(base, L"libc.so.6");
  CloseHandle(h);

  EXPECT_TRUE(FreeLibrary(psapi));
  EXPECT_EQ(GetProcAddress(psapi, "EnumProcesses"), nullptr) << "freed";
  EXPECT_FALSE(FreeLibrary(psapi));
}

TEST_F(Processes, AHiddenExportIsMissingUntilTheNextReset) {
  HMODULE kernel = GetModuleHandleW(L"kernel32");
  sim::HideExport(L"KERNEL32.DLL", "Thread32Next");
  EXPECT_EQ(GetProcAddress(kernel, "Thread32Next"), nullptr);
  EXPECT_NE(GetProcAddress(kernel, "Thread32First"), nullptr);
  sim::Reset();
  EXPECT_NE(GetProcAddress(kernel, "Thread32Next"), nullptr);
}

TEST_F(Processes, VersionIsNtAndTestsCanChooseIt) {
  OSVERSIONINFOEXW v{};
  EXPECT_FALSE(GetVersionExW(&v)) << "size field not set";
  v.dwOSVersionInfoSize = sizeof(v);
  ASSERT_TRUE(GetVersionExW(&v));
  EXPECT_EQ(v.dwPlatformId, VER_PLATFORM_WIN32_NT);
  EXPECT_EQ(v.dwMajorVersion, 5u);
  EXPECT_EQ(v.dwMinorVersion, 1u);
  EXPECT_EQ(v.dwOSVersionInfoSize, sizeof(v));
  sim::SetVersion(4, 0);
  OSVERSIONINFOW plain{};
  plain.dwOSVersionInfoSize = sizeof(plain);
  ASSERT_TRUE(GetVersionExW(&plain));
  EXPECT_EQ(plain.dwMajorVersion, 4u);
}

TEST_F(Processes, OurProgramsModulePathComesFromTheBackend) {
  wchar_t path[MAX_PATH];
  EXPECT_GT(GetModuleFileNameW(nullptr, path, MAX_PATH), 0u);
  EXPECT_STREQ(path, L"/opt/pastiq/bin/pastiq");
}

}  // namespace
