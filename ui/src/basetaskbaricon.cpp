#include "basetaskbaricon.h"

#include <memory>

#include <wx/menu.h>

namespace cmn {
namespace wx {

// Taken here, so the toolkit's own handler of the same event never sees it.
wxBEGIN_EVENT_TABLE(TaskBarIcon, wxTaskBarIcon)
  EVT_TASKBAR_CLICK(TaskBarIcon::OnRightClick)
wxEND_EVENT_TABLE()

void TaskBarIcon::OnRightClick(wxTaskBarIconEvent&) {
  std::unique_ptr<wxMenu> menu(CreatePopupMenu());
  if (!menu) return;
  // Check marks and enabled states from the update handlers, which the
  // event reaches through this icon (the application's among them): the
  // toolkit's tray menu on GTK is not updated before it opens.
  menu->UpdateUI(this);
  PopupMenu(menu.get());
}

}  // namespace wx
}  // namespace cmn
