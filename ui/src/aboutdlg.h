#pragma once
// The about dialog: the program's name and version.
#include <wx/dialog.h>
#include <wx/string.h>

// "3.0.3": the version's three numbers joined by periods.
wxString GetVersionText();

class AboutDlg : public wxDialog {
 public:
  // The caller shows it modally and destroys it.
  explicit AboutDlg(wxWindow* parent);
};

// The about command: the dialog over parent through DlgMgr, destroyed when
// it closes.
void ShowAboutDialog(wxWindow* parent);
