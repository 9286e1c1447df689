#pragma once
// The record history shown like a pop-up menu: the taskbar icon opens it
// with its bottom-right corner at the mouse pointer (OpenAt); a left click
// on a record pastes that record into the application that was working
// before and closes the window; a click outside it, a focus change to
// another window or Escape closes it. The hook library watches those (its
// mouse hook runs only while the window is open) and closes the window with
// WM_HOOK_CLOSE_MENU.
#include "historyframe.h"
#include "platform/window.h"

class MenuWindow : public HistoryFrame {
 public:
  explicit MenuWindow(pq::History* history);
  ~MenuWindow() override;

  // Sizes the frame from OPT_MENU_WINDOW_SIZE (the default size when absent
  // or not positive), keeping its position, and builds the history window's
  // pages with the tab of OPT_MENU_WINDOW_TAB. Once, at start-up.
  void RestoreState();

  // What the taskbar icon's left click calls: the window's bottom-right
  // corner at `point` (screen coordinates), kept inside the work area of
  // the monitor there, then ShowMenu.
  void OpenAt(const wxPoint& point);
  // Opens the window where it stands, with no row selected, and starts the
  // hook library's mouse monitor; nothing without a current list.
  void ShowMenu();
  // Pastes the selected record and closes the window; nothing without a
  // selected row or while hidden.
  void PasteAndHide();
  // The hook library forgets the window (the shut-down's step before it
  // goes).
  void ForgetInHookLibrary();

  // Every hide stops the mouse monitor, whatever hid the window.
  bool Show(bool show = true) override;

  // Where OpenAt puts the window's top-left corner.
  static wxPoint PlacementAt(const wxPoint& point, const wxSize& size, const RECT& workArea);

 private:
  static LRESULT WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  void OnLeftClick(wxCommandEvent& event);

  WNDPROC previousProc = nullptr;
  bool knownToHook = false;

  wxDECLARE_EVENT_TABLE();
};
