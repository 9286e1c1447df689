// Multi-paste: the joined paste, the one-by-one paste on the virtual clock
// with its separator, pause and resume, Escape and the close box as cancel,
// and paste all; the record selection dialog.
#include "multipaster.h"

#include <gtest/gtest.h>

#include <memory>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "commands_fixture.h"
#include "dialog_test_util.h"
#include "dlgmgr.h"
#include "fake_timers.h"
#include "selectrecorddlg.h"

namespace {

using commands_test::PasteRecorder;
using lists_test::Fill;
using lists_test::Lines;

class MultiPaste : public lists_test::WindowTest {
 protected:
  MultiPaste() { Fill(list, {"one", "two", "three", "four"}); }
  void SelectRows(MultiPaster& dialog, std::initializer_list<long> rows) {
    for (long row : rows) dialog.GetListWindow()->SetItemState(row, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
  }
  static wxButton* StartButton(MultiPaster& dialog) { return static_cast<wxButton*>(dialog.FindWindow(wxID_OK)); }
  // The button as the dialog's update-UI handler leaves it.
  static wxButton* UpdatedButton(MultiPaster& dialog) {
    dialog.UpdateWindowUI(wxUPDATE_UI_RECURSE);
    return StartButton(dialog);
  }
  static void SetSeparator(MultiPaster& dialog, bool insert, const wxString& separator) {
    dialog.GetInsertBox()->SetValue(insert);
    dialog.GetSeparatorText()->SetValue(separator);
  }
  // The key as the focused list window gets it; it travels up to the dialog.
  static void PressEscape(MultiPaster& dialog) {
    wxKeyEvent key(wxEVT_CHAR_HOOK);
    key.m_keyCode = WXK_ESCAPE;
    key.SetEventObject(dialog.GetListWindow());
    dialog.GetListWindow()->GetEventHandler()->ProcessEvent(key);
  }
  void OneByOne() { settings.options().Set(OPT_MULTIPASTE_AT_ONCE, false); }

  testing_timers::FakeTimers timers;  // before the dialogs make theirs
  PasteRecorder pastes;
  pq::RecordList list;
};

TEST_F(MultiPaste, ShowsTheListWithManyRowsTheSeparatorFromTheOptionsAndAStartButtonOnly) {
  settings.options().Set(OPT_MULTIPASTE_INSERT, true);
  settings.options().Set(OPT_MULTIPASTE_TEXT, wxString("; "));
  MultiPaster dialog(frame, &list);
  EXPECT_EQ(dialog.GetTitle(), "Paste Records");
  EXPECT_EQ(dialog.GetSize(), wxSize(300, 600));
  EXPECT_FALSE(dialog.GetListWindow()->HasFlag(wxLC_SINGLE_SEL));
  EXPECT_EQ(dialog.GetListWindow()->GetItemCount(), 4);
  EXPECT_EQ(dialog.GetInsertBox()->GetLabel(), "Insert text between records:");
  EXPECT_TRUE(dialog.GetInsertBox()->GetValue());
  EXPECT_EQ(dialog.GetSeparatorText()->GetValue(), "; ");
  EXPECT_TRUE(dialog.GetSeparatorText()->IsEnabled());
  EXPECT_TRUE(dialog.GetSeparatorText()->IsMultiLine());
  EXPECT_EQ(StartButton(dialog)->GetLabel(), "Start");
  EXPECT_EQ(dialog.FindWindow(wxID_CANCEL), nullptr);

  // The box is stored as it is clicked, and the field follows it.
  dialog.GetInsertBox()->SetValue(false);
  wxCommandEvent click(wxEVT_CHECKBOX, dialog.GetInsertBox()->GetId());
  click.SetInt(0);
  click.SetEventObject(dialog.GetInsertBox());
  dialog.GetInsertBox()->GetEventHandler()->ProcessEvent(click);
  EXPECT_FALSE(OptionValue<bool>(OPT_MULTIPASTE_INSERT, true));
  EXPECT_FALSE(dialog.GetSeparatorText()->IsEnabled());
}

TEST_F(MultiPaste, WithoutOptionsTheBoxIsClearAndTheFieldEmpty) {
  testing_settings::ScopedSettings bare(testing_settings::kNoOptions);
  MultiPaster dialog(frame, &list);
  EXPECT_FALSE(dialog.GetInsertBox()->GetValue());
  EXPECT_FALSE(dialog.GetSeparatorText()->IsEnabled());
  EXPECT_EQ(dialog.GetSeparatorText()->GetValue(), "");
}

TEST_F(MultiPaste, StartIsEnabledOnlyWithASelectedRow) {
  MultiPaster dialog(frame, &list);
  EXPECT_FALSE(UpdatedButton(dialog)->IsEnabled());
  SelectRows(dialog, {2});
  EXPECT_TRUE(UpdatedButton(dialog)->IsEnabled());
}

TEST_F(MultiPaste, AtOnceTheChosenTextsAreJoinedInListOrderAndPastedOnceAsANewRecord) {
  struct Case {
    bool insert;
    const char* separator;
    std::string pasted;
  } cases[] = {
      {false, "ignored", "onethreefour"},
      {true, "\n", "one\r\nthree\r\nfour\r\n"},  // a separator after the last one too
      {true, "a\nb\n", "onea\r\nb\r\nthreea\r\nb\r\nfoura\r\nb\r\n"},
      {true, "", "onethreefour"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.separator);
    pastes.texts.clear();
    pastes.lists.clear();
    MultiPaster dialog(frame, &list);
    const int code = RunModal(dialog, [&] {
      SetSeparator(dialog, c.insert, c.separator);
      SelectRows(dialog, {3, 0, 2});  // clicked out of order
      PressOK(dialog);
    });
    EXPECT_EQ(code, wxID_OK);
    EXPECT_EQ(pastes.texts, Lines{c.pasted});
    EXPECT_EQ(pastes.lists, std::vector<pq::RecordList*>{nullptr}) << "a record of no list";
    // The separator is stored as typed.
    EXPECT_EQ(OptionValue<wxString>(OPT_MULTIPASTE_TEXT, wxString()), c.separator);
    EXPECT_EQ(list.GetCount(), 4u) << "the joined record goes into no list";
  }
}

TEST_F(MultiPaste, OneByOneRunsRecordSeparatorRecordEvery288MillisecondsAndStopsWithTheDialogOpen) {
  OneByOne();
  MultiPaster dialog(frame, &list);
  bool openAtEnd = false;
  wxString labelRunning, labelAtEnd;
  bool enabledAtEnd = true;
  RunModal(dialog, [&] {
    SetSeparator(dialog, true, "\n");
    SelectRows(dialog, {0, 2, 3});
    PressOK(dialog);
    labelRunning = UpdatedButton(dialog)->GetLabel();
    timers.Advance(MultiPaster::kTickMs - 1);
    EXPECT_TRUE(pastes.texts.empty()) << "before the first tick";
    timers.Advance(1);
    EXPECT_EQ(pastes.texts, Lines{"one"});
    EXPECT_EQ(dialog.GetListWindow()->GetSelectedRows(), (std::vector<long>{2, 3})) << "its row is deselected";
    timers.Advance(4 * MultiPaster::kTickMs);
    EXPECT_FALSE(dialog.IsRunning());
    timers.Advance(10 * MultiPaster::kTickMs);
    openAtEnd = dialog.IsModal();
    labelAtEnd = UpdatedButton(dialog)->GetLabel();
    enabledAtEnd = StartButton(dialog)->IsEnabled();
  });
  EXPECT_EQ(pastes.texts, (Lines{"one", "\r\n", "three", "\r\n", "four"})) << "no separator after the last";
  EXPECT_EQ(labelRunning, "Pause");
  EXPECT_TRUE(openAtEnd);
  EXPECT_EQ(labelAtEnd, "Start");
  EXPECT_FALSE(enabledAtEnd) << "no row is left selected";
}

TEST_F(MultiPaste, OneByOneWithoutTheBoxPastesTheRecordsAlone) {
  OneByOne();
  MultiPaster dialog(frame, &list);
  RunModal(dialog, [&] {
    SetSeparator(dialog, false, "--");
    SelectRows(dialog, {1, 3});
    PressOK(dialog);
    timers.Advance(5 * MultiPaster::kTickMs);
  });
  EXPECT_EQ(pastes.texts, (Lines{"two", "four"}));
}

TEST_F(MultiPaste, APauseAfterTheFirstRecordResumesWithTheSeparator) {
  OneByOne();
  MultiPaster dialog(frame, &list);
  RunModal(dialog, [&] {
    SetSeparator(dialog, true, "|");
    SelectRows(dialog, {0, 1});
    PressOK(dialog);
    timers.Advance(MultiPaster::kTickMs);
    PressOK(dialog);  // pause
    EXPECT_FALSE(dialog.IsRunning());
    EXPECT_EQ(UpdatedButton(dialog)->GetLabel(), "Start");
    timers.Advance(20 * MultiPaster::kTickMs);
    EXPECT_EQ(pastes.texts, Lines{"one"}) << "nothing while paused";
    PressOK(dialog);  // resume
    timers.Advance(MultiPaster::kTickMs);
    EXPECT_EQ(pastes.texts, (Lines{"one", "|"}));
    timers.Advance(5 * MultiPaster::kTickMs);
  });
  EXPECT_EQ(pastes.texts, (Lines{"one", "|", "two"}));
}

TEST_F(MultiPaste, ANewRunAfterTheSelectionRanOutBeginsWithARecord) {
  OneByOne();
  MultiPaster dialog(frame, &list);
  RunModal(dialog, [&] {
    SetSeparator(dialog, true, "|");
    SelectRows(dialog, {0, 1, 2});  // an odd number of pastes in the first run
    PressOK(dialog);
    timers.Advance(6 * MultiPaster::kTickMs);
    ASSERT_FALSE(dialog.IsRunning());
    SelectRows(dialog, {3, 0});
    PressOK(dialog);
    timers.Advance(5 * MultiPaster::kTickMs);
  });
  EXPECT_EQ(pastes.texts, (Lines{"one", "|", "two", "|", "three", "one", "|", "four"}));
}

TEST_F(MultiPaste, EscapeAndTheCloseBoxCancelAndStopThePastingAtOnce) {
  struct Case {
    const char* what;
    bool oneByOne;
    std::function<void(MultiPaster&)> cancel;
    Lines pasted;
  } cases[] = {
      {"Escape before a start", false, PressEscape, {}},
      {"close box before a start", false, [](MultiPaster& d) { d.Close(); }, {}},
      {"Escape during a run", true, PressEscape, {"one"}},
      {"close box during a run", true, [](MultiPaster& d) { d.Close(); }, {"one"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    settings.options().Set(OPT_MULTIPASTE_AT_ONCE, !c.oneByOne);
    pastes.texts.clear();
    MultiPaster dialog(frame, &list);
    bool endedAtOnce = false;
    const int code = RunModal(dialog, [&] {
      SelectRows(dialog, {0, 1, 2});
      if (c.oneByOne) {
        PressOK(dialog);
        timers.Advance(MultiPaster::kTickMs);
      }
      c.cancel(dialog);
      endedAtOnce = !dialog.IsModal() && !dialog.IsRunning();
      timers.Advance(10 * MultiPaster::kTickMs);
    });
    EXPECT_EQ(code, wxID_CANCEL);
    EXPECT_TRUE(endedAtOnce);
    EXPECT_EQ(pastes.texts, c.pasted);
  }
}

TEST_F(MultiPaste, PasteAllAtOncePastesTheWholeListWithoutShowingTheDialog) {
  settings.options().Set(OPT_MULTIPASTE_INSERT, true);
  settings.options().Set(OPT_MULTIPASTE_TEXT, wxString(","));
  MultiPaster dialog(frame, &list);
  dialog.PasteAll();
  EXPECT_FALSE(dialog.IsShown());
  EXPECT_EQ(pastes.texts, Lines{"one,two,three,four,"});
}

TEST_F(MultiPaste, PasteAllOneByOneShowsTheDialogWithEveryRowSelectedAndRuns) {
  OneByOne();
  MultiPaster dialog(frame, &list);
  std::vector<long> selected;
  bool shownThroughTheManager = false;
  RunSoon([&] {
    shownThroughTheManager = DlgMgr::CurrentDialog() == &dialog;
    selected = dialog.GetListWindow()->GetSelectedRows();
    timers.Advance(4 * MultiPaster::kTickMs);
    dialog.EndModal(wxID_CANCEL);
  });
  dialog.PasteAll();
  EXPECT_TRUE(shownThroughTheManager);
  EXPECT_EQ(selected, (std::vector<long>{0, 1, 2, 3}));
  EXPECT_EQ(pastes.texts, (Lines{"one", "two", "three", "four"}));
}

TEST_F(MultiPaste, PasteAllOneByOnePastesNothingWhileAnotherDialogIsUp) {
  OneByOne();
  wxDialog other(frame, wxID_ANY, "other");
  RunSoon([&] {
    {
      MultiPaster dialog(frame, &list);
      dialog.PasteAll();
      EXPECT_FALSE(dialog.IsShown());
      EXPECT_FALSE(dialog.IsRunning());
    }
    timers.Advance(10 * MultiPaster::kTickMs);
    other.EndModal(wxID_OK);
  });
  DlgMgr::ShowModal(&other);
  EXPECT_TRUE(pastes.texts.empty());
}

TEST_F(MultiPaste, TheRecordSelectionDialogHandsBackTheChosenRecordsInListOrder) {
  SelectRecordDlg dialog(frame, &list, "Choose them");
  EXPECT_EQ(dialog.GetTitle(), "Select Records");
  EXPECT_EQ(dialog.GetSize(), wxSize(300, 500));
  EXPECT_FALSE(dialog.GetListWindow()->HasFlag(wxLC_SINGLE_SEL));
  EXPECT_NE(dialog.FindWindow(wxID_CANCEL), nullptr);
  bool okBefore = true, okAfter = false;
  const int code = RunModal(dialog, [&] {
    dialog.UpdateWindowUI(wxUPDATE_UI_RECURSE);
    okBefore = dialog.FindWindow(wxID_OK)->IsEnabled();
    for (long row : {3L, 1L}) dialog.GetListWindow()->SetItemState(row, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
    dialog.UpdateWindowUI(wxUPDATE_UI_RECURSE);
    okAfter = dialog.FindWindow(wxID_OK)->IsEnabled();
    PressOK(dialog);
  });
  EXPECT_FALSE(okBefore);
  EXPECT_TRUE(okAfter);
  EXPECT_EQ(code, wxID_OK);
  std::vector<std::string> chosen;
  for (const pq::RecordPtr& r : dialog.GetChosenRecords()) chosen.push_back(r->text);
  EXPECT_EQ(chosen, (Lines{"two", "four"}));
  EXPECT_EQ(dialog.GetListWindow()->GetRecordList(), nullptr) << "it stopped following the list at OK";
}

}  // namespace

namespace {

// The prompt of the multiple delete is wider than the dialog on one line.
TEST_F(MultiPaste, TheRecordSelectionDialogsPromptIsWrappedToItsWidthNotCutOff) {
  const wxString prompt = "Please select the records that will be deleted";
  SelectRecordDlg dialog(frame, &list, prompt);
  wxStaticText* text = nullptr;
  for (wxWindow* child : dialog.GetChildren())
    if (auto* t = dynamic_cast<wxStaticText*>(child)) text = t;
  ASSERT_NE(text, nullptr);
  wxString shown = text->GetLabel();
  shown.Replace("\n", " ");
  EXPECT_EQ(shown, prompt);
  EXPECT_LE(text->GetBestSize().x, dialog.GetClientSize().x - 10) << "the text needs more room than it has";
  EXPECT_GE(text->GetSize().y, text->GetBestSize().y) << "and gets all the lines it needs";
}

// Both dialogs begin with their OK disabled (no row chosen yet): the keys go
// to the list from the start.
TEST_F(MultiPaste, BothDialogsOpenWithTheFocusInTheirList) {
  for (const bool paster : {true, false}) {
    SCOPED_TRACE(paster ? "Paste Records" : "Select Records");
    std::unique_ptr<wxDialog> dialog;
    RecordListWindow* listWindow = nullptr;
    if (paster) {
      auto* made = new MultiPaster(frame, &list);
      dialog.reset(made);
      listWindow = made->GetListWindow();
    } else {
      auto* made = new SelectRecordDlg(frame, &list, "Choose them");
      dialog.reset(made);
      listWindow = made->GetListWindow();
    }
    wxWindow* focus = nullptr;
    RunModal(*dialog, [&] { focus = FocusedWindow(); });
    ASSERT_NE(focus, nullptr);
    EXPECT_TRUE(focus == listWindow || listWindow->IsDescendant(focus));
  }
}

}  // namespace
