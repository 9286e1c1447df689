#include <algorithm>
#include <iterator>

#include "desktop_internal.h"
#include "sim_factory.h"

namespace platform::detail {
namespace {
struct Tls {
  std::uint64_t generation = 0;
  DWORD own = 0;
  std::vector<DWORD> context;
  DWORD lastError = 0;
  ~Tls();
};
thread_local Tls tls;

// A real thread that ends takes its windows and its queue with it; whoever
// waits for a reply from it gets 0.
Tls::~Tls() {
  if (!own) return;
  Desktop& d = D();
  {
    Lock g(d.mu);
    if (d.generation != generation) return;
    for (auto it = d.windows.begin(); it != d.windows.end();) {
      if (it->second.tid == own) {
        if (d.foreground == it->second.hwnd) d.foreground = nullptr;
        it = d.windows.erase(it);
      } else {
        ++it;
      }
    }
    if (ThreadRec* t = FindThread(own))
      for (QueueItem& item : t->sent) item.slot->done = true;
    d.threads.erase(own);
  }
  d.cv.notify_all();
}
}  // namespace

Desktop& D() {
  static Desktop* desktop = new Desktop;  // lives until exit, also for late callers
  return *desktop;
}

DWORD NewId() {
  Desktop& d = D();
  Lock g(d.mu);
  for (;;) {
    DWORD id = d.nextId;
    d.nextId += 4;
    if (id == d.ownPid || d.usedIds.count(id)) continue;
    d.usedIds.insert(id);
    return id;
  }
}

void ResetDesktop() {
  Desktop& d = D();
  {
    Lock g(d.mu);
    ++d.generation;
    d.windows.clear();
    d.threads.clear();
    d.hooks.clear();
    std::fill(std::begin(d.failInstalls), std::end(d.failInstalls), 0);
    d.foreground = nullptr;
    std::fill(std::begin(d.async), std::end(d.async), BYTE{0});
    d.wakeup = nullptr;
    d.wakePending = false;
    d.nextId = 0x100;
    d.ownPid = d.backend ? d.backend->OwnProcessId() : 0;
    d.usedIds.clear();
    d.usedIds.insert(d.ownPid);
  }
  d.cv.notify_all();
  tls.generation = 0;
  DWORD gui = OwnThreadId();
  Lock g(d.mu);
  d.guiTid = gui;
}

DWORD OwnThreadId() {
  Desktop& d = D();
  if (!d.backend) CurrentBackend();
  Lock g(d.mu);
  if (tls.generation != d.generation) {
    DWORD tid = NewId();
    ThreadRec rec;
    rec.tid = tid;
    rec.pid = d.ownPid;
    rec.own = true;
    rec.realId = std::this_thread::get_id();
    d.threads[tid] = std::move(rec);
    tls.generation = d.generation;
    tls.own = tid;
    tls.context.clear();
  }
  return tls.own;
}

DWORD CurrentThreadId() {
  DWORD own = OwnThreadId();
  return tls.context.empty() ? own : tls.context.back();
}

DWORD CurrentProcessId() {
  DWORD tid = CurrentThreadId();
  Desktop& d = D();
  Lock g(d.mu);
  ThreadRec* t = FindThread(tid);
  return t ? t->pid : d.ownPid;
}

// While code runs as another thread, that thread counts as busy running, so
// the simulated desktop never starts its queue underneath it.
ThreadContext::ThreadContext(DWORD tid) : pushed_(false), tid_(tid), generation_(0) {
  if (CurrentThreadId() == tid) return;
  tls.context.push_back(tid);
  pushed_ = true;
  Desktop& d = D();
  Lock g(d.mu);
  generation_ = d.generation;
  if (ThreadRec* t = FindThread(tid)) ++t->running;
}

ThreadContext::~ThreadContext() {
  if (!pushed_) return;
  if (!tls.context.empty()) tls.context.pop_back();
  Desktop& d = D();
  Lock g(d.mu);
  if (d.generation != generation_) return;
  if (ThreadRec* t = FindThread(tid_)) --t->running;
}

WindowRec* FindWindowRec(HWND hwnd) {
  if (!hwnd) return nullptr;
  Desktop& d = D();
  auto it = d.windows.find(reinterpret_cast<std::uintptr_t>(hwnd));
  return it == d.windows.end() ? nullptr : &it->second;
}

WindowRec* LiveWindow(HWND hwnd) {
  WindowRec* w = FindWindowRec(hwnd);
  if (!w) SetError(ERROR_INVALID_WINDOW_HANDLE);
  return w;
}

ThreadRec* FindThread(DWORD tid) {
  Desktop& d = D();
  auto it = d.threads.find(tid);
  return it == d.threads.end() ? nullptr : &it->second;
}

HWND RootOf(HWND hwnd) {
  WindowRec* w = FindWindowRec(hwnd);
  while (w && w->parent) {
    WindowRec* p = FindWindowRec(w->parent);
    if (!p) break;
    w = p;
  }
  return w ? w->hwnd : nullptr;
}

void SetError(DWORD e) { tls.lastError = e; }
DWORD LastError() { return tls.lastError; }

DWORD AddForeignThread(DWORD pid, DWORD tid) {
  Desktop& d = D();
  Lock g(d.mu);
  if (!tid) tid = NewId();
  d.usedIds.insert(tid);
  ThreadRec rec;
  rec.tid = tid;
  rec.pid = pid;
  rec.own = false;
  d.threads[tid] = std::move(rec);
  return tid;
}

HWND AddWindowRec(WindowRec rec) {
  Desktop& d = D();
  Lock g(d.mu);
  HWND h = reinterpret_cast<HWND>(d.nextWindow);
  d.nextWindow += 2;
  rec.hwnd = h;
  rec.order = d.nextOrder++;
  if (!rec.proc) rec.proc = &DefWindowProcW;
  d.windows[reinterpret_cast<std::uintptr_t>(h)] = std::move(rec);
  return h;
}

}  // namespace platform::detail

namespace platform {

void StartBackend(std::unique_ptr<Backend> backend) {
  detail::Desktop& d = detail::D();
  {
    detail::Lock g(d.mu);
    d.backend = std::move(backend);
  }
  detail::ResetDesktop();
}

Backend& CurrentBackend() {
  detail::Desktop& d = detail::D();
  {
    detail::Lock g(d.mu);
    if (d.backend) return *d.backend;
  }
  StartBackend(detail::MakeSimBackend());
  return *d.backend;
}

void SetGuiThread() {
  DWORD me = detail::OwnThreadId();
  detail::Desktop& d = detail::D();
  detail::Lock g(d.mu);
  d.guiTid = me;
}

DWORD GuiThreadId() {
  CurrentBackend();
  detail::Desktop& d = detail::D();
  detail::Lock g(d.mu);
  return d.guiTid;
}

}  // namespace platform

DWORD GetLastError() { return platform::detail::LastError(); }
void SetLastError(DWORD error) { platform::detail::SetError(error); }
DWORD GetCurrentThreadId() { return platform::detail::CurrentThreadId(); }
DWORD GetCurrentProcessId() { return platform::detail::CurrentProcessId(); }

namespace platform::detail {
void ReserveId(DWORD id) {
  Desktop& d = D();
  Lock g(d.mu);
  d.usedIds.insert(id);
}
}  // namespace platform::detail

namespace platform::detail {
void RemoveThread(DWORD tid) {
  Desktop& d = D();
  {
    Lock g(d.mu);
    d.threads.erase(tid);
  }
  d.cv.notify_all();
}
}  // namespace platform::detail
