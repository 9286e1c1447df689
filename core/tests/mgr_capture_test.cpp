// The manager end to end on the simulated desktop: viewer chain, capture,
// duplicates, the focus rule and the manager's life.
#include <atomic>
#include <chrono>
#include <cwctype>
#include <string>
#include <thread>
#include <vector>

#include <wx/log.h>

#include "collecting_log.h"
#include "mgr_fixture.h"
#include "options.h"
#include "pq/itemtype.h"
#include "pq/record.h"

namespace mgr_test {
namespace {

using Capture = ManagerDesktop;

std::wstring AppOf(const pq::RecordPtr& r) { return r->GetApplication().ToStdWstring(); }

// Every capture request our thread reads, with the tick it was posted at.
class CaptureRequests {
 public:
  CaptureRequests() {
    active_ = this;
    hook_ = SetWindowsHookExW(WH_GETMESSAGE, &Proc, GetModuleHandleW(nullptr), platform::GuiThreadId());
    EXPECT_NE(hook_, nullptr);
  }
  ~CaptureRequests() {
    UnhookWindowsHookEx(hook_);
    active_ = nullptr;
  }
  std::size_t count() const { return postedAt.size(); }
  std::vector<DWORD> postedAt;

 private:
  static LRESULT Proc(int code, WPARAM wParam, LPARAM lParam) {
    const MSG* msg = reinterpret_cast<const MSG*>(lParam);
    if (code == HC_ACTION && msg && msg->message == pq::WM_CAPTURE_CLIPBOARD && active_)
      active_->postedAt.push_back(msg->time);
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }
  static CaptureRequests* active_;
  HHOOK hook_ = nullptr;
};
CaptureRequests* CaptureRequests::active_ = nullptr;

int CountOf(HWND hwnd, UINT message) {
  int n = 0;
  for (const sim::Received& r : sim::Messages(hwnd)) n += r.message == message;
  return n;
}

TEST_F(Capture, ACopyInAnotherApplicationIsRecordedWithItsExecutable) {
  CopyText(editor, L"hello from the editor");
  ASSERT_EQ(MainTexts(), std::vector<std::string>{"hello from the editor"});
  EXPECT_EQ(AppOf(Main().GetRecord(0)), L"/usr/bin/editor");
  EXPECT_EQ(mgr().GetLastRecord(), Main().GetRecord(0));

  CopyText(editor, L"second");
  EXPECT_EQ(MainTexts(), (std::vector<std::string>{"second", "hello from the editor"}));
}

TEST_F(Capture, WhatIsOnTheClipboardAtStartIsNotRecorded) {
  mgr().Stop();
  CopyText(editor, L"before the start");
  mgr().Start(window);
  sim::Settle();
  EXPECT_TRUE(MainTexts().empty());
  EXPECT_EQ(GetClipboardViewer(), window);
}

TEST_F(Capture, OurOwnClipboardWritesAreNotRecorded) {
  CaptureRequests requests;
  auto record = TextRecord("ours");
  ASSERT_TRUE(mgr().CopyToClipboard(record, &Main()));
  sim::Settle();
  EXPECT_EQ(requests.count(), 0u) << "our own write asked for a capture";
  EXPECT_TRUE(MainTexts().empty());

  // The same change announced late (through a viewer that forwards it after
  // we have reset our switch) asks for a capture, which finds our tag and
  // records nothing.
  sim::RunInThread(editorApp.thread, [&] { SendMessageW(window, WM_DRAWCLIPBOARD, 0, 0); });
  sim::Settle();
  EXPECT_EQ(requests.count(), 1u);
  EXPECT_TRUE(MainTexts().empty());
  std::wstring text;
  ASSERT_TRUE(sim::ClipboardText(&text));
  EXPECT_EQ(text, L"ours");
}

TEST_F(Capture, TheSameTextFromTheSameApplicationIsRecordedOnce) {
  CopyText(editor, L"again");
  sim::Advance(5000);
  CopyText(editor, L"again");
  EXPECT_EQ(MainTexts(), std::vector<std::string>{"again"});
}

// Every copy below takes the same waits, so the captures lie as far apart as
// the copies.
TEST_F(Capture, AllowedDuplicatesNeedASecondSinceTheLastRecordedCapture) {
  SetOption(OPT_ALLOW_DUPLICATES, true);
  auto copyAt = [&](std::uint64_t at, const std::wstring& text) {
    ASSERT_GE(at, sim::NowMs());
    sim::Advance(static_cast<DWORD>(at - sim::NowMs()));
    CopyText(editor, text);
  };
  const struct {
    DWORD gap;  // from the first copy to its repeat
    bool kept;
  } cases[] = {{100, false}, {999, false}, {1000, true}, {1001, true}, {5000, true}};
  for (const auto& c : cases) {
    const std::wstring text = L"after " + std::to_wstring(c.gap);
    const std::size_t before = Main().GetCount();
    const std::uint64_t first = sim::NowMs();
    copyAt(first, text);
    copyAt(first + c.gap, text);
    EXPECT_EQ(Main().GetCount(), before + (c.kept ? 2 : 1)) << c.gap << " ms";
  }

  // A dropped repeat is no capture: the second counts from the last
  // recorded one.
  const std::size_t before = Main().GetCount();
  const std::uint64_t first = sim::NowMs();
  copyAt(first, L"dup");
  copyAt(first + 600, L"dup");
  ASSERT_EQ(Main().GetCount(), before + 1);
  copyAt(first + 1000, L"dup");
  EXPECT_EQ(Main().GetCount(), before + 2);
}

// A sender that is one of our own threads, so that it can be seen to return
// while the manager is still at work.
std::atomic<bool> g_senderBack{false};
std::atomic<bool> g_watchForward{false};
std::atomic<bool> g_backWhenForwarded{false};
LRESULT ViewerBehindUs(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_DRAWCLIPBOARD && g_watchForward) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (!g_senderBack && std::chrono::steady_clock::now() < end) std::this_thread::yield();
    g_backWhenForwarded = g_senderBack.load();
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

TEST_F(Capture, TheChangingApplicationIsReleasedBeforeAnyoneElseHears) {
  mgr().Stop();
  sim::WindowSpec spec;
  spec.thread = editorApp.thread;
  spec.proc = &ViewerBehindUs;
  HWND viewer = sim::AddWindow(spec);
  sim::RunInThread(editorApp.thread, [&] { SetClipboardViewer(viewer); });
  mgr().Start(window);
  ASSERT_EQ(mgr().GetNextViewer(), viewer);

  g_senderBack = false;
  g_backWhenForwarded = false;
  g_watchForward = true;
  std::thread sender([] {
    SendMessageW(pq::Mgr::Get().GetWindow(), WM_DRAWCLIPBOARD, 0, 0);
    g_senderBack = true;
  });
  EXPECT_TRUE(platform::WaitForQueue(10000)) << "the notice never arrived";
  sim::Settle();
  sender.join();
  g_watchForward = false;
  EXPECT_TRUE(g_backWhenForwarded) << "the sender was held until the next viewer was told";
  EXPECT_EQ(CountOf(viewer, WM_DRAWCLIPBOARD), 2);  // its own join, then ours
}

TEST_F(Capture, WaitsForTheTargetBeforeItAsksAndForTheOwnerWhileItRuns) {
  CaptureRequests requests;
  Focus(editor);
  App writer = AddApp(L"/usr/bin/writer");
  const std::uint64_t start = sim::NowMs();
  sim::SetBusy(editorApp.pid, 300);
  sim::SetBusy(writer.pid, 700);
  CopyText(writer.frame, L"waited for");
  ASSERT_EQ(requests.count(), 1u);
  EXPECT_GE(requests.postedAt[0], start + 300) << "asked before the target was idle";
  EXPECT_GE(sim::NowMs(), start + 700) << "read before the owner was idle";
  ASSERT_EQ(MainTexts(), std::vector<std::string>{"waited for"});
  EXPECT_EQ(AppOf(Main().GetRecord(0)), L"/usr/bin/writer");
}

TEST_F(Capture, EqualTextsFromDifferentExecutablesAreBothRecorded) {
  App other = AddApp(L"/usr/bin/other-editor");
  HWND otherEdit = sim::AddEdit(other.thread, other.frame);
  CopyText(editor, L"shared");
  CopyText(otherEdit, L"shared");
  ASSERT_EQ(MainTexts(), (std::vector<std::string>{"shared", "shared"}));
  EXPECT_EQ(AppOf(Main().GetRecord(0)), L"/usr/bin/other-editor");
  EXPECT_EQ(AppOf(Main().GetRecord(1)), L"/usr/bin/editor");
}

TEST_F(Capture, AClipWithoutTextIsNeverADuplicateNorIsTheOneAfterIt) {
  const auto html = sim::Named(L"HTML Format", "<b>bold</b>");
  CopyText(editor, L"text");
  Copy(editor, {html});
  Copy(editor, {html});
  CopyText(editor, L"text");
  ASSERT_EQ(Main().GetCount(), 4u);
  EXPECT_EQ(Main().GetRecord(1)->textIndex, -1);
  EXPECT_EQ(Main().GetRecord(0)->text, "text");
}

TEST_F(Capture, AFullListThatKeepsItsRecordsRecordsAndPostsNothing) {
  CaptureRequests requests;
  Main().maxRecords = 2;
  Main().dropOldest = false;
  CopyText(editor, L"one");
  CopyText(editor, L"two");
  ASSERT_EQ(requests.count(), 2u);
  CopyText(editor, L"three");
  EXPECT_EQ(MainTexts(), (std::vector<std::string>{"two", "one"}));
  EXPECT_EQ(requests.count(), 2u);

  Main().dropOldest = true;
  CopyText(editor, L"four");
  EXPECT_EQ(MainTexts(), (std::vector<std::string>{"four", "two"}));
}

TEST_F(Capture, AClipOfAProtectedProcessNamesTheApplicationInFront) {
  sim::ProcessSpec spec;
  spec.protectedProcess = true;
  const App service = AddApp(L"/usr/sbin/service", L"ServiceWindow", spec);
  Focus(editor);
  CopyText(service.frame, L"from a service");
  ASSERT_EQ(MainTexts(), std::vector<std::string>{"from a service"});
  EXPECT_EQ(AppOf(Main().GetRecord(0)), L"/usr/bin/editor");
}

TEST_F(Capture, NewRecordsAnimateAndGoToEveryAutoSendHost) {
  RecordingClient client;
  mgr().SetClient(&client);
  config->autoSendHosts = {NetworkAddress("alpha", 45689), NetworkAddress("beta", 1234)};
  SetOption(OPT_AUTO_SEND, true);
  CopyText(editor, L"sent");
  CopyText(editor, L"sent");  // a dropped repeat sends nothing
  EXPECT_EQ(client.log, (std::vector<std::string>{"send sent to alpha:45689", "send sent to beta:1234", "animate"}));

  client.log.clear();
  SetOption(OPT_AUTO_SEND, false);
  CopyText(editor, L"kept here");
  EXPECT_EQ(client.log, std::vector<std::string>{"animate"});
}

TEST_F(Capture, WithoutAClientACaptureStillRecords) {
  config->autoSendHosts = {NetworkAddress("alpha", 45689)};
  SetOption(OPT_AUTO_SEND, true);
  CopyText(editor, L"alone");
  EXPECT_EQ(MainTexts(), std::vector<std::string>{"alone"});
}

// --- The viewer chain ----------------------------------------------------------

using Chain = ManagerDesktop;

TEST_F(Chain, RecordingOffLeavesAtOnceAndTheRejoinTimerThenWaits) {
  ASSERT_EQ(GetClipboardViewer(), window);
  SetOption(OPT_RECORDING, false);
  EXPECT_NE(GetClipboardViewer(), window);
  timers->Advance(30000);
  EXPECT_NE(GetClipboardViewer(), window);
  CopyText(editor, L"not heard");
  EXPECT_TRUE(MainTexts().empty());

  SetOption(OPT_RECORDING, true);
  EXPECT_EQ(GetClipboardViewer(), window);
  CopyText(editor, L"heard");
  EXPECT_EQ(MainTexts(), std::vector<std::string>{"heard"});
}

TEST_F(Chain, AnotherViewerJoiningAfterUsAndLeavingKeepsUsInTheChain) {
  HWND viewer = sim::AddClipboardViewer(editorApp.thread);
  EXPECT_EQ(sim::ViewerNext(viewer), window);
  CopyText(editor, L"through the other viewer");
  sim::RemoveClipboardViewer(viewer);
  CopyText(editor, L"after it left");
  EXPECT_EQ(MainTexts(), (std::vector<std::string>{"after it left", "through the other viewer"}));
}

TEST_F(Chain, AViewerBeforeUsIsForwardedToAndForgottenWhenItLeaves) {
  mgr().Stop();
  HWND viewer = sim::AddClipboardViewer(editorApp.thread);
  mgr().Start(window);
  ASSERT_EQ(mgr().GetNextViewer(), viewer);
  sim::ClearMessages(viewer);
  CopyText(editor, L"both see it");
  int draws = 0;
  for (const auto& m : sim::Messages(viewer)) draws += m.message == WM_DRAWCLIPBOARD;
  EXPECT_EQ(draws, 1);

  sim::RemoveClipboardViewer(viewer);
  EXPECT_EQ(mgr().GetNextViewer(), nullptr);
  CopyText(editor, L"alone again");
  EXPECT_EQ(MainTexts(), (std::vector<std::string>{"alone again", "both see it"}));
}

TEST_F(Chain, TheRejoinTimerHealsAChainThatAViewerBroke) {
  HWND rude = sim::AddClipboardViewer(editorApp.thread, /*forwards=*/false);
  CopyText(editor, L"lost");
  EXPECT_TRUE(MainTexts().empty());
  EXPECT_EQ(timers->RunningPeriod(), 10000);
  timers->Advance(10000);
  EXPECT_EQ(GetClipboardViewer(), window);
  EXPECT_EQ(mgr().GetNextViewer(), rude);
  CopyText(editor, L"found");
  EXPECT_EQ(MainTexts(), std::vector<std::string>{"found"});
  // Every period, not just the first: a second rude viewer is healed too.
  HWND ruder = sim::AddClipboardViewer(editorApp.thread, /*forwards=*/false);
  timers->Advance(10000);
  EXPECT_EQ(GetClipboardViewer(), window);
  EXPECT_EQ(mgr().GetNextViewer(), ruder);
}

TEST_F(Chain, JoiningWhileJoinedNeverMakesUsOurOwnNextViewer) {
  mgr().OnOptionChanged(OPT_RECORDING);
  mgr().OnOptionChanged(OPT_RECORDING);
  EXPECT_NE(mgr().GetNextViewer(), window);
  EXPECT_EQ(GetClipboardViewer(), window);
  CopyText(editor, L"once");
  EXPECT_EQ(MainTexts(), std::vector<std::string>{"once"});
}

TEST_F(Chain, TheRejoinPeriodFollowsItsOptionsAndNeverDropsBelowASecond) {
  struct Case {
    int interval;
    int period;
  };
  for (const Case& c : {Case{2500, 2500}, Case{1000, 1000}, Case{999, 1000}, Case{0, 1000}, Case{-5, 1000}}) {
    config->options.Set(OPT_REJOIN_INTERVAL, c.interval);
    EXPECT_EQ(timers->RunningPeriod(), c.period) << c.interval;
  }
  SetOption(OPT_REJOIN_VIEWER, false);
  EXPECT_FALSE(mgr().GetViewerTimer()->IsRunning());
}

TEST_F(Chain, AfterStopNeitherOptionsNorTimerTouchTheChain) {
  mgr().Stop();
  EXPECT_NE(GetClipboardViewer(), window);
  SetOption(OPT_RECORDING, false);
  SetOption(OPT_RECORDING, true);
  timers->Advance(30000);
  EXPECT_NE(GetClipboardViewer(), window);
  EXPECT_EQ(timers->Running(), 0);
  EXPECT_EQ(GetWindowLongPtrW(window, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&FrameProc));
  CopyText(editor, L"after stop");
  EXPECT_TRUE(MainTexts().empty());
}

TEST_F(Chain, StopLeavesOurDataOnTheClipboard) {
  ASSERT_TRUE(mgr().CopyToClipboard(TextRecord("stays"), nullptr));
  IDataObject* ours = mgr().GetClipboardObject();
  ASSERT_NE(ours, nullptr);
  ours->AddRef();
  ASSERT_EQ(OleIsCurrentClipboard(ours), S_OK);
  mgr().Stop();
  // Flushed: the clipboard holds the data itself, not our object, which
  // goes with the program.
  EXPECT_EQ(OleIsCurrentClipboard(ours), S_FALSE);
  EXPECT_EQ(ours->Release(), 0u) << "still held by the clipboard or the manager";
  std::wstring text;
  ASSERT_TRUE(sim::ClipboardText(&text));
  EXPECT_EQ(text, L"stays");
  EXPECT_EQ(mgr().GetClipboardObject(), nullptr);
}

TEST_F(Chain, AViewerLeavingBehindUsIsPassedOnToTheOneAfterUs) {
  // The chain: us, then v, w and x, joined last to first.
  mgr().Stop();
  HWND x = sim::AddClipboardViewer(editorApp.thread);
  HWND w = sim::AddClipboardViewer(editorApp.thread);
  HWND v = sim::AddClipboardViewer(editorApp.thread);
  mgr().Start(window);
  ASSERT_EQ(mgr().GetNextViewer(), v);

  // x leaves: only w keeps it, and hears of it through us and v.
  sim::RemoveClipboardViewer(x);
  EXPECT_EQ(sim::ViewerNext(w), nullptr);
  EXPECT_EQ(sim::ViewerNext(v), w);

  // v, the one after us, leaves: we follow it to w and still tell w.
  sim::ClearMessages(w);
  sim::RemoveClipboardViewer(v);
  EXPECT_EQ(mgr().GetNextViewer(), w);
  bool told = false;
  for (const sim::Received& m : sim::Messages(w))
    told |= m.message == WM_CHANGECBCHAIN && m.wParam == reinterpret_cast<WPARAM>(v) &&
            m.lParam == reinterpret_cast<LPARAM>(w);
  EXPECT_TRUE(told);
  CopyText(editor, L"still heard by w");
  EXPECT_EQ(CountOf(w, WM_DRAWCLIPBOARD), 1);
  EXPECT_EQ(MainTexts(), std::vector<std::string>{"still heard by w"});
}

TEST_F(Chain, TheRejoinTimerLeavesBeforeItJoinsSoEveryViewerStays) {
  // v sits behind us, w joined after us in front.
  mgr().Stop();
  HWND v = sim::AddClipboardViewer(editorApp.thread);
  mgr().Start(window);
  HWND w = sim::AddClipboardViewer(editorApp.thread);
  ASSERT_EQ(sim::ViewerNext(w), window);

  timers->Advance(10000);
  // Leaving told w to skip us (to v); joining put us in front of w.
  EXPECT_EQ(GetClipboardViewer(), window);
  EXPECT_EQ(mgr().GetNextViewer(), w);
  ASSERT_EQ(sim::ViewerNext(w), v) << "a loop through us, or v cut off";
  EXPECT_EQ(sim::ViewerNext(v), nullptr);
  sim::ClearMessages(v);
  sim::ClearMessages(w);
  CopyText(editor, L"everyone hears");
  EXPECT_EQ(CountOf(w, WM_DRAWCLIPBOARD), 1);
  EXPECT_EQ(CountOf(v, WM_DRAWCLIPBOARD), 1);
  EXPECT_EQ(MainTexts(), std::vector<std::string>{"everyone hears"});
}

TEST_F(Chain, TheFrameKeepsEveryMessageTheManagerDoesNotTake) {
  EXPECT_NE(GetWindowLongPtrW(window, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&FrameProc));
  FrameMessages().clear();
  CopyText(editor, L"captured");
  Focus(editor);
  SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"New title"));
  PostMessageW(window, WM_USER + 77, 0, 0);
  sim::Settle();
  EXPECT_EQ(FrameMessages(), (std::vector<UINT>{WM_SETTEXT, WM_USER + 77}));
  EXPECT_EQ(MainTexts(), std::vector<std::string>{"captured"});
}

