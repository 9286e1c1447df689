// The program pastiq itself on an X display of its own (Xvfb with a window
// manager), with real clients: what it records there it keeps when the
// session ends. Its data folder and home are temporary folders.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "child.h"
#include "pq/history.h"
#include "pq/record.h"
#include "pq/recordlist.h"
#include "sandbox.h"
#include "xserver.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

const std::string kXclip = "/usr/bin/xclip";

struct ProgramOnX11 : ::testing::Test {
  fs::path data = testing_sandbox::MakeTempDir("data");
  x11test::XServer server;

  ProgramOnX11() {
    setenv("PASTIQ_DATA_DIR", data.c_str(), 1);
    unsetenv("PASTIQ_DESKTOP");  // the X11 desktop, as a user starts it
  }
  ~ProgramOnX11() override { unsetenv("PASTIQ_DATA_DIR"); }

  // Waits until the program has started up (its session-end handler is the
  // last thing it installs); false when it ended or took too long.
  static bool WaitUntilRunning(x11test::Process& program) {
    const auto end = std::chrono::steady_clock::now() + 20s;
    while (!CatchesSignal(program.pid(), SIGTERM)) {
      if (std::chrono::steady_clock::now() > end || !program.running()) return false;
      std::this_thread::sleep_for(10ms);
    }
    return true;
  }
};

TEST_F(ProgramOnX11, TextSetWithXclipIsSavedWithXclipAsItsSourceWhenTheSessionEnds) {
  ASSERT_TRUE(server.Start()) << "Xvfb or openbox did not come up";
  x11test::Process program = x11test::Process::Run({PASTIQ_PROGRAM}, server.display());
  ASSERT_TRUE(WaitUntilRunning(program)) << program.Output();

  const std::string text = "copied on a real display";
  x11test::Process xclip =
      x11test::Process::Run({kXclip, "-quiet", "-selection", "clipboard", "-t", "UTF8_STRING", "-i"},
                            server.display(), &text);
  ASSERT_GT(xclip.pid(), 0);
  // The capture runs in the program's own loop; nothing outside it shows
  // when it is done, so it gets a generous moment.
  std::this_thread::sleep_for(2s);

  ASSERT_EQ(kill(program.pid(), SIGTERM), 0);
  const int status = program.Wait(15000);
  ASSERT_NE(status, -1) << "the program did not end after SIGTERM";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << program.Output();
  xclip.Stop();

  const fs::path file = data / "pastiq_history";
  ASSERT_TRUE(fs::exists(file));
  pq::History history;
  ASSERT_NO_THROW(history.Load(wxString::FromUTF8(file.string())));
  ASSERT_NE(history.GetMainList(), nullptr);
  bool found = false;
  for (const pq::RecordPtr& r : history.GetMainList()->GetRecords())
    if (r->text == text) {
      found = true;
      EXPECT_EQ(r->application, kXclip);
    }
  EXPECT_TRUE(found) << "no record of the text in " << history.GetMainList()->GetCount() << " records";
}

TEST_F(ProgramOnX11, WithoutADisplayItEndsWithAClearMessage) {
  const char* display = std::getenv("DISPLAY");
  const std::string saved = display ? display : "";
  unsetenv("DISPLAY");
  Child program(PASTIQ_PROGRAM, {}, true);
  if (!saved.empty()) setenv("DISPLAY", saved.c_str(), 1);
  ASSERT_GT(program.pid, 0);
  const std::string said = program.ReadAll();
  const int status = program.Wait(10s);
  ASSERT_NE(status, -1);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 0);
  EXPECT_NE(said.find("pastiq: no X display can be reached"), std::string::npos) << said;
  EXPECT_NE(said.find("PASTIQ_DESKTOP=sim"), std::string::npos) << said;
  EXPECT_FALSE(fs::exists(data / "pastiq_history"));
}

}  // namespace
