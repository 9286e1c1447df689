// The manager's window procedure, the viewer chain, the focus rule, the
// capture and the manager's start and stop.
#include "pq/mgr.h"

#include <algorithm>
#include <cwctype>
#include <iterator>
#include <string>

#include <boost/make_shared.hpp>
#include <wx/log.h>

#include "appconfig.h"
#include "cmn/strconv.h"
#include "options.h"
#include "pastiqhook.h"
#include "platform/clipboard.h"
#include "platform/input.h"
#include "platform/process.h"
#include "pq/history.h"
#include "pq/itemtype.h"
#include "pq/record.h"
#include "pq/recordlist.h"
#include "pq/sourceapp.h"

namespace pq {
namespace {

// The options the manager follows, in the order it subscribes to them.
const int kWatchedOptions[] = {OPT_RECORDING,          OPT_POPUP_SHORTCUT,     OPT_POPUP_SHORTCUT_CTRL,
                               OPT_POPUP_SHORTCUT_WIN, OPT_FLOATING_KEYS_WIN,  OPT_POPUP_SHORTCUT_ALT,
                               OPT_SHORTCUT_KEY,       OPT_FLOATING_KEYS_CTRL, OPT_FLOATING_KEYS,
                               OPT_FLOATING_KEYS_ALT,  OPT_REJOIN_VIEWER,      OPT_REJOIN_INTERVAL};

// Classes of controls that take the focus without taking text; the paste
// target stays where it was when one of them gets it.
const wchar_t* const kNoTargetClasses[] = {
    L"SCROLLBAR",         L"COMBOBOX",        L"LISTBOX",          L"BUTTON",
    L"STATIC",            L"SYSLINK32",       L"SYSLINK",          L"SYSPAGER32",
    L"SYSPAGER",          L"SYSDATETIMEPICK32", L"SYSMONTHCAL32",  L"COMBOBOXEX32",
    L"REBARWINDOW",       L"REBARWINDOW32",   L"SYSANIMATE32",     L"SYSANIMATE",
    L"MSCTLS_HOTKEY",     L"MSCTLS_HOTKEY32", L"MSCTLS_PROGRESS",  L"MSCTLS_PROGRESS32",
    L"MSCTLS_UPDOWN",     L"MSCTLS_UPDOWN32", L"MSCTLS_TRACKBAR",  L"MSCTLS_TRACKBAR32",
    L"SYSTABCONTROL",     L"SYSTABCONTROL32", L"MSCTLS_STATUSBAR", L"MSCTLS_STATUSBAR32",
    L"TOOLBARWINDOW",     L"TOOLBARWINDOW32", L"SYSTREEVIEW32",    L"SYSLISTVIEW32",
    L"SYSHEADER32",       L"TOOLTIPS_CLASS32", L"TOOLTIPS_CLASS"};

constexpr const wchar_t* kTrayClass = L"Shell_TrayWnd";
// A clip attributed to the client-server runtime was put there on behalf of
// the window in front.
constexpr const wchar_t* kRuntimeProcess = L"CSRSS.EXE";
constexpr DWORD kDuplicateWindowMs = 1000;
constexpr int kDefaultRejoinInterval = 10000;

bool Option(int id) { return OptionValue<bool>(id, false); }

DWORD ProcessOf(HWND hwnd) {
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  return pid;
}

std::wstring Upper(std::wstring s) {
  for (wchar_t& c : s) c = static_cast<wchar_t>(std::towupper(c));
  return s;
}

bool EqualsNoCase(const std::wstring& a, const std::wstring& b) { return Upper(a) == Upper(b); }

}  // namespace

ViewerTimer::ViewerTimer() : timer_(cmn::MakeTimer(cmn::Timer::kRepeating, [this] { Notify(); })) {}

void ViewerTimer::Start(int ms) {
  if (timer_) timer_->Start(ms);
}

void ViewerTimer::Stop() {
  if (timer_) timer_->Stop();
}

bool ViewerTimer::IsRunning() const { return timer_ && timer_->IsRunning(); }

void ViewerTimer::Notify() {
  Mgr& m = Mgr::Get();
  if (!m.started_) return;
  if (Option(OPT_REJOIN_VIEWER) && Option(OPT_RECORDING)) {
    m.LeaveViewerChain();
    m.JoinViewerChain();
  }
}

// --- Helpers shared with the paste path -------------------------------------

GUITHREADINFO QueryGUIThreadInfo(DWORD threadId) {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  if (!GetGUIThreadInfo(threadId, &info)) {
    info = GUITHREADINFO{};
    info.cbSize = sizeof(info);
  }
  return info;
}

bool WaitForProcessIdle(DWORD pid) {
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid);
  if (!process) return false;
  DWORD r = WAIT_FAILED;
  for (int attempt = 0; attempt < 5; ++attempt) {
    r = WaitForInputIdle(process, 3000);
    if (r != 0 && r != WAIT_TIMEOUT) {
      CloseHandle(process);
      return false;
    }
    Sleep(1);
  }
  CloseHandle(process);
  return r == 0;
}

