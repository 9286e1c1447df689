#pragma once
// Edits one trusted client of the network options: the host it accepts,
// the user name and the record list that receives what it sends. OK writes
// the client only when every field is filled in.
#include <wx/dialog.h>

class TrustedClient;
class wxComboBox;
class wxCommandEvent;
class wxTextCtrl;
namespace pq {
class History;
}

class TrustedClientPropertyDlg : public wxDialog {
 public:
  // The caller keeps client alive while the dialog runs; the list choices
  // are history's lists in tab order, without the search lists.
  TrustedClientPropertyDlg(wxWindow* parent, TrustedClient* client, const pq::History& history);

  wxTextCtrl* GetHostText() const { return hostText; }
  wxTextCtrl* GetUserText() const { return userText; }
  wxComboBox* GetListCombo() const { return listCombo; }

 private:
  void OnOK(wxCommandEvent& event);

  TrustedClient* client;
  wxTextCtrl* hostText = nullptr;
  wxTextCtrl* userText = nullptr;
  wxComboBox* listCombo = nullptr;

  wxDECLARE_EVENT_TABLE();
};
