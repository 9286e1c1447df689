#include "sessionend.h"

#include <gtest/gtest.h>

#include <csignal>
#include <stdexcept>

#include <wx/dialog.h>

#include "dlgmgr.h"
#include "gui_util.h"
#include "logger.h"

namespace {
struct SessionEnd : ::testing::Test {
  ~SessionEnd() override {
    for (int signal : kSessionEndSignals) wxTheApp->SetSignalHandler(signal, SIG_DFL);
  }
};

// A signal that comes while a modal dialog runs is taken inside that
// dialog's loop: the state is saved and the dialog ended, so the exit is
// not held up by it.
TEST_F(SessionEnd, SavesAndEndsTheModalDialog) {
  for (int signal : kSessionEndSignals) {
    int saves = 0;
    ASSERT_TRUE(InstallSessionEndHandler([&] { ++saves; }));
    auto* dialog = new wxDialog(nullptr, wxID_ANY, "modal");
    RunSoon([signal] { std::raise(signal); });
    int result = 0;
    EXPECT_TRUE(DlgMgr::ShowModal(dialog, &result));
    EXPECT_EQ(result, wxID_CANCEL);
    EXPECT_EQ(saves, 1) << "signal " << signal;
    dialog->Destroy();
    DispatchPending();
  }
}

TEST_F(SessionEnd, AFailedSaveIsReportedAndTheExitGoesOn) {
  ASSERT_TRUE(InstallSessionEndHandler([] { throw std::runtime_error("disk full"); }));
  const std::size_t before = Logger::Get().GetCount();
  auto* dialog = new wxDialog(nullptr, wxID_ANY, "modal");
  RunSoon([] { std::raise(SIGTERM); });
  int result = 0;
  DlgMgr::ShowModal(dialog, &result);
  EXPECT_EQ(result, wxID_CANCEL);
  ASSERT_EQ(Logger::Get().GetCount(), before + 1);
  const LogEntry entry = Logger::Get().GetEntry(before);
  EXPECT_EQ(entry.level, Logger::Error);
  EXPECT_NE(entry.text.find("disk full"), std::string::npos);
  dialog->Destroy();
  DispatchPending();
}
}  // namespace

namespace {
TEST(RunSave, ReportsEachFailureAndLetsNothingEscape) {
  struct Case {
    std::function<bool()> save;
    bool ok;
    const char* reason;  // in the log entry
  } cases[] = {
      {[] { return true; }, true, nullptr},
      {[] { return false; }, false, "could not be created"},
      {[]() -> bool { throw std::runtime_error("disk full"); }, false, "disk full"},
      {[]() -> bool { throw 42; }, false, "unknown error"},
  };
  for (const Case& c : cases) {
    const std::size_t before = Logger::Get().GetCount();
    EXPECT_EQ(RunSave("the settings", c.save), c.ok);
    if (c.ok) {
      EXPECT_EQ(Logger::Get().GetCount(), before);
      continue;
    }
    ASSERT_EQ(Logger::Get().GetCount(), before + 1);
    const LogEntry entry = Logger::Get().GetEntry(before);
    EXPECT_EQ(entry.level, Logger::Error);
    EXPECT_EQ(entry.text.rfind("Cannot save the settings: ", 0), 0u) << entry.text;
    EXPECT_NE(entry.text.find(c.reason), std::string::npos) << entry.text;
  }
  DispatchPending();
}
}  // namespace
