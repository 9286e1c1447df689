// The options dialog and its page registry: the tabs in their types' order,
// OK that checks every page before any writes, the tab that a refusing page
// keeps, and the page types that make no page.
#include "optiondlg.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <wx/bookctrl.h>
#include <wx/checkbox.h>
#include <wx/textctrl.h>

#include "dialog_test_util.h"
#include "generaloptionpage.h"
#include "inputcheck.h"
#include "optionpage.h"
#include "optionpage_test_util.h"
#include "options.h"

namespace {

// A page of the test's own: it refuses while told to, and its apply writes
// one option.
bool g_refuse = false;
bool g_makesNoPage = false;
class TestPage : public PanelOptionPageBase {
 public:
  bool CreateControls() {
    field = new wxTextCtrl(this, wxID_ANY, "test");
    return !g_makesNoPage;
  }
  bool ValidatePage() override { return !g_refuse || RefuseInput(field, "The test page refuses!"); }
  bool ApplyPage() override {
    if (!ValidatePage()) return false;
    SetOption(OPT_MULTIPASTE_INSERT, true);
    return true;
  }
  wxTextCtrl* field = nullptr;
};

struct OptionDialog : OptionPageTest {
  ~OptionDialog() override {
    g_refuse = false;
    g_makesNoPage = false;
  }
  std::map<int, std::string> Options() {
    std::map<int, std::string> texts;
    for (const auto& [id, value] : settings.options().map) texts[id] = value.text;
    return texts;
  }
};

std::vector<wxString> Tabs(const OptionDlg& dialog) {
  std::vector<wxString> titles;
  for (std::size_t i = 0; i < dialog.GetBookCtrl()->GetPageCount(); ++i)
    titles.push_back(dialog.GetBookCtrl()->GetPageText(i));
  return titles;
}

// The tab shown, as GTK's notebook has it.
int ShownTab(wxBookCtrlBase* book) {
  using GetPage = int (*)(void*);
  auto get = reinterpret_cast<GetPage>(dlsym(RTLD_DEFAULT, "gtk_notebook_get_current_page"));
  return get ? get(book->GetHandle()) : -1;
}

// Runs the loop until done() or a few seconds have passed.
bool PumpUntil(const std::function<bool()>& done) {
  const wxLongLong until = wxGetLocalTimeMillis() + 5000;
  while (!done()) {
    if (wxGetLocalTimeMillis() > until) return false;
    DispatchPending();
    wxMilliSleep(5);
  }
  return true;
}

// A click on the tab, with the pointer (xdotool); true once the click
// reached the notebook, which then tells its page-changing handlers.
bool ClickTab(wxBookCtrlBase* book, int tab, const std::function<bool()>& reached) {
  wxPoint at(-1, -1);
  for (int y = 0; y < 60 && at.x < 0; y += 2)
    for (int x = 0; x < book->GetClientSize().x && at.x < 0; x += 2)
      if (book->HitTest(wxPoint(x, y)) == tab) at = wxPoint(x + 2, y + 2);
  if (at.x < 0) return false;
  const wxPoint screen = book->ClientToScreen(at);
  const std::string click = "/usr/bin/xdotool mousemove --sync " + std::to_string(screen.x) + " " +
                            std::to_string(screen.y) + " click 1";
  return std::system(click.c_str()) == 0 && PumpUntil(reached);
}

// The tab after, as its key (Ctrl+Page Down) switches to it.
void KeyToNextTab(wxBookCtrlBase* book) {
  using Emit = void (*)(void*, const char*, ...);
  auto emit = reinterpret_cast<Emit>(dlsym(RTLD_DEFAULT, "g_signal_emit_by_name"));
  int handled = 0;
  emit(book->GetHandle(), "change-current-page", 1, &handled);
  DispatchPending();
}

const std::vector<wxString> kTabs = {"General", "Network", "Formats"};

// The tab of the test's own page (registered after the program's pages of
// its order), and that page.
int TestTab(const OptionDlg& dialog) {
  for (std::size_t i = 0; i < dialog.GetBookCtrl()->GetPageCount(); ++i)
    if (dynamic_cast<TestPage*>(dialog.GetPage(i))) return static_cast<int>(i);
  return -1;
}
TestPage* TestPageOf(const OptionDlg& dialog) {
  const int tab = TestTab(dialog);
  return tab < 0 ? nullptr : dynamic_cast<TestPage*>(dialog.GetPage(tab));
}

GeneralOptionPage* General(const OptionDlg& dialog) { return &PageOf<GeneralOptionPage>(dialog); }

TEST_F(OptionDialog, ShowsItsTabsInTheOrderOfTheirTypesWhateverTheyRegisteredIn) {
  auto& registry = OptionPageType::GetRegistry();
  const std::vector<OptionPageType*> registered = registry;
  std::vector<OptionPageType*> order = registered;
  std::sort(order.begin(), order.end());
  do {
    registry = order;
    OptionDlg dialog(nullptr);
    EXPECT_EQ(Tabs(dialog), kTabs);
  } while (std::next_permutation(order.begin(), order.end()));
  registry = registered;

  OptionDlg dialog(nullptr);
  EXPECT_EQ(dialog.GetTitle(), "Options");
  EXPECT_EQ(dialog.GetBookCtrl()->GetSelection(), 0) << "the first tab is shown";
  EXPECT_NE(dialog.FindWindow(wxID_OK), nullptr);
  EXPECT_NE(dialog.FindWindow(wxID_CANCEL), nullptr);
  for (std::size_t i = 0; i < kTabs.size(); ++i) EXPECT_NE(dialog.GetPage(i), nullptr);
}

TEST_F(OptionDialog, TypesOfEqualOrderKeepTheOrderTheyRegisteredIn) {
  const OptionPageTypeImpl<TestPage> first(0, "First");
  const OptionPageTypeImpl<TestPage> second(0, "Second");
  OptionDlg dialog(nullptr);
  const std::vector<wxString> tabs = Tabs(dialog);
  const auto at = std::find(tabs.begin(), tabs.end(), "First");
  ASSERT_NE(at, tabs.end());
  ASSERT_NE(at + 1, tabs.end());
  EXPECT_EQ(*(at + 1), "Second");
}

TEST_F(OptionDialog, ATypeThatMakesNoPageHasNoTabAndOKStillApplies) {
  g_makesNoPage = true;
  const OptionPageTypeImpl<TestPage> broken(1, "Broken");
  OptionDlg dialog(nullptr);
  EXPECT_EQ(Tabs(dialog), kTabs);
  ExpectAccepted(PressOKOnce(dialog, [] {}, {}));
  EXPECT_FALSE(OptionValue<bool>(OPT_MULTIPASTE_INSERT, false)) << "no page, no apply";
}

TEST_F(OptionDialog, ARefusalOnALaterPageLeavesEveryOptionAsItWas) {
  const OptionPageTypeImpl<TestPage> test(1, "Test");
  g_refuse = true;
  const std::map<int, std::string> before = Options();
  OptionDlg dialog(nullptr);
  GeneralOptionPage* general = General(dialog);
  ASSERT_NE(general, nullptr);
  auto* page = TestPageOf(dialog);
  ASSERT_NE(page, nullptr);
  int shownAfterRefusal = -1;
  const OkPress press = PressOKOnce(
      dialog,
      [&] {
        general->GetPopupWin()->SetValue(false);
        general->GetPopupCtrl()->SetValue(true);
        general->GetShortcutKey()->SetValue("q");
      },
      {{page->field, "test field"}});
  shownAfterRefusal = dialog.GetBookCtrl()->GetSelection();
  ExpectRefused(press, "The test page refuses!", "test field");
  EXPECT_EQ(shownAfterRefusal, TestTab(dialog)) << "the refusing page is shown";
  EXPECT_EQ(Options(), before) << "nothing written, the General page's changes included";

  // Once it accepts, OK applies every page.
  g_refuse = false;
  ExpectAccepted(PressOKOnce(dialog, [] {}, {}));
  EXPECT_EQ(OptionValue<char>(OPT_SHORTCUT_KEY, 0), 'Q');
  EXPECT_FALSE(OptionValue<bool>(OPT_POPUP_SHORTCUT_WIN, true));
  EXPECT_TRUE(OptionValue<bool>(OPT_MULTIPASTE_INSERT, false));
}

TEST_F(OptionDialog, CancelWritesNothing) {
  const std::map<int, std::string> before = Options();
  OptionDlg dialog(nullptr);
  const int code = RunModal(dialog, [&] {
    General(dialog)->GetShortcutKey()->SetValue("q");
    General(dialog)->GetAllowDuplicates()->SetValue(true);
  });
  EXPECT_EQ(code, wxID_CANCEL);
  EXPECT_EQ(Options(), before);
}

TEST_F(OptionDialog, LeavingARefusingTabKeepsItWithItsMessageAndFocus) {
  const OptionPageTypeImpl<TestPage> test(1, "Test");
  for (const bool byKey : {false, true}) {
    SCOPED_TRACE(byKey ? "by its key" : "by a click");
    OptionDlg dialog(nullptr);
    wxBookCtrlBase* book = dialog.GetBookCtrl();
    auto* page = TestPageOf(dialog);
    ASSERT_NE(page, nullptr);
    const int tab = TestTab(dialog);
    ASSERT_LT(tab + 1, static_cast<int>(book->GetPageCount())) << "a tab to leave it for";
    MessageBoxRecorder messages;
    int kept = -1, shown = -1;
    wxWindow* focus = nullptr;
    RunModal(dialog, [&] {
      dialog.SetPosition(wxPoint(0, 0));
      book->SetSelection(tab);
      g_refuse = true;
      if (byKey) {
        KeyToNextTab(book);
      } else {
        ASSERT_TRUE(ClickTab(book, tab + 1, [&] { return !messages.boxes.empty(); }));
      }
      DispatchPending();
      kept = book->GetSelection();
      shown = ShownTab(book);
      focus = FocusedWindow();
    });
    g_refuse = false;
    EXPECT_EQ(kept, tab);
    EXPECT_EQ(shown, tab);
    EXPECT_EQ(focus, page->field);
    ASSERT_EQ(messages.boxes.size(), 1u);
    EXPECT_EQ(messages.boxes[0].message, "The test page refuses!");
  }
}

TEST_F(OptionDialog, AClickOnAnotherTabOfAnAcceptingPageChangesIt) {
  OptionDlg dialog(nullptr);
  MessageBoxRecorder messages;
  bool changed = false;
  RunModal(dialog, [&] {
    dialog.SetPosition(wxPoint(0, 0));
    changed = ClickTab(dialog.GetBookCtrl(), 1, [&] { return dialog.GetBookCtrl()->GetSelection() == 1; });
    DispatchPending();
    changed &= dialog.GetBookCtrl()->GetSelection() == 1;
  });
  EXPECT_TRUE(changed);
  EXPECT_TRUE(messages.boxes.empty());
}

TEST_F(OptionDialog, AnEnteredTabHasTheFocus) {
  const OptionPageTypeImpl<TestPage> test(1, "Test");
  OptionDlg dialog(nullptr);
  wxWindow* focus = nullptr;
  TestPage* page = nullptr;
  RunModal(dialog, [&] {
    page = TestPageOf(dialog);
    dialog.GetBookCtrl()->SetSelection(TestTab(dialog));
    focus = FocusedWindow();
  });
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(focus, page->field) << "the page hands the focus on to its control";
}

TEST_F(OptionDialog, OpensWithTheFocusInItsFirstTab) {
  OptionDlg dialog(nullptr);
  wxWindow* focus = nullptr;
  RunModal(dialog, [&] { focus = FocusedWindow(); });
  ASSERT_NE(focus, nullptr) << "no control has the focus";
  EXPECT_TRUE(dialog.GetBookCtrl()->GetPage(0)->IsDescendant(focus));
}

}  // namespace