// --- Start-up ------------------------------------------------------------------

using core_test::CollectingLog;

TEST_F(Capture, HooksThatCannotBeInstalledAreAWarningAndCaptureGoesOn) {
  mgr().Stop();
  CollectingLog log;
  wxLog* previous = wxLog::SetActiveTarget(&log);
  sim::FailHookInstalls(WH_CBT, 1);
  mgr().Start(window);
  wxLog::FlushActive();
  wxLog::SetActiveTarget(previous);
  EXPECT_EQ(log.warnings.size(), 1u);
  EXPECT_EQ(sim::InstalledHooks(WH_CBT), 0);
  CopyText(editor, L"still recorded");
  EXPECT_EQ(MainTexts(), std::vector<std::string>{"still recorded"});
}

// A clip whose item block could not be saved is not recorded (and every
// history save would fail while it stood in a list); the capture says so.
TEST_F(Capture, AClipTooLargeToKeepIsNotRecordedAndIsLogged) {
  const pq::ItemBlockLimits saved = pq::GetItemBlockLimits();
  pq::SetItemBlockLimits({256, saved.unpacked});
  CollectingLog log;
  wxLog* previous = wxLog::SetActiveTarget(&log);
  std::string html;
  for (int i = 0; i < 2000; ++i) html += std::to_string(i * 7919 % 1000);
  Copy(editor, {sim::UnicodeText(L"large"), sim::Named(L"HTML Format", html)});
  CopyText(editor, L"small");
  wxLog::FlushActive();
  wxLog::SetActiveTarget(previous);
  pq::SetItemBlockLimits(saved);
  EXPECT_EQ(MainTexts(), std::vector<std::string>{"small"});
  EXPECT_EQ(log.warnings.size(), 1u);
}

