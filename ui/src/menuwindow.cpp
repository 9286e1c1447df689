#include "menuwindow.h"

#include <algorithm>
#include <memory>

#include <wx/menu.h>

#include "commands.h"
#include "historytabmenu.h"
#include "historywindow.h"
#include "imagestrip.h"
#include "maincommandhandler.h"
#include "menus.h"
#include "options.h"
#include "pastiqhook.h"
#include "platform/window.h"
#include "recordlistwindow.h"

namespace {

// The menu window's tab menu: only the two pastes of the whole list, which
// travel on to the window's record commands.
class MenuWindowHistoryTabMenu : public HistoryTabMenu {
 public:
  using HistoryTabMenu::HistoryTabMenu;

 protected:
  std::unique_ptr<wxMenu> BuildMenu() override {
    const std::unique_ptr<wxImage> strip = LoadImageStrip();
    auto menu = std::make_unique<wxMenu>();
    AppendCommandItem(*strip, menu.get(), ID_MULTIPLE_PASTE, IMG_MULTIPLE_PASTE);
    AppendCommandItem(*strip, menu.get(), ID_PASTE_ALL, IMG_PASTE_ALL);
    return menu;
  }
};

}  // namespace

wxBEGIN_EVENT_TABLE(MenuWindow, HistoryFrame)
  EVT_COMMAND(wxID_ANY, wxEVT_COMMAND_LEFT_CLICK, MenuWindow::OnLeftClick)
wxEND_EVENT_TABLE()

MenuWindow::MenuWindow(pq::History* history)
    : HistoryFrame(wxCLIP_CHILDREN | wxBORDER_NONE | wxRESIZE_BORDER, history, L"PastiqMenuWindow") {
  if (const HWND window = GetDesktopWindow()) {
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    previousProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MenuWindow::WindowProc)));
    Helper_MenuWindow_SetWindow(window);
    knownToHook = true;
  }
  PushRecordCommands(this, GetHistoryWindow(), new MenuWindowHistoryTabMenu(GetHistoryWindow()));
}

MenuWindow::~MenuWindow() {
  PopLeftoverRecordCommands(this, GetHistoryWindow());
  ForgetInHookLibrary();
  if (const HWND window = GetDesktopWindow()) {
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previousProc));
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  }
}

void MenuWindow::ForgetInHookLibrary() {
  if (!knownToHook) return;
  Helper_MenuWindow_Stop();
  Helper_MenuWindow_SetWindow(nullptr);
  knownToHook = false;
}

LRESULT MenuWindow::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<MenuWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, msg, wParam, lParam);
  if (msg == WM_HOOK_CLOSE_MENU) self->Show(false);
  return CallWindowProcW(self->previousProc ? self->previousProc : &DefWindowProcW, hwnd, msg, wParam, lParam);
}

void MenuWindow::RestoreState() {
  const wxSize size = UsableSize(OptionValue<wxSize>(OPT_MENU_WINDOW_SIZE, wxSize(0, 0)));
  SetSize(wxDefaultCoord, wxDefaultCoord, size.GetWidth(), size.GetHeight(), wxSIZE_USE_EXISTING);
  GetHistoryWindow()->Start(OPT_MENU_WINDOW_TAB);
}

wxPoint MenuWindow::PlacementAt(const wxPoint& point, const wxSize& size, const RECT& work) {
  int x = point.x - size.GetWidth();
  int y = point.y - size.GetHeight();
  x = std::max(std::min(x, static_cast<int>(work.right) - size.GetWidth()), static_cast<int>(work.left));
  y = std::max(std::min(y, static_cast<int>(work.bottom) - size.GetHeight()), static_cast<int>(work.top));
  return wxPoint(x, y);
}

void MenuWindow::OpenAt(const wxPoint& point) {
  const RECT at{point.x, point.y, point.x + 1, point.y + 1};
  MONITORINFO info{};
  info.cbSize = sizeof info;
  RECT work{0, 0, 0, 0};
  if (GetMonitorInfoW(MonitorFromRect(&at, MONITOR_DEFAULTTONEAREST), &info)) {
    work = info.rcWork;
  } else {
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  }
  const wxSize size = GetSize();
  const wxPoint topLeft = PlacementAt(point, size, work);
  SetSize(topLeft.x, topLeft.y, size.GetWidth(), size.GetHeight());
  ShowMenu();
}

void MenuWindow::ShowMenu() {
  RecordListWindow* list = GetHistoryWindow()->GetCurrentRecordListWindow();
  if (!list) return;
  const long selected = list->GetSelectedRow();
  if (selected >= 0) list->SetItemState(selected, 0, wxLIST_STATE_SELECTED);
  ShowNoActivate();
  Helper_MenuWindow_Start();
}

void MenuWindow::PasteAndHide() {
  RecordListWindow* list = GetHistoryWindow()->GetCurrentRecordListWindow();
  if (!list || list->GetSelectedRow() < 0 || !IsShown()) return;
  // The mouse monitor goes before the window hides.
  Helper_MenuWindow_Stop();
  PasteSelected(this);
}

bool MenuWindow::Show(bool show) {
  if (!show) Helper_MenuWindow_Stop();
  return HistoryFrame::Show(show);
}

void MenuWindow::OnLeftClick(wxCommandEvent& event) {
  event.Skip();
  PasteAndHide();
}
