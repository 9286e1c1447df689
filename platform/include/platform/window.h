#pragma once
// Windows and window messages: the desktop-wide window table, message queues,
// sending and posting, subclassing, focus, foreground and placement.
//
// Every window has an owner process and thread. Windows of our own threads
// get their handle from platform::CreateToolkitWindow; windows of other
// applications come from the backend. Each of our threads has a message
// queue; the GUI thread's queue is drained by platform::DrainMessages, which
// the toolkit side schedules from the wakeup callback (nothing polls).
#include <functional>

#include "platform/types.h"

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

inline constexpr UINT WM_NULL = 0x0000;
inline constexpr UINT WM_CREATE = 0x0001;
inline constexpr UINT WM_DESTROY = 0x0002;
inline constexpr UINT WM_MOVE = 0x0003;
inline constexpr UINT WM_SIZE = 0x0005;
inline constexpr UINT WM_ACTIVATE = 0x0006;
inline constexpr UINT WM_SETFOCUS = 0x0007;
inline constexpr UINT WM_KILLFOCUS = 0x0008;
inline constexpr UINT WM_SETTEXT = 0x000C;
inline constexpr UINT WM_GETTEXT = 0x000D;
inline constexpr UINT WM_GETTEXTLENGTH = 0x000E;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_QUERYENDSESSION = 0x0011;
inline constexpr UINT WM_QUIT = 0x0012;
inline constexpr UINT WM_ENDSESSION = 0x0016;
inline constexpr UINT WM_SHOWWINDOW = 0x0018;
inline constexpr UINT WM_WINDOWPOSCHANGING = 0x0046;
inline constexpr UINT WM_WINDOWPOSCHANGED = 0x0047;
inline constexpr UINT WM_NCDESTROY = 0x0082;
inline constexpr UINT WM_KEYDOWN = 0x0100;
inline constexpr UINT WM_KEYUP = 0x0101;
inline constexpr UINT WM_CHAR = 0x0102;
inline constexpr UINT WM_SYSKEYDOWN = 0x0104;
inline constexpr UINT WM_SYSKEYUP = 0x0105;
inline constexpr UINT WM_COMMAND = 0x0111;
inline constexpr UINT WM_TIMER = 0x0113;
inline constexpr UINT WM_MOUSEMOVE = 0x0200;
inline constexpr UINT WM_LBUTTONDOWN = 0x0201;
inline constexpr UINT WM_LBUTTONUP = 0x0202;
inline constexpr UINT WM_RBUTTONDOWN = 0x0204;
inline constexpr UINT WM_RBUTTONUP = 0x0205;
inline constexpr UINT WM_MBUTTONDOWN = 0x0207;
inline constexpr UINT WM_MBUTTONUP = 0x0208;
inline constexpr UINT WM_CUT = 0x0300;
inline constexpr UINT WM_COPY = 0x0301;
inline constexpr UINT WM_PASTE = 0x0302;
inline constexpr UINT WM_CLEAR = 0x0303;
inline constexpr UINT WM_RENDERFORMAT = 0x0305;
inline constexpr UINT WM_RENDERALLFORMATS = 0x0306;
inline constexpr UINT WM_DESTROYCLIPBOARD = 0x0307;
inline constexpr UINT WM_DRAWCLIPBOARD = 0x0308;
inline constexpr UINT WM_CHANGECBCHAIN = 0x030D;
inline constexpr UINT WM_CLIPBOARDUPDATE = 0x031D;
inline constexpr UINT WM_USER = 0x0400;
inline constexpr UINT WM_APP = 0x8000;

// ShowWindow commands.
inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_NORMAL = 1;
inline constexpr int SW_SHOWMINIMIZED = 2;
inline constexpr int SW_SHOWMAXIMIZED = 3;
inline constexpr int SW_SHOWNOACTIVATE = 4;
inline constexpr int SW_SHOW = 5;
inline constexpr int SW_MINIMIZE = 6;
inline constexpr int SW_SHOWMINNOACTIVE = 7;
inline constexpr int SW_SHOWNA = 8;
inline constexpr int SW_RESTORE = 9;

// SetWindowPos flags.
inline constexpr UINT SWP_NOSIZE = 0x0001;
inline constexpr UINT SWP_NOMOVE = 0x0002;
inline constexpr UINT SWP_NOZORDER = 0x0004;
inline constexpr UINT SWP_NOREDRAW = 0x0008;
inline constexpr UINT SWP_NOACTIVATE = 0x0010;
inline constexpr UINT SWP_FRAMECHANGED = 0x0020;
inline constexpr UINT SWP_SHOWWINDOW = 0x0040;
inline constexpr UINT SWP_HIDEWINDOW = 0x0080;
inline constexpr UINT SWP_NOOWNERZORDER = 0x0200;

