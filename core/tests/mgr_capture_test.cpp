// The manager end to end on the simulated desktop: viewer chain, capture,
// duplicates, the focus rule and the manager's life.
#include <string>
#include <vector>

#include <wx/log.h>

#include "collecting_log.h"
#include "mgr_fixture.h"
#include "options.h"
#include "pq/itemtype.h"
#include "pq/options.h"
#include "pq/record.h"

namespace mgr_test {
namespace {

using Capture = ManagerDesktop;

std::wstring AppOf(const pq::RecordPtr& r) { return r->GetApplication().ToStdWstring(); }

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
  auto record = TextRecord("ours");
  ASSERT_TRUE(mgr().CopyToClipboard(record, &Main()));
  sim::Settle();
  EXPECT_TRUE(MainTexts().empty());

  // The same change announced late (through a viewer that forwards it after
  // we have reset our switch) finds our tag and records nothing either.
  sim::RunInThread(editorApp.thread, [&] { SendMessageW(window, WM_DRAWCLIPBOARD, 0, 0); });
  sim::Settle();
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

TEST_F(Capture, AllowedDuplicatesNeedASecondSinceTheLastCapture) {
  pq::SetBoolOption(OPT_ALLOW_DUPLICATES, true);
  CopyText(editor, L"dup");
  sim::Advance(200);
  CopyText(editor, L"dup");
  EXPECT_EQ(MainTexts().size(), 1u) << "within a second a repeat is still dropped";
  sim::Advance(1000);
  CopyText(editor, L"dup");
  EXPECT_EQ(MainTexts(), (std::vector<std::string>{"dup", "dup"}));
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

// Counts the capture requests our thread reads.
int g_captureRequests = 0;
LRESULT CountCaptureRequests(int code, WPARAM wParam, LPARAM lParam) {
  const MSG* msg = reinterpret_cast<const MSG*>(lParam);
  if (code == HC_ACTION && msg && msg->message == pq::WM_CAPTURE_CLIPBOARD) ++g_captureRequests;
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(Capture, AFullListThatKeepsItsRecordsRecordsAndPostsNothing) {
  HHOOK watch = SetWindowsHookExW(WH_GETMESSAGE, &CountCaptureRequests, GetModuleHandleW(nullptr),
                                  platform::GuiThreadId());
  ASSERT_NE(watch, nullptr);
  g_captureRequests = 0;
  Main().maxRecords = 2;
  Main().dropOldest = false;
  CopyText(editor, L"one");
  CopyText(editor, L"two");
  ASSERT_EQ(g_captureRequests, 2);
  CopyText(editor, L"three");
  EXPECT_EQ(MainTexts(), (std::vector<std::string>{"two", "one"}));
  EXPECT_EQ(g_captureRequests, 2);

  Main().dropOldest = true;
  CopyText(editor, L"four");
  EXPECT_EQ(MainTexts(), (std::vector<std::string>{"four", "two"}));
  UnhookWindowsHookEx(watch);
}

TEST_F(Capture, AClipOfAProtectedProcessNamesTheApplicationInFront) {
  sim::ProcessSpec spec;
  spec.exePath = L"/usr/sbin/service";
  spec.protectedProcess = true;
  DWORD service = sim::CreateProcess(spec);
  sim::WindowSpec w;
  w.thread = sim::MainThread(service);
  HWND serviceWindow = sim::AddWindow(w);
  Focus(editor);
  CopyText(serviceWindow, L"from a service");
  ASSERT_EQ(MainTexts(), std::vector<std::string>{"from a service"});
  EXPECT_EQ(AppOf(Main().GetRecord(0)), L"/usr/bin/editor");
}

TEST_F(Capture, NewRecordsAnimateAndGoToEveryAutoSendHost) {
  RecordingClient client;
  mgr().SetClient(&client);
  config->autoSendHosts = {NetworkAddress("alpha", 45689), NetworkAddress("beta", 1234)};
  pq::SetBoolOption(OPT_AUTO_SEND, true);
  CopyText(editor, L"sent");
  CopyText(editor, L"sent");  // a dropped repeat sends nothing
  EXPECT_EQ(client.log, (std::vector<std::string>{"send sent to alpha:45689", "send sent to beta:1234", "animate"}));

  client.log.clear();
  pq::SetBoolOption(OPT_AUTO_SEND, false);
  CopyText(editor, L"kept here");
  EXPECT_EQ(client.log, std::vector<std::string>{"animate"});
}

TEST_F(Capture, WithoutAClientACaptureStillRecords) {
  config->autoSendHosts = {NetworkAddress("alpha", 45689)};
  pq::SetBoolOption(OPT_AUTO_SEND, true);
  CopyText(editor, L"alone");
  EXPECT_EQ(MainTexts(), std::vector<std::string>{"alone"});
}

// --- The viewer chain ----------------------------------------------------------

using Chain = ManagerDesktop;

TEST_F(Chain, RecordingOffLeavesAtOnceAndTheRejoinTimerThenWaits) {
  ASSERT_EQ(GetClipboardViewer(), window);
  pq::SetBoolOption(OPT_RECORDING, false);
  EXPECT_NE(GetClipboardViewer(), window);
  timers->Advance(30000);
  EXPECT_NE(GetClipboardViewer(), window);
  CopyText(editor, L"not heard");
  EXPECT_TRUE(MainTexts().empty());

  pq::SetBoolOption(OPT_RECORDING, true);
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
  pq::SetBoolOption(OPT_REJOIN_VIEWER, false);
  EXPECT_EQ(timers->RunningPeriod(), 0);
}

TEST_F(Chain, AfterStopNeitherOptionsNorTimerTouchTheChain) {
  mgr().Stop();
  EXPECT_NE(GetClipboardViewer(), window);
  pq::SetBoolOption(OPT_RECORDING, false);
  pq::SetBoolOption(OPT_RECORDING, true);
  timers->Advance(30000);
  EXPECT_NE(GetClipboardViewer(), window);
  EXPECT_EQ(timers->RunningPeriod(), 0);
  EXPECT_EQ(GetWindowLongPtrW(window, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&FrameProc));
  CopyText(editor, L"after stop");
  EXPECT_TRUE(MainTexts().empty());
}

TEST_F(Chain, StopLeavesOurDataOnTheClipboard) {
  ASSERT_TRUE(mgr().CopyToClipboard(TextRecord("stays"), nullptr));
  mgr().Stop();
  std::wstring text;
  ASSERT_TRUE(sim::ClipboardText(&text));
  EXPECT_EQ(text, L"stays");
  EXPECT_EQ(mgr().GetClipboardObject(), nullptr);
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
  client.popupTakes = false;
  sim::KeyDown(VK_LWIN);
  sim::Tap(VK_LEFT);
  sim::KeyUp(VK_LWIN);
  sim::Settle();
  EXPECT_EQ(client.log, (std::vector<std::string>{"popup 86", "popup 0 released", "popup 37", "floating 37"}));
}

TEST_F(Capture, AChangedShortcutReachesTheHooks) {
  RecordingClient client;
  mgr().SetClient(&client);
  Focus(editor);
  config->options.Set(OPT_SHORTCUT_KEY, 'Q');
  pq::SetBoolOption(OPT_POPUP_SHORTCUT_WIN, false);
  pq::SetBoolOption(OPT_POPUP_SHORTCUT_CTRL, true);
  sim::Chord({VK_CONTROL, 'Q'});
  sim::Settle();
  ASSERT_FALSE(client.log.empty());
  EXPECT_EQ(client.log.front(), "popup 81");
}

// --- The focus rule ----------------------------------------------------------------

using FocusRule = ManagerDesktop;

TEST_F(FocusRule, ControlsWithoutTextKeepTheTargetAndEditsBecomeIt) {
  Focus(editor);
  ASSERT_EQ(mgr().GetTargetField(), editor);
  for (const wchar_t* cls : {L"Button", L"SysListView32", L"tooltips_class32", L"msctls_statusbar32",
                             L"ScrollBar", L"SysTreeView32", L"ToolbarWindow32"}) {
    HWND control = AddControl(editorApp, cls);
    Focus(control);
    EXPECT_EQ(mgr().GetTargetField(), editor) << cls;
  }
  App other = AddApp(L"/usr/bin/notes");
  HWND notes = sim::AddEdit(other.thread, other.frame);
  Focus(notes);
  EXPECT_EQ(mgr().GetTargetField(), notes);
  HWND custom = AddControl(other, L"NotesCanvas");
  Focus(custom);
  EXPECT_EQ(mgr().GetTargetField(), custom);
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
