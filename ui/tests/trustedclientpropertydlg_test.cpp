#include "trustedclientpropertydlg.h"

#include <gtest/gtest.h>

#include <string>

#include <wx/combobox.h>
#include <wx/textctrl.h>

#include "appconfig.h"
#include "dialog_test_util.h"
#include "pq/history.h"
#include "pq/recordlist.h"
#include "pq/searchlist.h"

namespace {
// Lists in tab order "Main", "Search", "Work", and a second search list.
struct TrustedClientDialog : ::testing::Test {
  pq::History history;
  TrustedClientDialog() {
    history.CreateDefaultLists();
    auto* work = new pq::RecordList;
    work->name = "Work";
    history.InsertRecordList(work, 2);
    auto* search = new SearchList;
    search->name = "Found";
    history.InsertRecordList(search, 3);
  }
  ~TrustedClientDialog() override { DispatchPending(); }
};

TrustedClient Client(const std::string& host, const std::string& user, const std::string& list) {
  TrustedClient client;
  client.host = host;
  client.user = user;
  client.list = list;
  return client;
}

bool Same(const TrustedClient& a, const TrustedClient& b) {
  return a.host == b.host && a.user == b.user && a.list == b.list;
}

TEST_F(TrustedClientDialog, OpensWithTheClientAndTheListsWithoutSearchLists) {
  TrustedClient client = Client("desk", "anna", "Work");
  TrustedClientPropertyDlg dialog(nullptr, &client, history);
  EXPECT_EQ(dialog.GetTitle(), "Trusted Client");
  EXPECT_EQ(dialog.GetHostText()->GetValue(), "desk");
  EXPECT_EQ(dialog.GetUserText()->GetValue(), "anna");
  EXPECT_EQ(dialog.GetListCombo()->GetValue(), "Work");
  EXPECT_TRUE(dialog.GetListCombo()->HasFlag(wxCB_READONLY));
  ASSERT_EQ(dialog.GetListCombo()->GetCount(), 2u);
  EXPECT_EQ(dialog.GetListCombo()->GetString(0), "Main");
  EXPECT_EQ(dialog.GetListCombo()->GetString(1), "Work");
}

TEST_F(TrustedClientDialog, AClientOfAListThatIsGoneChoosesNone) {
  TrustedClient client = Client("desk", "anna", "Gone");
  TrustedClientPropertyDlg dialog(nullptr, &client, history);
  EXPECT_EQ(dialog.GetListCombo()->GetValue(), "");
}

TEST_F(TrustedClientDialog, ChecksEachFieldInOrderAndWritesOnlyOnOK) {
  struct Case {
    const char* host;
    const char* user;
    int list;  // index of the choice, -1 none
    wxString message;  // empty: accepted
    const char* focus;
  } cases[] = {
      {"", "", -1, "Host can not be empty!", "host"},
      {"", "anna", 0, "Host can not be empty!", "host"},
      {"desk", "", 0, "User can not be empty!", "user"},
      {"desk", "anna", -1, "List can not be empty!", "list"},
      {" ", " ", 1, "", ""},
      {"10.0.0.7", "anna", 0, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("'") + c.host + "' '" + c.user + "' " + std::to_string(c.list));
    TrustedClient client;  // a new one: every field empty
    TrustedClientPropertyDlg dialog(nullptr, &client, history);
    const OkPress press = PressOKOnce(
        dialog,
        [&] {
          dialog.GetHostText()->SetValue(c.host);
          dialog.GetUserText()->SetValue(c.user);
          if (c.list >= 0) dialog.GetListCombo()->SetSelection(c.list);
        },
        {{dialog.GetHostText(), "host"}, {dialog.GetUserText(), "user"}, {dialog.GetListCombo(), "list"}});
    if (c.message.empty()) {
      ExpectAccepted(press);
      EXPECT_TRUE(Same(client, Client(c.host, c.user, c.list == 0 ? "Main" : "Work")));
      continue;
    }
    ExpectRefused(press, c.message, c.focus);
    EXPECT_TRUE(Same(client, TrustedClient())) << "nothing written";
  }
}

TEST_F(TrustedClientDialog, CancelLeavesTheClientAsItWas) {
  TrustedClient client = Client("desk", "anna", "Work");
  TrustedClientPropertyDlg dialog(nullptr, &client, history);
  const int code = RunModal(dialog, [&] {
    dialog.GetHostText()->SetValue("other");
    dialog.GetUserText()->SetValue("bob");
    dialog.GetListCombo()->SetSelection(0);
  });
  EXPECT_EQ(code, wxID_CANCEL);
  EXPECT_TRUE(Same(client, Client("desk", "anna", "Work")));
}
}  // namespace
