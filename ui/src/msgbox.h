#pragma once
// Every message box of the program goes through here, so tests can answer
// them instead of a person.
#include <functional>

#include <wx/defs.h>
#include <wx/string.h>

class wxWindow;

// Same arguments and result as wxMessageBox (wxYES, wxNO, wxOK, wxCANCEL).
using MessageBoxHandler =
    std::function<int(const wxString& message, const wxString& caption, long style, wxWindow* parent)>;

int ShowMessageBox(const wxString& message, const wxString& caption, long style, wxWindow* parent = nullptr);

// A message box without a parent run by the dialog manager (dlgmgr.h), so a
// click on the tray icon raises it; the handler answers it all the same.
// wxID_NONE when another dialog of ours is showing (that one is raised and
// nothing is shown).
int ShowManagedMessageBox(const wxString& message, const wxString& caption, long style);

// Replaces the handler (an empty one restores wxMessageBox); returns the previous one.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);
