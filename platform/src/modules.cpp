// Our own module table: the libraries whose procedures callers look up by
// name, and the libraries of ours that register themselves.
#include <cwctype>
#include <set>

#include "desktop_internal.h"

namespace platform::detail {
namespace {

// Present in the table for completeness; the layer does not offer them.
LONG_PTR NotOffered() {
  SetError(ERROR_PROC_NOT_FOUND);
  return 0;
}

template <typename F>
FARPROC Proc(F* f) {
  return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(f));
}

struct Module {
  std::wstring name;  // upper case, with extension
  std::wstring path;
  std::uintptr_t handle = 0;
  bool resident = false;  // loaded without LoadLibraryW
  int loads = 0;
  std::map<std::string, FARPROC> exports;
  std::set<std::string> hidden;
};

struct Modules {
  std::mutex mu;
  std::vector<Module> all;
  std::uintptr_t nextHandle = 0x10000000;
};

constexpr std::uintptr_t kProgramHandle = 0x00400000;

Modules& M() {
  static Modules* m = [] {
    auto* t = new Modules;
    Module kernel;
    kernel.name = L"KERNEL32.DLL";
    kernel.path = L"KERNEL32.DLL";
    kernel.handle = 0x7C800000;
    kernel.resident = true;
    FARPROC no = Proc(&NotOffered);
    kernel.exports = {
        {"CreateToolhelp32Snapshot", Proc(&CreateToolhelp32Snapshot)},
        {"Heap32First", no},
        {"Heap32ListFirst", no},
        {"Heap32ListNext", no},
        {"Heap32Next", no},
        {"Module32FirstW", Proc(&Module32FirstW)},
        {"Module32NextW", Proc(&Module32NextW)},
        {"Module32First", no},
        {"Module32Next", no},
        {"Process32FirstW", Proc(&Process32FirstW)},
        {"Process32NextW", Proc(&Process32NextW)},
        {"Process32First", no},
        {"Process32Next", no},
        {"Thread32First", no},
        {"Thread32Next", no},
        {"Toolhelp32ReadProcessMemory", no},
    };
    t->all.push_back(std::move(kernel));
    Module psapi;
    psapi.name = L"PSAPI.DLL";
    psapi.path = L"PSAPI.DLL";
    psapi.handle = 0x76BB0000;
    psapi.exports = {
        {"EnumProcesses", Proc(&EnumProcesses)},
        {"EnumProcessModules", Proc(&EnumProcessModules)},
        {"GetModuleBaseNameA", no},
        {"GetModuleBaseNameW", Proc(&GetModuleBaseNameW)},
        {"GetModuleFileNameExA", no},
        {"GetModuleFileNameExW", Proc(&GetModuleFileNameExW)},
        {"GetModuleInformation", no},
        {"EmptyWorkingSet", no},
        {"QueryWorkingSet", no},
        {"InitializeProcessForWsWatch", no},
        {"GetWsChanges", no},
        {"GetMappedFileNameW", no},
        {"GetMappedFileNameA", no},
        {"EnumDeviceDrivers", no},
        {"GetDeviceDriverBaseNameA", no},
        {"GetDeviceDriverBaseNameW", no},
        {"GetDeviceDriverFileNameA", no},
        {"GetDeviceDriverFileNameW", no},
        {"GetProcessMemoryInfo", no},
    };
    t->all.push_back(std::move(psapi));
    return t;
  }();
  return *m;
}

std::wstring Normalize(LPCWSTR name) {
  std::wstring s(name);
  std::size_t slash = s.find_last_of(L"/\\");
  if (slash != std::wstring::npos) s = s.substr(slash + 1);
  for (wchar_t& c : s) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
  if (s.find(L'.') == std::wstring::npos) s += L".DLL";
  return s;
}

Module* ByName(Modules& m, const std::wstring& name) {
  for (Module& x : m.all)
    if (x.name == name) return &x;
  return nullptr;
}

Module* ByHandle(Modules& m, HMODULE h) {
  for (Module& x : m.all)
    if (x.handle == reinterpret_cast<std::uintptr_t>(h)) return &x;
  return nullptr;
}

}  // namespace

