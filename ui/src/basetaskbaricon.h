#pragma once
// The notification-area icon of the common toolkit layer: it opens the icon's
// menu (CreatePopupMenu) on a right click and deletes the menu once it
// closes. A derived icon's own right-click handler runs first and skips the
// event to let the menu open.
//
// GTK's tray reports the right button's press only (its "popup-menu"
// signal); no release is to be had, so the menu opens on the press, as
// every tray menu on that desktop does.
#include <wx/taskbar.h>

namespace cmn {
namespace wx {

class TaskBarIcon : public wxTaskBarIcon {
 public:
  TaskBarIcon() = default;

 protected:
  // Opens CreatePopupMenu's menu, when it gives one, updated first.
  void OnRightClick(wxTaskBarIconEvent& event);

 private:
  wxDECLARE_EVENT_TABLE();
};

}  // namespace wx
}  // namespace cmn