TEST_F(Capture, StartSendsTheShortcutAndKeyNoticesReachThePopupThenTheFloatingList) {
  RecordingClient client;
  mgr().SetClient(&client);
  Focus(editor);
  // Defaults: Win+V opens the popup, Win+arrows step the floating list.
  sim::KeyDown(VK_LWIN);
  sim::Tap('V');
  sim::KeyUp(VK_LWIN);
  sim::Settle();
  // A held key repeats as presses, marked as repeats.
  sim::KeyDown(VK_LWIN);
  sim::KeyDown('V');
  sim::KeyDown('V');
  sim::KeyUp('V');
  sim::KeyUp(VK_LWIN);
  sim::Settle();
  client.popupTakes = false;
  sim::KeyDown(VK_LWIN);
  sim::Tap(VK_LEFT);
  sim::KeyUp(VK_LWIN);
  sim::Settle();
  // Each key with the modifiers it was typed with, though Win was up before
  // any notice was read.
  EXPECT_EQ(client.log, (std::vector<std::string>{"popup 86 win", "popup 0 released", "popup 86 win",
                                                 "popup 86 repeat win", "popup 0 released", "popup 37 win",
                                                 "floating 37 win"}));
}

TEST_F(Capture, AChangedShortcutReachesTheHooks) {
  RecordingClient client;
  mgr().SetClient(&client);
  Focus(editor);
  config->options.Set(OPT_SHORTCUT_KEY, 'Q');
  SetOption(OPT_POPUP_SHORTCUT_WIN, false);
  SetOption(OPT_POPUP_SHORTCUT_CTRL, true);
  sim::Chord({VK_CONTROL, 'Q'});
  sim::Settle();
  ASSERT_FALSE(client.log.empty());
  EXPECT_EQ(client.log.front(), "popup 81 ctrl");
}

