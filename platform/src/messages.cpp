// Message queues, sending, posting and draining.
#include <chrono>

#include "desktop_internal.h"

namespace platform::detail {
namespace {

enum class Dispatch { Posted, SentSame, SentOther };

struct DispatchFrame {
  Dispatch kind;
  std::shared_ptr<SendSlot> slot;
};
thread_local std::vector<DispatchFrame> frames;

bool IsKeyMessage(UINT m) {
  return m == WM_KEYDOWN || m == WM_KEYUP || m == WM_SYSKEYDOWN || m == WM_SYSKEYUP;
}

LRESULT Call(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, Dispatch kind, std::shared_ptr<SendSlot> slot) {
  WNDPROC proc = nullptr;
  DWORD tid = 0;
  {
    Desktop& d = D();
    Lock g(d.mu);
    WindowRec* w = FindWindowRec(hwnd);
    if (!w) return 0;
    proc = w->proc;
    tid = w->tid;
  }
  ThreadContext ctx(tid);
  frames.push_back({kind, slot});
  LRESULT r = proc ? proc(hwnd, msg, wParam, lParam) : 0;
  frames.pop_back();
  if (slot) {
    Desktop& d = D();
    Lock g(d.mu);
    if (slot->replied) return slot->result;
  }
  return r;
}

void DeliverPosted(DWORD tid, MSG msg) {
  if (IsKeyMessage(msg.message) && RunHookChain(WH_KEYBOARD, tid, HC_ACTION, msg.wParam, msg.lParam)) return;
  RunHookChain(WH_GETMESSAGE, tid, HC_ACTION, PM_REMOVE, reinterpret_cast<LPARAM>(&msg));
  if (msg.hwnd && IsWindow(msg.hwnd)) Call(msg.hwnd, msg.message, msg.wParam, msg.lParam, Dispatch::Posted, nullptr);
}

// Messages carry the generic modifier keys, as the keyboard reports them.
int MessageKey(int vk) {
  switch (vk) {
    case VK_LSHIFT:
    case VK_RSHIFT:
      return VK_SHIFT;
    case VK_LCONTROL:
    case VK_RCONTROL:
      return VK_CONTROL;
    case VK_LMENU:
    case VK_RMENU:
      return VK_MENU;
    default:
      return vk;
  }
}

void DeliverInput(DWORD tid, const InputEvent& ev) {
  ThreadContext ctx(tid);
  if (ev.mouse) {
    MOUSEHOOKSTRUCT mh{ev.pt, ev.target, HTCLIENT, 0};
    if (RunHookChain(WH_MOUSE, tid, HC_ACTION, ev.mouseMsg, reinterpret_cast<LPARAM>(&mh))) return;
    RECT r{0, 0, 0, 0};
    GetWindowRect(ev.target, &r);
    MSG m{ev.target, ev.mouseMsg, 0,
          static_cast<LPARAM>(MAKELONG(static_cast<WORD>(ev.pt.x - r.left), static_cast<WORD>(ev.pt.y - r.top))),
          ::GetTickCount(), ev.pt};
    RunHookChain(WH_GETMESSAGE, tid, HC_ACTION, PM_REMOVE, reinterpret_cast<LPARAM>(&m));
    if (m.hwnd && IsWindow(m.hwnd)) Call(m.hwnd, m.message, m.wParam, m.lParam, Dispatch::Posted, nullptr);
    return;
  }
  LPARAM flags = 0;
  HWND target = nullptr;
  bool alt = false, ctrl = false;
  {
    Desktop& d = D();
    Lock g(d.mu);
    ThreadRec* t = FindThread(tid);
    if (!t) return;
    BYTE before[256];
    std::copy(std::begin(t->keys), std::end(t->keys), before);
    ApplyKey(t->keys, ev.vk, ev.up);
    flags = KeyFlags(before, ev.vk, ev.up);
    target = t->focus ? t->focus : t->active;
    alt = (t->keys[VK_MENU] & 0x80) != 0;
    ctrl = (t->keys[VK_CONTROL] & 0x80) != 0;
  }
  int vk = MessageKey(ev.vk);
  if (RunHookChain(WH_KEYBOARD, tid, HC_ACTION, static_cast<WPARAM>(vk), flags)) return;
  bool sys = vk == VK_MENU || vk == VK_F10 || (alt && !ctrl);
  UINT id = sys ? (ev.up ? WM_SYSKEYUP : WM_SYSKEYDOWN) : (ev.up ? WM_KEYUP : WM_KEYDOWN);
  MSG m{target, id, static_cast<WPARAM>(vk), flags, ::GetTickCount(), POINT{0, 0}};
  RunHookChain(WH_GETMESSAGE, tid, HC_ACTION, PM_REMOVE, reinterpret_cast<LPARAM>(&m));
  if (m.hwnd && IsWindow(m.hwnd)) Call(m.hwnd, m.message, m.wParam, m.lParam, Dispatch::Posted, nullptr);
}

void RaiseWakeup() {
  std::function<void()> fn;
  {
    Desktop& d = D();
    Lock g(d.mu);
    if (d.wakePending || !d.wakeup) return;
    d.wakePending = true;
    fn = d.wakeup;
  }
  fn();
}

}  // namespace

LRESULT CallWindow(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, bool sentFromOther) {
  if (sentFromOther) return Call(hwnd, msg, wParam, lParam, Dispatch::SentOther, std::make_shared<SendSlot>());
  return Call(hwnd, msg, wParam, lParam, Dispatch::SentSame, nullptr);
}

bool CurrentMessageWasSent() { return !frames.empty() && frames.back().kind != Dispatch::Posted; }

bool Enqueue(DWORD tid, QueueItem item) {
  Desktop& d = D();
  bool own = false, gui = false;
  bool input = item.kind == QueueItem::Input;
  {
    Lock g(d.mu);
    ThreadRec* t = FindThread(tid);
    if (!t) return false;
    switch (item.kind) {
      case QueueItem::Sent:
        t->sent.push_back(std::move(item));
        break;
      case QueueItem::Posted:
        t->posted.push_back(std::move(item));
        break;
      case QueueItem::Input:
        t->input.push_back(std::move(item));
        break;
    }
    own = t->own;
    gui = tid == d.guiTid;
  }
  d.cv.notify_all();
  if (gui) RaiseWakeup();
  if (!own) CurrentBackend().ThreadHasWork(tid, input);
  return true;
}

bool ProcessOne(DWORD tid) {
  Desktop& d = D();
  QueueItem item;
  {
    Lock g(d.mu);
    ThreadRec* t = FindThread(tid);
    if (!t) return false;
    std::deque<QueueItem>* q = !t->sent.empty() ? &t->sent : !t->posted.empty() ? &t->posted : !t->input.empty() ? &t->input : nullptr;
    if (!q) return false;
    item = std::move(q->front());
    q->pop_front();
    ++t->running;
  }
  ThreadContext ctx(tid);
  switch (item.kind) {
    case QueueItem::Sent: {
      LRESULT r = Call(item.msg.hwnd, item.msg.message, item.msg.wParam, item.msg.lParam, Dispatch::SentOther, item.slot);
      {
        Lock g(d.mu);
        if (!item.slot->replied) item.slot->result = r;
        item.slot->done = true;
      }
      d.cv.notify_all();
      break;
    }
    case QueueItem::Posted:
      DeliverPosted(tid, item.msg);
      break;
    case QueueItem::Input:
      DeliverInput(tid, item.input);
      break;
  }
  Lock g(d.mu);
  if (ThreadRec* t = FindThread(tid)) --t->running;
  return true;
}

std::vector<DWORD> ForeignThreadsWithWork() {
  Desktop& d = D();
  Lock g(d.mu);
  std::vector<DWORD> out;
  for (auto& [tid, t] : d.threads)
    if (!t.own && t.running == 0 && t.HasWork()) out.push_back(tid);
  return out;
}

}  // namespace platform::detail

