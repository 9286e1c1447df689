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
  if (menu) PopupMenu(menu.get());
}

}  // namespace wx
}  // namespace cmn
