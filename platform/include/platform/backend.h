#pragma once
// The desktop behind the layer. One backend is active per process, started
// once at start-up on the GUI thread; the window table, message queues, hooks
// and key state are the layer's own and shared by every backend, while the
// backend supplies time, processes, the work area and the threads of other
// applications. A backend enters those threads and their windows in the
// layer's table (from inside the library) with a window procedure of its
// own: a message sent to such a window calls that procedure in the window's
// thread; posted messages and input queue for the thread and the backend is
// told (ThreadHasWork) so that it runs them when that application would.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/process.h"
#include "platform/types.h"

namespace platform {

struct ProcessInfo {
  DWORD pid = 0;
  DWORD parentPid = 0;
  DWORD threadCount = 1;
  std::wstring exePath;  // full path of the executable
};

struct ModuleInfo {
  std::wstring path;  // full path; the module name is its last component
  std::uintptr_t base = 0;
  DWORD size = 0;
  bool isExecutable = false;
};

class Backend {
 public:
  virtual ~Backend() = default;
  virtual const char* Name() const = 0;

  // Milliseconds since an arbitrary start; never goes back.
  virtual std::uint64_t NowMs() = 0;
  // Lets `ms` pass (0: yield) and runs what became due meanwhile.
  virtual void Sleep(DWORD ms) = 0;

  virtual DWORD OwnProcessId() = 0;
  // Every process id, ours included, in a stable order. Cheap: a snapshot
  // takes the list and reads a process's details only when they are asked
  // for, since on a real desktop each one costs reading files.
  virtual std::vector<DWORD> ProcessIds() = 0;
  // Live processes a walk is likely to look for, cheaper to list than all
  // of them (on X11: those of the windows seen lately). A snapshot hands
  // these out first and lists the others only when the walk goes on.
  virtual std::vector<DWORD> LikelyProcessIds() { return {}; }
  // The details of one process as they are now; false when it is gone.
  virtual bool ProcessDetails(DWORD pid, ProcessInfo* out) = 0;
  // False when the process is unknown or may not be read; the executable
  // comes first.
  virtual bool Modules(DWORD pid, std::vector<ModuleInfo>* out) = 0;
  // ERROR_SUCCESS, or why the process cannot be opened with `access`.
  virtual DWORD CheckOpenProcess(DWORD pid, DWORD access) = 0;
  // As WaitForInputIdle, for a process id.
  virtual DWORD WaitForInputIdle(DWORD pid, DWORD ms) = 0;
  // The physical key state is about to be read (GetAsyncKeyState): a
  // desktop that learns it only by asking (X11) asks now.
  virtual void ReadKeyboard() {}

  virtual RECT WorkArea() = 0;
  // The monitors, the primary first, each with its part of the work area.
  // One that knows no monitors: the work area alone.
  struct Monitor {
    RECT area;
    RECT work;
  };
  virtual std::vector<Monitor> Monitors() {
    const RECT work = WorkArea();
    return {Monitor{work, work}};
  }
  virtual void Version(OSVERSIONINFOW* info) = 0;
  // Whether SetForegroundWindow may bring hwnd to the front now.
  virtual bool AllowSetForeground(HWND hwnd) = 0;

  // A hook was installed or removed. A desktop that hands keys only to the
  // client that asked for them (X11 grabs) asks while a keyboard hook is
  // installed, as a hook on any desktop sees keys only then.
  virtual void HooksChanged() {}

  // Work was queued for a thread of another application (the backend runs
  // those threads). `input` is true for synthesised input, which the
  // backend may deliver before SendInput returns.
  virtual void ThreadHasWork(DWORD threadId, bool input) = 0;
};

// For backends on a real Linux desktop: every process id /proc lists, in
// ascending order, and one process's details (exePath empty where it may not
// be read; false when the process is gone).
std::vector<DWORD> ProcFsProcessIds();
bool ProcFsProcessDetails(DWORD pid, ProcessInfo* out);
// The files a process has mapped, from /proc/PID/maps: the executable (the
// file /proc/PID/exe names) first and marked isExecutable, then the others by
// address. False when the process is gone or may not be read.
bool ProcFsModules(DWORD pid, std::vector<ModuleInfo>* out);

// Starts `backend` as the process's desktop; the calling thread becomes the
// GUI thread. Replaces a backend started before (tests only).
void StartBackend(std::unique_ptr<Backend> backend);
// The active backend; when none was started, the simulated desktop is
// started on first use (there is no other backend yet).
Backend& CurrentBackend();

}  // namespace platform
