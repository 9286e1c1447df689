#include "logdlg.h"

#include <gtest/gtest.h>

#include <wx/datetime.h>

#include "dlgmgr.h"
#include "gui_util.h"
#include "logger.h"

namespace {
struct LogWindow : ::testing::Test {
  Logger log;
  LogDlg* dialog = nullptr;
  void Open() {
    dialog = new LogDlg(log);
    log.SetLogDlg(dialog);
  }
  ~LogWindow() override {
    log.SetLogDlg(nullptr);
    if (dialog) dialog->Destroy();
    DispatchPending();
  }
};

TEST_F(LogWindow, ShowsTheEntriesThereWhenItOpens) {
  log.Log(Logger::Info, "first");
  log.Log(Logger::Error, "second");
  Open();
  LogListView* list = dialog->GetList();
  EXPECT_EQ(list->GetName(), "listCtrl");
  EXPECT_EQ(dialog->GetTitle(), "Log");
  EXPECT_EQ(dialog->GetSize(), wxSize(500, 500));
  ASSERT_EQ(list->GetColumnCount(), 3);
  wxListItem column;
  column.SetMask(wxLIST_MASK_TEXT);
  const char* titles[] = {"Level", "Message", "Time"};
  for (int c = 0; c < 3; ++c) {
    list->GetColumn(c, column);
    EXPECT_EQ(column.GetText(), titles[c]);
  }
  EXPECT_EQ(list->GetItemCount(), 2);
}

TEST_F(LogWindow, CellTexts) {
  log.Log(Logger::Info, "i");
  log.Log(Logger::Warning, "w");
  log.Log(Logger::Error, wxString::FromUTF8("e \xC3\xA9"));
  log.Log(7, "odd level");
  Open();
  LogListView* list = dialog->GetList();
  struct Case {
    long item, column;
    wxString text;
  } cases[] = {
      {0, 0, "Info"},   {1, 0, "Warning"}, {2, 0, "Error"}, {3, 0, ""},
      {2, 1, wxString::FromUTF8("e \xC3\xA9")},            {3, 1, "odd level"},
      {0, 3, ""},                                            // no such column
      {4, 0, ""},       {4, 1, ""},        {4, 2, ""},      // past the end
  };
  for (const Case& c : cases)
    EXPECT_EQ(list->CellText(c.item, c.column), c.text) << "item " << c.item << " column " << c.column;
  EXPECT_EQ(list->CellText(0, 2), wxDateTime(log.GetEntry(0).time).Format());
  // The list draws through the same callback.
  EXPECT_EQ(list->GetItemText(2, 0), "Error");
}

TEST_F(LogWindow, FollowsEntriesAddedWhileOpen) {
  Open();
  EXPECT_EQ(dialog->GetList()->GetItemCount(), 0);
  log.Log(Logger::Info, "a");
  log.Log(Logger::Info, "b");
  // The count follows once the GUI thread has taken the notices.
  DispatchPending();
  EXPECT_EQ(dialog->GetList()->GetItemCount(), 2);
  for (std::size_t i = 0; i < Logger::kMaxEntries; ++i) log.Log(Logger::Info, "more");
  DispatchPending();
  EXPECT_EQ(dialog->GetList()->GetItemCount(), static_cast<int>(Logger::kMaxEntries));
}

TEST(ShowLog, OpensOnceAndUnregistersWhenClosed) {
  Logger& log = Logger::Get();
  LogDlg* open = nullptr;
  int inner = 0;
  RunSoon([&] {
    open = log.GetLogDlg();
    ShowLogWindow();  // already open: nothing happens
    ++inner;
    ASSERT_NE(open, nullptr);
    EXPECT_EQ(DlgMgr::CurrentDialog(), open);
    open->EndModal(wxID_OK);
  });
  ShowLogWindow();
  EXPECT_EQ(inner, 1);
  EXPECT_NE(open, nullptr);
  EXPECT_EQ(log.GetLogDlg(), nullptr);
  EXPECT_EQ(DlgMgr::CurrentDialog(), nullptr);
  DispatchPending();
}
}  // namespace
