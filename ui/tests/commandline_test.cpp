#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <vector>

#include <wx/cmdline.h>
#include <wx/msgout.h>

#include "appconfig.h"
#include "options.h"
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
  AppConfig::SetDisplayWidthSource([] { return 1280; });
  AppConfig config;
  SetAppConfig(&config);
  enum Option { On, Off, Missing };
  struct {
    const char* arg;  // null: no argument
    Option option;
    bool goesOn;
  } cases[] = {
      {nullptr, On, true},       {nullptr, Off, true},       {nullptr, Missing, true},
      {"-startup", On, true},    {"-startup", Off, false},   {"-startup", Missing, false},
      {"/startup", Off, false},  {"-verbose", Off, true},
  };
  for (const auto& c : cases) {
    config.options.Clear();
    if (c.option != Missing) config.options.Set(OPT_AUTO_START, c.option == On);
    char* argv[] = {const_cast<char*>("pastiq"), const_cast<char*>(c.arg), nullptr};
    wxCmdLineParser parser(c.arg ? 2 : 1, argv);
    DeclareCommandLine(parser);
    ASSERT_EQ(parser.Parse(false), 0);
    EXPECT_EQ(StartupAllowed(parser), c.goesOn) << (c.arg ? c.arg : "(none)") << " option " << c.option;
  }
  SetAppConfig(nullptr);
}

TEST(ProgramDirectory, NamesTheFolderOfTheRunningProgram) {
  char buffer[4096] = {};
  ASSERT_GT(readlink("/proc/self/exe", buffer, sizeof buffer - 1), 0);
  const std::string self = buffer;
  EXPECT_EQ(GetProgramDirectory().ToStdString(), self.substr(0, self.rfind('/')));
}
}  // namespace