// --- The manager ---------------------------------------------------------------

Mgr& Mgr::Get() {
  static Mgr manager;
  return manager;
}

Mgr::Mgr() : lastCaptureTick_(GetTickCount()) {}

Mgr::~Mgr() {
  if (clipboardObject_) clipboardObject_->Release();
}

LRESULT Mgr::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return Get().OnMessage(hwnd, msg, wParam, lParam);
}

LRESULT Mgr::OnMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_DRAWCLIPBOARD) {
    // Release the application that changed the clipboard before anything
    // else; the capture runs later from our own queue.
    ReplyMessage(0);
    return joining_ ? 0 : OnDrawClipboard();
  }
  if (msg == WM_CHANGECBCHAIN) {
    OnChangeClipboardChain(reinterpret_cast<HWND>(wParam), reinterpret_cast<HWND>(lParam));
    return 0;
  }
  if (msg == WM_HOOK_FOCUS) {
    HWND gaining = reinterpret_cast<HWND>(wParam);
    if (gaining != targetWindow_) OnFocusNotice(gaining);
    return 0;
  }
  const UINT taskbarCreated = WmTaskbarCreated();
  if (taskbarCreated != 0 && msg == taskbarCreated) {
    trayWindow_ = FindWindowW(kTrayClass, nullptr);
    return 0;
  }
  if (msg == WM_CAPTURE_CLIPBOARD) {
    try {
      CaptureClipboard();
    } catch (...) {
      // A clip that breaks the capture is simply not recorded.
    }
    return 0;
  }
  if (msg == WM_PASTE_KEYSTROKES) {
    OnPasteKeystrokes();
    return 0;
  }
  if (msg == WM_HOOK_KEY) {
    OnHookKey(wParam, lParam);
    return 0;
  }
  return CallWindowProcW(previousProc_ ? previousProc_ : &DefWindowProcW, hwnd, msg, wParam, lParam);
}

void Mgr::Start(HWND window) {
  if (started_) Stop();
  window_ = window;
  previousProc_ = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Mgr::WindowProc)));
  if (!previousProc_) previousProc_ = &DefWindowProcW;
  started_ = true;
  // Each start counts duplicates afresh.
  lastRecord_.reset();
  lastCaptureTick_ = GetTickCount();

  targetWindow_ = QueryGUIThreadInfo(0).hwndFocus;
  trayWindow_ = FindWindowW(kTrayClass, nullptr);
  if (!Helper_Initialize(window, window)) {
    wxLogWarning("The keyboard and focus hooks could not be installed; the popup shortcut and the paste "
                 "target will not follow other applications.");
  }
  viewerTimer_ = std::make_unique<ViewerTimer>();
  UpdateViewerChain();
  UpdateViewerTimer();
  Subscribe();
  UpdateShortcutKeys();
}

void Mgr::Stop() {
  if (!started_) return;
  started_ = false;
  Unsubscribe();
  const HWND window = window_;
  if (GetWindowLongPtrW(window, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&Mgr::WindowProc)) {
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previousProc_));
  }
  if (clipboardObject_ && OleIsCurrentClipboard(clipboardObject_) == S_OK) OleFlushClipboard();
  if (clipboardObject_) clipboardObject_->Release();
  clipboardObject_ = nullptr;
  LeaveViewerChain();
  Helper_Uninitialize();
  viewerTimer_.reset();
  window_ = nullptr;
  previousProc_ = nullptr;
}

