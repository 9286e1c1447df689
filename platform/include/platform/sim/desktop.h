#pragma once
// The simulated desktop: deterministic, in process, on a virtual clock. Tests
// build a desktop of processes, threads and windows, move the focus, press
// keys and click, and watch what every window received.
//
// Threads of simulated applications have no real thread: their queued work
// runs on the real thread that lets it run (RunPending, Settle, the input
// calls below, and every Sleep and wait, which also move the virtual clock).
// While it runs, GetCurrentThreadId and GetCurrentProcessId report the
// simulated thread. Call this API from the GUI thread (the one that called
// Reset). A sent message to a simulated window is handled at once in its
// thread, busy or not; posted messages and input wait until that process is
// idle.
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "platform/process.h"
#include "platform/shortcuts.h"
#include "platform/types.h"
#include "platform/window.h"

namespace platform::sim {

struct Options {
  DWORD ownPid = 4000;
  std::wstring ownExePath = L"/opt/pastiq/bin/pastiq";
  std::uint64_t startMs = 1000000;  // the virtual clock at reset
  RECT workArea{0, 0, 1280, 994};
};

// Starts the simulated backend when it is not active, forgets every process,
// window, hook, queue and key state, and makes the calling thread our GUI
// thread. Handlers added with AddResetHandler run last (other parts of the
// simulated desktop reset themselves there). Call it in each test's SetUp.
void Reset(const Options& options = {});
void AddResetHandler(std::function<void()> handler);

// --- Processes -----------------------------------------------------------------
enum class Idle {
  Idle,          // answers WaitForInputIdle at once
  Busy,          // busy for busyMs of virtual time from creation
  NoInputQueue,  // WaitForInputIdle fails (a console process)
};

struct ModuleSpec {
  std::wstring path;
  std::uintptr_t base = 0;  // 0: one is chosen
  DWORD size = 0x10000;
};

struct ProcessSpec {
  DWORD pid = 0;  // 0: one is chosen
  std::wstring exePath;
  // Further modules; the executable (exePath) is always the first module.
  std::vector<ModuleSpec> modules;
  Idle idle = Idle::Idle;
  DWORD busyMs = 0;
  DWORD parentPid = 0;
  // OpenProcess fails with ERROR_ACCESS_DENIED and no module list is
  // readable (a service or another user's process).
  bool protectedProcess = false;
};

// Returns the pid; the process has one thread (MainThread).
DWORD CreateProcess(const ProcessSpec& spec);
DWORD MainThread(DWORD pid);
DWORD CreateThread(DWORD pid);
// Busy for ms of virtual time from now (INFINITE: until SetIdle).
void SetBusy(DWORD pid, DWORD ms);
void SetIdle(DWORD pid);
void SetNoInputQueue(DWORD pid, bool none);
// The process ends: its windows and threads go; open handles stay valid but
// waits on them fail.
void EndProcess(DWORD pid);
// Our own process's id (Options::ownPid).
DWORD OwnProcessId();

// --- Windows of other applications -------------------------------------------
struct WindowSpec {
  DWORD thread = 0;  // a thread of a simulated process
  std::wstring className = L"SimWindow";
  std::wstring title;
  HWND parent = nullptr;
  bool visible = true;
  RECT rect{100, 100, 500, 400};
  // Called after the message is recorded; null behaves like DefWindowProcW.
  WNDPROC proc = nullptr;
};

// Every simulated window records each message it receives (see Messages).
HWND AddWindow(const WindowSpec& spec);
// Ready-made controls that behave like the system's edit and rich-edit
// controls: WM_PASTE and a typed Ctrl+V insert the clipboard's text (through
// the paste source below) at the caret, typed characters are inserted, and
// WM_SETTEXT / WM_GETTEXT work on the text. The caret sits after the text.
HWND AddEdit(DWORD thread, HWND parent = nullptr, const std::wstring& className = L"Edit");
HWND AddRichEdit(DWORD thread, HWND parent = nullptr);
std::wstring EditText(HWND edit);
void SetEditText(HWND edit, const std::wstring& text);
// Where the ready-made controls get "the clipboard's text" when they paste:
// true with the text, false when the clipboard has none. Survives Reset;
// without a source nothing is pasted (the WM_PASTE is still recorded).
void SetPasteSource(std::function<bool(std::wstring* text)> source);
// Destroys a simulated window (in its own thread).
void RemoveWindow(HWND hwnd);
// The thread's caret: hwnd and its rectangle relative to hwnd's client area
// (what GetGUIThreadInfo reports); hwnd null removes it.
void SetCaret(DWORD thread, HWND hwnd, const RECT& rect);

struct Received {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  bool sent;  // through SendMessage rather than the queue
  // The receiving thread's key state when it arrived.
  bool ctrl;
  bool shift;
  bool alt;
};
std::vector<Received> Messages(HWND hwnd);
// Only the key messages (WM_KEYDOWN, WM_KEYUP, WM_SYSKEYDOWN, WM_SYSKEYUP).
std::vector<Received> Keys(HWND hwnd);
void ClearMessages(HWND hwnd);

// --- Focus and input ---------------------------------------------------------
// Gives the focus to hwnd as its application would (the CBT hooks run in its
// thread: HCBT_ACTIVATE when its top-level window becomes active, then
// HCBT_SETFOCUS with the gaining and the losing window), then WM_KILLFOCUS
// and WM_SETFOCUS; the foreground and the thread's GUI state follow. False
// when a hook refused or hwnd is not a window.
bool SetFocus(HWND hwnd);
// Physical key events, delivered to the focused window's thread through its
// keyboard hooks (a swallowed key never reaches the window); queued work is
// run before they return.
void KeyDown(int vk);
void KeyUp(int vk);
// Down then up.
void Tap(int vk);
// Presses the keys in order and releases them in reverse order.
void Chord(std::initializer_list<int> keys);
// Types each character with VkKeyScanW's key and shift state.
void TypeText(const std::wstring& text);
// A mouse button (WM_LBUTTONDOWN, WM_RBUTTONDOWN or WM_MBUTTONDOWN) pressed
// and released over hwnd at the screen point pt ({0, 0}: the window's
// centre), through the mouse hooks of hwnd's thread; with activate the
// press first gives hwnd the focus.
void Click(HWND hwnd, UINT buttonDown = WM_LBUTTONDOWN, POINT pt = {0, 0}, bool activate = true);
// Lets a thread read one message (a thread message WM_NULL), through its
// get-message hooks.
void LetThreadRead(DWORD thread);
// Runs fn as if in the given thread (for example a simulated application
// that sends one of our windows a message).
void RunInThread(DWORD thread, const std::function<void()>& fn);

// --- Hooks ---------------------------------------------------------------------
// The next `count` installs of the kind fail (count < 0: every install until
// Reset or a call with 0).
void FailHookInstalls(int idHook, int count);
// Installed hooks of a kind (any thread), for checks that nothing leaked.
int InstalledHooks(int idHook);
// Another application holds the combination (the modifiers and the key; the
// rest is not looked at) until Reset: while the hooks' shortcuts include it,
// the desktop reports it unavailable (platform::Desktop::UnavailableShortcuts).
void HoldShortcut(const HookShortcut& shortcut);
void ReleaseHeldShortcuts();
// The hooks' shortcuts that are held, named as the X11 desktop names them
// ("Ctrl+Alt+Win+V", "Win+Up").
std::vector<std::string> HeldShortcuts();

// --- Clock and scheduling ----------------------------------------------------
std::uint64_t NowMs();
// Moves the virtual clock and runs what became due.
void Advance(DWORD ms);
// Runs the queued work of every simulated thread that is free to run,
// until none is left. Returns the number of items handled.
int RunPending();
// RunPending and DrainMessages on the GUI thread, until both are quiet.
int Settle();

// --- The rest of the desktop ---------------------------------------------------
void SetWorkArea(const RECT& area);
// The monitors, the primary first (until Reset; none: one monitor that is
// the work area). SetWorkArea still sets what SPI_GETWORKAREA reports.
struct MonitorSpec {
  RECT area;
  RECT work;
};
void SetMonitors(const std::vector<MonitorSpec>& monitors);
void SetVersion(DWORD major, DWORD minor, DWORD platformId = VER_PLATFORM_WIN32_NT);
// When false, SetForegroundWindow refuses (as a locked foreground does).
void SetForegroundAllowed(bool allowed);
// Removes one procedure from a module's table (GetProcAddress then fails).
void HideExport(LPCWSTR module, LPCSTR name);

}  // namespace platform::sim
