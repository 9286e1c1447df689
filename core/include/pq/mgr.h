#pragma once
// The clipboard manager: it takes over the window procedure of one of our
// windows, sits in the clipboard viewer chain with it, turns every clipboard
// change made by another application into a record at the front of the
// listening list, keeps the paste target (the last focused window of another
// application) from the hook library's focus notices, hands key notices on,
// and copies and pastes records. GUI thread only.
#include <functional>
#include <memory>

#include "cmn/option.h"
#include "cmn/timer.h"
#include "platform/window.h"
#include "pq/record.h"
#include "pq/win.h"

struct NetworkAddress;

namespace pq {

class History;
class RecordList;

// Messages the manager posts to its own window.
constexpr UINT WM_PASTE_KEYSTROKES = 0xBD4;
constexpr UINT WM_CAPTURE_CLIPBOARD = 0xBDE;

// The modifiers held when the key of a key notice was typed, as the hook
// library read them then: read when the notice is handled, they may have
// been let go already (Escape or Down typed just before the shortcut's
// modifier is released).
struct KeyModifiers {
  bool ctrl = false;
  bool alt = false;
  bool win = false;
};

// What the manager needs from the application's later parts. Every call has
// a harmless default, so an application that plugs in nothing gets: key
// notices not taken, no animation, nothing sent.
class MgrClient {
 public:
  virtual ~MgrClient() = default;
  // The popup list's turn at a key notice (vk 0 with released set: the
  // shortcut's modifiers were let go; repeat: the key's auto-repeat;
  // typedWith: the modifiers of the key); true when it took the key.
  virtual bool OnPopupHotKey(WPARAM vk, bool released, bool repeat, KeyModifiers typedWith) { return false; }
  // The floating list's turn, when the popup did not take the key.
  virtual bool OnFloatingHotKey(WPARAM vk, KeyModifiers typedWith) { return false; }
  // A capture was recorded: the taskbar icon's short animation.
  virtual void AnimateTaskbarIcon() {}
  // Automatic sending of a captured record to one configured host.
  virtual void SendRecord(const RecordPtr& record, const NetworkAddress& host) {}
};

// Leaves and re-joins the viewer chain now and then, which heals a chain that
// another viewer broke.
class ViewerTimer {
 public:
  // A repeating cmn::Timer; where none can be made (no toolkit application
  // and no timer factory) the chain is only joined and left by the recording
  // switch.
  ViewerTimer();
  void Start(int ms);
  void Stop();
  bool IsRunning() const;
  // One period ended.
  void Notify();

 private:
  std::unique_ptr<cmn::Timer> timer_;
};

class Mgr : public cmn::option<int>::observer {
 public:
  // The periods below this are raised to it (a shorter one would spin).
  static constexpr int kMinRejoinInterval = 1000;

  static Mgr& Get();

  // The history whose listening list receives the captures (not owned).
  void SetHistory(History* history) { history_ = history; }
  History* GetHistory() const { return history_; }
  // The application's later parts (not owned; null: none).
  void SetClient(MgrClient* client) { client_ = client; }

  // Takes over `window` (one of ours), installs the hooks reporting to it,
  // joins the viewer chain when recording is on, starts the re-join timer and
  // sends the hooks the shortcut keys. Its options are the installed settings
  // record's (SetAppConfig), followed until Stop.
  void Start(HWND window);
  // Gives the window back, leaves its data on the clipboard, leaves the chain
  // and removes the hooks. Nothing of the manager acts afterwards.
  void Stop();
  bool IsStarted() const { return started_; }
  HWND GetWindow() const { return window_; }

  // The paste target; when it is gone, the focus window of the foreground
  // thread (which may be null or one of ours).
  HWND GetTargetWindow();
  // Waits until the target's process is idle; false without a target or when
  // its process cannot be waited for.
  bool WaitForTargetIdle();

  // Puts the record (with the tag, without the formats whose paste switch is
  // off) on the clipboard. False, with the clipboard as it was, when the
  // record cannot be rebuilt; false when the clipboard refused it.
  bool CopyToClipboard(const RecordPtr& record, RecordList* source);
  // Waits for the target, copies, pastes; what Paste returns.
  bool PasteRecord(const RecordPtr& record, RecordList* source);
  // Makes the target paste what the clipboard holds now.
  bool Paste();
  // Brings the target to the front when we or the taskbar are in front.
  bool ActivateTarget();
  // The synthesised Ctrl+V (posted to ourselves by Paste).
  void OnPasteKeystrokes();

  void OnOptionChanged(const int& id) override;

  // State, for the application's windows and for checks.
  HWND GetNextViewer() const { return nextViewer_; }
  HWND GetTrayWindow() const { return trayWindow_; }
  HWND GetTargetField() const { return targetWindow_; }
  const RecordPtr& GetLastRecord() const { return lastRecord_; }
  ViewerTimer* GetViewerTimer() const { return viewerTimer_.get(); }
  IDataObject* GetClipboardObject() const { return clipboardObject_; }

 private:
  Mgr();
  ~Mgr() override;
  Mgr(const Mgr&) = delete;
  Mgr& operator=(const Mgr&) = delete;
  friend class ViewerTimer;

  static LRESULT WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

  void JoinViewerChain();
  void LeaveViewerChain();
  void UpdateViewerChain();
  void UpdateViewerTimer();
  void UpdateShortcutKeys();
  void Subscribe();
  void Unsubscribe();

  LRESULT OnDrawClipboard();
  void OnChangeClipboardChain(HWND leaving, HWND next);
  void OnFocusNotice(HWND gaining);
  void OnHookKey(WPARAM vk, LPARAM flags);
  void CaptureClipboard();
  bool CanTakeRecord() const;

  // Fields in the order the manager's description gives them.
  std::unique_ptr<ViewerTimer> viewerTimer_;
  DWORD lastCaptureTick_;
  RecordPtr lastRecord_;
  IDataObject* clipboardObject_ = nullptr;
  HWND trayWindow_ = nullptr;
  HWND targetWindow_ = nullptr;
  HWND nextViewer_ = nullptr;
  bool joining_ = false;
  bool reactToClipboard_ = true;

  // The subclassed window and the procedure it had.
  HWND window_ = nullptr;
  WNDPROC previousProc_ = nullptr;
  bool started_ = false;
  // Whether we put ourselves in the chain and have not left it since.
  bool inChain_ = false;
  History* history_ = nullptr;
  MgrClient* client_ = nullptr;
  // The store we subscribed to, so Stop unsubscribes from that one.
  cmn::option<int>* subscribedStore_ = nullptr;
};

// Waits (on the desktop's clock) until process `pid` waits for input: five
// tries of at most 3 s each; false when it cannot be opened or has no input
// queue, or when the last try timed out.
bool WaitForProcessIdle(DWORD pid);
// The GUI state of a thread (0: the foreground thread); zeroed apart from its
// size when it cannot be read.
GUITHREADINFO QueryGUIThreadInfo(DWORD threadId);

}  // namespace pq
