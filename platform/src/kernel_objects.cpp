// Process and snapshot handles, waits, time, version, tool-help snapshots and
// the process-status functions.
#include <algorithm>
#include <cstring>

#include "desktop_internal.h"

namespace platform::detail {
namespace {

struct KernelObject {
  enum Kind { Process, Snapshot } kind = Process;
  DWORD pid = 0;
  DWORD access = 0;
  // Ids only: each entry's details are read as it is handed out. The likely
  // ones come first; the others are listed when the walk goes past them.
  std::vector<DWORD> processes;
  bool listedAll = false;
  std::vector<ModuleInfo> modules;
  std::size_t processPos = 0;
  std::size_t modulePos = 0;
};

struct Handles {
  std::mutex mu;
  std::map<std::uintptr_t, KernelObject> live;
  std::uintptr_t next = 0x1004;
};

Handles& H() {
  static Handles* h = new Handles;
  return *h;
}

HANDLE Add(KernelObject obj) {
  Handles& h = H();
  std::lock_guard<std::mutex> g(h.mu);
  std::uintptr_t v = h.next;
  h.next += 4;
  h.live[v] = std::move(obj);
  return reinterpret_cast<HANDLE>(v);
}

// A copy of the object; false for a handle that is not one of ours.
template <typename F>
bool With(HANDLE handle, KernelObject::Kind kind, F&& f) {
  Handles& h = H();
  std::lock_guard<std::mutex> g(h.mu);
  auto it = h.live.find(reinterpret_cast<std::uintptr_t>(handle));
  if (it == h.live.end() || it->second.kind != kind) return false;
  f(it->second);
  return true;
}

std::wstring BaseName(const std::wstring& path) {
  std::size_t slash = path.find_last_of(L"/\\");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

void CopyBounded(const std::wstring& s, WCHAR* out, std::size_t capacity) {
  std::size_t n = std::min(s.size(), capacity - 1);
  s.copy(out, n);
  out[n] = 0;
}

void Fill(PROCESSENTRY32W* e, const ProcessInfo& p) {
  DWORD size = e->dwSize;
  std::memset(static_cast<void*>(e), 0, sizeof(*e));
  e->dwSize = size;
  e->th32ProcessID = p.pid;
  e->cntThreads = p.threadCount;
  e->th32ParentProcessID = p.parentPid;
  e->pcPriClassBase = 8;
  CopyBounded(p.pid ? BaseName(p.exePath) : std::wstring(L"[System Process]"), e->szExeFile, MAX_PATH);
}

void Fill(MODULEENTRY32W* e, DWORD pid, const ModuleInfo& m) {
  DWORD size = e->dwSize;
  std::memset(static_cast<void*>(e), 0, sizeof(*e));
  e->dwSize = size;
  e->th32ModuleID = 1;
  e->th32ProcessID = pid;
  e->GlblcntUsage = 0xFFFF;
  e->ProccntUsage = 0xFFFF;
  e->modBaseAddr = reinterpret_cast<BYTE*>(m.base);
  e->modBaseSize = m.size;
  e->hModule = reinterpret_cast<HMODULE>(m.base);
  CopyBounded(BaseName(m.path), e->szModule, MAX_MODULE_NAME32 + 1);
  CopyBounded(m.path, e->szExePath, MAX_PATH);
  e->isExecutable = m.isExecutable ? TRUE : FALSE;
}

// One step of a snapshot walk: `step` fills the entry and tells whether
// there was one.
template <typename Entry, typename Step>
BOOL Walk(HANDLE snapshot, Entry* e, Step&& step) {
  if (!e || e->dwSize != sizeof(Entry)) {
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  bool more = false;
  if (!With(snapshot, KernelObject::Snapshot, [&](KernelObject& o) { more = step(o); })) {
    SetError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!more) SetError(ERROR_NO_MORE_FILES);
  return more ? TRUE : FALSE;
}

BOOL NextProcess(HANDLE snapshot, PROCESSENTRY32W* e, bool first) {
  DWORD pid = 0;
  bool listAll = false;
  auto step = [&](KernelObject& o) {
    if (first) o.processPos = 0;
    listAll = o.processPos >= o.processes.size() && !o.listedAll;
    if (o.processPos >= o.processes.size()) return false;
    pid = o.processes[o.processPos++];
    return true;
  };
  BOOL more = Walk(snapshot, e, step);
  if (!more && listAll) {
    // Listed outside the handle lock, then added after the likely ones.
    std::vector<DWORD> all = platform::CurrentBackend().ProcessIds();
    With(snapshot, KernelObject::Snapshot, [&](KernelObject& o) {
      if (o.listedAll) return;
      std::vector<DWORD> had = o.processes;
      std::sort(had.begin(), had.end());
      for (DWORD id : all)
        if (!std::binary_search(had.begin(), had.end(), id)) o.processes.push_back(id);
      o.listedAll = true;
    });
    first = false;
    more = Walk(snapshot, e, step);
  }
  if (!more) return FALSE;
  // Read outside the handle lock. A process that ended since the snapshot
  // was taken keeps its place, without details.
  ProcessInfo info;
  if (!platform::CurrentBackend().ProcessDetails(pid, &info)) info = ProcessInfo{pid, 0, 0, L""};
  Fill(e, info);
  return TRUE;
}

BOOL NextModule(HANDLE snapshot, MODULEENTRY32W* e, bool first) {
  return Walk(snapshot, e, [&](KernelObject& o) {
    if (first) o.modulePos = 0;
    if (o.modulePos >= o.modules.size()) return false;
    Fill(e, o.pid, o.modules[o.modulePos++]);
    return true;
  });
}

// The modules of an opened process, when the handle grants reading them.
bool ProcessModules(HANDLE process, std::vector<ModuleInfo>* out, DWORD* pidOut) {
  DWORD pid = 0, access = 0;
  if (!With(process, KernelObject::Process, [&](KernelObject& o) {
        pid = o.pid;
        access = o.access;
      })) {
    SetError(ERROR_INVALID_HANDLE);
    return false;
  }
  const DWORD need = PROCESS_QUERY_INFORMATION | PROCESS_VM_READ;
  if ((access & need) != need) {
    SetError(ERROR_ACCESS_DENIED);
    return false;
  }
  if (!platform::CurrentBackend().Modules(pid, out) || out->empty()) {
    SetError(ERROR_PARTIAL_COPY);
    return false;
  }
  if (pidOut) *pidOut = pid;
  return true;
}

DWORD ModuleText(HANDLE process, HMODULE module, LPWSTR out, DWORD size, bool baseOnly) {
  if (!out || size == 0) {
    SetError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::vector<ModuleInfo> mods;
  if (!ProcessModules(process, &mods, nullptr)) return 0;
  const ModuleInfo* m = module ? nullptr : &mods.front();
  for (const ModuleInfo& x : mods)
    if (module && reinterpret_cast<HMODULE>(x.base) == module) m = &x;
  if (!m) {
    SetError(ERROR_INVALID_HANDLE);
    return 0;
  }
  std::wstring s = baseOnly ? BaseName(m->path) : m->path;
  std::size_t n = std::min<std::size_t>(s.size(), size - 1);
  s.copy(out, n);
  out[n] = 0;
  return static_cast<DWORD>(n);
}

}  // namespace

void ResetHandles() {
  Handles& h = H();
  std::lock_guard<std::mutex> g(h.mu);
  h.live.clear();
}

}  // namespace platform::detail

using namespace platform::detail;

HANDLE OpenProcess(DWORD access, BOOL, DWORD pid) {
  if (pid == 0) {
    SetError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  DWORD e = platform::CurrentBackend().CheckOpenProcess(pid, access);
  if (e != ERROR_SUCCESS) {
    SetError(e);
    return nullptr;
  }
  KernelObject o;
  o.kind = KernelObject::Process;
  o.pid = pid;
  o.access = access;
  return Add(std::move(o));
}

BOOL CloseHandle(HANDLE handle) {
  Handles& h = H();
  std::lock_guard<std::mutex> g(h.mu);
  if (!h.live.erase(reinterpret_cast<std::uintptr_t>(handle))) {
    SetError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

DWORD WaitForInputIdle(HANDLE process, DWORD ms) {
  DWORD pid = 0;
  if (!With(process, KernelObject::Process, [&](KernelObject& o) { pid = o.pid; })) {
    SetError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  return platform::CurrentBackend().WaitForInputIdle(pid, ms);
}

void Sleep(DWORD ms) { platform::CurrentBackend().Sleep(ms); }

DWORD GetTickCount() { return static_cast<DWORD>(platform::CurrentBackend().NowMs()); }

BOOL GetVersionExW(OSVERSIONINFOW* info) {
  if (!info || (info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOW) && info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOEXW))) {
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  DWORD size = info->dwOSVersionInfoSize;
  OSVERSIONINFOW v{};
  platform::CurrentBackend().Version(&v);
  if (size == sizeof(OSVERSIONINFOEXW)) {
    auto* ex = reinterpret_cast<OSVERSIONINFOEXW*>(info);
    *ex = OSVERSIONINFOEXW{};
  }
  std::memcpy(static_cast<void*>(info), &v, sizeof(v));
  info->dwOSVersionInfoSize = size;
  return TRUE;
}

HANDLE CreateToolhelp32Snapshot(DWORD flags, DWORD pid) {
  platform::Backend& b = platform::CurrentBackend();
  KernelObject o;
  o.kind = KernelObject::Snapshot;
  if (flags & TH32CS_SNAPPROCESS) o.processes = b.LikelyProcessIds();
  if (flags & TH32CS_SNAPMODULE) {
    if (pid == 0) pid = GetCurrentProcessId();
    if (!b.Modules(pid, &o.modules)) {
      DWORD e = b.CheckOpenProcess(pid, PROCESS_QUERY_INFORMATION | PROCESS_VM_READ);
      SetError(e != ERROR_SUCCESS ? e : ERROR_PARTIAL_COPY);
      return INVALID_HANDLE_VALUE;
    }
    o.pid = pid;
  }
  return Add(std::move(o));
}

BOOL Process32FirstW(HANDLE snapshot, PROCESSENTRY32W* entry) { return NextProcess(snapshot, entry, true); }
BOOL Process32NextW(HANDLE snapshot, PROCESSENTRY32W* entry) { return NextProcess(snapshot, entry, false); }
BOOL Module32FirstW(HANDLE snapshot, MODULEENTRY32W* entry) { return NextModule(snapshot, entry, true); }
BOOL Module32NextW(HANDLE snapshot, MODULEENTRY32W* entry) { return NextModule(snapshot, entry, false); }

BOOL EnumProcesses(DWORD* ids, DWORD cb, DWORD* bytesReturned) {
  if (!ids || !bytesReturned) {
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::vector<DWORD> all = platform::CurrentBackend().ProcessIds();
  std::size_t n = std::min<std::size_t>(all.size(), cb / sizeof(DWORD));
  std::copy(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(n), ids);
  *bytesReturned = static_cast<DWORD>(n * sizeof(DWORD));
  return TRUE;
}

BOOL EnumProcessModules(HANDLE process, HMODULE* modules, DWORD cb, DWORD* needed) {
  if (!needed || (cb && !modules)) {
    SetError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::vector<platform::ModuleInfo> mods;
  if (!ProcessModules(process, &mods, nullptr)) return FALSE;
  std::size_t n = std::min<std::size_t>(mods.size(), cb / sizeof(HMODULE));
  for (std::size_t i = 0; i < n; ++i) modules[i] = reinterpret_cast<HMODULE>(mods[i].base);
  *needed = static_cast<DWORD>(mods.size() * sizeof(HMODULE));
  return TRUE;
}

DWORD GetModuleFileNameExW(HANDLE process, HMODULE module, LPWSTR out, DWORD size) {
  return ModuleText(process, module, out, size, false);
}

DWORD GetModuleBaseNameW(HANDLE process, HMODULE module, LPWSTR out, DWORD size) {
  return ModuleText(process, module, out, size, true);
}
