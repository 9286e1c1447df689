#include <gtest/gtest.h>

#include <wx/app.h>
#include <wx/cmdline.h>
#include <wx/log.h>

#include "startup.h"

namespace {
// The toolkit's own handling of a parsed command line looks for its
// "verbose" switch by that name: ours must be the one it finds.
TEST(CommandLine, VerboseMakesTheToolkitLogVerbose) {
  for (const char* given : {"-verbose", "/verbose"}) {
    wxLog::SetVerbose(false);
    char* argv[] = {const_cast<char*>("pastiq"), const_cast<char*>(given), nullptr};
    wxCmdLineParser parser(2, argv);
    DeclareCommandLine(parser);
    ASSERT_EQ(parser.Parse(false), 0);
    EXPECT_TRUE(wxTheApp->wxAppConsole::OnCmdLineParsed(parser));
    EXPECT_TRUE(wxLog::GetVerbose()) << given;
  }
  wxLog::SetVerbose(false);
}
}  // namespace