using namespace platform::detail;

BOOL PostThreadMessageW(DWORD threadId, UINT msg, WPARAM wParam, LPARAM lParam) {
  QueueItem item;
  item.kind = QueueItem::Posted;
  item.msg = MSG{nullptr, msg, wParam, lParam, GetTickCount(), POINT{0, 0}};
  if (!Enqueue(threadId, std::move(item))) {
    SetError(ERROR_INVALID_THREAD_ID);
    return FALSE;
  }
  return TRUE;
}

BOOL PostMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (!hwnd) return PostThreadMessageW(GetCurrentThreadId(), msg, wParam, lParam);
  DWORD tid = 0;
  {
    Desktop& d = D();
    Lock g(d.mu);
    WindowRec* w = LiveWindow(hwnd);
    if (!w) return FALSE;
    tid = w->tid;
  }
  QueueItem item;
  item.kind = QueueItem::Posted;
  item.msg = MSG{hwnd, msg, wParam, lParam, GetTickCount(), POINT{0, 0}};
  return Enqueue(tid, std::move(item)) ? TRUE : FALSE;
}

BOOL PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) { return PostMessageW(hwnd, msg, wParam, lParam); }

LRESULT SendMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Desktop& d = D();
  DWORD cur = GetCurrentThreadId();
  DWORD tid = 0;
  bool crossReal = false;
  std::uint64_t generation = 0;
  {
    Lock g(d.mu);
    WindowRec* w = LiveWindow(hwnd);
    if (!w) return 0;
    tid = w->tid;
    ThreadRec* t = FindThread(tid);
    crossReal = t && t->own && t->realId != std::this_thread::get_id();
    generation = d.generation;
  }
  if (tid == cur) return CallWindow(hwnd, msg, wParam, lParam, false);
  // Another application's thread, or one of ours whose code runs on this real
  // thread right now: the receiver handles it at once, in its own thread.
  if (!crossReal) return CallWindow(hwnd, msg, wParam, lParam, true);

  auto slot = std::make_shared<SendSlot>();
  QueueItem item;
  item.kind = QueueItem::Sent;
  item.msg = MSG{hwnd, msg, wParam, lParam, GetTickCount(), POINT{0, 0}};
  item.slot = slot;
  if (!Enqueue(tid, std::move(item))) return 0;
  DWORD me = OwnThreadId();
  Lock g(d.mu);
  while (!slot->done) {
    if (d.generation != generation) return 0;
    ThreadRec* mine = FindThread(me);
    if (mine && !mine->sent.empty()) {
      // Answer what is sent to us meanwhile, so two senders never deadlock.
      g.unlock();
      ProcessOne(me);
      g.lock();
      continue;
    }
    d.cv.wait(g);
  }
  return slot->result;
}

