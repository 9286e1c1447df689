#include "popupmenu.h"

#include <utility>

#include <wx/menu.h>
#include <wx/window.h>

namespace {
PopupMenuHandler& Handler() {
  static PopupMenuHandler handler;
  return handler;
}
}  // namespace

void ShowPopupMenu(wxWindow* window, wxMenu& menu, const wxPoint& at) {
  if (!window) return;
  if (!Handler()) {
    window->PopupMenu(&menu, at);
    return;
  }
  const PopupMenuHandler handler = Handler();  // the handler may replace itself
  wxMenuInvokingWindowSetter invoking(menu, window);
  menu.UpdateUI();
  handler(window, menu, at);
}

bool ChooseMenuItem(wxMenu& menu, int id) {
  wxMenu* owner = nullptr;
  wxMenuItem* item = menu.FindItem(id, &owner);
  if (!item || !owner || !item->IsEnabled() || item->IsSubMenu()) return false;
  owner->SendEvent(id, item->IsCheckable() ? item->IsChecked() : -1);
  return true;
}

PopupMenuHandler SetPopupMenuHandler(PopupMenuHandler handler) {
  return std::exchange(Handler(), std::move(handler));
}