// --- The focus rule ----------------------------------------------------------------

using FocusRule = ManagerDesktop;

TEST_F(FocusRule, ControlsWithoutTextKeepTheTargetAndEditsBecomeIt) {
  // Every class that never becomes the target, compared in any letter case.
  const std::wstring noTarget[] = {
      L"SCROLLBAR",         L"COMBOBOX",         L"LISTBOX",          L"BUTTON",
      L"STATIC",            L"SYSLINK32",        L"SYSLINK",          L"SYSPAGER32",
      L"SYSPAGER",          L"SYSDATETIMEPICK32", L"SYSMONTHCAL32",   L"COMBOBOXEX32",
      L"REBARWINDOW",       L"REBARWINDOW32",    L"SYSANIMATE32",     L"SYSANIMATE",
      L"MSCTLS_HOTKEY",     L"MSCTLS_HOTKEY32",  L"MSCTLS_PROGRESS",  L"MSCTLS_PROGRESS32",
      L"MSCTLS_UPDOWN",     L"MSCTLS_UPDOWN32",  L"MSCTLS_TRACKBAR",  L"MSCTLS_TRACKBAR32",
      L"SYSTABCONTROL",     L"SYSTABCONTROL32",  L"MSCTLS_STATUSBAR", L"MSCTLS_STATUSBAR32",
      L"TOOLBARWINDOW",     L"TOOLBARWINDOW32",  L"SYSTREEVIEW32",    L"SYSLISTVIEW32",
      L"SYSHEADER32",       L"TOOLTIPS_CLASS32", L"TOOLTIPS_CLASS"};
  Focus(editor);
  ASSERT_EQ(mgr().GetTargetField(), editor);
  for (const std::wstring& upper : noTarget) {
    std::wstring lower = upper;
    for (wchar_t& ch : lower) ch = static_cast<wchar_t>(std::towlower(ch));
    for (const std::wstring& cls : {upper, lower}) {
      HWND control = AddControl(editorApp, cls);
      Focus(control);
      EXPECT_EQ(mgr().GetTargetField(), editor) << cls;
    }
  }
  // Names close to those are other controls, which take text.
  for (const wchar_t* cls : {L"ButtonEdit", L"SysListView", L"Static2", L"ToolTips", L"NotesCanvas"}) {
    App other = AddApp(L"/usr/bin/notes");
    HWND control = AddControl(other, cls);
    Focus(control);
    EXPECT_EQ(mgr().GetTargetField(), control) << cls;
  }
  App other = AddApp(L"/usr/bin/notes");
  HWND notes = sim::AddEdit(other.thread, other.frame);
  Focus(notes);
  EXPECT_EQ(mgr().GetTargetField(), notes);
}

