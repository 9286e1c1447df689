#pragma once
// Every pop-up menu of the program goes through here, so tests can look at a
// menu and choose from it instead of a person. A handler sees the menu as
// the toolkit would show it: its invoking window set and its update-UI
// handlers run; a command it chooses (ChooseMenuItem) is dispatched before
// ShowPopupMenu returns, as the toolkit's own pop-up does.
#include <functional>

#include <wx/gdicmn.h>

class wxMenu;
class wxWindow;

using PopupMenuHandler = std::function<void(wxWindow* window, wxMenu& menu, const wxPoint& at)>;

// Pops `menu` up on `window` at `at` (client coordinates) and returns once
// it is closed.
void ShowPopupMenu(wxWindow* window, wxMenu& menu, const wxPoint& at);

// Sends the command of item `id` (in `menu` or one of its submenus) as
// choosing it does; false when the menu has no such item or it is disabled.
bool ChooseMenuItem(wxMenu& menu, int id);

// Replaces the handler (an empty one restores the toolkit's pop-up);
// returns the previous one.
PopupMenuHandler SetPopupMenuHandler(PopupMenuHandler handler);
