#include "inputcheck.h"

#include <wx/toplevel.h>
#include <wx/window.h>

#include "msgbox.h"

bool RefuseInput(wxWindow* control, const wxString& message, wxWindow* parent) {
  ShowMessageBox(message, "Error", wxOK | wxICON_ERROR, parent ? parent : wxGetTopLevelParent(control));
  // After the box: it takes the focus while it is up.
  control->SetFocus();
  return false;
}

bool PassChecks(std::initializer_list<InputCheck> checks, wxWindow* parent) {
  for (const InputCheck& check : checks)
    if (check.fails()) return RefuseInput(check.control, check.message, parent);
  return true;
}
