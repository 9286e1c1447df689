#pragma once
// The options dialog: one tab per registered option page (optionpage.h), in
// the order of their types. OK checks every page before any writes, so a
// refusal on any page leaves every setting as it was; Cancel writes nothing.
#include <cstddef>

#include <wx/propdlg.h>

class OptionPage;
class wxBookCtrlEvent;
class wxCommandEvent;

class OptionDlg : public wxPropertySheetDialog {
 public:
  // Builds a fresh page of every registered type; the pages read their
  // values from the options and the settings record now.
  explicit OptionDlg(wxWindow* parent);

  // The page of tab i, or null when that tab is no option page.
  OptionPage* GetPage(std::size_t i) const;

 private:
  void OnOK(wxCommandEvent& event);
  void OnPageChanging(wxBookCtrlEvent& event);
  void OnPageChanged(wxBookCtrlEvent& event);

  wxDECLARE_EVENT_TABLE();
};

// The Options command: the dialog over parent through DlgMgr, destroyed when
// it closes.
void ShowOptionsDialog(wxWindow* parent);
