#include <atomic>
#include <thread>

#include "sim_fixture.h"

namespace {

struct Seen {
  HWND hwnd;
  UINT msg;
  WPARAM w;
  BOOL inSend;
};
std::vector<Seen> seen;

LRESULT Recorder(HWND h, UINT m, WPARAM w, LPARAM) {
  seen.push_back({h, m, w, InSendMessage()});
  return static_cast<LRESULT>(w * 10);
}

class Messages : public SimDesktop {
 protected:
  void SetUp() override {
    SimDesktop::SetUp();
    seen.clear();
    own = platform::CreateToolkitWindow(L"PastiqMainFrame{35F7679D-4441-4728-9159-36A8119613F7}", L"Pastiq", nullptr, &Recorder);
    ASSERT_NE(own, nullptr);
  }
  HWND own = nullptr;
};

TEST_F(Messages, PostedMessagesArriveInOrderOnlyWhenTheQueueIsDrained) {
  int wakeups = 0;
  platform::SetMessageWakeup([&] { ++wakeups; });
  for (WPARAM i = 1; i <= 3; ++i) EXPECT_TRUE(PostMessageW(own, WM_USER + 1, i, 0));
  EXPECT_TRUE(PostMessageA(own, WM_USER + 2, 4, 0));
  EXPECT_TRUE(seen.empty());
  EXPECT_EQ(wakeups, 1) << "one wakeup until the next drain";
  EXPECT_EQ(platform::DrainMessages(), 4);
  ASSERT_EQ(seen.size(), 4u);
  for (WPARAM i = 0; i < 4; ++i) EXPECT_EQ(seen[i].w, i + 1);
  EXPECT_EQ(seen[3].msg, WM_USER + 2u);
  EXPECT_FALSE(seen[0].inSend);
  PostMessageW(own, WM_USER, 0, 0);
  EXPECT_EQ(wakeups, 2);
  platform::SetMessageWakeup(nullptr);
}

TEST_F(Messages, PostingToNoWindowFailsAndSendingGivesZero) {
  HWND bogus = reinterpret_cast<HWND>(0x1234);
  EXPECT_FALSE(PostMessageW(bogus, WM_USER, 0, 0));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
  EXPECT_EQ(SendMessageW(bogus, WM_USER, 1, 0), 0);
  EXPECT_FALSE(IsWindow(bogus));
}

TEST_F(Messages, SendWithinTheThreadCallsTheProcedureAtOnce) {
  PostMessageW(own, WM_USER + 1, 1, 0);
  EXPECT_EQ(SendMessageW(own, WM_USER + 2, 7, 0), 70);
  ASSERT_EQ(seen.size(), 1u) << "the posted message waits for the drain";
  EXPECT_EQ(seen[0].msg, WM_USER + 2u);
  EXPECT_FALSE(seen[0].inSend) << "not sent from another thread";
  platform::DrainMessages();
  EXPECT_EQ(seen.size(), 2u);
}

TEST_F(Messages, AnotherApplicationSendingToOurWindowIsAnsweredInOurThread) {
  DWORD handledIn = 0;
  static DWORD* handled;
  handled = &handledIn;
  HWND w = platform::CreateToolkitWindow(L"Viewer", L"", nullptr, [](HWND, UINT, WPARAM, LPARAM) -> LRESULT {
    *handled = GetCurrentThreadId();
    EXPECT_TRUE(InSendMessage());
    EXPECT_TRUE(ReplyMessage(5));
    EXPECT_FALSE(ReplyMessage(6)) << "only the first reply counts";
    return 9;
  });
  LRESULT r = 0;
  DWORD senderThread = 0;
  sim::RunInThread(editorThread, [&] {
    senderThread = GetCurrentThreadId();
    EXPECT_EQ(GetCurrentProcessId(), editorPid);
    r = SendMessageW(w, WM_DRAWCLIPBOARD, 0, 0);
  });
  EXPECT_EQ(senderThread, editorThread);
  EXPECT_EQ(handledIn, platform::GuiThreadId());
  EXPECT_EQ(r, 5) << "the reply's value, not the procedure's";
  EXPECT_EQ(GetCurrentProcessId(), sim::OwnProcessId());
}

TEST_F(Messages, SendAcrossOurThreadsWaitsForTheReceiverAndComesBeforePostedMessages) {
  std::atomic<bool> returned{false};
  LRESULT result = 0;
  DWORD workerTid = 0;
  std::thread worker([&] {
    workerTid = GetCurrentThreadId();
    result = SendMessageW(own, WM_USER + 2, 3, 0);
    returned = true;
  });
  ASSERT_TRUE(platform::WaitForQueue(5000));
  PostMessageW(own, WM_USER + 1, 1, 0);  // posted after the send was queued
  // Until the GUI thread drains, the sender stays blocked.
  for (int i = 0; i < 1000 && !returned; ++i) std::this_thread::yield();
  EXPECT_FALSE(returned);
  while (seen.size() < 2) {
    platform::DrainMessages();
    if (seen.size() < 2) platform::WaitForQueue(100);
  }
  worker.join();
  EXPECT_TRUE(returned);
  EXPECT_EQ(result, 30);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].msg, WM_USER + 2u) << "sent messages come before posted ones";
  EXPECT_TRUE(seen[0].inSend);
  EXPECT_EQ(seen[1].msg, WM_USER + 1u);
  EXPECT_NE(workerTid, platform::GuiThreadId());
}