// Insert-after values of SetWindowPos.
inline const HWND HWND_TOP = nullptr;
inline const HWND HWND_BOTTOM = reinterpret_cast<HWND>(static_cast<LONG_PTR>(1));
inline const HWND HWND_TOPMOST = reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1));
inline const HWND HWND_NOTOPMOST = reinterpret_cast<HWND>(static_cast<LONG_PTR>(-2));

// Get/SetWindowLongPtrW indexes.
inline constexpr int GWLP_WNDPROC = -4;
inline constexpr int GWLP_ID = -12;
inline constexpr int GWLP_USERDATA = -21;

// SystemParametersInfoW actions.
inline constexpr UINT SPI_GETWORKAREA = 0x0030;

// GUITHREADINFO flags.
inline constexpr DWORD GUI_CARETBLINKING = 0x0001;
inline constexpr DWORD GUI_INMOVESIZE = 0x0002;
inline constexpr DWORD GUI_INMENUMODE = 0x0004;
inline constexpr DWORD GUI_SYSTEMMENUMODE = 0x0008;
inline constexpr DWORD GUI_POPUPMENUMODE = 0x0010;

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
};

struct WINDOWPOS {
  HWND hwnd;
  HWND hwndInsertAfter;
  int x;
  int y;
  int cx;
  int cy;
  UINT flags;
};

// cbSize must be sizeof(GUITHREADINFO); the 48 of a 32-bit build is accepted
// too, so callers written against that size keep working.
struct GUITHREADINFO {
  DWORD cbSize;
  DWORD flags;
  HWND hwndActive;
  HWND hwndFocus;
  HWND hwndCapture;
  HWND hwndMenuOwner;
  HWND hwndMoveSize;
  HWND hwndCaret;
  RECT rcCaret;  // relative to hwndCaret's client area
};

// --- The window table -------------------------------------------------------
// Class names compare without regard to case, titles exactly; a null argument
// matches anything. Only top-level windows are searched.
HWND FindWindowW(LPCWSTR className, LPCWSTR windowName);
BOOL IsWindow(HWND hwnd);
// Visible itself and every ancestor visible.
BOOL IsWindowVisible(HWND hwnd);
// TRUE when child is a descendant of parent (not parent itself).
BOOL IsChild(HWND parent, HWND child);
HWND GetParent(HWND hwnd);
// Copies at most max - 1 characters and a NUL; returns the count copied, 0 on
// failure.
int GetClassNameW(HWND hwnd, LPWSTR out, int max);
int GetWindowTextW(HWND hwnd, LPWSTR out, int max);
// The owner thread id (0 for no window); the owner process into *pid when
// pid is not null (0 for no window).
DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* pid);
// Outer rectangle in screen coordinates.
BOOL GetWindowRect(HWND hwnd, RECT* rect);
// Destroys a window of the calling thread and its children (WM_DESTROY, then
// WM_NCDESTROY); FALSE for another thread's window.
BOOL DestroyWindow(HWND hwnd);

// --- Focus, foreground, placement -------------------------------------------
HWND GetForegroundWindow();
// Activates hwnd's top-level window and gives the focus back to the window
// of that thread that had it last (or to the top-level window); the CBT
// hooks run in the target's thread. FALSE when hwnd is not a visible window
// or the backend refuses.
BOOL SetForegroundWindow(HWND hwnd);
// threadId 0 means the foreground thread. FALSE for an unknown thread or a
// bad cbSize.
BOOL GetGUIThreadInfo(DWORD threadId, GUITHREADINFO* info);
// Only SPI_GETWORKAREA (param: a RECT*, the primary display's work area).
BOOL SystemParametersInfoW(UINT action, UINT uiParam, LPVOID param, UINT winIni);
// Sends WM_WINDOWPOSCHANGED (lParam: WINDOWPOS*) to the window after the
// change. Without SWP_NOACTIVATE a top-level window is also activated.
// Z order is not modelled; insertAfter is passed on in the WINDOWPOS.
BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
// Returns nonzero when the window was visible before. A change of
// visibility sends WM_SHOWWINDOW (wParam TRUE/FALSE), then
// WM_WINDOWPOSCHANGED with SWP_SHOWWINDOW or SWP_HIDEWINDOW. SW_SHOW,
// SW_SHOWNORMAL, SW_RESTORE and SW_SHOWMAXIMIZED activate; SW_SHOWNOACTIVATE,
// SW_SHOWNA and the minimising commands do not.
BOOL ShowWindow(HWND hwnd, int command);

