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

// Replaces the handler (an empty one restores wxMessageBox); returns the previous one.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);
