#include "generaloptionpage.h"

#include <cwctype>
#include <string>
#include <vector>

#include <wx/checkbox.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/textctrl.h>
#include <wx/toplevel.h>
#include <wx/valtext.h>

#include "appconfig.h"
#include "desktop.h"
#include "inputcheck.h"
#include "msgbox.h"
#include "options.h"
#include "platform/input.h"

namespace {

const OptionPageTypeImpl<GeneralOptionPage> g_generalPageType(0, "General");

// The control a refusal focuses: the offending one, or, while its switch
// leaves it disabled (a disabled control takes no focus), the switch.
wxWindow* Reachable(wxWindow* control, wxCheckBox* enabler) { return enabler->GetValue() ? control : enabler; }

// The key character stored for a one-character shortcut text, upper-cased;
// 0 when the hook library could not use it: the option holds one byte, its
// stored form skips blanks, and the hooks never match a key that needs
// Shift (the clipboard manager looks the key up in lower case).
char ShortcutKeyChar(const wxString& text) {
  if (text.length() != 1) return 0;
  const wxUniChar c = text[0];
  if (!c.IsAscii() || c.GetValue() <= ' ' || c.GetValue() == 0x7F) return 0;
  const SHORT key = VkKeyScanW(static_cast<WCHAR>(std::towlower(static_cast<wint_t>(c.GetValue()))));
  if (key == -1 || (key & 0xFF00) != 0) return 0;
  return static_cast<char>(std::towupper(static_cast<wint_t>(c.GetValue())));
}

// Checks the shortcut key control, whether it is enabled or not.
class ShortcutKeyValidator : public wxTextValidator {
 public:
  // `enabler` is the switch that enables the control.
  ShortcutKeyValidator(wxString* text, wxCheckBox* enabler) : wxTextValidator(wxFILTER_NONE, text), enabler(enabler) {}
  ShortcutKeyValidator(const ShortcutKeyValidator& other) = default;

  wxObject* Clone() const override { return new ShortcutKeyValidator(*this); }

  bool Validate(wxWindow* parent) override {
    if (!wxTextValidator::Validate(parent)) return false;
    auto* control = wxDynamicCast(GetWindow(), wxTextCtrl);
    if (!control) return false;
    const wxString text = control->GetValue();
    wxWindow* focus = Reachable(control, enabler);
    return PassChecks({
        {[&] { return text.length() != 1; }, "Shorcut key should be a single character!", focus},
        {[&] { return ShortcutKeyChar(text) == 0; },
         "Shortcut key should be a letter, a digit or a sign typed without Shift!", focus},
    });
  }

 private:
  wxCheckBox* enabler;
};

// The options the shortcuts are made of, as the clipboard manager reads them.
struct ShortcutOptions {
  bool flags[8];
  char key;

  static ShortcutOptions Read() {
    static const int ids[] = {OPT_POPUP_SHORTCUT, OPT_POPUP_SHORTCUT_CTRL, OPT_POPUP_SHORTCUT_ALT,
                              OPT_POPUP_SHORTCUT_WIN, OPT_FLOATING_KEYS, OPT_FLOATING_KEYS_CTRL,
                              OPT_FLOATING_KEYS_ALT, OPT_FLOATING_KEYS_WIN};
    ShortcutOptions o{};
    for (int i = 0; i < 8; ++i) o.flags[i] = OptionValue<bool>(ids[i], false);
    o.key = OptionValue<char>(OPT_SHORTCUT_KEY, 0);
    return o;
  }
  bool operator==(const ShortcutOptions& other) const {
    for (int i = 0; i < 8; ++i)
      if (flags[i] != other.flags[i]) return false;
    return key == other.key;
  }
};

}  // namespace

wxBEGIN_EVENT_TABLE(GeneralOptionPage, PanelOptionPageBase)
  EVT_UPDATE_UI_RANGE(GeneralOptionPage::ID_POPUP_CTRL, GeneralOptionPage::ID_SHORTCUT_KEY,
                      GeneralOptionPage::OnUpdatePopupControls)
  EVT_UPDATE_UI_RANGE(GeneralOptionPage::ID_FLOATING_CTRL, GeneralOptionPage::ID_FLOATING_WIN,
                      GeneralOptionPage::OnUpdateFloatingControls)
