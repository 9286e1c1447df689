#pragma once
// Asks for a host name and a TCP port: for the automatic-sending hosts of
// the network options and for sending a record or list to another computer.
// It changes nothing itself; after OK the caller reads the address.
#include <wx/dialog.h>

#include "appconfig.h"

class wxCommandEvent;
class wxTextCtrl;

class HostnameDlg : public wxDialog {
 public:
  // The port a new address opens with (the receiver port's default).
  static constexpr int kDefaultPort = 45689;

  // A new address: an empty host and kDefaultPort.
  HostnameDlg(wxWindow* parent, const wxString& host, int port);

  // The host exactly as typed (not trimmed).
  wxString GetHostname() const;
  // The port, or -1 when the text is no port; after OK always 0 to 65535.
  int GetPort() const;
  NetworkAddress GetAddress() const { return NetworkAddress(GetHostname(), GetPort()); }

  wxTextCtrl* GetHostText() const { return hostText; }
  wxTextCtrl* GetPortText() const { return portText; }

 private:
  void OnOK(wxCommandEvent& event);

  wxTextCtrl* hostText = nullptr;
  wxTextCtrl* portText = nullptr;

  wxDECLARE_EVENT_TABLE();
};