void ResetModules() {
  Modules& m = M();
  std::lock_guard<std::mutex> g(m.mu);
  for (Module& x : m.all) {
    x.hidden.clear();
    x.loads = 0;
  }
}

bool IsModule(HMODULE module) {
  if (reinterpret_cast<std::uintptr_t>(module) == kProgramHandle) return true;
  Modules& m = M();
  std::lock_guard<std::mutex> g(m.mu);
  Module* x = ByHandle(m, module);
  return x && (x->resident || x->loads > 0);
}

void HideExport(LPCWSTR module, LPCSTR name) {
  if (!module || !name) return;
  Modules& m = M();
  std::lock_guard<std::mutex> g(m.mu);
  if (Module* x = ByName(m, Normalize(module))) x->hidden.insert(name);
}

}  // namespace platform::detail

using namespace platform::detail;

HMODULE GetModuleHandleW(LPCWSTR name) {
  if (!name) return reinterpret_cast<HMODULE>(kProgramHandle);
  Modules& m = M();
  std::lock_guard<std::mutex> g(m.mu);
  Module* x = ByName(m, Normalize(name));
  if (!x || !(x->resident || x->loads > 0)) {
    SetError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<HMODULE>(x->handle);
}

HMODULE LoadLibraryW(LPCWSTR name) {
  if (!name || !*name) {
    SetError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  Modules& m = M();
  std::lock_guard<std::mutex> g(m.mu);
  Module* x = ByName(m, Normalize(name));
  if (!x) {
    SetError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  ++x->loads;
  return reinterpret_cast<HMODULE>(x->handle);
}

BOOL FreeLibrary(HMODULE module) {
  if (reinterpret_cast<std::uintptr_t>(module) == kProgramHandle) return TRUE;
  Modules& m = M();
  std::lock_guard<std::mutex> g(m.mu);
  Module* x = ByHandle(m, module);
  if (!x || (!x->resident && x->loads == 0)) {
    SetError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (x->loads > 0) --x->loads;
  return TRUE;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name) {
  // Lookups by ordinal (a "name" below 0x10000) are not offered.
  if (!name || reinterpret_cast<std::uintptr_t>(name) < 0x10000) {
    SetError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  Modules& m = M();
  std::lock_guard<std::mutex> g(m.mu);
  Module* x = ByHandle(m, module);
  if (!x || !(x->resident || x->loads > 0)) {
    SetError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  auto it = x->exports.find(name);
  if (it == x->exports.end() || x->hidden.count(name)) {
    SetError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  return it->second;
}

DWORD GetModuleFileNameW(HMODULE module, LPWSTR out, DWORD size) {
  if (!out || size == 0) {
    SetError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::wstring path;
  if (!module || reinterpret_cast<std::uintptr_t>(module) == kProgramHandle) {
    std::vector<platform::ModuleInfo> mods;
    platform::Backend& b = platform::CurrentBackend();
    if (b.Modules(b.OwnProcessId(), &mods) && !mods.empty()) path = mods.front().path;
  } else {
    Modules& m = M();
    std::lock_guard<std::mutex> g(m.mu);
    Module* x = ByHandle(m, module);
    if (!x) {
      SetError(ERROR_MOD_NOT_FOUND);
      return 0;
    }
    path = x->path;
  }
  std::size_t n = std::min<std::size_t>(path.size(), size - 1);
  path.copy(out, n);
  out[n] = 0;
  return static_cast<DWORD>(n);
}

namespace platform {

HMODULE RegisterModule(LPCWSTR name, LPCWSTR path) {
  if (!name || !*name) return nullptr;
  Modules& m = M();
  std::lock_guard<std::mutex> g(m.mu);
  std::wstring n = Normalize(name);
  if (Module* x = ByName(m, n)) return reinterpret_cast<HMODULE>(x->handle);
  Module x;
  x.name = n;
  x.path = path ? path : name;
  x.handle = m.nextHandle;
  m.nextHandle += 0x100000;
  x.resident = true;
  m.all.push_back(std::move(x));
  return reinterpret_cast<HMODULE>(m.all.back().handle);
}

}  // namespace platform