wxEND_EVENT_TABLE()

bool GeneralOptionPage::CreateControls() {
  auto* keys = new wxStaticBoxSizer(wxVERTICAL, this, "Shortcut keys");
  wxStaticBox* box = keys->GetStaticBox();
  // The key control sits in the box: the page's validation reaches it only
  // through the box.
  box->SetExtraStyle(box->GetExtraStyle() | wxWS_EX_VALIDATE_RECURSIVELY);

  popupEnable = new wxCheckBox(box, ID_POPUP_ENABLE, "Popup list");
  popupWin = new wxCheckBox(box, ID_POPUP_WIN, "Win +");
  popupCtrl = new wxCheckBox(box, ID_POPUP_CTRL, "Ctrl +");
  popupAlt = new wxCheckBox(box, ID_POPUP_ALT, "Alt +");
  shortcutKey = new wxTextCtrl(box, ID_SHORTCUT_KEY, wxEmptyString);
  // Room for the one character and a little more.
  shortcutKey->SetInitialSize(shortcutKey->GetSizeFromTextSize(shortcutKey->GetTextExtent("WWW")));
  floatingEnable = new wxCheckBox(box, ID_FLOATING_ENABLE, "Floating list");
  floatingWin = new wxCheckBox(box, ID_FLOATING_WIN, "Win +");
  floatingCtrl = new wxCheckBox(box, ID_FLOATING_CTRL, "Ctrl +");
  floatingAlt = new wxCheckBox(box, ID_FLOATING_ALT, "Alt + Up/Down/Left/Right/Enter");

  auto* popupRow = new wxBoxSizer(wxHORIZONTAL);
  popupRow->Add(15, 15, 0, wxALL, 5);  // the indent under "Popup list"
  for (wxWindow* w : {static_cast<wxWindow*>(popupWin), static_cast<wxWindow*>(popupCtrl),
                      static_cast<wxWindow*>(popupAlt), static_cast<wxWindow*>(shortcutKey)})
    popupRow->Add(w, 0, wxALIGN_CENTER_VERTICAL | wxALL, 5);
  auto* floatingRow = new wxBoxSizer(wxHORIZONTAL);
  floatingRow->Add(15, 15, 0, wxALL, 5);
  for (wxWindow* w : {floatingWin, floatingCtrl, floatingAlt}) floatingRow->Add(w, 0, wxALIGN_CENTER_VERTICAL | wxALL, 5);
  keys->Add(popupEnable, 0, wxALL, 5);
  keys->Add(popupRow, 0, wxALL, 5);
  keys->Add(floatingEnable, 0, wxALL, 5);
  keys->Add(floatingRow, 0, wxALL, 5);

  versionCheck = new wxCheckBox(this, wxID_ANY, "Automatically check for new version");
  autoStart = new wxCheckBox(this, wxID_ANY, "Start Pastiq when computer starts up");
  allowDuplicates = new wxCheckBox(this, wxID_ANY, "Allow duplicated clipboard items from the same application");

  auto* page = new wxBoxSizer(wxVERTICAL);
  page->Add(keys, 0, wxEXPAND | wxALL, 5);
  page->Add(versionCheck, 0, wxALL, 5);
  page->Add(autoStart, 0, wxALL, 5);
  page->Add(allowDuplicates, 0, wxALL, 5);
  SetSizer(page);

  // A key that is missing, or not a character of its own, shows an empty
  // field (never a NUL or half a character).
  const char key = OptionValue<char>(OPT_SHORTCUT_KEY, '\0');
  const auto byte = static_cast<unsigned char>(key);
  shortcutText = byte > ' ' && byte < 0x80 ? wxString(wxUniChar(byte)) : wxString();
  shortcutKey->SetValidator(ShortcutKeyValidator(&shortcutText, popupEnable));

  const struct {
    wxCheckBox* box;
    int option;
  } switches[] = {
      {popupEnable, OPT_POPUP_SHORTCUT},      {popupWin, OPT_POPUP_SHORTCUT_WIN},
      {popupCtrl, OPT_POPUP_SHORTCUT_CTRL},   {popupAlt, OPT_POPUP_SHORTCUT_ALT},
      {floatingEnable, OPT_FLOATING_KEYS},    {floatingWin, OPT_FLOATING_KEYS_WIN},
      {floatingCtrl, OPT_FLOATING_KEYS_CTRL}, {floatingAlt, OPT_FLOATING_KEYS_ALT},
      {versionCheck, OPT_CHECK_VERSION},      {autoStart, OPT_AUTO_START},
      {allowDuplicates, OPT_ALLOW_DUPLICATES},
  };
  for (const auto& s : switches) s.box->SetValue(OptionValue<bool>(s.option, false));
  TransferDataToWindow();
  return true;
}

