#pragma once
// The program's manual: a small HTML help book of our own, shown through the
// toolkit's HTML help on the Manual command.
#include <wx/string.h>

class wxHtmlHelpController;

// Where the manual's help project lies: "manual/pastiq.hhp" beside the
// program (the build tree), else under the install prefix's data folder
// ("../share/pastiq/manual/pastiq.hhp" from the program's folder). When
// neither exists, the first of them (for the message).
wxString FindManualFile();

// The Manual command. The controller is created on first use, so a start
// never depends on the manual; when the manual cannot be read the user is
// told so and *controller stays null (the next command tries again).
void ShowManual(wxHtmlHelpController** controller, const wxString& manualFile = FindManualFile());
