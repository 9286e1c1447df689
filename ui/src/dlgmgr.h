#pragma once
// Runs the program's modal dialogs one at a time. While one is shown, a
// request for another raises the first instead, so the user never faces two
// stacked modal dialogs (the tray icon, for one, can be clicked at any time).
#include <wx/event.h>

class wxDialog;

class DlgMgr : public wxEvtHandler {
 public:
  // The one instance for the whole run.
  static DlgMgr& Get();

  // Shows dialog modally unless another dialog is shown: then that one is
  // raised and false is returned without showing dialog. When result is not
  // null it receives the dialog's return code. The caller owns the dialog.
  static bool ShowModal(wxDialog* dialog, int* result = nullptr);

  // The modal dialog being shown, or null.
  static wxDialog* CurrentDialog() { return Get().currentDialog; }

  // Ends the dialog being shown (with wxID_CANCEL) and every other modal
  // dialog of ours, so that nothing holds up the end of the main loop.
  static void EndAllModal();

 private:
  DlgMgr();
  void OnDialogShown(wxCommandEvent& event);

  wxDialog* currentDialog = nullptr;
};
