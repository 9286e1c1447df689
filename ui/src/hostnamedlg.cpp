#include "hostnamedlg.h"

#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "cmn/port.h"
#include "inputcheck.h"

wxBEGIN_EVENT_TABLE(HostnameDlg, wxDialog)
  EVT_BUTTON(wxID_OK, HostnameDlg::OnOK)
wxEND_EVENT_TABLE()

HostnameDlg::HostnameDlg(wxWindow* parent, const wxString& host, int port)
    : wxDialog(parent, wxID_ANY, "Hostname") {
  hostText = new wxTextCtrl(this, wxID_ANY, host);
  portText = new wxTextCtrl(this, wxID_ANY, wxString::Format("%d", port));
  // Room for a typical host name.
  hostText->SetInitialSize(wxSize(hostText->GetTextExtent(wxString('x', 32)).x, -1));

  auto* column = new wxBoxSizer(wxVERTICAL);
  column->Add(new wxStaticText(this, wxID_ANY, "Hostname:"), 0, wxLEFT | wxRIGHT | wxTOP, 5);
  column->Add(hostText, 0, wxEXPAND | wxALL, 5);
  column->Add(new wxStaticText(this, wxID_ANY, "Port:"), 0, wxLEFT | wxRIGHT | wxTOP, 5);
  column->Add(portText, 0, wxEXPAND | wxALL, 5);
  column->Add(CreateStdDialogButtonSizer(wxOK | wxCANCEL), 0, wxEXPAND | wxALL, 5);
  SetSizerAndFit(column);
  hostText->SetFocus();
}

wxString HostnameDlg::GetHostname() const { return hostText->GetValue(); }

int HostnameDlg::GetPort() const {
  int port = -1;
  return cmn::wx::ParsePort(portText->GetValue(), &port) ? port : -1;
}

void HostnameDlg::OnOK(wxCommandEvent&) {
  int port = 0;
  if (!PassChecks({
          {[&] { return hostText->GetValue().empty(); }, "Name can not be empty!", hostText},
          {[&] { return !cmn::wx::ParsePort(portText->GetValue(), &port); }, "The port is not valid!", portText},
      }))
    return;
  EndModal(wxID_OK);
}
