// The simulated desktop's backend and its test API.
#include <algorithm>
#include <limits>
#include <string>
#include <vector>

#include "../src/desktop_internal.h"
#include "../src/sim_factory.h"
#include "platform/input.h"
#include "platform/shortcuts.h"
#include "sim_internal.h"

namespace platform::sim {
namespace {

namespace pd = platform::detail;

constexpr std::uint64_t kForever = std::numeric_limits<std::uint64_t>::max();

struct SimProcess {
  DWORD pid = 0;
  DWORD parentPid = 0;
  std::wstring exePath;
  std::vector<ModuleInfo> modules;
  std::uint64_t busyUntil = 0;
  bool noQueue = false;
  bool protectedProcess = false;
  bool ended = false;
  DWORD mainThread = 0;
  DWORD threadCount = 1;
};

// Lock order: the desktop's lock may be held when this one is taken, never
// the other way round.
struct SimState {
  std::recursive_mutex mu;
  Options options;
  std::uint64_t now = 1000000;
  std::map<DWORD, SimProcess> processes;
  RECT workArea{0, 0, 1280, 994};
  std::vector<Backend::Monitor> monitors;  // empty: one, the work area
  OSVERSIONINFOW version{};
  bool foregroundAllowed = true;
  std::uintptr_t nextBase = 0x70000000;
  std::vector<std::function<void()>> resetHandlers;
  std::vector<HookShortcut> heldShortcuts;  // by other applications
};

SimState& S() {
  static SimState* s = new SimState;
  return *s;
}
using SLock = std::lock_guard<std::recursive_mutex>;

void DefaultVersion(OSVERSIONINFOW* v) {
  *v = OSVERSIONINFOW{};
  v->dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
  v->dwMajorVersion = 5;
  v->dwMinorVersion = 1;
  v->dwBuildNumber = 2600;
  v->dwPlatformId = VER_PLATFORM_WIN32_NT;
}

int RunPendingImpl();

class SimBackend : public Backend {
 public:
  const char* Name() const override { return "sim"; }

  std::uint64_t NowMs() override {
    SLock g(S().mu);
    return S().now;
  }

  void Sleep(DWORD ms) override {
    {
      SLock g(S().mu);
      S().now += ms;
    }
    RunPendingImpl();
  }

  DWORD OwnProcessId() override {
    SLock g(S().mu);
    return S().options.ownPid;
  }

  std::vector<DWORD> ProcessIds() override {
    std::vector<DWORD> out{0};  // the idle process comes first
    SimState& s = S();
    SLock g(s.mu);
    out.push_back(s.options.ownPid);
    for (auto& [pid, p] : s.processes)
      if (!p.ended) out.push_back(pid);
    std::sort(out.begin() + 1, out.end());
    return out;
  }

  bool ProcessDetails(DWORD pid, ProcessInfo* out) override {
    SimState& s = S();
    SLock g(s.mu);
    if (pid == 0) *out = ProcessInfo{0, 0, 1, L""};
    else if (pid == s.options.ownPid) *out = ProcessInfo{pid, 0, 1, s.options.ownExePath};
    else {
      auto it = s.processes.find(pid);
      if (it == s.processes.end() || it->second.ended) return false;
      *out = ProcessInfo{pid, it->second.parentPid, it->second.threadCount, it->second.exePath};
    }
    return true;
  }

  bool Modules(DWORD pid, std::vector<ModuleInfo>* out) override {
    SimState& s = S();
    SLock g(s.mu);
    out->clear();
    if (pid == s.options.ownPid) {
      out->push_back(ModuleInfo{s.options.ownExePath, 0x00400000, 0x100000, true});
      return true;
    }
    auto it = s.processes.find(pid);
    if (it == s.processes.end() || it->second.ended || it->second.protectedProcess) return false;
    *out = it->second.modules;
    return true;
  }

  DWORD CheckOpenProcess(DWORD pid, DWORD) override {
    SimState& s = S();
    SLock g(s.mu);
    if (pid == s.options.ownPid) return ERROR_SUCCESS;
    auto it = s.processes.find(pid);
    if (it == s.processes.end() || it->second.ended) return ERROR_INVALID_PARAMETER;
    if (it->second.protectedProcess) return ERROR_ACCESS_DENIED;
    return ERROR_SUCCESS;
  }

