// Start-up pieces in processes of their own (the probe program).
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <wx/defs.h>
#include <wx/snglinst.h>

#include "child_process.h"
#include "msgbox.h"
#include "sandbox.h"
#include "sessionend.h"
#include "startup.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {
using testing_process::ChildProcess;
using testing_process::ReadFile;
using testing_process::WaitForFile;

// A started probe; its standard input stays open until CloseInput.
struct Probe : ChildProcess {
  explicit Probe(std::vector<std::string> args) : ChildProcess(UI_PROBE, std::move(args), Options().KeepInput()) {}
};

TEST(CommitRestart, StartsTheProgramAgainWithoutArgumentsInItsOwnSession) {
  const fs::path report = fs::path(testing_sandbox::MakeTempDir("commit")) / "report";
  setenv("PASTIQ_PROBE_REPORT", report.c_str(), 1);
  Probe probe({"-startup", "/coMMit"});
  unsetenv("PASTIQ_PROBE_REPORT");
  ASSERT_GT(probe.pid(), 0);
  const int status = probe.Wait(10s);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  ASSERT_TRUE(WaitForFile(report));
  // Written in one go by the restarted copy; wait for its line to be complete.
  std::string text;
  testing_process::WaitUntil([&] { return (text = ReadFile(report)).find('\n') != std::string::npos; }, 5s);
  int args = -1, pid = -1, sid = -2;
  ASSERT_EQ(std::sscanf(text.c_str(), "args=%d pid=%d sid=%d", &args, &pid, &sid), 3) << text;
  EXPECT_EQ(args, 0);
  EXPECT_EQ(pid, sid) << "not detached into a session of its own";
}

struct SingleInstance : ::testing::Test {
  std::string folder = testing_sandbox::MakeTempDir("lock");
  std::vector<wxString> boxes;
  long style = 0;
  MessageBoxHandler previous = SetMessageBoxHandler([this](const wxString& text, const wxString& caption, long s, wxWindow*) {
    boxes.push_back(caption + "|" + text);
    style = s;
    return wxOK;
  });
  ~SingleInstance() override { SetMessageBoxHandler(previous); }
};

TEST_F(SingleInstance, ASecondInstanceIsToldAndRefused) {
  Probe first({"lock", folder});
  ASSERT_EQ(first.ReadLine(), "held");
  // The lock is a file in the given folder, nowhere in the home folder.
  EXPECT_TRUE(fs::exists(fs::path(folder) / "Pastiq {D8053174-4378-435b-9ED3-48E4BDCBFA05}"));

  std::unique_ptr<wxSingleInstanceChecker> checker;
  EXPECT_FALSE(AcquireSingleInstance(&checker, folder));
  EXPECT_EQ(checker, nullptr);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], "Pastiq|Another program instance is already running, aborting...");
  EXPECT_EQ(style, wxOK | wxCENTRE);

  // Once the first has ended, the lock is free.
  first.CloseInput();
  ASSERT_NE(first.Wait(10s), -1);
  EXPECT_TRUE(AcquireSingleInstance(&checker, folder));
  EXPECT_NE(checker, nullptr);
  Probe second({"lock", folder});
  EXPECT_EQ(second.ReadLine(), "refused");
}

TEST_F(SingleInstance, LivesInTheDataFolderCreatedWhenMissing) {
  const fs::path data = fs::path(folder) / "not" / "yet";
  setenv("PASTIQ_DATA_DIR", data.c_str(), 1);
  std::unique_ptr<wxSingleInstanceChecker> checker;
  EXPECT_TRUE(AcquireSingleInstance(&checker));
  unsetenv("PASTIQ_DATA_DIR");
  EXPECT_NE(checker, nullptr);
  EXPECT_TRUE(fs::exists(data / "Pastiq {D8053174-4378-435b-9ED3-48E4BDCBFA05}"));
}

TEST_F(SingleInstance, AFolderThatCannotHoldTheLockDoesNotStopTheStart) {
  const fs::path blocker = fs::path(folder) / "a-file";
  std::ofstream(blocker) << "not a folder";
  std::unique_ptr<wxSingleInstanceChecker> checker;
  EXPECT_TRUE(AcquireSingleInstance(&checker, (blocker / "inside").string()));
  EXPECT_EQ(checker, nullptr);
  EXPECT_TRUE(boxes.empty());
}

struct SessionCase {
  int signal;
  bool dialog;
};
void PrintTo(const SessionCase& c, std::ostream* os) { *os << "signal " << c.signal << (c.dialog ? " with dialog" : ""); }

class SessionEndProcess : public ::testing::TestWithParam<SessionCase> {};

TEST_P(SessionEndProcess, SavesAndExitsCleanly) {
  const fs::path dir = testing_sandbox::MakeTempDir("session");
  Probe probe({"session", dir.string(), GetParam().dialog ? "dialog" : "nodialog"});
  ASSERT_GT(probe.pid(), 0);
  ASSERT_TRUE(WaitForFile(dir / "ready"));
  EXPECT_FALSE(fs::exists(dir / "saved"));
  kill(probe.pid(), GetParam().signal);
  const int status = probe.Wait(20s);
  ASSERT_NE(status, -1) << "did not exit";
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_TRUE(fs::exists(dir / "saved"));
  EXPECT_TRUE(fs::exists(dir / "exited"));
}

INSTANTIATE_TEST_SUITE_P(Signals, SessionEndProcess,
                         ::testing::Values(SessionCase{SIGTERM, false}, SessionCase{SIGHUP, false},
                                           SessionCase{SIGINT, false}, SessionCase{SIGTERM, true},
                                           SessionCase{SIGHUP, true}, SessionCase{SIGINT, true}),
                         [](const ::testing::TestParamInfo<SessionCase>& info) {
                           const char* name = info.param.signal == SIGTERM  ? "Term"
                                              : info.param.signal == SIGHUP ? "Hup"
                                                                            : "Int";
                           return std::string(name) + (info.param.dialog ? "WithDialog" : "");
                         });
}  // namespace
