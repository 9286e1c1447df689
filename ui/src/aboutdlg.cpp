#include "aboutdlg.h"

#include <wx/sizer.h>
#include <wx/stattext.h>

#include "appversion.h"
#include "dlgmgr.h"
#include "startup.h"

wxString GetVersionText() { return APP_VERSION_TEXT; }

AboutDlg::AboutDlg(wxWindow* parent) : wxDialog(parent, wxID_ANY, kProductTitle) {
  auto* sizer = new wxBoxSizer(wxVERTICAL);
  sizer->Add(new wxStaticText(this, wxID_ANY, GetTitle() + " " + GetVersionText()), 0, wxALL, 10);
  sizer->Add(new wxStaticText(this, wxID_ANY, "Made by the Pastiq developers."), 0,
             wxALL, 10);
  sizer->Add(CreateStdDialogButtonSizer(wxOK), 0, wxALIGN_CENTER_HORIZONTAL | wxALL, 5);
  SetSizerAndFit(sizer);
}

void ShowAboutDialog(wxWindow* parent) {
  AboutDlg dialog(parent);
  DlgMgr::ShowModal(&dialog);
}
