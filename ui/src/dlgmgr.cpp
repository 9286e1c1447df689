#include "dlgmgr.h"

#include <wx/dialog.h>
#include <wx/toplevel.h>

#include "appnotify.h"

DlgMgr& DlgMgr::Get() {
  static DlgMgr instance;
  return instance;
}

DlgMgr::DlgMgr() { Bind(EVT_APP_NOTIFY, &DlgMgr::OnDialogShown, this, ID_NOTIFY_DIALOG_SHOWN); }

bool DlgMgr::ShowModal(wxDialog* dialog, int* result) {
  DlgMgr& self = Get();
  if (self.currentDialog) {
    self.currentDialog->Raise();
    return false;
  }
  // Cleared however the modal loop ends, an exception included.
  struct Reset {
    wxDialog*& current;
    ~Reset() { current = nullptr; }
  } reset{self.currentDialog};
  self.currentDialog = dialog;
  // Handled once the dialog's own modal loop runs: only then does the
  // stay-on-top style take, on a window that is really shown.
  PostNotifyEvent(&self, ID_NOTIFY_DIALOG_SHOWN);
  const int code = dialog->ShowModal();
  if (result) *result = code;
  return true;
}

void DlgMgr::OnDialogShown(wxCommandEvent&) {
  if (currentDialog) currentDialog->SetWindowStyleFlag(currentDialog->GetWindowStyleFlag() | wxSTAY_ON_TOP);
}

void DlgMgr::EndAllModal() {
  if (wxDialog* current = CurrentDialog(); current && current->IsModal()) current->EndModal(wxID_CANCEL);
  for (wxWindow* window : wxTopLevelWindows) {
    auto* dialog = wxDynamicCast(window, wxDialog);
    if (dialog && dialog->IsModal()) dialog->EndModal(wxID_CANCEL);
  }
}
