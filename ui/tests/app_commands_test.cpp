// The record commands in the running program: a multiple paste goes through
// the clipboard manager into the field of another application that had the
// focus.
#include <gtest/gtest.h>

#include <wx/checkbox.h>
#include <wx/textctrl.h>

#include "app.h"
#include "commands_fixture.h"
#include "dialog_test_util.h"
#include "fake_timers.h"
#include "historywindow.h"
#include "mainframe.h"
#include "multipaster.h"
#include "options.h"
#include "platform/sim/desktop.h"
#include "sim_app.h"

namespace sim = platform::sim;

namespace {

// The field of an editor that has the focus, as the manager saw it get it.
HWND FocusedField() {
  const testing_sim::App editor = testing_sim::AddApp(L"/usr/bin/editor");
  const HWND field = sim::AddEdit(editor.thread, editor.frame);
  sim::SetFocus(field);
  sim::Settle();
  DispatchPending();
  return field;
}

TEST(MultiplePaste, ThreeChosenRecordsLandInTheFieldThatHadTheFocusWithTheirSeparators) {
  struct Case {
    bool atOnce;
    std::wstring field;
  } cases[] = {
      {true, L"one, two, three, "},      // one joined record: a separator after each
      {false, L"one, two, three"},       // one by one: between them
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.atOnce ? "at once" : "one by one");
    const bool atOnceBefore = OptionValue<bool>(OPT_MULTIPASTE_AT_ONCE, false);
    const wxString separatorBefore = OptionValue<wxString>(OPT_MULTIPASTE_TEXT, wxString());
    SetOption(OPT_MULTIPASTE_AT_ONCE, c.atOnce);
    testing_timers::FakeTimers timers;
    const HWND field = FocusedField();
    pq::RecordList list;
    commands_test::FillWithItems(list, {"one", "two", "three", "four"});
    MultiPaster paster(wxGetApp().GetMainFrame()->GetHistoryWindow(), &list);
    RunModal(paster, [&] {
      paster.GetInsertBox()->SetValue(true);
      paster.GetSeparatorText()->SetValue(", ");
      for (long row : {0L, 1L, 2L}) paster.GetListWindow()->SetItemState(row, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
      PressOK(paster);
      timers.Advance(10 * MultiPaster::kTickMs);
    });
    sim::Settle();
    DispatchPending();
    EXPECT_EQ(sim::EditText(field), c.field);
    SetOption(OPT_MULTIPASTE_AT_ONCE, atOnceBefore);
    SetOption(OPT_MULTIPASTE_TEXT, separatorBefore);
  }
}

}  // namespace
