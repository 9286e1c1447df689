#pragma once
// Processes, threads, time, modules and the enumeration facilities (tool-help
// snapshots and the process-status functions), plus the last-error value.
//
// Time is the backend's: the simulated desktop's virtual clock drives Sleep,
// GetTickCount and every wait, so nothing really sleeps in tests.
#include "platform/errors.h"
#include "platform/types.h"

inline constexpr DWORD PROCESS_TERMINATE = 0x0001;
inline constexpr DWORD PROCESS_VM_READ = 0x0010;
inline constexpr DWORD PROCESS_QUERY_INFORMATION = 0x0400;
inline constexpr DWORD PROCESS_QUERY_LIMITED_INFORMATION = 0x1000;
inline constexpr DWORD SYNCHRONIZE = 0x00100000;

inline constexpr DWORD WAIT_OBJECT_0 = 0;
inline constexpr DWORD WAIT_TIMEOUT = 258;
inline constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;
inline constexpr DWORD INFINITE = 0xFFFFFFFF;

inline constexpr DWORD MAX_PATH = 260;
inline constexpr DWORD MAX_MODULE_NAME32 = 255;

DWORD GetLastError();
void SetLastError(DWORD error);

// Inside a hook or window procedure these report the thread (and its
// process) in which the procedure runs.
DWORD GetCurrentProcessId();
DWORD GetCurrentThreadId();

// NULL (ERROR_INVALID_PARAMETER) for an unknown process or pid 0;
// NULL (ERROR_ACCESS_DENIED) for a process we may not open.
HANDLE OpenProcess(DWORD access, BOOL inherit, DWORD pid);
// Closes a process or snapshot handle; FALSE (ERROR_INVALID_HANDLE) for any
// other value.
BOOL CloseHandle(HANDLE handle);
// 0 once the process waits for input with nothing pending, WAIT_TIMEOUT when
// it is still busy after `ms`, WAIT_FAILED for a bad handle or a process
// without an input queue (a console process, for example). The wait runs on
// the backend's clock.
DWORD WaitForInputIdle(HANDLE process, DWORD ms);
void Sleep(DWORD ms);
// Milliseconds of the backend's clock; wraps after 49.7 days.
DWORD GetTickCount();

// --- Version -----------------------------------------------------------------
inline constexpr DWORD VER_PLATFORM_WIN32s = 0;
inline constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
inline constexpr DWORD VER_PLATFORM_WIN32_NT = 2;

struct OSVERSIONINFOW {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  WCHAR szCSDVersion[128];
};

struct OSVERSIONINFOEXW {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  WCHAR szCSDVersion[128];
  WORD wServicePackMajor;
  WORD wServicePackMinor;
  WORD wSuiteMask;
  BYTE wProductType;
  BYTE wReserved;
};

// The layer reports an NT version (the backend's; NT 5.1 unless a test sets
// another). FALSE (ERROR_INVALID_PARAMETER) unless the size field is that of
// one of the two structures.
BOOL GetVersionExW(OSVERSIONINFOW* info);
inline BOOL GetVersionExW(OSVERSIONINFOEXW* info) { return GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(info)); }

// --- Modules -----------------------------------------------------------------
// A table of our own: "KERNEL32.DLL" (always loaded) and "PSAPI.DLL"
// (loaded on demand) offer the enumeration functions below by name; the
// program's own module is GetModuleHandleW(nullptr). Names compare without
// regard to case; a missing ".DLL" suffix is added as usual.
HMODULE GetModuleHandleW(LPCWSTR name);
HMODULE LoadLibraryW(LPCWSTR name);
// Exported procedure by name; NULL (ERROR_PROC_NOT_FOUND) when absent. Cast
// the result to the procedure's own type.
FARPROC GetProcAddress(HMODULE module, LPCSTR name);
BOOL FreeLibrary(HMODULE module);
// The path of one of our modules (module null: the program's executable).
DWORD GetModuleFileNameW(HMODULE module, LPWSTR out, DWORD size);

namespace platform {
// Registers a library of ours in the module table (the hook library calls it
// when it is loaded), so that GetModuleHandleW finds it and hooks can name
// it. Registering a name again returns the same handle.
HMODULE RegisterModule(LPCWSTR name, LPCWSTR path = nullptr);
}  // namespace platform

// --- Tool-help snapshots (KERNEL32) ------------------------------------------
inline constexpr DWORD TH32CS_SNAPHEAPLIST = 0x0001;
inline constexpr DWORD TH32CS_SNAPPROCESS = 0x0002;
inline constexpr DWORD TH32CS_SNAPTHREAD = 0x0004;
inline constexpr DWORD TH32CS_SNAPMODULE = 0x0008;

struct PROCESSENTRY32W {
  DWORD dwSize;
  DWORD cntUsage;
  DWORD th32ProcessID;
  ULONG_PTR th32DefaultHeapID;
  DWORD th32ModuleID;
  DWORD cntThreads;
  DWORD th32ParentProcessID;
  LONG pcPriClassBase;
  DWORD dwFlags;
  WCHAR szExeFile[MAX_PATH];  // file name of the executable, without folder
};

// Executables here have no ".exe" suffix, so a module's file name does not
// tell which module is the executable: isExecutable (our addition) marks the
// module that the process was started from (the file /proc/PID/exe names).
// The executable is also the first module of a snapshot.
struct MODULEENTRY32W {
  DWORD dwSize;
  DWORD th32ModuleID;
  DWORD th32ProcessID;
  DWORD GlblcntUsage;
  DWORD ProccntUsage;
  BYTE* modBaseAddr;
  DWORD modBaseSize;
  HMODULE hModule;
  WCHAR szModule[MAX_MODULE_NAME32 + 1];
  WCHAR szExePath[MAX_PATH];
  BOOL isExecutable;
};

// TH32CS_SNAPPROCESS lists every process (the idle process with id 0
// first); TH32CS_SNAPMODULE lists the modules of process pid (0: the
// caller's). INVALID_HANDLE_VALUE when the process is unknown or may not be
// read. Entries' dwSize must be set to the structure's size.
HANDLE CreateToolhelp32Snapshot(DWORD flags, DWORD pid);
BOOL Process32FirstW(HANDLE snapshot, PROCESSENTRY32W* entry);
BOOL Process32NextW(HANDLE snapshot, PROCESSENTRY32W* entry);
BOOL Module32FirstW(HANDLE snapshot, MODULEENTRY32W* entry);
BOOL Module32NextW(HANDLE snapshot, MODULEENTRY32W* entry);

// --- Process status (PSAPI) --------------------------------------------------
// Fills at most cb / 4 ids; *bytesReturned is what was written.
BOOL EnumProcesses(DWORD* ids, DWORD cb, DWORD* bytesReturned);
// Needs PROCESS_QUERY_INFORMATION and PROCESS_VM_READ. The executable comes
// first; *needed is the size the whole list takes.
BOOL EnumProcessModules(HANDLE process, HMODULE* modules, DWORD cb, DWORD* needed);
// Full path of a module of the process (module null: its executable);
// truncated to size - 1 characters and terminated; the count copied, 0 on
// failure.
DWORD GetModuleFileNameExW(HANDLE process, HMODULE module, LPWSTR out, DWORD size);
DWORD GetModuleBaseNameW(HANDLE process, HMODULE module, LPWSTR out, DWORD size);
