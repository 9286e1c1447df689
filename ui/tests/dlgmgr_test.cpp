#include "dlgmgr.h"

#include <gtest/gtest.h>

#include <wx/dialog.h>

#include "gui_util.h"

namespace {
struct Dialogs : ::testing::Test {
  wxDialog* first = new wxDialog(nullptr, wxID_ANY, "first");
  wxDialog* second = new wxDialog(nullptr, wxID_ANY, "second");
  ~Dialogs() override {
    first->Destroy();
    second->Destroy();
    DispatchPending();
  }
};

TEST_F(Dialogs, ShowsOneDialogAndPassesItsResult) {
  EXPECT_EQ(DlgMgr::CurrentDialog(), nullptr);
  wxDialog* seen = nullptr;
  RunSoon([&] {
    seen = DlgMgr::CurrentDialog();
    first->EndModal(wxID_OK);
  });
  int result = 0;
  EXPECT_TRUE(DlgMgr::ShowModal(first, &result));
  EXPECT_EQ(seen, first);
  EXPECT_EQ(result, wxID_OK);
  EXPECT_EQ(DlgMgr::CurrentDialog(), nullptr);
}

TEST_F(Dialogs, RefusesASecondDialogWhileOneIsShown) {
  bool secondShown = true;
  RunSoon([&] {
    int untouched = 42;
    secondShown = DlgMgr::ShowModal(second, &untouched);
    EXPECT_EQ(untouched, 42);
    EXPECT_FALSE(second->IsShown());
    EXPECT_EQ(DlgMgr::CurrentDialog(), first);
    first->EndModal(wxID_CANCEL);
  });
  int result = 0;
  EXPECT_TRUE(DlgMgr::ShowModal(first, &result));
  EXPECT_FALSE(secondShown);
  EXPECT_EQ(result, wxID_CANCEL);
  // Free again: the second one can now be shown.
  RunSoon([&] { second->EndModal(wxID_OK); });
  EXPECT_TRUE(DlgMgr::ShowModal(second));
}

// Notes its style as its modal loop is entered.
struct NotingDialog : wxDialog {
  long styleOnEntry = -1;
  NotingDialog() : wxDialog(nullptr, wxID_ANY, "noting") {}
  int ShowModal() override {
    styleOnEntry = GetWindowStyleFlag();
    return wxDialog::ShowModal();
  }
};

TEST_F(Dialogs, ShownDialogStaysOnTopOnceItsLoopRuns) {
  auto* dialog = new NotingDialog;
  long styleInside = 0;
  RunSoon([&] {
    styleInside = dialog->GetWindowStyleFlag();
    dialog->EndModal(wxID_OK);
  });
  DlgMgr::ShowModal(dialog);
  EXPECT_FALSE(dialog->styleOnEntry & wxSTAY_ON_TOP) << "set before the loop ran";
  EXPECT_TRUE(styleInside & wxSTAY_ON_TOP);
  dialog->Destroy();
}

struct Boom {};
struct ThrowingDialog : wxDialog {
  ThrowingDialog() : wxDialog(nullptr, wxID_ANY, "throws") {}
  int ShowModal() override { throw Boom{}; }
};

TEST_F(Dialogs, IsFreeAgainWhenTheModalLoopThrows) {
  auto* throwing = new ThrowingDialog;
  EXPECT_THROW(DlgMgr::ShowModal(throwing), Boom);
  EXPECT_EQ(DlgMgr::CurrentDialog(), nullptr);
  throwing->Destroy();
}

TEST_F(Dialogs, EndAllModalEndsTheShownDialog) {
  RunSoon([] { DlgMgr::EndAllModal(); });
  int result = 0;
  EXPECT_TRUE(DlgMgr::ShowModal(first, &result));
  EXPECT_EQ(result, wxID_CANCEL);
}
}  // namespace
