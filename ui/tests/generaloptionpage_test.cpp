// The General page of the options dialog: what it shows, what it refuses
// and where the focus goes then, what it writes and in which order, and the
// switches that enable the shortcut controls.
#include "generaloptionpage.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <wx/bookctrl.h>
#include <wx/checkbox.h>
#include <wx/textctrl.h>

#include "dialog_test_util.h"
#include "optionpage_test_util.h"
#include "options.h"

namespace fs = std::filesystem;

namespace {

const int kPageOptions[] = {OPT_POPUP_SHORTCUT,     OPT_POPUP_SHORTCUT_WIN, OPT_POPUP_SHORTCUT_CTRL,
                            OPT_POPUP_SHORTCUT_ALT, OPT_SHORTCUT_KEY,       OPT_FLOATING_KEYS_WIN,
                            OPT_FLOATING_KEYS_CTRL, OPT_FLOATING_KEYS_ALT,  OPT_FLOATING_KEYS,
                            OPT_CHECK_VERSION,      OPT_AUTO_START,         OPT_ALLOW_DUPLICATES};


using GeneralPage = OptionPageTest;
using GeneralPageWithoutOptions = OptionPageTestWithoutOptions;


// The controls the focus may end on, by name.
std::vector<std::pair<wxWindow*, const char*>> Controls(const GeneralOptionPage& p) {
  return {{p.GetShortcutKey(), "key"},
          {p.GetPopupEnable(), "popup list"},
          {p.GetPopupCtrl(), "popup ctrl"},
          {p.GetFloatingEnable(), "floating list"},
          {p.GetFloatingCtrl(), "floating ctrl"}};
}

TEST_F(GeneralPage, ShowsTheDefaults) {
  OptionDlg dialog(nullptr);
  const GeneralOptionPage& page = PageOf<GeneralOptionPage>(dialog);
  EXPECT_TRUE(page.GetPopupEnable()->GetValue());
  EXPECT_TRUE(page.GetFloatingEnable()->GetValue());
  EXPECT_TRUE(page.GetPopupWin()->GetValue());
  EXPECT_FALSE(page.GetPopupCtrl()->GetValue());
  EXPECT_FALSE(page.GetPopupAlt()->GetValue());
  EXPECT_TRUE(page.GetFloatingWin()->GetValue());
  EXPECT_FALSE(page.GetFloatingCtrl()->GetValue());
  EXPECT_FALSE(page.GetFloatingAlt()->GetValue());
  EXPECT_EQ(page.GetShortcutKey()->GetValue(), "V");
  EXPECT_FALSE(page.GetVersionCheck()->GetValue());
  EXPECT_TRUE(page.GetAutoStart()->GetValue());
  EXPECT_FALSE(page.GetAllowDuplicates()->GetValue());
  EXPECT_EQ(page.GetPopupEnable()->GetLabel(), "Popup list");
  EXPECT_EQ(page.GetFloatingAlt()->GetLabel(), "Alt + Up/Down/Left/Right/Enter");
  EXPECT_EQ(page.GetAutoStart()->GetLabel(), "Start Pastiq when computer starts up");
}

TEST_F(GeneralPage, AKeyThatIsNoCharacterOfItsOwnShowsAnEmptyField) {
  for (const char* stored : {"", "\xE9", " "}) {
    SCOPED_TRACE(stored);
    settings.options().map[OPT_SHORTCUT_KEY].text = stored;
    OptionDlg dialog(nullptr);
    EXPECT_EQ(PageOf<GeneralOptionPage>(dialog).GetShortcutKey()->GetValue(), "");
  }
}

TEST_F(GeneralPage, RefusesWhatNoShortcutCanBeWithItsMessageAndFocus) {
  const wxString single = "Shorcut key should be a single character!";
  const wxString plain = "Shortcut key should be a letter, a digit or a sign typed without Shift!";
  const wxString popup = "One of \"Win\" or \"Ctrl\" or \"Alt\" must be checked for popup list shortcut key!";
  const wxString floating = "One \"Win\" or \"Ctrl\" or \"Alt\" must be checked for floating list shortcut key!";
  struct Case {
    const wchar_t* key;
    bool popupOn;
    bool popupMods;  // false: Win, Ctrl and Alt all unchecked
    bool floatingOn;
    bool floatingMods;
    wxString message;
    const char* focus;
  } cases[] = {
      {L"", true, true, true, true, single, "key"},
      {L"ab", true, true, true, true, single, "key"},
      // Disabled by its switch, the key is still checked; the switch, which
      // can take the focus, gets it.
      {L"", false, true, true, true, single, "popup list"},
      {L"\u00e9", true, true, true, true, plain, "key"},  // does not fit the option's byte
      {L"\u20ac", true, true, true, true, plain, "key"},
      {L" ", true, true, true, true, plain, "key"},  // the stored form skips blanks
      {L"!", true, true, true, true, plain, "key"},  // the hooks never match a shifted key
      {L"v", true, false, true, true, popup, "popup ctrl"},
      {L"v", false, false, true, true, popup, "popup list"},
      {L"v", true, true, true, false, floating, "floating ctrl"},
      {L"v", true, true, false, false, floating, "floating list"},
      {L"ab", true, false, true, false, single, "key"},  // the key first
      {L"v", true, false, true, false, popup, "popup ctrl"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(wxString(c.key).utf8_string() + (c.popupOn ? " popup" : "") + (c.popupMods ? " mods" : "") +
                 (c.floatingOn ? " floating" : "") + (c.floatingMods ? " mods" : ""));
    OptionDlg dialog(nullptr);
    GeneralOptionPage& page = PageOf<GeneralOptionPage>(dialog);
    const OkPress press = PressOKOnce(
        dialog,
        [&] {
          page.GetShortcutKey()->SetValue(c.key);
          page.GetPopupEnable()->SetValue(c.popupOn);
          page.GetPopupWin()->SetValue(c.popupMods);
          page.GetFloatingEnable()->SetValue(c.floatingOn);
          page.GetFloatingWin()->SetValue(c.floatingMods);
          page.UpdateWindowUI(wxUPDATE_UI_RECURSE);
        },
        Controls(page));
    ExpectRefused(press, c.message, c.focus);
    EXPECT_EQ(OptionValue<char>(OPT_SHORTCUT_KEY, 0), 'V') << "nothing written";
    EXPECT_TRUE(OptionValue<bool>(OPT_POPUP_SHORTCUT_WIN, false));
  }
}

TEST_F(GeneralPage, StoresTheKeyInUpperCase) {
  const struct {
    const wchar_t* typed;
    char stored;
  } cases[] = {{L"v", 'V'}, {L"V", 'V'}, {L"q", 'Q'}, {L"5", '5'}, {L";", ';'}};
  for (const auto& c : cases) {
    OptionDlg dialog(nullptr);
    GeneralOptionPage& page = PageOf<GeneralOptionPage>(dialog);
    ExpectAccepted(PressOKOnce(dialog, [&] { page.GetShortcutKey()->SetValue(c.typed); }, Controls(page)));
    EXPECT_EQ(OptionValue<char>(OPT_SHORTCUT_KEY, 0), c.stored) << wxString(c.typed);
  }
}

TEST_F(GeneralPage, OKWithoutChangesWritesTheSameValuesBack) {
  OptionWatcher watcher(settings.options(), kPageOptions);
  std::vector<bool> before;
  for (int id : kPageOptions) before.push_back(OptionValue<bool>(id, false));
  OptionDlg dialog(nullptr);
  ExpectAccepted(PressOKOnce(dialog, [] {}, {}));
  // Only the duplicates switch, which had no value, was new.
  EXPECT_EQ(watcher.changed, std::vector<int>{OPT_ALLOW_DUPLICATES});
  EXPECT_TRUE(settings.options().Found(OPT_ALLOW_DUPLICATES));
  EXPECT_FALSE(OptionValue<bool>(OPT_ALLOW_DUPLICATES, true));
  EXPECT_EQ(OptionValue<char>(OPT_SHORTCUT_KEY, 0), 'V');
}

TEST_F(GeneralPageWithoutOptions, WritesExactlyItsOptionsInItsOrder) {
  OptionWatcher watcher(settings.options(), kPageOptions);
  OptionDlg dialog(nullptr);
  GeneralOptionPage& page = PageOf<GeneralOptionPage>(dialog);
  EXPECT_EQ(page.GetShortcutKey()->GetValue(), "") << "a missing key";
  EXPECT_FALSE(page.GetPopupEnable()->GetValue());
  EXPECT_FALSE(page.GetAutoStart()->GetValue());
  // The other pages write their own options: only this one's are watched.
  ExpectAccepted(PressOKOnce(
      dialog,
      [&] {
        page.GetShortcutKey()->SetValue("x");
        page.GetPopupCtrl()->SetValue(true);
        page.GetFloatingAlt()->SetValue(true);
        page.GetAllowDuplicates()->SetValue(true);
      },
      {}));
  const std::vector<int> order(std::begin(kPageOptions), std::end(kPageOptions));
  EXPECT_EQ(watcher.changed, order) << "each option once, in the page's order";
  EXPECT_EQ(OptionValue<char>(OPT_SHORTCUT_KEY, 0), 'X');
  EXPECT_TRUE(OptionValue<bool>(OPT_POPUP_SHORTCUT_CTRL, false));
  EXPECT_FALSE(OptionValue<bool>(OPT_POPUP_SHORTCUT_WIN, true));
  EXPECT_TRUE(OptionValue<bool>(OPT_FLOATING_KEYS_ALT, false));
  EXPECT_TRUE(OptionValue<bool>(OPT_ALLOW_DUPLICATES, false));
  EXPECT_FALSE(OptionValue<bool>(OPT_AUTO_START, true));
}

TEST_F(GeneralPage, TheSwitchesEnableTheirShortcutControls) {
  OptionDlg dialog(nullptr);
  GeneralOptionPage& page = PageOf<GeneralOptionPage>(dialog);
  const std::vector<wxWindow*> popup = {page.GetPopupWin(), page.GetPopupCtrl(), page.GetPopupAlt(),
                                        page.GetShortcutKey()};
  const std::vector<wxWindow*> floating = {page.GetFloatingWin(), page.GetFloatingCtrl(), page.GetFloatingAlt()};
  const struct {
    bool popupOn, floatingOn;
  } cases[] = {{true, true}, {false, true}, {true, false}, {false, false}};
  for (const auto& c : cases) {
    page.GetPopupEnable()->SetValue(c.popupOn);
    page.GetFloatingEnable()->SetValue(c.floatingOn);
    page.UpdateWindowUI(wxUPDATE_UI_RECURSE);
    for (wxWindow* w : popup) EXPECT_EQ(w->IsEnabled(), c.popupOn) << w->GetLabel();
    for (wxWindow* w : floating) EXPECT_EQ(w->IsEnabled(), c.floatingOn) << w->GetLabel();
    EXPECT_TRUE(page.GetPopupEnable()->IsEnabled());
    EXPECT_TRUE(page.GetFloatingEnable()->IsEnabled());
  }
}

TEST_F(GeneralPage, ApplyingWritesTheLoginEntry) {
  const fs::path entry = fs::path(std::getenv("XDG_CONFIG_HOME")) / "autostart" / "Pastiq.desktop";
  for (bool on : {true, false}) {
    fs::remove(entry);
    OptionDlg dialog(nullptr);
    GeneralOptionPage& page = PageOf<GeneralOptionPage>(dialog);
    ExpectAccepted(PressOKOnce(dialog, [&] { page.GetAutoStart()->SetValue(on); }, {}));
    EXPECT_EQ(OptionValue<bool>(OPT_AUTO_START, !on), on);
    // The entry starts the program whatever the switch says; the switch
    // decides whether a start from it goes on.
    ASSERT_TRUE(fs::exists(entry)) << on;
    std::stringstream text;
    text << std::ifstream(entry).rdbuf();
    EXPECT_NE(text.str().find(" -startup"), std::string::npos) << text.str();
  }
}

}  // namespace
