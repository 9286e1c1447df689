#pragma once
// The layer's own desktop state: window table, threads with their queues and
// key state, hooks, focus and foreground. Shared by every backend; never
// held locked while a window or hook procedure runs.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/backend.h"
#include "platform/hooks.h"
#include "platform/input.h"
#include "platform/process.h"
#include "platform/window.h"

namespace platform::detail {

struct InputEvent {
  bool mouse = false;
  int vk = 0;
  bool up = false;
  UINT mouseMsg = 0;
  POINT pt{0, 0};
  HWND target = nullptr;
};

struct SendSlot {
  bool done = false;
  bool replied = false;
  LRESULT result = 0;
};

struct QueueItem {
  enum Kind { Sent, Posted, Input } kind = Posted;
  MSG msg{};
  InputEvent input;
  std::shared_ptr<SendSlot> slot;
};

struct ThreadRec {
  DWORD tid = 0;
  DWORD pid = 0;
  bool own = false;  // a real thread of our process
  std::thread::id realId;
  std::deque<QueueItem> sent;
  std::deque<QueueItem> posted;
  std::deque<QueueItem> input;
  BYTE keys[256] = {};
  HWND focus = nullptr;
  HWND active = nullptr;
  HWND caretWindow = nullptr;
  RECT caret{0, 0, 0, 0};
  int running = 0;  // queue items being handled right now
  bool HasWork() const { return !sent.empty() || !posted.empty() || !input.empty(); }
};

struct WindowRec {
  HWND hwnd = nullptr;
  DWORD pid = 0;
  DWORD tid = 0;
  std::wstring className;
  std::wstring title;
  HWND parent = nullptr;
  bool visible = false;
  RECT rect{0, 0, 0, 0};
  WNDPROC proc = nullptr;
  LONG_PTR userData = 0;
  LONG_PTR id = 0;
  bool own = false;
  std::uint64_t order = 0;  // creation order
};

struct HookRec {
  HHOOK handle = nullptr;
  int kind = 0;
  HOOKPROC proc = nullptr;
  DWORD tid = 0;  // 0: every thread
};

struct Desktop {
  std::recursive_mutex mu;
  std::condition_variable_any cv;
  std::uint64_t generation = 1;
  std::unique_ptr<Backend> backend;
  DWORD ownPid = 0;
  DWORD guiTid = 0;
  DWORD nextId = 0x100;
  std::set<DWORD> usedIds;  // thread and process ids share one range
  std::map<std::uintptr_t, WindowRec> windows;
  std::uintptr_t nextWindow = 0x10010;
  std::uint64_t nextOrder = 1;
  std::map<DWORD, ThreadRec> threads;
  std::vector<HookRec> hooks;  // install order
  std::uintptr_t nextHook = 0x20001;
  int failInstalls[16] = {};
  HWND foreground = nullptr;
  BYTE async[256] = {};
  std::function<void()> wakeup;
  bool wakePending = false;
};

Desktop& D();
using Lock = std::unique_lock<std::recursive_mutex>;

// Forgets all desktop state (backend kept) and registers the calling thread
// as our GUI thread.
void ResetDesktop();
// A new thread or process id, not in use; ReserveId marks a chosen one.
DWORD NewId();
void ReserveId(DWORD id);
// The real thread's own thread id (registered on first use).
DWORD OwnThreadId();
DWORD CurrentThreadId();
DWORD CurrentProcessId();
// Runs code as another (logical) thread on this real thread.
class ThreadContext {
 public:
  explicit ThreadContext(DWORD tid);
  ~ThreadContext();
  ThreadContext(const ThreadContext&) = delete;
  ThreadContext& operator=(const ThreadContext&) = delete;

 private:
  bool pushed_;
  DWORD tid_;
  std::uint64_t generation_;
};

// Under the lock.
WindowRec* FindWindowRec(HWND hwnd);
ThreadRec* FindThread(DWORD tid);
// FindWindowRec that sets ERROR_INVALID_WINDOW_HANDLE when there is none.
WindowRec* LiveWindow(HWND hwnd);
HWND RootOf(HWND hwnd);
void SetError(DWORD e);

// A foreign thread (of a simulated application) added by the backend.
DWORD AddForeignThread(DWORD pid, DWORD tid = 0);
HWND AddWindowRec(WindowRec rec);
// Destroys hwnd and its children in hwnd's thread.
void DestroyWindowTree(HWND hwnd);

// Calls the window's procedure in its thread; `sentFromOther` marks a message
// sent from another thread (ReplyMessage works inside).
LRESULT CallWindow(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, bool sentFromOther);
// Queues work for a thread and tells whoever runs it; false for no thread.
bool Enqueue(DWORD tid, QueueItem item);
// Whether the message being handled on this thread came through SendMessage.
bool CurrentMessageWasSent();
// Handles one queued item of the thread; false when it had none.
bool ProcessOne(DWORD tid);
// Threads of other applications that have queued work, in id order.
std::vector<DWORD> ForeignThreadsWithWork();

// Hooks.
LRESULT RunHookChain(int kind, DWORD tid, int code, WPARAM wParam, LPARAM lParam);
bool AnyHook(int kind);

// Input.
void InjectKey(int vk, bool up);
void InjectMouse(HWND target, UINT msg, POINT pt);
void ApplyKey(BYTE* keys, int vk, bool up);
LPARAM KeyFlags(const BYTE* keysBefore, int vk, bool up);

// Focus: the CBT hooks, then the state and the focus messages.
bool ChangeFocus(HWND gaining, bool byMouse);
HWND DesktopFocus();

// Module table.
void ResetModules();
bool IsModule(HMODULE module);
void HideExport(LPCWSTR module, LPCSTR name);

// Kernel handles (processes, snapshots).
void ResetHandles();

}  // namespace platform::detail

namespace platform::detail {
DWORD LastError();
}  // namespace platform::detail

namespace platform::detail {
// The character a key types on the US layout (0 for none).
WCHAR CharForKey(int vk, bool shift);
}  // namespace platform::detail

namespace platform::detail {
void RemoveThread(DWORD tid);
}  // namespace platform::detail
