// The program pastiq as a whole, in processes of its own, with its data
// folder and home in temporary folders.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include <wx/gdicmn.h>

#include "appconfig.h"
#include "appversion.h"
#include "child_process.h"
#include "commands.h"
#include "display.h"
#include "net/socket.h"
#include "options.h"
#include "pq/history.h"
#include "sandbox.h"
#include "sessionend.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {
using testing_process::CatchesSignal;
using testing_process::ChildProcess;
using testing_process::ReadFile;

// The program (or its unattended copy) with its standard error in its output.
ChildProcess StartProgram(const std::string& program, const std::vector<std::string>& args = {}) {
  return ChildProcess(program, args, ChildProcess::Options().WithStderr());
}

struct Program : ::testing::Test {
  // The X server a test run starts may reset when its last client leaves and
  // then refuse a program that connects meanwhile: this process stays
  // connected for as long as its programs run.
  static void SetUpTestSuite() {
    static char name[] = "ui_tests";
    static char* argv[] = {name, nullptr};
    int argc = 1;
    char** args = argv;
    OpenTestDisplay(argc, args);
  }

  fs::path data = testing_sandbox::MakeTempDir("data");
  fs::path autostart;

  Program() {
    AppConfig::SetDisplayWidthSource([] { return 1280; });  // no toolkit application here
    setenv("PASTIQ_DATA_DIR", data.c_str(), 1);
    const char* config = std::getenv("XDG_CONFIG_HOME");
    autostart = fs::path(config ? config : "") / "autostart" / "Pastiq.desktop";
  }
  ~Program() override { unsetenv("PASTIQ_DATA_DIR"); }

  fs::path Settings() const { return data / "pastiq.cfg"; }
  fs::path HistoryFile() const { return data / "pastiq_history"; }

  // Waits until the program's start-up has finished (its session-end
  // handlers come last, SIGINT's last of them); false when it ended or took
  // too long.
  static bool WaitUntilRunning(ChildProcess& child) {
    return testing_process::WaitUntil(
               [&] {
                 return std::all_of(std::begin(kSessionEndSignals), std::end(kSessionEndSignals),
                                    [&](int s) { return CatchesSignal(child.pid(), s); }) ||
                        !child.running();
               },
               20s) &&
           child.running();
  }

  void WriteSettingsWithAutoStart(bool on) {
    AppConfig config;
    config.options.Set(OPT_AUTO_START, on);
    ASSERT_TRUE(config.SaveFile(wxString::FromUTF8(Settings().string()), ArchiveInfo(APP_VERSION_CODE, 1)));
  }
};

struct EarlyEnd {
  std::vector<std::string> args;
  bool settingsWithAutoStartOff;  // else no settings file at all
  std::string says;               // empty: nothing at all
};

TEST_F(Program, EndsBeforeAnyWindowAndWritesNoSettings) {
  const EarlyEnd cases[] = {
      {{"-startup"}, true, ""},
      {{"/startup"}, true, ""},
      {{"-startup", "-verbose"}, true, ""},
      {{"-bogus"}, false, "Unknown option 'bogus'"},
      {{"startup"}, false, "Unexpected parameter 'startup'"},
  };
  for (const EarlyEnd& c : cases) {
    const std::string shown = c.args[0];
    fs::remove_all(data);
    fs::create_directories(data);
    if (c.settingsWithAutoStartOff) WriteSettingsWithAutoStart(false);
    const std::string before = c.settingsWithAutoStartOff ? ReadFile(Settings()) : std::string();
    fs::remove(autostart);

    ChildProcess program = StartProgram(PASTIQ_PROGRAM, c.args);
    ASSERT_GT(program.pid(), 0);
    const int status = program.Wait(15s);
    ASSERT_NE(status, -1) << shown << ": still running";
    ASSERT_TRUE(WIFEXITED(status)) << shown << ": ended by signal " << WTERMSIG(status);
    EXPECT_NE(WEXITSTATUS(status), 0) << shown;
    const std::string output = program.ReadAll();
    if (c.says.empty()) {
      EXPECT_EQ(output, "") << shown;
    } else {
      EXPECT_NE(output.find(c.says), std::string::npos) << shown << ": " << output;
      EXPECT_NE(output.find("Usage: "), std::string::npos) << shown << ": " << output;
    }

    EXPECT_EQ(fs::exists(Settings()), c.settingsWithAutoStartOff) << shown;
    if (c.settingsWithAutoStartOff) {
      EXPECT_EQ(ReadFile(Settings()), before) << shown << ": settings written";
    }
    EXPECT_FALSE(fs::exists(HistoryFile())) << shown;
    // The settings were loaded, so the run-at-login entry was rewritten.
    EXPECT_TRUE(fs::exists(autostart)) << shown;
  }
}