TEST_F(Messages, PostedToAnotherApplicationWaitsUntilItRuns) {
  EXPECT_TRUE(PostMessageW(editor, WM_USER + 5, 1, 2));
  EXPECT_TRUE(sim::Messages(editor).empty());
  EXPECT_EQ(sim::RunPending(), 1);
  auto got = sim::Messages(editor);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].message, WM_USER + 5u);
  EXPECT_FALSE(got[0].sent);
  EXPECT_EQ(SendMessageW(editor, WM_USER + 6, 0, 0), 0);
  EXPECT_TRUE(sim::Messages(editor).back().sent);
}

// A subclass procedure in the manner of the clipboard manager: takes what it
// knows and hands the rest to the procedure it replaced.
WNDPROC previous = nullptr;
LRESULT Subclass(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_USER + 10) return 111;
  return CallWindowProcW(previous, h, m, w, l);
}

TEST_F(Messages, SubclassChainsToThePreviousProcedureAndCanBeRestored) {
  previous = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(own, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Subclass)));
  EXPECT_EQ(previous, &Recorder);
  EXPECT_EQ(GetWindowLongPtrW(own, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&Subclass));
  EXPECT_EQ(SendMessageW(own, WM_USER + 10, 0, 0), 111);
  EXPECT_EQ(SendMessageW(own, WM_USER + 11, 2, 0), 20);
  PostMessageW(own, WM_USER + 10, 0, 0);
  PostMessageW(own, WM_USER + 12, 0, 0);
  platform::DrainMessages();
  ASSERT_EQ(seen.size(), 2u) << "the subclass took both messages numbered 10";
  EXPECT_EQ(seen[0].msg, WM_USER + 11u);
  EXPECT_EQ(seen[1].msg, WM_USER + 12u);

  EXPECT_EQ(SetWindowLongPtrW(own, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous)), reinterpret_cast<LONG_PTR>(&Subclass));
  EXPECT_EQ(SendMessageW(own, WM_USER + 10, 1, 0), 10) << "restored: the frame's own procedure answers";
}

TEST_F(Messages, WindowsOfOtherApplicationsCannotBeSubclassed) {
  LONG_PTR before = GetWindowLongPtrW(editor, GWLP_WNDPROC);
  EXPECT_EQ(SetWindowLongPtrW(editor, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Subclass)), 0);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(GetWindowLongPtrW(editor, GWLP_WNDPROC), before);
}

TEST_F(Messages, DefaultProcedureKeepsTheTitleAndCloseDestroys) {
  HWND w = platform::CreateToolkitWindow(L"Plain", L"First");
  wchar_t buf[4];
  EXPECT_EQ(GetWindowTextW(w, buf, 4), 3);
  EXPECT_STREQ(buf, L"Fir");
  SendMessageW(w, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"Second"));
  EXPECT_EQ(SendMessageW(w, WM_GETTEXTLENGTH, 0, 0), 6);
  EXPECT_EQ(FindWindowW(L"plain", L"Second"), w);
  SendMessageW(w, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(w));
}

TEST_F(Messages, DestroyingSendsDestroyToTheWindowThenItsChildren) {
  HWND parent = platform::CreateToolkitWindow(L"P", L"", nullptr, &Recorder);
  HWND child = platform::CreateToolkitWindow(L"C", L"", parent, &Recorder);
  seen.clear();
  EXPECT_TRUE(DestroyWindow(parent));
  std::vector<std::pair<HWND, UINT>> order;
  for (auto& s : seen) order.emplace_back(s.hwnd, s.msg);
  std::vector<std::pair<HWND, UINT>> expected{
      {parent, WM_DESTROY}, {child, WM_DESTROY}, {child, WM_NCDESTROY}, {parent, WM_NCDESTROY}};
  EXPECT_EQ(order, expected);
  EXPECT_FALSE(IsWindow(child));
  EXPECT_FALSE(DestroyWindow(editor)) << "another thread's window";
}

TEST_F(Messages, ResetForgetsWindowsQueuesAndWakeup) {
  int wakeups = 0;
  platform::SetMessageWakeup([&] { ++wakeups; });
  PostMessageW(own, WM_USER, 0, 0);
  sim::Reset();
  EXPECT_FALSE(IsWindow(own));
  EXPECT_FALSE(IsWindow(editor));
  EXPECT_EQ(platform::DrainMessages(), 0);
  HWND again = platform::CreateToolkitWindow(L"X", L"");
  PostMessageW(again, WM_USER, 0, 0);
  EXPECT_EQ(wakeups, 1) << "the old wakeup is gone";
}

}  // namespace

namespace {

TEST_F(Messages, AThreadThatEndsTakesItsWindowsAlong) {
  HWND theirs = nullptr;
  std::thread worker([&] { theirs = platform::CreateToolkitWindow(L"Worker", L""); });
  worker.join();
  EXPECT_NE(theirs, nullptr);
  EXPECT_FALSE(IsWindow(theirs));
  EXPECT_EQ(SendMessageW(theirs, WM_USER, 0, 0), 0);
}

TEST_F(Messages, AnyOfOurThreadsCanBecomeTheGuiThread) {
  DWORD gui = platform::GuiThreadId();
  EXPECT_EQ(gui, GetCurrentThreadId());
  DWORD other = 0;
  std::thread worker([&] {
    platform::SetGuiThread();
    other = platform::GuiThreadId();
  });
  worker.join();
  EXPECT_NE(other, gui);
  platform::SetGuiThread();
  EXPECT_EQ(platform::GuiThreadId(), gui);
}

}  // namespace