// --- Monitors ----------------------------------------------------------------
// What MonitorFromWindow and MonitorFromRect return when nothing matches.
inline constexpr DWORD MONITOR_DEFAULTTONULL = 0;
inline constexpr DWORD MONITOR_DEFAULTTOPRIMARY = 1;
inline constexpr DWORD MONITOR_DEFAULTTONEAREST = 2;
inline constexpr DWORD MONITORINFOF_PRIMARY = 1;

struct MONITORINFO {
  DWORD cbSize;  // sizeof(MONITORINFO)
  RECT rcMonitor;
  RECT rcWork;  // the monitor's part of the work area
  DWORD dwFlags;
};

// The monitor that shares the largest area with the rectangle (or with the
// window's outer rectangle); with none sharing any, as flags says: null, the
// primary monitor, or the nearest one. A handle stands for the monitors as
// the desktop had them when it was returned.
HMONITOR MonitorFromRect(const RECT* rect, DWORD flags);
HMONITOR MonitorFromWindow(HWND hwnd, DWORD flags);
// FALSE for a handle of no monitor (the monitors changed) or a bad cbSize.
BOOL GetMonitorInfoW(HMONITOR monitor, MONITORINFO* info);

// --- Window procedures and subclassing ---------------------------------------
// GWLP_WNDPROC: the current procedure. Replacing it is allowed only for
// windows of our own process (0 and ERROR_ACCESS_DENIED otherwise); the
// previous procedure is returned so the caller can chain to it with
// CallWindowProcW and put it back later.
LONG_PTR GetWindowLongPtrW(HWND hwnd, int index);
LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value);
LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Default handling: WM_SETTEXT, WM_GETTEXT, WM_GETTEXTLENGTH on the title,
// WM_CLOSE destroys the window; anything else gives 0.
LRESULT DefWindowProcW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// --- Messages ----------------------------------------------------------------
// Posting queues the message for the window's thread and returns at once;
// FALSE (ERROR_INVALID_WINDOW_HANDLE) for a non-window. A null hwnd posts a
// thread message to the calling thread. The A and W forms behave alike: no
// message carries text that the layer would convert.
BOOL PostMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
BOOL PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
BOOL PostThreadMessageW(DWORD threadId, UINT msg, WPARAM wParam, LPARAM lParam);
// Within one thread the procedure is called directly. To another of our
// threads the message is queued ahead of posted messages and the sender
// waits for the reply (answering messages sent to itself meanwhile). To a
// window of another application the backend delivers it. 0 for a
// non-window.
LRESULT SendMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Inside the handling of a message sent from another thread: releases the
// sender with `result` (the procedure's own return value is then dropped)
// and returns TRUE. FALSE when the current message was not sent from another
// thread or was already replied to.
BOOL ReplyMessage(LRESULT result);
// TRUE while the calling thread handles a message sent from another thread.
BOOL InSendMessage();

namespace platform {

// The one call through which the toolkit's windows join the window table.
// The window belongs to the calling thread (which must be one of ours) and
// starts hidden with an empty rectangle; proc null means DefWindowProcW.
// The layer tells the toolkit of changes it makes (SetWindowPos,
// ShowWindow) through the messages above; the toolkit tells the layer of its
// own changes with UpdateToolkitWindow.
HWND CreateToolkitWindow(LPCWSTR className, LPCWSTR title, HWND parent = nullptr, WNDPROC proc = nullptr);
// Records a move, resize or show/hide the toolkit did itself; sends nothing.
// rect null: unchanged; visible < 0: unchanged.
void UpdateToolkitWindow(HWND hwnd, const RECT* rect, int visible);
// The toolkit reports that one of our windows got the keyboard focus (the
// CBT hooks run and the foreground follows as for any focus change).
void ToolkitFocusChanged(HWND gaining);

// The GUI thread: the thread whose queue the wakeup callback announces.
// Set by the backend's start-up (the thread that starts it, which is the
// first thread to use the layer when no backend was started explicitly);
// SetGuiThread makes the calling thread the GUI thread instead.
DWORD GuiThreadId();
void SetGuiThread();
// Called, on whatever thread queued it, when work arrives in the GUI thread's
// empty queue (once until the next drain begins). It must only schedule a
// DrainMessages on the GUI thread, never drain itself. Null removes it.
void SetMessageWakeup(std::function<void()> wakeup);
// Handles everything queued for the calling thread: sent messages first, then
// posted messages, then input, each through the hooks as on a real desktop.
// Returns the number of items handled; messages queued while draining are
// handled too (up to a bound, after which the wakeup is raised again).
int DrainMessages();
// A real thread of ours that ends takes its windows with it; a sender still
// waiting for one of them gets 0.
// Waits, in real time, until the calling thread's queue is not empty or
// `realMs` passed; for tests with several real threads. TRUE when work came.
BOOL WaitForQueue(DWORD realMs);

}  // namespace platform
