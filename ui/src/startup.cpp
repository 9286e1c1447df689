#include "startup.h"

#include <signal.h>
#include <spawn.h>

#include <cstdio>
#include <cstring>

#include <wx/cmdline.h>
#include <wx/filename.h>
#include <wx/log.h>
#include <wx/snglinst.h>

#include "appconfig.h"
#include "options.h"
#include "msgbox.h"
#include "platform/window.h"

extern char** environ;

const wchar_t kOlderMainFrameClass[] = L"PastiqMainFrame{35F7679D-4441-4728-9159-36A8119613F7}";
const wchar_t kSingleInstanceName[] = L"Pastiq {D8053174-4378-435b-9ED3-48E4BDCBFA05}";
const char kOldVersionQuestion[] =
    "You must close old version of Pastiq before new version can run.  Do you want to close it?";
const char kAlreadyRunningMessage[] = "Another program instance is already running, aborting...";
const char kProductTitle[] = "Pastiq";

namespace {
char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool ContainsAsciiNoCase(const char* text, const char* needle) {
  const std::size_t n = std::strlen(needle);
  for (; *text; ++text) {
    std::size_t i = 0;
    while (i < n && text[i] && AsciiLower(text[i]) == AsciiLower(needle[i])) ++i;
    if (i == n) return true;
  }
  return false;
}
}  // namespace

bool HasCommitArgument(int argc, const char* const* argv) {
  for (int i = 1; i < argc; ++i)
    if (argv[i] && ContainsAsciiNoCase(argv[i], "/commit")) return true;
  return false;
}

bool RestartProgramDetached() {
  // /proc/self/exe names the running file even when its path cannot be read;
  // the child sees its own, which is the same file.
  char name[] = "pastiq";
  char* const childArgv[] = {name, nullptr};

  posix_spawnattr_t attr;
  if (posix_spawnattr_init(&attr) != 0) return false;
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK);
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, "/proc/self/exe", nullptr, &attr, childArgv, environ);
  posix_spawnattr_destroy(&attr);
  if (rc != 0) {
    std::fprintf(stderr, "pastiq: cannot start the program again: %s\n", std::strerror(rc));
    return false;
  }
  return true;
}

bool HandleCommitArgument(int argc, const char* const* argv, int* exitCode) {
  if (!HasCommitArgument(argc, argv)) return false;
  const bool started = RestartProgramDetached();
  if (exitCode) *exitCode = started ? 0 : 1;
  return true;
}

void DeclareCommandLine(wxCmdLineParser& parser) {
  parser.SetSwitchChars("-/");
  parser.AddSwitch("startup", wxEmptyString, wxEmptyString);
  parser.AddSwitch("verbose", wxEmptyString, wxEmptyString);
}

bool StartupAllowed(const wxCmdLineParser& parser) {
  return !parser.Found("startup") || OptionValue<bool>(OPT_AUTO_START, false);
}

wxString GetProgramDirectory() { return AppConfig::GetProgramFolder(); }

bool AcquireSingleInstance(std::unique_ptr<wxSingleInstanceChecker>* checker, const wxString& folder) {
  checker->reset();
  auto lock = std::make_unique<wxSingleInstanceChecker>();
  bool created = false;
  {
    wxLogNull quiet;  // our own line below, not a toolkit error box at the next idle
    if (!wxFileName::DirExists(folder)) wxFileName::Mkdir(folder, wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
    created = lock->Create(kSingleInstanceName, folder);
  }
  if (!created) {
    std::fprintf(stderr, "pastiq: cannot create the single-instance lock in %s\n",
                 static_cast<const char*>(folder.utf8_str()));
    return true;
  }
  if (lock->IsAnotherRunning()) {
    // Said where a start from a script or at login is seen too; the box
    // may wait for nobody.
    std::fprintf(stderr, "pastiq: %s\n", kAlreadyRunningMessage);
    std::fflush(stderr);
    ShowMessageBox(kAlreadyRunningMessage, kProductTitle, wxOK | wxCENTRE);
    return false;
  }
  *checker = std::move(lock);
  return true;
}

OlderVersionDesktop PlatformDesktop() { return {&::FindWindowW, &::IsWindow, &::PostMessageW}; }

bool CloseOlderVersion(const OlderVersionDesktop& desktop) {
  const HWND older = desktop.findWindow(kOlderMainFrameClass, nullptr);
  if (!older || !desktop.isWindow(older)) return true;
  if (ShowMessageBox(kOldVersionQuestion, kProductTitle, wxYES_NO) != wxYES) return false;
  desktop.postMessage(older, WM_COMMAND, ID_APP_EXIT, 0);
  return true;
}
