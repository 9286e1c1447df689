#include "pq/sourceapp.h"

#include <algorithm>
#include <cwchar>
#include <iterator>

namespace pq {
namespace {

int versionCode = 0;

int ComputeVersionCode() {
  OSVERSIONINFOEXW info{};
  info.dwOSVersionInfoSize = sizeof(info);
  if (!GetVersionExW(&info)) return 0;
  switch (info.dwPlatformId) {
    case VER_PLATFORM_WIN32s:
      return 1;
    case VER_PLATFORM_WIN32_WINDOWS:
      if (info.dwMinorVersion == 0) return 2;
      if (info.dwMinorVersion == 10) return 3;
      return 4;
    default:
      if (info.dwMajorVersion == 4) return 6;
      return info.dwMinorVersion == 0 ? 7 : 8;
  }
}

// The process-status facility serves NT 4; every other system has tool-help.
bool UsesProcessStatus() { return GetWindowsVersionCode() == 6; }

// A library's functions bound by name. Usable only when the library and every
// function were found; otherwise nothing of it is.
template <std::size_t N>
struct BoundTable {
  HMODULE module = nullptr;
  FARPROC procs[N] = {};

  bool Usable() const {
    return module && std::all_of(std::begin(procs), std::end(procs), [](FARPROC p) { return p != nullptr; });
  }
  void Bind(HMODULE m, const char* const (&names)[N]) {
    module = m;
    for (std::size_t i = 0; i < N; ++i) procs[i] = module ? GetProcAddress(module, names[i]) : nullptr;
    if (!Usable()) Clear();
  }
  void Clear() {
    module = nullptr;
    std::fill(std::begin(procs), std::end(procs), nullptr);
  }
  template <class F>
  F As(std::size_t i) const {
    return reinterpret_cast<F>(procs[i]);
  }
};

const char* const kToolHelpNames[] = {
    "CreateToolhelp32Snapshot", "Heap32First",     "Heap32ListFirst", "Heap32ListNext",
    "Heap32Next",               "Module32FirstW",  "Module32NextW",   "Module32First",
    "Module32Next",             "Process32FirstW", "Process32NextW",  "Process32First",
    "Process32Next",            "Thread32First",   "Thread32Next",    "Toolhelp32ReadProcessMemory"};
enum { kCreateSnapshot = 0, kModuleFirstW = 5, kModuleNextW = 6, kProcessFirstW = 9, kProcessNextW = 10 };

const char* const kProcessStatusNames[] = {
    "EnumProcesses",          "EnumProcessModules",       "GetModuleBaseNameA",       "GetModuleBaseNameW",
    "GetModuleFileNameExA",   "GetModuleFileNameExW",     "GetModuleInformation",     "EmptyWorkingSet",
    "QueryWorkingSet",        "InitializeProcessForWsWatch", "GetWsChanges",          "GetMappedFileNameW",
    "GetMappedFileNameA",     "EnumDeviceDrivers",        "GetDeviceDriverBaseNameA", "GetDeviceDriverBaseNameW",
    "GetDeviceDriverFileNameA", "GetDeviceDriverFileNameW", "GetProcessMemoryInfo"};
enum { kEnumProcesses = 0, kEnumProcessModules = 1, kGetModuleFileNameExW = 5 };

using SnapshotFn = HANDLE (*)(DWORD, DWORD);
using ProcessWalkFn = BOOL (*)(HANDLE, PROCESSENTRY32W*);
using ModuleWalkFn = BOOL (*)(HANDLE, MODULEENTRY32W*);
using EnumProcessesFn = BOOL (*)(DWORD*, DWORD, DWORD*);
using EnumModulesFn = BOOL (*)(HANDLE, HMODULE*, DWORD, DWORD*);
using ModuleFileNameFn = DWORD (*)(HANDLE, HMODULE, LPWSTR, DWORD);

// Bound on first use rather than by a static initialiser: the desktop the
// program runs on is chosen at start-up, after static initialisation.
struct Binder {
  bool bound = false;
  BoundTable<std::size(kToolHelpNames)> toolHelp;
  BoundTable<std::size(kProcessStatusNames)> processStatus;
  HMODULE loadedLibrary = nullptr;
  bool processStatusChosen = false;

  ~Binder() { Release(); }

