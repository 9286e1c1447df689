#pragma once
// State of the X11 backend shared by its files. GUI thread only, except
// Kick(), which any thread may call.
#include <X11/Xlib.h>

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/types.h"

namespace platform::x11::detail {

struct Atoms {
  Atom netActiveWindow, netWmPid, netWmName, netClientList, netSupported, utf8String, wmState, wmClass;
  Atom clipboard, targets, multiple, timestamp, incr, atomPair;
  Atom text, string, textPlainUtf8, textPlain, textHtml, textRtf, appRtf, imagePng, imageBmp, textCsv, tagTarget;
  Atom clipboardManager, saveTargets, property;
  Atom pastiqClass, pastiqWindows, pastiqMessage, pastiqProcess;
};

struct Conn {
  Display* dpy = nullptr;
  Window root = 0;
  Window own = 0;  // our own unmapped window: selections, client messages
  int screen = 0;
  Atoms a{};
  bool xfixes = false;
  int xfixesEvent = 0;
  bool xres = false;
  bool xtest = false;
  int eventFd = -1;  // an eventfd: work was queued or events read ahead
  int pollFd = -1;   // an epoll fd over the connection and eventFd
  DWORD ownPid = 0;
  Time lastTime = CurrentTime;  // the newest server time seen
};

Conn& C();
bool Connected();

// Wakes up the application's loop for a Dispatch (any thread).
void Kick();
// After X work outside Dispatch: events read into Xlib's queue meanwhile
// would not make the connection readable, so the loop is woken for them.
void KickIfQueued();
// The same after every request of ours (and every sync) made outside
// Dispatch: a request that waits for its reply reads whatever events came
// before it into Xlib's queue, and the loop would sleep with a clipboard
// change unread until some unrelated event.
void NoteQueuedEvents();

// X errors of our connection are caught, not fatal. Trap scopes count them.
class Trap {
 public:
  Trap();
  ~Trap();
  // Whether an error happened inside the scope; waits for the server only
  // when its answer to the last request has not come yet.
  bool Failed();

 private:
  unsigned long before_;
};
void InstallErrorHandler();

// Properties.
bool GetProperty(Window w, Atom prop, Atom type, std::vector<unsigned char>* out, Atom* actualType = nullptr,
                 int* format = nullptr, std::size_t maxBytes = 1 << 20);
Window GetWindowProperty(Window w, Atom prop);
std::wstring Utf8ToWide(const std::string& s);
std::string WideToUtf8(const std::wstring& s);

// Windows (x11_windows.cpp).
HWND HandleFor(Window w);            // enters the window on first use; null for ours
Window XOf(HWND hwnd);                // 0 when not an X window we know
DWORD PidOf(Window w);                // 0 when unknown
DWORD ThreadForPid(DWORD pid);        // the foreign thread standing for the process
// The processes of the windows entered lately (as the clipboard's owner, in
// front, ...), the newest first.
std::vector<DWORD> RecentWindowProcesses();
void OnWindowEvent(const XEvent& ev); // structure, property and focus events
void RefreshActiveWindow();
void InitWindows();
void ShutdownWindows();
bool IsOwnWindow(Window w);
bool ActivateX(Window w);
void PublishOwnWindows();
void OnPastiqMessage(const XClientMessageEvent& ev);
void ForgetWindow(Window w);
HWND DesktopWindow();
DWORD UnknownPid();
void Warn(const std::string& text);
LRESULT ForeignProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Keys (x11_keys.cpp).
void InitKeys();
void ShutdownKeys();
void OnKeyEvent(XEvent& ev);
void OnMappingNotify(XEvent& ev);
// Grabs the shortcuts while a keyboard hook is installed, and only then: a
// program that installs no hook (a second instance about to end) takes no
// keys from anyone.
void UpdateKeyGrabs();
// The physical key state (GetAsyncKeyState) as the keyboard holds it now.
void SyncAsyncKeys();
// A key message reached another application's window: the one being routed
// from the keyboard goes on to it; any other one is typed there with XTest.
void KeyReachedWindow(HWND hwnd, UINT msg, WPARAM vk);

// Clipboard (x11_clipboard.cpp).
void InitClipboard();
void ShutdownClipboard();
bool OnClipboardEvent(XEvent& ev);  // true when taken

// Monitors (x11_monitors.cpp): each monitor RandR knows (the primary first)
// with the window manager's work area clipped to it; the whole screen as one
// monitor where RandR lists none.
struct MonitorArea {
  RECT area;
  RECT work;
};
std::vector<MonitorArea> ReadMonitors(const RECT& workArea);

// Foreign threads: work queued for other applications' windows.
void RunForeign(DWORD tid);
int RunAllForeign();

}  // namespace platform::x11::detail
