#include "popupwindow.h"

#include <algorithm>
#include <cwctype>

#include "historywindow.h"
#include "options.h"
#include "platform/input.h"
#include "platform/window.h"
#include "pq/mgr.h"
#include "recordlistwindow.h"

namespace {

// The shortcut key as the hook reports it: VkKeyScanW of the lower-case
// character, shift state in the high byte, so that a character that needs
// Shift never matches.
int ShortcutVirtualKey() {
  const char key = OptionValue<char>(OPT_SHORTCUT_KEY, 0);
  const wchar_t lower = static_cast<wchar_t>(std::towlower(static_cast<unsigned char>(key)));
  return static_cast<USHORT>(VkKeyScanW(lower));
}

RECT WorkAreaOf(HWND target) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (GetMonitorInfoW(MonitorFromWindow(target, MONITOR_DEFAULTTONEAREST), &info)) return info.rcWork;
  RECT work{0, 0, 0, 0};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  return work;
}

}  // namespace

bool ModifiersMatch(const pq::KeyModifiers& typedWith, bool wantCtrl, bool wantAlt, bool wantWin) {
  if (!wantCtrl && !wantAlt && !wantWin) wantWin = true;
  return typedWith.ctrl == wantCtrl && typedWith.alt == wantAlt && typedWith.win == wantWin;
}

PopupWindow::PopupWindow(pq::History* history)
    : HistoryFrame(wxCLIP_CHILDREN | wxBORDER_NONE | wxRESIZE_BORDER, history, L"PastiqPopup"),
      pasteTimer(cmn::MakeTimer(cmn::Timer::kOneShot, [this] { OnPasteTimer(); })) {}

void PopupWindow::RestoreState() {
  SetSize(UsableSize(OptionValue<wxSize>(OPT_POPUP_SIZE, wxSize(0, 0))));
  Layout();
  GetHistoryWindow()->Start(OPT_POPUP_TAB);
}

bool PopupWindow::OnHotKey(int virtualKey, bool released, bool repeat, const pq::KeyModifiers& typedWith) {
  if (!OptionValue<bool>(OPT_POPUP_SHORTCUT, false)) return false;
  const bool wantCtrl = OptionValue<bool>(OPT_POPUP_SHORTCUT_CTRL, false);
  const bool wantAlt = OptionValue<bool>(OPT_POPUP_SHORTCUT_ALT, false);
  // No modifier configured: Win, as the hook library reports the shortcut.
  const bool wantWin = OptionValue<bool>(OPT_POPUP_SHORTCUT_WIN, false) || (!wantCtrl && !wantAlt);
  if (!released && !ModifiersMatch(typedWith, wantCtrl, wantAlt, wantWin)) return false;

  const int shortcut = ShortcutVirtualKey();
  const bool isShortcut = !released && virtualKey == shortcut;
  // Ctrl+V or plain V: a single press must still paste.
  const bool doublePress = shortcut == 'V' && !wantAlt && !wantWin;

  if (IsMeantShown()) {
    if (isShortcut || virtualKey == VK_DOWN) {
      MoveSelection(false);
    } else if (virtualKey == VK_UP) {
      MoveSelection(true);
    } else if (virtualKey == VK_ESCAPE) {
      Show(false);
    } else if (virtualKey == VK_RETURN || released) {
      PasteSelected(this);
    } else {
      return false;
    }
    return true;
  }
  if (isShortcut && doublePress) {
    if (pastePending && !repeat) {
      if (pasteTimer) pasteTimer->Stop();
      pastePending = false;
      ShowPopup();
    } else if (!pastePending) {
      if (pasteTimer) pasteTimer->Start(kPasteDelayMs);
      pastePending = true;
    }
    return true;
  }
  if (isShortcut) {
    ShowPopup();
    return true;
  }
  if (doublePress && released) {
    if (pastePending) {
      if (pasteTimer) pasteTimer->Stop();
      pastePending = false;
      pq::Mgr::Get().Paste();
    }
    return true;
  }
  return false;
}

void PopupWindow::OnPasteTimer() {
  if (pasteTimer) pasteTimer->Stop();
  if (!pastePending) return;
  pastePending = false;
  pq::Mgr::Get().Paste();
}

void PopupWindow::DeletePasteTimer() {
  pasteTimer.reset();
  pastePending = false;
}

wxPoint PopupWindow::Placement(const RECT& target, const RECT& caret, const RECT& work, const wxSize& size) {
  const int w = size.GetWidth(), h = size.GetHeight();
  const int x0 = target.left + caret.left;
  const int y0 = target.top + caret.top;
  const int caretHeight = caret.bottom - caret.top;
  const int right = std::min(x0 + w, static_cast<int>(work.right) - kCaretGap);
  int bottom = y0 + caretHeight + kCaretGap + h;
  if (bottom > work.bottom) bottom = y0 - kCaretGap;
  // Inside the work area on the left and at the top too, so that a caret
  // near those edges (or a popup taller than the room above the caret)
  // never puts the list off the monitor.
  const int x = std::max(right - w, static_cast<int>(work.left));
  const int y = std::max(bottom - h, static_cast<int>(work.top));
  return wxPoint(x, y);
}

bool PopupWindow::ShowPopup() {
  const HWND target = pq::Mgr::Get().GetTargetWindow();
  if (!IsWindow(target)) return true;
  RECT caret{0, 0, 0, 0};
  const GUITHREADINFO info = pq::QueryGUIThreadInfo(GetWindowThreadProcessId(target, nullptr));
  if (info.hwndCaret) caret = info.rcCaret;
  RECT outer{0, 0, 0, 0};
  GetWindowRect(target, &outer);
  const wxSize size = GetSize();
  const wxPoint at = Placement(outer, caret, WorkAreaOf(target), size);
  SetSize(at.x, at.y, size.GetWidth(), size.GetHeight());
  if (RecordListWindow* list = GetHistoryWindow()->GetCurrentRecordListWindow()) {
    if (list->GetSelectedRow() < 0 && list->GetItemCount() > 0) list->SelectRow(0);
  }
  ShowNoActivate();
  return true;
}
