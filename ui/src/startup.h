#pragma once
// What the program does before and around its windows: the command line, the
// restart after an update ("/Commit"), the program's folder, the checks
// against a second instance and an older version still running.
#include <functional>
#include <memory>

#include <wx/string.h>

#include "appconfig.h"
#include "platform/types.h"

class wxCmdLineParser;
class wxSingleInstanceChecker;

// Fixed identifiers of the program and its start-up texts.
extern const wchar_t kOlderMainFrameClass[];  // window class of an older version's main window
extern const wchar_t kSingleInstanceName[];
extern const char kOldVersionQuestion[];
extern const char kAlreadyRunningMessage[];
extern const char kProductTitle[];  // caption of the start-up message boxes
// The command an older version's main window takes as "exit".
constexpr UINT ID_APP_EXIT = 0xE141;

// True when some argument after the program's own path holds "/Commit" (ASCII
// letters in any case, anywhere in the argument). The path itself never
// counts: a folder named "commit" must not make the program restart forever.
bool HasCommitArgument(int argc, const char* const* argv);

// Starts the running program's own executable again, without arguments, in a
// session of its own (it outlives us and no terminal hang-up reaches it).
// False, with the reason on standard error, when it cannot be started.
bool RestartProgramDetached();

// For the program's main: when the arguments ask for the restart, does it and
// returns true with the exit code the program should end with.
bool HandleCommitArgument(int argc, const char* const* argv, int* exitCode);

// Declares the two switches "startup" and "verbose", each taken with a
// leading "-" or "/"; nothing else (not the toolkit's own defaults).
void DeclareCommandLine(wxCmdLineParser& parser);

// The start-up rule, once the settings are loaded: a start from the login
// entry ("startup") goes on only while OPT_AUTO_START reads true (a missing
// or unreadable option reads false).
bool StartupAllowed(const wxCmdLineParser& parser);

// The folder holding the program file, without a trailing separator; empty
// when the program's path cannot be read.
wxString GetProgramDirectory();

// Takes the single-instance lock into *checker, which the caller keeps for
// the whole run. The lock is a file in folder, by default the per-user data
// folder (created when missing), since what it guards are those files. False,
// after telling the user (on standard error and in a message box), when
// another instance holds it. A lock that cannot
// be made at all does not stop the start (a warning on standard error,
// *checker stays null).
bool AcquireSingleInstance(std::unique_ptr<wxSingleInstanceChecker>* checker,
                           const wxString& folder = AppConfig::GetFolder());

// The desktop calls the older-version check makes.
struct OlderVersionDesktop {
  std::function<HWND(LPCWSTR className, LPCWSTR title)> findWindow;
  std::function<BOOL(HWND)> isWindow;
  std::function<BOOL(HWND, UINT, WPARAM, LPARAM)> postMessage;
};
// The platform layer's: FindWindowW, IsWindow and PostMessageW, which reach
// the windows of other processes through the active backend.
OlderVersionDesktop PlatformDesktop();

// When an older version's main window exists, asks whether to close it. Yes:
// posts it the exit command and goes on at once (true); No: false, the start
// ends. No such window: true.
bool CloseOlderVersion(const OlderVersionDesktop& desktop = PlatformDesktop());