TEST_F(Program, ASecondInstanceEndsAtOnce) {
  ChildProcess first = StartProgram(PASTIQ_PROGRAM);
  ASSERT_TRUE(WaitUntilRunning(first));

  ChildProcess second = StartProgram(PASTIQ_UNATTENDED);
  const int status = second.Wait(15s);
  ASSERT_NE(status, -1) << "the second instance is still running";
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_NE(WEXITSTATUS(status), 0);
  const std::string output = second.ReadAll();
  EXPECT_NE(output.find("pastiq: Another program instance is already running, aborting...\n"), std::string::npos)
      << "said on standard error too: " << output;
  EXPECT_NE(output.find("message box: Pastiq|Another program instance is already running, aborting...\n"),
            std::string::npos)
      << output;
  // Our own main window is never taken for an older version's.
  EXPECT_EQ(output.find("old version"), std::string::npos) << output;
  EXPECT_FALSE(fs::exists(Settings()));

  EXPECT_EQ(first.Wait(0ms), -1) << "the first instance ended too";
  kill(first.pid(), SIGTERM);
  const int firstStatus = first.Wait(20s);
  ASSERT_TRUE(WIFEXITED(firstStatus));
  EXPECT_EQ(WEXITSTATUS(firstStatus), 0);
}

TEST_F(Program, AReceiverThatCannotListenIsToldAndTheProgramRunsOn) {
  net::Listener taken;
  net::Endpoint any;
  ASSERT_TRUE(taken.Open(any));
  {
    AppConfig config;
    config.options.Set(OPT_RECEIVE_ENABLED, true);
    config.options.Set(OPT_RECEIVER_PORT, static_cast<unsigned long>(taken.Port()));
    ASSERT_TRUE(config.SaveFile(wxString::FromUTF8(Settings().string()), ArchiveInfo(APP_VERSION_CODE, 1)));
  }
  ChildProcess program = StartProgram(PASTIQ_UNATTENDED);
  ASSERT_TRUE(WaitUntilRunning(program));
  kill(program.pid(), SIGTERM);
  const int status = program.Wait(20s);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  const std::string output = program.ReadAll();
  EXPECT_NE(output.find("message box: Error|Failed to start clipboard networking receiver (server)!\n"),
            std::string::npos)
      << output;
}

// The Exit command (as the tray menu sends it) is the ordinary end; the
// copy of the program that takes commands on its standard input sends it.
void SendCommands(ChildProcess& program, const std::string& lines) { ASSERT_TRUE(program.WriteInput(lines)); }

TEST_F(Program, TheExitCommandSavesTheSettingsAndTheHistoryAsTheyStandAtExit) {
  ChildProcess program(PASTIQ_UNATTENDED, {}, ChildProcess::Options().KeepInput().WithStderr());
  ASSERT_TRUE(WaitUntilRunning(program));
  // Recording paused during the run: the saved settings are those of the
  // end, not the defaults.
  SendCommands(program, std::to_string(ID_TOGGLE_RECORDING) + "\n" + std::to_string(wxID_EXIT) + "\n");
  const int status = program.Wait(20s);
  ASSERT_NE(status, -1) << "did not exit";
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  EXPECT_EQ(WEXITSTATUS(status), 0);

  AppConfig config;
  ASSERT_NO_THROW(config.LoadFile(wxString::FromUTF8(Settings().string())));
  bool recording = true;
  EXPECT_TRUE(config.options.Get(OPT_RECORDING, recording));
  EXPECT_FALSE(recording);
  wxRect frame;
  ASSERT_TRUE(config.options.Get(OPT_MAIN_FRAME_RECT, frame)) << "window state not stored";
  EXPECT_EQ(frame.GetSize(), wxSize(680, 480));
  pq::History history;
  ASSERT_NO_THROW(history.Load(wxString::FromUTF8(HistoryFile().string())));
  ASSERT_NE(history.GetMainList(), nullptr);
  EXPECT_EQ(history.GetMainList()->name, "Main");
}

TEST_F(Program, AfterTheExitCommandTheViewerChainIsLeftAndTheHooksAreRemoved) {
  ChildProcess program(PASTIQ_UNATTENDED, {}, ChildProcess::Options().KeepInput().WithStderr());
  ASSERT_TRUE(WaitUntilRunning(program));
  SendCommands(program, std::to_string(wxID_EXIT) + "\n");
  const int status = program.Wait(20s);
  ASSERT_NE(status, -1) << "did not exit";
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  const std::string output = program.ReadAll();
  EXPECT_NE(output.find("at exit: clipboard viewer none, keyboard hooks 0, focus hooks 0\n"), std::string::npos)
      << output;
}

