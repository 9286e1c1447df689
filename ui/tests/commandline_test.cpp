#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <vector>

#include <wx/cmdline.h>
#include <wx/msgout.h>

#include "startup.h"

namespace {
struct CommitCase {
  std::vector<const char*> argv;  // argv[0] is the program's path
  bool restart;
};

TEST(Commit, LookedForInTheArgumentsOnly) {
  const CommitCase cases[] = {
      {{"/usr/bin/pastiq", "/Commit"}, true},
      {{"/usr/bin/pastiq", "/COMMIT"}, true},
      {{"/usr/bin/pastiq", "/commit"}, true},
      {{"/usr/bin/pastiq", "-startup", "x/cOmMiTy"}, true},  // anywhere in an argument
      {{"/usr/bin/pastiq"}, false},
      {{"/home/u/commit/pastiq"}, false},          // a folder named "commit" in the path
      {{"/Commit/pastiq", "-startup"}, false},
      {{"/usr/bin/pastiq", "-commit"}, false},
      {{"/usr/bin/pastiq", "/Comit"}, false},
      {{"/usr/bin/pastiq", "/Commi"}, false},
      {{"/usr/bin/pastiq", "/\xC3\x87ommit"}, false},  // only ASCII letters fold
  };
  for (const CommitCase& c : cases) {
    std::string shown;
    for (const char* a : c.argv) shown += std::string(a) + " ";
    EXPECT_EQ(HasCommitArgument(static_cast<int>(c.argv.size()), c.argv.data()), c.restart) << shown;
  }
}

TEST(Commit, OtherArgumentsAreNotHandled) {
  const char* argv[] = {"/opt/commit/pastiq", "-verbose"};
  int code = 99;
  EXPECT_FALSE(HandleCommitArgument(2, argv, &code));
  EXPECT_EQ(code, 99);
}

struct ParseCase {
  std::vector<const char*> args;  // after the program's path
  bool ok;
  bool startup;
  bool verbose;
};

// Collects what the parser tells the user.
struct CapturedOutput : wxMessageOutput {
  wxString text;
  wxMessageOutput* previous = wxMessageOutput::Set(this);
  ~CapturedOutput() override { wxMessageOutput::Set(previous); }
  void Output(const wxString& str) override { text += str; }
};

TEST(CommandLine, AcceptsTheTwoSwitchesWithMinusOrSlash) {
  const ParseCase cases[] = {
      {{}, true, false, false},
      {{"-startup"}, true, true, false},
      {{"/startup"}, true, true, false},
      {{"-verbose"}, true, false, true},
      {{"/verbose"}, true, false, true},
      {{"-startup", "/verbose"}, true, true, true},
      {{"startup"}, false, false, false},        // a bare word is an argument, not a switch
      {{"-s"}, false, false, false},
      {{"--startup"}, false, false, false},
      {{"-Startup"}, false, false, false},
      {{"-help"}, false, false, false},          // the toolkit's defaults are not declared
      {{"--help"}, false, false, false},
      {{"-h"}, false, false, false},
      {{"-startup", "file.txt"}, false, false, false},
      {{"/tmp/x"}, false, false, false},
  };
  for (const ParseCase& c : cases) {
    std::vector<char*> argv{const_cast<char*>("/usr/bin/pastiq")};
    std::string shown;
    for (const char* a : c.args) {
      argv.push_back(const_cast<char*>(a));
      shown += std::string(a) + " ";
    }
    argv.push_back(nullptr);
    wxCmdLineParser parser(static_cast<int>(argv.size() - 1), argv.data());
    DeclareCommandLine(parser);
    CapturedOutput said;
    const int rc = parser.Parse(false);
    EXPECT_EQ(rc == 0, c.ok) << "[" << shown << "] gave " << rc;
    // A refused argument is named to the user; an accepted line says nothing.
    EXPECT_EQ(said.text.empty(), c.ok) << "[" << shown << "] said: " << said.text;
    if (rc == 0 && c.ok) {
      EXPECT_EQ(parser.Found("startup"), c.startup) << shown;
      EXPECT_EQ(parser.Found("verbose"), c.verbose) << shown;
    }
  }
}

TEST(CommandLine, StartupGoesOnOnlyWithAutoStartOn) {
  struct {
    bool startupSwitch, autoStart, goesOn;
  } cases[] = {{false, false, true}, {false, true, true}, {true, true, true}, {true, false, false}};
  for (const auto& c : cases)
    EXPECT_EQ(StartupAllowed(c.startupSwitch, c.autoStart), c.goesOn)
        << "switch " << c.startupSwitch << " option " << c.autoStart;
}

TEST(ProgramDirectory, NamesTheFolderOfTheRunningProgram) {
  char buffer[4096] = {};
  ASSERT_GT(readlink("/proc/self/exe", buffer, sizeof buffer - 1), 0);
  const std::string self = buffer;
  EXPECT_EQ(GetProgramDirectory().ToStdString(), self.substr(0, self.rfind('/')));
}
}  // namespace