bool GeneralOptionPage::ValidatePage() {
  if (!Validate() || !TransferDataFromWindow()) return false;
  return PassChecks({
      {[&] { return !popupWin->GetValue() && !popupCtrl->GetValue() && !popupAlt->GetValue(); },
       "One of \"Win\" or \"Ctrl\" or \"Alt\" must be checked for popup list shortcut key!",
       Reachable(popupCtrl, popupEnable)},
      {[&] { return !floatingWin->GetValue() && !floatingCtrl->GetValue() && !floatingAlt->GetValue(); },
       "One \"Win\" or \"Ctrl\" or \"Alt\" must be checked for floating list shortcut key!",
       Reachable(floatingCtrl, floatingEnable)},
  });
}

bool GeneralOptionPage::ApplyPage() {
  if (!ValidatePage()) return false;
  const char checkedKey = ShortcutKeyChar(shortcutText);
  const char key = checkedKey ? checkedKey : 'V';
  const ShortcutOptions before = ShortcutOptions::Read();

  // Each write tells the option's observers; the clipboard manager hands
  // the keys to the hook library on every change of a shortcut option.
  SetOption(OPT_POPUP_SHORTCUT, popupEnable->GetValue());
  SetOption(OPT_POPUP_SHORTCUT_WIN, popupWin->GetValue());
  SetOption(OPT_POPUP_SHORTCUT_CTRL, popupCtrl->GetValue());
  SetOption(OPT_POPUP_SHORTCUT_ALT, popupAlt->GetValue());
  SetOption(OPT_SHORTCUT_KEY, key);
  SetOption(OPT_FLOATING_KEYS_WIN, floatingWin->GetValue());
  SetOption(OPT_FLOATING_KEYS_CTRL, floatingCtrl->GetValue());
  SetOption(OPT_FLOATING_KEYS_ALT, floatingAlt->GetValue());
  SetOption(OPT_FLOATING_KEYS, floatingEnable->GetValue());
  SetOption(OPT_CHECK_VERSION, versionCheck->GetValue());
  SetOption(OPT_AUTO_START, autoStart->GetValue());
  SetOption(OPT_ALLOW_DUPLICATES, allowDuplicates->GetValue());

  // The login entry points at this program whatever the switch says; the
  // switch decides whether a start from it goes on.
  AppConfig::UpdateAutoStart();
  if (!(ShortcutOptions::Read() == before)) ReportUnavailableShortcuts();
  return true;
}

void GeneralOptionPage::ReportUnavailableShortcuts() {
  const std::vector<std::string> taken = UnavailableShortcuts();
  if (taken.empty()) return;
  wxString names;
  for (const std::string& name : taken) {
    if (!names.empty()) names += ", ";
    names += wxString::FromUTF8(name.c_str());
  }
  const wxString text = taken.size() == 1
                            ? "Another program already uses the shortcut " + names +
                                  ", so it does not reach Pastiq. Please choose another one."
                            : "Another program already uses the shortcuts " + names +
                                  ", so they do not reach Pastiq. Please choose other ones.";
  ShowMessageBox(text, "Pastiq", wxOK | wxICON_WARNING, wxGetTopLevelParent(this));
}

void GeneralOptionPage::OnUpdatePopupControls(wxUpdateUIEvent& event) { event.Enable(popupEnable->GetValue()); }

void GeneralOptionPage::OnUpdateFloatingControls(wxUpdateUIEvent& event) {
  event.Enable(floatingEnable->GetValue());
}