struct SignalCase {
  int signal;
  std::vector<std::string> args;
};
void PrintTo(const SignalCase& c, std::ostream* os) { *os << "signal " << c.signal; }

class ProgramSessionEnd : public Program, public ::testing::WithParamInterface<SignalCase> {};

TEST_P(ProgramSessionEnd, SavesSettingsAndHistoryAndExitsCleanly) {
  ChildProcess program = StartProgram(PASTIQ_PROGRAM, GetParam().args);
  ASSERT_TRUE(WaitUntilRunning(program));
  EXPECT_FALSE(fs::exists(Settings()));
  EXPECT_FALSE(fs::exists(HistoryFile()));

  kill(program.pid(), GetParam().signal);
  const int status = program.Wait(20s);
  ASSERT_NE(status, -1) << "did not exit";
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_NE(program.ReadAll().find("runs on the simulated desktop"), std::string::npos);

  // Both files are whole and hold what the program had.
  AppConfig config;
  ASSERT_NO_THROW(config.LoadFile(wxString::FromUTF8(Settings().string())));
  wxRect frame;
  ASSERT_TRUE(config.options.Get(OPT_MAIN_FRAME_RECT, frame)) << "window state not stored";
  EXPECT_EQ(frame.GetSize(), wxSize(680, 480));
  bool autoStart = false;
  EXPECT_TRUE(config.options.Get(OPT_AUTO_START, autoStart) && autoStart);
  pq::History history;
  ASSERT_NO_THROW(history.Load(wxString::FromUTF8(HistoryFile().string())));
  ASSERT_NE(history.GetMainList(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Signals, ProgramSessionEnd,
                         ::testing::Values(SignalCase{SIGTERM, {}}, SignalCase{SIGHUP, {"-startup"}},
                                           SignalCase{SIGINT, {"/verbose"}}),
                         [](const ::testing::TestParamInfo<SignalCase>& info) {
                           return std::string(info.param.signal == SIGTERM  ? "Term"
                                              : info.param.signal == SIGHUP ? "Hup"
                                                                            : "Int");
                         });
// The width and height in a PNG file's header; (0, 0) for no PNG.
std::pair<unsigned, unsigned> PngSize(const fs::path& file) {
  const std::string bytes = ReadFile(file);
  if (bytes.size() < 24 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 || bytes.compare(12, 4, "IHDR") != 0)
    return {0, 0};
  auto word = [&](std::size_t at) {
    unsigned value = 0;
    for (std::size_t i = 0; i < 4; ++i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
  };
  return {word(16), word(20)};
}

// Installed under a prefix of its own, the program finds its libraries, its
// desktop entry and icons are where desktops look, and the run-at-login
// entry it writes names the installed program.
TEST_F(Program, InstalledUnderAPrefixItRunsAndTheDesktopFindsIt) {
  const fs::path prefix = testing_sandbox::MakeTempDir("prefix");
  ChildProcess install({PASTIQ_CMAKE, "--install", PASTIQ_BUILD_DIR, "--prefix", prefix.string()},
                       ChildProcess::Options().WithStderr());
  const std::string said = install.ReadAll(60s);
  ASSERT_EQ(install.Wait(10s), 0) << said;

  const fs::path program = prefix / "bin" / "pastiq";
  for (const fs::path& file : {program, prefix / "share/pastiq/manual/pastiq.hhp"}) EXPECT_TRUE(fs::exists(file)) << file;
  for (const unsigned size : {16u, 32u, 48u}) {
    const std::string dir = std::to_string(size) + "x" + std::to_string(size);
    EXPECT_EQ(PngSize(prefix / "share/icons/hicolor" / dir / "apps/pastiq.png"), std::make_pair(size, size)) << dir;
  }
  const std::string entry = ReadFile(prefix / "share/applications/pastiq.desktop");
  EXPECT_EQ(entry.rfind("[Desktop Entry]\n", 0), 0u) << entry;
  EXPECT_NE(entry.find("\nExec=" + program.string() + "\n"), std::string::npos) << entry;
  EXPECT_NE(entry.find("\nIcon=pastiq\n"), std::string::npos) << entry;

  // A start from the login entry with starting at login switched off reads
  // the settings, rewrites the entry and ends: far enough to show that the
  // program and its libraries load.
  WriteSettingsWithAutoStart(false);
  fs::remove(autostart);
  ChildProcess installed = StartProgram(program.string(), {"-startup"});
  ASSERT_GT(installed.pid(), 0);
  const int status = installed.Wait(15s);
  ASSERT_NE(status, -1) << "still running";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 127) << installed.ReadAll();
  const std::string login = ReadFile(autostart);
  EXPECT_NE(login.find("\nExec=" + program.string() + " -startup\n"), std::string::npos) << login;
}

}  // namespace