LRESULT SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) { return SendMessageW(hwnd, msg, wParam, lParam); }

BOOL ReplyMessage(LRESULT result) {
  if (frames.empty()) return FALSE;
  DispatchFrame& f = frames.back();
  if (f.kind != Dispatch::SentOther || !f.slot) return FALSE;
  Desktop& d = D();
  {
    Lock g(d.mu);
    if (f.slot->replied) return FALSE;
    f.slot->replied = true;
    f.slot->result = result;
    f.slot->done = true;
  }
  d.cv.notify_all();
  return TRUE;
}

BOOL InSendMessage() { return !frames.empty() && frames.back().kind == Dispatch::SentOther; }

LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return proc ? proc(hwnd, msg, wParam, lParam) : 0;
}

LRESULT DefWindowProcW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  Desktop& d = D();
  switch (msg) {
    case WM_SETTEXT: {
      Lock g(d.mu);
      WindowRec* w = FindWindowRec(hwnd);
      if (!w) return FALSE;
      const wchar_t* text = reinterpret_cast<const wchar_t*>(lParam);
      w->title = text ? text : L"";
      return TRUE;
    }
    case WM_GETTEXT: {
      Lock g(d.mu);
      WindowRec* w = FindWindowRec(hwnd);
      wchar_t* out = reinterpret_cast<wchar_t*>(lParam);
      if (!w || !out || wParam == 0) return 0;
      std::size_t n = std::min<std::size_t>(w->title.size(), wParam - 1);
      w->title.copy(out, n);
      out[n] = 0;
      return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH: {
      Lock g(d.mu);
      WindowRec* w = FindWindowRec(hwnd);
      return w ? static_cast<LRESULT>(w->title.size()) : 0;
    }
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return 0;
    default:
      return 0;
  }
}

namespace platform {

void SetMessageWakeup(std::function<void()> wakeup) {
  CurrentBackend();
  Desktop& d = D();
  bool pending = false;
  {
    Lock g(d.mu);
    d.wakeup = std::move(wakeup);
    d.wakePending = false;
    ThreadRec* t = FindThread(d.guiTid);
    pending = t && t->HasWork();
  }
  if (pending) RaiseWakeup();
}

int DrainMessages() {
  Desktop& d = D();
  DWORD me = OwnThreadId();
  {
    Lock g(d.mu);
    if (me == d.guiTid) d.wakePending = false;
  }
  const int kBound = 100000;
  int n = 0;
  while (n < kBound && ProcessOne(me)) ++n;
  if (n == kBound) {
    Lock g(d.mu);
    ThreadRec* t = FindThread(me);
    bool more = t && t->HasWork() && me == d.guiTid;
    g.unlock();
    if (more) RaiseWakeup();
  }
  return n;
}

BOOL WaitForQueue(DWORD realMs) {
  Desktop& d = D();
  DWORD me = OwnThreadId();
  Lock g(d.mu);
  std::uint64_t generation = d.generation;
  bool got = d.cv.wait_for(g, std::chrono::milliseconds(realMs), [&] {
    ThreadRec* t = FindThread(me);
    return d.generation != generation || (t && t->HasWork());
  });
  return got && d.generation == generation ? TRUE : FALSE;
}

}  // namespace platform