  void Ensure() {
    if (bound) return;
    bound = true;
    processStatusChosen = UsesProcessStatus();
    if (processStatusChosen) {
      loadedLibrary = LoadLibraryW(L"PSAPI.DLL");
      processStatus.Bind(loadedLibrary, kProcessStatusNames);
    } else {
      toolHelp.Bind(GetModuleHandleW(L"KERNEL32.DLL"), kToolHelpNames);
    }
  }
  void Release() {
    if (loadedLibrary) FreeLibrary(loadedLibrary);
    loadedLibrary = nullptr;
    toolHelp.Clear();
    processStatus.Clear();
    bound = false;
  }
};

Binder& TheBinder() {
  static Binder binder;
  return binder;
}

// The longest path kept: the lookup's 259-character buffer and its NUL.
constexpr std::size_t kMaxKeptPath = 258;

std::wstring ToolHelpLookup(const BoundTable<std::size(kToolHelpNames)>& t, DWORD pid) {
  if (!t.Usable() || pid == 0) return {};
  auto snapshot = t.As<SnapshotFn>(kCreateSnapshot);
  HANDLE processes = snapshot(TH32CS_SNAPPROCESS, 0);
  if (processes == INVALID_HANDLE_VALUE || processes == nullptr) return {};
  bool found = false;
  PROCESSENTRY32W pe{};
  pe.dwSize = sizeof(pe);
  for (BOOL ok = t.As<ProcessWalkFn>(kProcessFirstW)(processes, &pe); ok;
       ok = t.As<ProcessWalkFn>(kProcessNextW)(processes, &pe)) {
    if (pe.th32ProcessID != 0 && pe.th32ProcessID == pid) {
      found = true;
      break;  // no step further: each one may cost the layer a read
    }
  }
  CloseHandle(processes);
  if (!found) return {};

  HANDLE modules = snapshot(TH32CS_SNAPMODULE, pid);
  if (modules == INVALID_HANDLE_VALUE || modules == nullptr) return {};
  // Executables here carry no ".exe" suffix: the layer marks the module the
  // process was started from. The lowest such module wins, the first on a tie.
  WCHAR best[MAX_PATH] = {};
  bool have = false;
  BYTE* bestBase = nullptr;
  MODULEENTRY32W me{};
  me.dwSize = sizeof(me);
  for (BOOL ok = t.As<ModuleWalkFn>(kModuleFirstW)(modules, &me); ok;
       ok = t.As<ModuleWalkFn>(kModuleNextW)(modules, &me)) {
    if (!me.isExecutable) continue;
    if (have && me.modBaseAddr >= bestBase) continue;
    have = true;
    bestBase = me.modBaseAddr;
    std::wmemcpy(best, me.szExePath, MAX_PATH);
    best[MAX_PATH - 1] = 0;
  }
  CloseHandle(modules);
  if (!have) return {};
  std::wstring path(best);
  if (path.size() > kMaxKeptPath) path.resize(kMaxKeptPath);
  return path;
}

std::wstring ProcessStatusLookup(const BoundTable<std::size(kProcessStatusNames)>& t, DWORD pid) {
  if (!t.Usable() || pid == 0) return {};
  DWORD ids[1024];
  DWORD bytes = 0;
  if (!t.As<EnumProcessesFn>(kEnumProcesses)(ids, sizeof(ids), &bytes)) return {};
  const DWORD count = std::min<DWORD>(bytes / sizeof(DWORD), 1024);
  if (std::find(ids, ids + count, pid) == ids + count) return {};

  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
  if (!process) return {};
  std::wstring path;
  HMODULE modules[1024];
  DWORD needed = 0;
  if (t.As<EnumModulesFn>(kEnumProcessModules)(process, modules, sizeof(modules), &needed) &&
      needed >= sizeof(HMODULE)) {
    WCHAR name[MAX_PATH] = {};
    if (t.As<ModuleFileNameFn>(kGetModuleFileNameExW)(process, modules[0], name, MAX_PATH) != 0) {
      name[MAX_PATH - 1] = 0;
      path = name;
    }
  }
  CloseHandle(process);
  return path;
}

}  // namespace

int GetWindowsVersionCode() {
  if (versionCode == 0) versionCode = ComputeVersionCode();
  return versionCode;
}

std::wstring GetSourceApplication(DWORD pid) {
  Binder& b = TheBinder();
  b.Ensure();
  return b.processStatusChosen ? ProcessStatusLookup(b.processStatus, pid) : ToolHelpLookup(b.toolHelp, pid);
}

void RebindProcessFunctions() {
  TheBinder().Release();
  versionCode = 0;
  TheBinder().Ensure();
}

}  // namespace pq