void Mgr::Subscribe() {
  AppConfig* config = FindAppConfig();
  subscribedStore_ = config ? &config->options : nullptr;
  if (!subscribedStore_) return;
  for (int id : kWatchedOptions) subscribedStore_->AddObserver(id, this);
}

void Mgr::Unsubscribe() {
  if (!subscribedStore_) return;
  for (int id : kWatchedOptions) subscribedStore_->RemoveObserver(id, this);
  subscribedStore_ = nullptr;
}

void Mgr::OnOptionChanged(const int& id) {
  if (!started_) return;
  switch (id) {
    case OPT_POPUP_SHORTCUT:
    case OPT_POPUP_SHORTCUT_CTRL:
    case OPT_POPUP_SHORTCUT_ALT:
    case OPT_SHORTCUT_KEY:
    case OPT_FLOATING_KEYS:
    case OPT_FLOATING_KEYS_CTRL:
    case OPT_FLOATING_KEYS_ALT:
    case OPT_POPUP_SHORTCUT_WIN:
    case OPT_FLOATING_KEYS_WIN:
      UpdateShortcutKeys();
      break;
    case OPT_RECORDING:
      UpdateViewerChain();
      break;
    case OPT_REJOIN_VIEWER:
    case OPT_REJOIN_INTERVAL:
      UpdateViewerTimer();
      break;
    default:
      break;
  }
}

// --- The viewer chain ----------------------------------------------------------

void Mgr::JoinViewerChain() {
  if (!IsWindow(window_)) return;
  // Joining again while in the chain would make us our own next viewer.
  if (inChain_) LeaveViewerChain();
  joining_ = true;
  HWND previousFirst = SetClipboardViewer(window_);
  joining_ = false;
  if (previousFirst != window_) nextViewer_ = previousFirst;
  inChain_ = true;
}

void Mgr::LeaveViewerChain() {
  ChangeClipboardChain(window_, IsWindow(nextViewer_) ? nextViewer_ : nullptr);
  inChain_ = false;
}

void Mgr::UpdateViewerChain() {
  if (Option(OPT_RECORDING)) {
    JoinViewerChain();
  } else {
    LeaveViewerChain();
  }
}

void Mgr::UpdateViewerTimer() {
  if (!viewerTimer_) return;
  if (Option(OPT_REJOIN_VIEWER)) {
    const int interval = OptionValue<int>(OPT_REJOIN_INTERVAL, kDefaultRejoinInterval);
    viewerTimer_->Start(std::max(interval, kMinRejoinInterval));
  } else {
    viewerTimer_->Stop();
  }
}

void Mgr::UpdateShortcutKeys() {
  const char key = OptionValue<char>(OPT_SHORTCUT_KEY, 0);
  const wchar_t lower =
      static_cast<wchar_t>(std::towlower(static_cast<wchar_t>(static_cast<unsigned char>(key))));
  const SHORT vk = VkKeyScanW(lower);
  Helper_SetShortcutKey(vk, Option(OPT_POPUP_SHORTCUT), Option(OPT_POPUP_SHORTCUT_CTRL),
                        Option(OPT_POPUP_SHORTCUT_ALT), Option(OPT_POPUP_SHORTCUT_WIN), Option(OPT_FLOATING_KEYS),
                        Option(OPT_FLOATING_KEYS_CTRL), Option(OPT_FLOATING_KEYS_ALT),
                        Option(OPT_FLOATING_KEYS_WIN));
}

void Mgr::OnChangeClipboardChain(HWND leaving, HWND next) {
  if (leaving == nextViewer_) nextViewer_ = next;
  if (IsWindow(nextViewer_) && nextViewer_ != window_) {
    SendMessageW(nextViewer_, WM_CHANGECBCHAIN, reinterpret_cast<WPARAM>(leaving), reinterpret_cast<LPARAM>(next));
  }
}

bool Mgr::CanTakeRecord() const {
  RecordList* list = history_ ? history_->GetMainList() : nullptr;
  return list && (list->dropOldest || list->GetCount() < list->GetMaxRecords());
}

