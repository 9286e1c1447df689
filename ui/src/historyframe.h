#pragma once
// The small always-on-top tool window that shows the record history outside
// the main window: a mini frame whose only child is a HistoryWindow. The
// popup list, the menu window and the floating list derive from it. Closing
// one of them hides it; only the application's shut-down destroys it. None
// of them takes the focus when it shows, so that the paste target keeps it.
#include <wx/minifram.h>

#include "platform/types.h"

class HistoryWindow;
namespace pq {
class History;
}

class HistoryFrame : public wxMiniFrame {
 public:
  // The size a popup or menu window takes when its stored size is absent or
  // not positive.
  static constexpr int kDefaultWidth = 150;
  static constexpr int kDefaultHeight = 300;

  // style: the subclass's frame style (always on top and tool window are
  // added); className: the class the frame's window has on the desktop.
  HistoryFrame(long style, pq::History* history, const wchar_t* className);
  ~HistoryFrame() override;

  HistoryWindow* GetHistoryWindow() const { return historyWindow; }
  // The frame's window on the platform layer's desktop.
  HWND GetDesktopWindow() const { return window; }

  // Moves the selection of the current list one row (wrapping); nothing
  // without a current list.
  void MoveSelection(bool previous);
  // Pastes the current list's selected record into the paste target, hiding
  // frameToHide (when given) first; nothing without a current list.
  void PasteSelected(wxWindow* frameToHide);
  // Shows the frame on top without taking the focus: the keyboard focus and
  // the active window stay where they were. False, doing nothing, when the
  // frame was already shown. (The toolkit's own ShowWithoutActivating
  // returns nothing; this one says whether it showed.)
  bool ShowNoActivate();
  // Notes whether the frame is meant to be shown (see OnShown).
  bool Show(bool show = true) override;
  // Shown and meant to be: a frame the toolkit's late map notice marked
  // shown after it was hidden is about to hide again, so keys treat it as
  // hidden.
  bool IsMeantShown() const { return wantShown && IsShown(); }

  // The stored size of a popup or menu window: `stored` when both sides are
  // positive, else the default size.
  static wxSize UsableSize(const wxSize& stored);

 protected:
  // Hides the frame (and vetoes the close when it can).
  void OnClose(wxCloseEvent& event);
  // The toolkit counts a frame as shown again when the map notice of an
  // earlier show arrives after it was hidden (a quick show and hide): such
  // a frame is hidden again, so that it never counts as open while unseen.
  void OnShown(wxShowEvent& event);
  // Hides a frame that the toolkit marked shown after it was hidden: the
  // toolkit ignores a show of a frame it counts as shown, so a shortcut
  // typed before the queued hide ran would show nothing.
  void ForgetLateShow();

 private:
  HistoryWindow* historyWindow;
  HWND window = nullptr;
  bool wantShown = false;

  wxDECLARE_EVENT_TABLE();
};
