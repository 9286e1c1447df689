#include "logger.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "gui_util.h"

namespace {
TEST(Logger, KeepsTheNewestThousandEntries) {
  Logger log;
  for (int i = 0; i < 1001; ++i) log.Log(Logger::Info, wxString::Format("entry %d", i));
  ASSERT_EQ(log.GetCount(), 1000u);
  EXPECT_EQ(log.GetEntry(0).text, "entry 1");
  EXPECT_EQ(log.GetEntry(999).text, "entry 1000");
  DispatchPending();
}

TEST(Logger, EntryPastTheEndIsEmpty) {
  Logger log;
  log.Log(Logger::Error, "only");
  const LogEntry past = log.GetEntry(1);
  EXPECT_EQ(past.level, -1);
  EXPECT_EQ(past.text, "");
  EXPECT_EQ(past.time, -1);
  DispatchPending();
}

TEST(Logger, KeepsLevelTimeAndTextAsUtf8) {
  Logger log;
  const std::time_t before = std::time(nullptr);
  log.Log(Logger::Warning, wxString::FromUTF8("r\xC3\xA9seau \xE2\x82\xAC"));
  const LogEntry entry = log.GetEntry(0);
  EXPECT_EQ(entry.level, Logger::Warning);
  EXPECT_EQ(entry.text, "r\xC3\xA9seau \xE2\x82\xAC");
  EXPECT_GE(entry.time, before);
  EXPECT_LE(entry.time, std::time(nullptr));
  DispatchPending();
}

// Writers on several threads while the GUI thread reads: nothing is lost
// beyond the cap, nothing is torn, each writer's entries keep their order.
TEST(Logger, TakesEntriesFromManyThreads) {
  Logger log;
  constexpr int kThreads = 8;
  constexpr int kEach = 400;  // 3200 in all: the cap is crossed many times
  std::atomic<bool> go{false};
  std::vector<std::thread> writers;
  for (int t = 0; t < kThreads; ++t)
    writers.emplace_back([&, t] {
      while (!go) std::this_thread::yield();
      for (int i = 0; i < kEach; ++i) log.Log(Logger::Info, wxString::Format("%d:%d", t, i));
    });
  go = true;
  std::size_t reads = 0;
  while (reads < 2000) {
    const std::size_t n = log.GetCount();
    EXPECT_LE(n, Logger::kMaxEntries);
    if (n) log.GetEntry(n - 1);
    ++reads;
  }
  for (auto& w : writers) w.join();

  ASSERT_EQ(log.GetCount(), Logger::kMaxEntries);
  std::vector<int> last(kThreads, -1);
  for (std::size_t i = 0; i < log.GetCount(); ++i) {
    const std::string text = log.GetEntry(i).text;
    int t = -1, n = -1;
    ASSERT_EQ(std::sscanf(text.c_str(), "%d:%d", &t, &n), 2) << text;
    ASSERT_GE(t, 0);
    ASSERT_LT(t, kThreads);
    // The log keeps a tail of everything added, so each writer's entries
    // there are a run of consecutive ones.
    if (last[t] >= 0) {
      EXPECT_EQ(n, last[t] + 1) << "writer " << t << " lost or reordered";
    }
    last[t] = n;
  }
  for (int t = 0; t < kThreads; ++t)
    if (last[t] >= 0) {
      EXPECT_EQ(last[t], kEach - 1) << "writer " << t;
    }
  DispatchPending();
}

TEST(Logger, NoticeWithoutAWindowDoesNothing) {
  Logger log;
  log.Log(Logger::Info, "nobody watches");
  EXPECT_EQ(log.GetLogDlg(), nullptr);
  DispatchPending();
  EXPECT_EQ(log.GetCount(), 1u);
}
}  // namespace