LRESULT Mgr::OnDrawClipboard() {
  LRESULT result = 0;
  if (IsWindow(nextViewer_) && nextViewer_ != window_) result = SendMessageW(nextViewer_, WM_DRAWCLIPBOARD, 0, 0);
  if (reactToClipboard_ && CanTakeRecord()) {
    WaitForTargetIdle();
    PostMessageW(window_, WM_CAPTURE_CLIPBOARD, 0, 0);
  }
  return result;
}

// --- Focus and keys --------------------------------------------------------------

void Mgr::OnFocusNotice(HWND gaining) {
  if (!gaining || gaining == trayWindow_) return;
  DWORD trayPid = 0;
  const DWORD trayThread = GetWindowThreadProcessId(trayWindow_, &trayPid);
  DWORD pid = 0;
  const DWORD thread = GetWindowThreadProcessId(gaining, &pid);
  if (thread == trayThread || pid == trayPid) return;
  if (pid == GetCurrentProcessId()) return;
  wchar_t name[200] = {};
  GetClassNameW(gaining, name, static_cast<int>(std::size(name)));
  const std::wstring upper = Upper(name);
  for (const wchar_t* c : kNoTargetClasses) {
    if (upper == c) return;
  }
  targetWindow_ = gaining;
}

void Mgr::OnHookKey(WPARAM vk, LPARAM flags) {
  if (!client_) return;
  const KeyModifiers typedWith{(flags & kHookKeyCtrl) != 0, (flags & kHookKeyAlt) != 0, (flags & kHookKeyWin) != 0};
  const bool release = (flags & kHookKeyReleased) != 0;
  const bool repeat = (flags & kHookKeyRepeated) != 0;
  if (!client_->OnPopupHotKey(vk, release, repeat, typedWith)) client_->OnFloatingHotKey(vk, typedWith);
}

HWND Mgr::GetTargetWindow() {
  if (!IsWindow(targetWindow_)) targetWindow_ = QueryGUIThreadInfo(0).hwndFocus;
  return targetWindow_;
}

bool Mgr::WaitForTargetIdle() {
  const DWORD pid = ProcessOf(GetTargetWindow());
  if (pid == 0) return false;
  return WaitForProcessIdle(pid);
}

// --- The capture -----------------------------------------------------------------

void Mgr::CaptureClipboard() {
  RecordList* list = history_ ? history_->GetMainList() : nullptr;
  if (!list || (!list->dropOldest && list->GetCount() >= list->GetMaxRecords())) return;

  HWND owner = GetClipboardOwner();
  if (owner) {
    if (!IsWindow(owner)) return;
    if (DWORD pid = ProcessOf(owner)) WaitForProcessIdle(pid);
    if (!IsWindow(owner)) return;
  } else {
    for (int i = 0; i < 5; ++i) Sleep(5);
  }

  RecordPtr record = boost::make_shared<Record>();
  if (!record->LoadFromClipboard()) return;

  std::wstring app = GetSourceApplication(ProcessOf(owner));
  if (app.empty() || EqualsNoCase(app, kRuntimeProcess)) {
    if (HWND active = QueryGUIThreadInfo(0).hwndActive) app = GetSourceApplication(ProcessOf(active));
  }
  record->application = cmn::wx::ToStdString(wxString(app));

  // A repeat is judged by its text and executable alone, whichever window of
  // the application owned the clip: owner handles are reused once a window
  // closes, and the same text copied from a second window is still a repeat.
  const DWORD now = GetTickCount();
  bool accept = true;
  if (now - lastCaptureTick_ >= kDuplicateWindowMs && Option(OPT_ALLOW_DUPLICATES)) {
    accept = true;
  } else if (lastRecord_ && lastRecord_->textIndex >= 0 && record->textIndex >= 0 &&
             lastRecord_->text == record->text && lastRecord_->application == record->application) {
    accept = false;
  }
  if (!accept) return;

  lastRecord_ = record;
  lastCaptureTick_ = now;
  list->AddRecord(record);

  if (client_ && Option(OPT_AUTO_SEND)) {
    if (const AppConfig* config = FindAppConfig())
      for (const NetworkAddress& host : config->autoSendHosts) client_->SendRecord(record, host);
  }
  if (client_) client_->AnimateTaskbarIcon();
}

}  // namespace pq
