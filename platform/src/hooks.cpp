// Hook chains. Each running chain keeps its own snapshot of the hooks it
// started with, so removals inside a procedure never disturb the walk.
#include "desktop_internal.h"

namespace platform::detail {
namespace {

struct Chain {
  std::vector<HHOOK> hooks;
  std::size_t pos = 0;
};
thread_local std::vector<std::unique_ptr<Chain>> chains;

bool KnownKind(int kind) { return kind == WH_KEYBOARD || kind == WH_GETMESSAGE || kind == WH_CBT || kind == WH_MOUSE; }

LRESULT CallFrom(std::size_t chainIndex, std::size_t start, int code, WPARAM wParam, LPARAM lParam) {
  for (std::size_t i = start;; ++i) {
    HOOKPROC proc = nullptr;
    {
      Chain& c = *chains[chainIndex];
      if (i >= c.hooks.size()) return 0;
      Desktop& d = D();
      Lock g(d.mu);
      for (const HookRec& h : d.hooks)
        if (h.handle == c.hooks[i]) proc = h.proc;
    }
    if (!proc) continue;  // removed meanwhile
    Chain& c = *chains[chainIndex];
    std::size_t saved = c.pos;
    c.pos = i;
    LRESULT r = proc(code, wParam, lParam);
    chains[chainIndex]->pos = saved;
    return r;
  }
}

}  // namespace

LRESULT RunHookChain(int kind, DWORD tid, int code, WPARAM wParam, LPARAM lParam) {
  auto chain = std::make_unique<Chain>();
  {
    Desktop& d = D();
    Lock g(d.mu);
    for (auto it = d.hooks.rbegin(); it != d.hooks.rend(); ++it)
      if (it->kind == kind && it->tid == tid) chain->hooks.push_back(it->handle);
    for (auto it = d.hooks.rbegin(); it != d.hooks.rend(); ++it)
      if (it->kind == kind && it->tid == 0) chain->hooks.push_back(it->handle);
  }
  if (chain->hooks.empty()) return 0;
  ThreadContext ctx(tid);
  chains.push_back(std::move(chain));
  std::size_t index = chains.size() - 1;
  LRESULT r = CallFrom(index, 0, code, wParam, lParam);
  chains.pop_back();
  return r;
}

bool AnyHook(int kind) {
  Desktop& d = D();
  Lock g(d.mu);
  for (const HookRec& h : d.hooks)
    if (h.kind == kind) return true;
  return false;
}

}  // namespace platform::detail

using namespace platform::detail;

HHOOK SetWindowsHookExA(int idHook, HOOKPROC proc, HINSTANCE module, DWORD threadId) {
  platform::CurrentBackend();
  if (!KnownKind(idHook)) {
    SetError(ERROR_INVALID_HOOK_FILTER);
    return nullptr;
  }
  if (!proc) {
    SetError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (threadId == 0 && !module) {
    SetError(ERROR_HOOK_NEEDS_HMOD);
    return nullptr;
  }
  if (module && !IsModule(module)) {
    SetError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  Desktop& d = D();
  Lock g(d.mu);
  if (threadId != 0 && !FindThread(threadId)) {
    SetError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  int& fail = d.failInstalls[idHook];
  if (fail != 0) {
    if (fail > 0) --fail;
    SetError(ERROR_NOT_ENOUGH_QUOTA);
    return nullptr;
  }
  HookRec rec;
  rec.handle = reinterpret_cast<HHOOK>(d.nextHook++);
  rec.kind = idHook;
  rec.proc = proc;
  rec.tid = threadId;
  d.hooks.push_back(rec);
  g.unlock();
  platform::CurrentBackend().HooksChanged();
  return rec.handle;
}

HHOOK SetWindowsHookExW(int idHook, HOOKPROC proc, HINSTANCE module, DWORD threadId) {
  return SetWindowsHookExA(idHook, proc, module, threadId);
}

BOOL UnhookWindowsHookEx(HHOOK hook) {
  Desktop& d = D();
  Lock g(d.mu);
  for (auto it = d.hooks.begin(); it != d.hooks.end(); ++it) {
    if (it->handle == hook) {
      d.hooks.erase(it);
      g.unlock();
      platform::CurrentBackend().HooksChanged();
      return TRUE;
    }
  }
  SetError(ERROR_INVALID_HOOK_HANDLE);
  return FALSE;
}

LRESULT CallNextHookEx(HHOOK, int code, WPARAM wParam, LPARAM lParam) {
  if (chains.empty()) return 0;
  std::size_t index = chains.size() - 1;
  return CallFrom(index, chains[index]->pos + 1, code, wParam, lParam);
}
