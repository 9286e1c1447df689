#pragma once
// The popup list that the popup shortcut (Win+V by default) calls up in
// whatever application has the focus. It never takes the focus: it opens
// next to the paste target's caret, and every further key of the shortcut
// reaches it as a key notice from the hook library through the clipboard
// manager. With Ctrl+V as the shortcut, one press still pastes
// as usual, after a short delay, and only a double press opens the popup.
#include <memory>

#include "cmn/timer.h"
#include "historyframe.h"
#include "platform/types.h"

namespace pq {
struct KeyModifiers;
}

class PopupWindow : public HistoryFrame {
 public:
  // How long a first press of a Ctrl+V or V shortcut waits for a second.
  static constexpr int kPasteDelayMs = 268;
  // The popup's distance from the caret and from the work area's right edge.
  static constexpr int kCaretGap = 5;

  explicit PopupWindow(pq::History* history);

  // Sizes the frame from OPT_POPUP_SIZE (the default size when absent or not
  // positive), lays it out and builds the history window's pages with the
  // tab of OPT_POPUP_TAB. Once, at start-up.
  void RestoreState();

  // One key notice of the hook library: virtualKey (0 with a release), the
  // release of the shortcut's modifiers, whether the press is the key's
  // auto-repeat (which never counts as the second press of a double
  // press), and the modifiers the key was typed with. True when the popup
  // took the key.
  bool OnHotKey(int virtualKey, bool released, bool repeat, const pq::KeyModifiers& typedWith);
  // Places the popup next to the paste target's caret and shows it without
  // taking the focus; with no target nothing shows. Always true.
  bool ShowPopup();

  // Where the popup goes for a target's outer rectangle, its caret (relative
  // to the target; all zero for none), the work area of the target's
  // monitor and the popup's size: below the caret, 5 pixels under it, its
  // left edge at the caret's; above the caret when it would pass the work
  // area's bottom; kept 5 pixels inside the right edge and inside the left
  // and top edges.
  static wxPoint Placement(const RECT& target, const RECT& caret, const RECT& workArea, const wxSize& size);

  // A first press waits for its replay as an ordinary paste.
  bool IsPastePending() const { return pastePending; }
  // The shut-down's step before the frame goes: no replay fires any more.
  void DeletePasteTimer();

 private:
  // The first press's delay ended: the paste it stands for.
  void OnPasteTimer();

  std::unique_ptr<cmn::Timer> pasteTimer;
  bool pastePending = false;
};

// Whether the modifiers a key was typed with are exactly the configured
// ones (the popup's and the floating list's test). With none configured,
// the shortcut is Win plus the key, as the hook library takes it.
bool ModifiersMatch(const pq::KeyModifiers& typedWith, bool wantCtrl, bool wantAlt, bool wantWin);
