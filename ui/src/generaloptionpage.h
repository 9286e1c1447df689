#pragma once
// The "General" tab of the options dialog: the popup list's shortcut, the
// floating list's keys, the version check, starting at login and whether a
// repeated clip of the same application is recorded again. A changed
// shortcut takes effect when the page applies: the clipboard manager follows
// the options and hands the keys to the hook library at once.
#include <wx/string.h>

#include "optionpage.h"

class wxCheckBox;
class wxTextCtrl;
class wxUpdateUIEvent;

class GeneralOptionPage : public PanelOptionPageBase {
 public:
  // Window ids of the shortcut controls.
  enum {
    ID_POPUP_ENABLE = 8999,
    ID_FLOATING_ENABLE,
    ID_POPUP_CTRL,
    ID_POPUP_ALT,
    ID_POPUP_WIN,
    ID_SHORTCUT_KEY,
    ID_FLOATING_CTRL,
    ID_FLOATING_ALT,
    ID_FLOATING_WIN,
  };

  GeneralOptionPage() = default;
  ~GeneralOptionPage() override = default;

  // Builds the controls and sets them from the options; always true.
  bool CreateControls();

  bool ApplyPage() override;
  bool ValidatePage() override;

  wxCheckBox* GetPopupEnable() const { return popupEnable; }
  wxCheckBox* GetFloatingEnable() const { return floatingEnable; }
  wxCheckBox* GetPopupCtrl() const { return popupCtrl; }
  wxCheckBox* GetPopupAlt() const { return popupAlt; }
  wxCheckBox* GetPopupWin() const { return popupWin; }
  wxTextCtrl* GetShortcutKey() const { return shortcutKey; }
  wxCheckBox* GetFloatingCtrl() const { return floatingCtrl; }
  wxCheckBox* GetFloatingAlt() const { return floatingAlt; }
  wxCheckBox* GetFloatingWin() const { return floatingWin; }
  wxCheckBox* GetVersionCheck() const { return versionCheck; }
  wxCheckBox* GetAutoStart() const { return autoStart; }
  wxCheckBox* GetAllowDuplicates() const { return allowDuplicates; }

 private:
  void OnUpdatePopupControls(wxUpdateUIEvent& event);
  void OnUpdateFloatingControls(wxUpdateUIEvent& event);
  // Tells the user of a new shortcut that another program holds.
  void ReportUnavailableShortcuts();

  wxCheckBox* popupEnable = nullptr;
  wxCheckBox* floatingEnable = nullptr;
  wxCheckBox* popupCtrl = nullptr;
  wxCheckBox* popupAlt = nullptr;
  wxCheckBox* popupWin = nullptr;
  wxTextCtrl* shortcutKey = nullptr;
  wxCheckBox* floatingCtrl = nullptr;
  wxCheckBox* floatingAlt = nullptr;
  wxCheckBox* floatingWin = nullptr;
  wxCheckBox* versionCheck = nullptr;
  wxCheckBox* autoStart = nullptr;
  wxString shortcutText;  // what the key control's validator exchanges with it
  wxCheckBox* allowDuplicates = nullptr;

  wxDECLARE_EVENT_TABLE();
};