TEST_F(FocusRule, OurWindowsAndTheTaskbarNeverBecomeTheTarget) {
  Focus(editor);
  HWND ourChild = platform::CreateToolkitWindow(L"Edit", L"", window);
  platform::ToolkitFocusChanged(ourChild);
  sim::Settle();
  EXPECT_EQ(mgr().GetTargetField(), editor);

  Focus(tray);
  HWND trayEdit = sim::AddEdit(shell.thread, tray);
  Focus(trayEdit);
  EXPECT_EQ(mgr().GetTargetField(), editor);
  DestroyWindow(ourChild);
}

TEST_F(FocusRule, ARestartedTaskbarIsFoundAgain) {
  Focus(editor);
  sim::EndProcess(shell.pid);
  App newShell = AddApp(L"/usr/bin/shell", L"Shell_TrayWnd");
  HWND newTrayEdit = sim::AddEdit(newShell.thread, newShell.frame);
  sim::RunInThread(newShell.thread, [&] { SendMessageW(window, pq::WmTaskbarCreated(), 0, 0); });
  sim::Settle();
  EXPECT_EQ(mgr().GetTrayWindow(), newShell.frame);
  Focus(newTrayEdit);
  EXPECT_EQ(mgr().GetTargetField(), editor);
}

}  // namespace
}  // namespace mgr_test