  DWORD WaitForInputIdle(DWORD pid, DWORD ms) override {
    std::uint64_t until = 0;
    {
      SimState& s = S();
      SLock g(s.mu);
      if (pid == s.options.ownPid) return 0;
      auto it = s.processes.find(pid);
      if (it == s.processes.end() || it->second.ended || it->second.noQueue) {
        pd::SetError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
      }
      until = it->second.busyUntil;
      if (until <= s.now) {
        until = 0;
      } else if (until != kForever && until - s.now <= ms) {
        s.now = until;
        until = 0;
      } else {
        s.now += ms;
      }
    }
    RunPendingImpl();
    return until ? static_cast<DWORD>(WAIT_TIMEOUT) : 0u;
  }

  RECT WorkArea() override {
    SLock g(S().mu);
    return S().workArea;
  }

  std::vector<Monitor> Monitors() override {
    SLock g(S().mu);
    if (S().monitors.empty()) return {Monitor{S().workArea, S().workArea}};
    return S().monitors;
  }

  void Version(OSVERSIONINFOW* info) override {
    SLock g(S().mu);
    *info = S().version;
  }

  bool AllowSetForeground(HWND) override {
    SLock g(S().mu);
    return S().foregroundAllowed;
  }

  void ThreadHasWork(DWORD, bool input) override {
    if (input) RunPendingImpl();
  }
};

bool Free(DWORD tid) {
  DWORD pid = 0;
  {
    pd::Desktop& d = pd::D();
    pd::Lock g(d.mu);
    pd::ThreadRec* t = pd::FindThread(tid);
    if (!t) return false;
    pid = t->pid;
  }
  SimState& s = S();
  SLock g(s.mu);
  auto it = s.processes.find(pid);
  return it != s.processes.end() && !it->second.ended && it->second.busyUntil <= s.now;
}

int RunPendingImpl() {
  const int kBound = 100000;
  int n = 0;
  while (n < kBound) {
    bool progress = false;
    for (DWORD tid : pd::ForeignThreadsWithWork()) {
      if (!Free(tid)) continue;
      if (pd::ProcessOne(tid)) {
        ++n;
        progress = true;
      }
    }
    if (!progress) break;
  }
  return n;
}

DWORD ThreadOwner(DWORD tid) {
  pd::Desktop& d = pd::D();
  pd::Lock g(d.mu);
  pd::ThreadRec* t = pd::FindThread(tid);
  return t && !t->own ? t->pid : 0;
}

}  // namespace

void Reset(const Options& options) {
  if (std::string(CurrentBackend().Name()) != "sim") StartBackend(std::make_unique<SimBackend>());
  {
    SimState& s = S();
    SLock g(s.mu);
    s.options = options;
    s.now = options.startMs;
    s.processes.clear();
    s.workArea = options.workArea;
    s.monitors.clear();
    DefaultVersion(&s.version);
    s.foregroundAllowed = true;
    s.nextBase = 0x70000000;
    s.heldShortcuts.clear();
  }
  pd::ResetDesktop();
  pd::ResetHandles();
  pd::ResetModules();
  detail::ResetControls();
  std::vector<std::function<void()>> handlers;
  {
    SLock g(S().mu);
    handlers = S().resetHandlers;
  }
  for (auto& h : handlers) h();
}

void AddResetHandler(std::function<void()> handler) {
  SLock g(S().mu);
  S().resetHandlers.push_back(std::move(handler));
}

DWORD CreateProcess(const ProcessSpec& spec) {
  CurrentBackend();
  DWORD pid = spec.pid;
  if (pid) {
    pd::ReserveId(pid);
  } else {
    pid = pd::NewId();
  }
  SimProcess p;
  p.pid = pid;
  p.parentPid = spec.parentPid;
  p.exePath = spec.exePath;
  p.noQueue = spec.idle == Idle::NoInputQueue;
  p.protectedProcess = spec.protectedProcess;
  {
    SimState& s = S();
    SLock g(s.mu);
    if (s.processes.count(pid) || pid == s.options.ownPid) return 0;
    if (spec.idle == Idle::Busy) p.busyUntil = spec.busyMs == INFINITE ? kForever : s.now + spec.busyMs;
    p.modules.push_back(ModuleInfo{spec.exePath, 0x00400000, 0x100000, true});
    for (const ModuleSpec& m : spec.modules) {
      std::uintptr_t base = m.base;
      if (!base) {
        base = s.nextBase;
        s.nextBase += 0x100000;
      }
      p.modules.push_back(ModuleInfo{m.path, base, m.size, false});
    }
  }
  p.mainThread = pd::AddForeignThread(pid);
  SimState& s = S();
  SLock g(s.mu);
  s.processes[pid] = std::move(p);
  return pid;
}

DWORD MainThread(DWORD pid) {
  SimState& s = S();
  SLock g(s.mu);
  auto it = s.processes.find(pid);
  return it == s.processes.end() || it->second.ended ? 0 : it->second.mainThread;
}

DWORD CreateThread(DWORD pid) {
  {
    SimState& s = S();
    SLock g(s.mu);
    auto it = s.processes.find(pid);
    if (it == s.processes.end() || it->second.ended) return 0;
  }
  DWORD tid = pd::AddForeignThread(pid);
  SimState& s = S();
  SLock g(s.mu);
  ++s.processes[pid].threadCount;
  return tid;
}

void SetBusy(DWORD pid, DWORD ms) {
  SimState& s = S();
  SLock g(s.mu);
  auto it = s.processes.find(pid);
  if (it != s.processes.end()) it->second.busyUntil = ms == INFINITE ? kForever : s.now + ms;
}

void SetIdle(DWORD pid) {
  {
    SimState& s = S();
    SLock g(s.mu);
    auto it = s.processes.find(pid);
    if (it != s.processes.end()) it->second.busyUntil = 0;
  }
  RunPendingImpl();
}

void SetNoInputQueue(DWORD pid, bool none) {
  SimState& s = S();
  SLock g(s.mu);
  auto it = s.processes.find(pid);
  if (it != s.processes.end()) it->second.noQueue = none;
}

void EndProcess(DWORD pid) {
  std::vector<std::pair<std::uint64_t, HWND>> roots;
  std::vector<DWORD> threads;
  {
    pd::Desktop& d = pd::D();
    pd::Lock g(d.mu);
    for (auto& [key, w] : d.windows) {
      pd::WindowRec* parent = pd::FindWindowRec(w.parent);
      if (w.pid == pid && (!parent || parent->pid != pid)) roots.emplace_back(w.order, w.hwnd);
    }
    for (auto& [tid, t] : d.threads)
      if (t.pid == pid && !t.own) threads.push_back(tid);
  }
  std::sort(roots.begin(), roots.end());
  for (auto& r : roots) pd::DestroyWindowTree(r.second);
  for (DWORD tid : threads) pd::RemoveThread(tid);
  SimState& s = S();
  SLock g(s.mu);
  auto it = s.processes.find(pid);
  if (it != s.processes.end()) it->second.ended = true;
}

DWORD OwnProcessId() { return CurrentBackend().OwnProcessId(); }

HWND AddWindow(const WindowSpec& spec) {
  DWORD pid = ThreadOwner(spec.thread);
  if (!pid || (spec.parent && !IsWindow(spec.parent))) return nullptr;
  pd::WindowRec rec;
  rec.pid = pid;
  rec.tid = spec.thread;
  rec.className = spec.className;
  rec.title = spec.title;
  rec.parent = spec.parent;
  rec.visible = spec.visible;
  rec.rect = spec.rect;
  rec.proc = &detail::SimWindowProc;
  HWND h = pd::AddWindowRec(std::move(rec));
  detail::AddWindowData(h, spec.proc, false);
  return h;
}

HWND AddEdit(DWORD thread, HWND parent, const std::wstring& className) {
  WindowSpec spec;
  spec.thread = thread;
  spec.className = className;
  spec.parent = parent;
  HWND h = AddWindow(spec);
  if (h) detail::AddWindowData(h, nullptr, true);
  return h;
}

HWND AddRichEdit(DWORD thread, HWND parent) { return AddEdit(thread, parent, L"RichEdit20W"); }

void RemoveWindow(HWND hwnd) { pd::DestroyWindowTree(hwnd); }

void SetCaret(DWORD thread, HWND hwnd, const RECT& rect) {
  pd::Desktop& d = pd::D();
  pd::Lock g(d.mu);
  pd::ThreadRec* t = pd::FindThread(thread);
  if (!t) return;
  t->caretWindow = hwnd;
  t->caret = hwnd ? rect : RECT{0, 0, 0, 0};
}

bool SetFocus(HWND hwnd) { return pd::ChangeFocus(hwnd, false); }

void KeyDown(int vk) {
  pd::InjectKey(vk, false);
  RunPendingImpl();
}

void KeyUp(int vk) {
  pd::InjectKey(vk, true);
  RunPendingImpl();
}

void Tap(int vk) {
  KeyDown(vk);
  KeyUp(vk);
}

void Chord(std::initializer_list<int> keys) {
  for (int vk : keys) KeyDown(vk);
  for (auto it = std::rbegin(keys); it != std::rend(keys); ++it) KeyUp(*it);
}

void TypeText(const std::wstring& text) {
  for (wchar_t ch : text) {
    SHORT scan = VkKeyScanW(ch);
    if (scan == -1) continue;
    int vk = scan & 0xFF;
    bool shift = (scan & 0x100) != 0;
    if (shift) KeyDown(VK_SHIFT);
    Tap(vk);
    if (shift) KeyUp(VK_SHIFT);
  }
}

void Click(HWND hwnd, UINT buttonDown, POINT pt, bool activate) {
  RECT r{0, 0, 0, 0};
  if (!GetWindowRect(hwnd, &r)) return;
  if (pt.x == 0 && pt.y == 0) pt = POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  if (activate) pd::ChangeFocus(hwnd, true);
  pd::InjectMouse(hwnd, buttonDown, pt);
  RunPendingImpl();
  pd::InjectMouse(hwnd, buttonDown + 1, pt);
  RunPendingImpl();
}

void LetThreadRead(DWORD thread) {
  PostThreadMessageW(thread, WM_NULL, 0, 0);
  RunPendingImpl();
}

void RunInThread(DWORD thread, const std::function<void()>& fn) {
  pd::ThreadContext ctx(thread);
  fn();
}

void FailHookInstalls(int idHook, int count) {
  if (idHook < 0 || idHook >= 16) return;
  pd::Desktop& d = pd::D();
  pd::Lock g(d.mu);
  d.failInstalls[idHook] = count;
}

void HoldShortcut(const HookShortcut& shortcut) {
  SLock g(S().mu);
  S().heldShortcuts.push_back(shortcut);
}

void ReleaseHeldShortcuts() {
  SLock g(S().mu);
  S().heldShortcuts.clear();
}

std::vector<std::string> HeldShortcuts() {
  std::vector<HookShortcut> held;
  {
    SLock g(S().mu);
    held = S().heldShortcuts;
  }
  std::vector<std::string> names;
  for (const HookShortcut& s : platform::HookShortcuts()) {
    const bool taken = std::any_of(held.begin(), held.end(), [&](const HookShortcut& h) {
      return h.vk == s.vk && h.ctrl == s.ctrl && h.alt == s.alt && h.win == s.win;
    });
    if (!taken) continue;
    std::string name = std::string(s.ctrl ? "Ctrl+" : "") + (s.alt ? "Alt+" : "") + (s.win ? "Win+" : "");
    switch (s.vk) {
      case VK_UP: name += "Up"; break;
      case VK_DOWN: name += "Down"; break;
      case VK_LEFT: name += "Left"; break;
      case VK_RIGHT: name += "Right"; break;
      case VK_RETURN: name += "Return"; break;
      default: name += static_cast<char>(s.vk); break;  // letters and digits are their own keys
    }
    names.push_back(name);
  }
  return names;
}

int InstalledHooks(int idHook) {
  pd::Desktop& d = pd::D();
  pd::Lock g(d.mu);
  int n = 0;
  for (const pd::HookRec& h : d.hooks)
    if (h.kind == idHook) ++n;
  return n;
}

std::uint64_t NowMs() { return CurrentBackend().NowMs(); }

void Advance(DWORD ms) { CurrentBackend().Sleep(ms); }

int RunPending() { return RunPendingImpl(); }

int Settle() {
  int total = 0;
  for (int round = 0; round < 1000; ++round) {
    int n = RunPendingImpl() + DrainMessages();
    if (n == 0) break;
    total += n;
  }
  return total;
}

void SetWorkArea(const RECT& area) {
  SLock g(S().mu);
  S().workArea = area;
}

void SetMonitors(const std::vector<MonitorSpec>& monitors) {
  SLock g(S().mu);
  S().monitors.clear();
  for (const MonitorSpec& m : monitors) S().monitors.push_back(Backend::Monitor{m.area, m.work});
}

void SetVersion(DWORD major, DWORD minor, DWORD platformId) {
  SLock g(S().mu);
  OSVERSIONINFOW& v = S().version;
  v.dwMajorVersion = major;
  v.dwMinorVersion = minor;
  v.dwPlatformId = platformId;
}

void SetForegroundAllowed(bool allowed) {
  SLock g(S().mu);
  S().foregroundAllowed = allowed;
}

void HideExport(LPCWSTR module, LPCSTR name) { pd::HideExport(module, name); }

}  // namespace platform::sim

namespace platform::detail {
std::unique_ptr<Backend> MakeSimBackend() {
  {
    platform::sim::SimState& s = platform::sim::S();
    platform::sim::SLock g(s.mu);
    platform::sim::DefaultVersion(&s.version);
  }
  return std::make_unique<platform::sim::SimBackend>();
}
}  // namespace platform::detail
