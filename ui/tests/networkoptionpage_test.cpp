// The Network page of the options dialog: what it shows, the port texts it
// refuses, what it writes and in which order, the switches and selections
// that enable its lists and buttons, the edits of its two lists through
// their dialogs (written back only on OK), and the network server following
// what it writes.
#include "networkoptionpage.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/combobox.h>
#include <wx/listctrl.h>
#include <wx/textctrl.h>

#include "dialog_test_util.h"
#include "hostnamedlg.h"
#include "net/server.h"
#include "net/socket.h"
#include "optionpage_test_util.h"
#include "options.h"
#include "pq/history.h"
#include "pq/mgr.h"
#include "trustedclientpropertydlg.h"

namespace {

const int kPageOptions[] = {OPT_RECEIVER_PORT, OPT_RECEIVE_ENABLED, OPT_AUTO_SEND};


TrustedClient Client(const char* host, const char* user, const char* list) {
  TrustedClient client;
  client.host = host;
  client.user = user;
  client.list = list;
  return client;
}

// Two trusted clients and one automatic-sending host; the trusted-client
// dialog offers the lists of a history of the test's own.
struct NetworkPage : OptionPageTest {
  NetworkPage() : previousHistory(pq::Mgr::Get().GetHistory()) {
    history.CreateDefaultLists();
    pq::Mgr::Get().SetHistory(&history);
    TrustedClientList clients;
    clients.push_back(Client("desk", "anna", "Main"));
    clients.push_back(Client("10.0.0.7", "", "Main"));
    settings.config.SetTrustedClients(clients);
    settings.config.autoSendHosts = {NetworkAddress("laptop", 4000)};
  }
  ~NetworkPage() override { pq::Mgr::Get().SetHistory(previousHistory); }

  std::vector<std::string> StoredClients() const {
    TrustedClientList clients;
    settings.config.GetTrustedClients(clients);
    std::vector<std::string> texts;
    for (const TrustedClient& c : clients) texts.push_back(c.host + "|" + c.user + "|" + c.list);
    return texts;
  }
  std::vector<std::string> StoredHosts() const {
    std::vector<std::string> texts;
    for (const NetworkAddress& a : settings.config.autoSendHosts) texts.push_back(a.host + ":" + std::to_string(a.port));
    return texts;
  }

  pq::History history;
  pq::History* previousHistory;
};

// The rows of a report list, each as its columns joined by '|'.
std::vector<std::string> Rows(const wxListCtrl* list) {
  std::vector<std::string> rows;
  for (long row = 0; row < list->GetItemCount(); ++row) {
    std::string text;
    for (int column = 0; column < list->GetColumnCount(); ++column)
      text += (column ? "|" : "") + list->GetItemText(row, column).utf8_string();
    rows.push_back(text);
  }
  return rows;
}

std::vector<std::string> Headers(const wxListCtrl* list) {
  std::vector<std::string> headers;
  for (int column = 0; column < list->GetColumnCount(); ++column) {
    wxListItem item;
    item.SetMask(wxLIST_MASK_TEXT);
    list->GetColumn(column, item);
    headers.push_back(item.GetText().utf8_string());
  }
  return headers;
}

void Select(wxListCtrl* list, long row) { list->SetItemState(row, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED); }

// The next modal dialog of type Dialog that opens is given to answer, then
// cancelled when still open; *opened tells whether one did.
template <class Dialog>
void AnswerNext(const std::function<void(Dialog&)>& answer, bool* opened) {
  *opened = false;
  RunSoon([answer, opened] {
    for (wxWindow* w : wxTopLevelWindows)
      if (auto* dialog = dynamic_cast<Dialog*>(w); dialog && dialog->IsModal()) {
        *opened = true;
        answer(*dialog);
        if (dialog->IsModal()) dialog->EndModal(wxID_CANCEL);
        return;
      }
  });
}

// A click on the page's button of that id.
void Click(NetworkOptionPage& page, int id) {
  auto* button = wxDynamicCast(page.FindWindow(id), wxButton);
  ASSERT_NE(button, nullptr);
  wxCommandEvent click(wxEVT_BUTTON, id);
  click.SetEventObject(button);
  button->GetEventHandler()->ProcessEvent(click);
}

TEST_F(NetworkPage, ShowsTheOptionsAndTheLists) {
  SetOption(OPT_RECEIVE_ENABLED, true);
  OptionDlg dialog(nullptr);
  const NetworkOptionPage& page = PageOf<NetworkOptionPage>(dialog);
  EXPECT_EQ(page.GetPortText()->GetValue(), "45689");
  EXPECT_TRUE(page.GetReceiveCheck()->GetValue());
  EXPECT_FALSE(page.GetAutoSendCheck()->GetValue());
  EXPECT_EQ(page.GetReceiveCheck()->GetLabel(), "Enable receive records from trusted clients");
  EXPECT_EQ(page.GetAutoSendCheck()->GetLabel(), "Enable automatically send records to clients");
  EXPECT_EQ(Headers(page.GetTrustedList()), (std::vector<std::string>{"Host", "User", "List"}));
  EXPECT_EQ(Rows(page.GetTrustedList()), (std::vector<std::string>{"desk|anna|Main", "10.0.0.7||Main"}));
  EXPECT_EQ(Headers(page.GetHostList()), (std::vector<std::string>{"Host", "Port"}));
  EXPECT_EQ(Rows(page.GetHostList()), std::vector<std::string>{"laptop|4000"});
  EXPECT_TRUE(page.GetTrustedList()->HasFlag(wxLC_HRULES | wxLC_VRULES));
  EXPECT_FALSE(page.GetHostList()->HasFlag(wxLC_HRULES));
  EXPECT_EQ(page.GetTrustedList()->GetName(), "listCtrl");
  for (int column = 0; column < 3; ++column) EXPECT_GT(page.GetTrustedList()->GetColumnWidth(column), 0);
}

TEST_F(NetworkPage, ChecksThePortText) {
  const struct {
    const char* text;
    int stored;  // -1: refused
  } cases[] = {
      {"0", 0},        {"65535", 65535}, {" 80", 80}, {"+81", 81},     {"", -1},
      {"65536", -1},   {"-1", -1},       {"80 ", -1}, {"8o", -1},      {"4294967376", -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("'") + c.text + "'");
    SetOption(OPT_RECEIVER_PORT, 45689);
    OptionDlg dialog(nullptr);
    NetworkOptionPage& page = PageOf<NetworkOptionPage>(dialog);
    const OkPress press =
        PressOKOnce(dialog, [&] { page.GetPortText()->SetValue(c.text); }, {{page.GetPortText(), "port"}});
    if (c.stored < 0) {
      ExpectRefused(press, "The port is not valid!", "port");
      EXPECT_EQ(dialog.GetBookCtrl()->GetCurrentPage(), &page) << "the Network tab is shown";
      EXPECT_EQ(OptionValue<int>(OPT_RECEIVER_PORT, 0), 45689) << "nothing written";
    } else {
      ExpectAccepted(press);
      EXPECT_EQ(OptionValue<int>(OPT_RECEIVER_PORT, 0), c.stored);
    }
  }
}

TEST_F(NetworkPage, WritesItsOptionsInItsOrderAndUnchangedOnesTellNobody) {
  OptionWatcher watcher(settings.options(), kPageOptions);
  for (int i = 0; i < 2; ++i) {
    OptionDlg dialog(nullptr);
    ExpectAccepted(PressOKOnce(dialog, [] {}, {}));
  }
  // Only the sending switch, which has no default, was new the first time.
  EXPECT_EQ(watcher.changed, std::vector<int>{OPT_AUTO_SEND}) << "nothing changed, nobody told";
  EXPECT_TRUE(settings.options().Found(OPT_AUTO_SEND));
  watcher.changed.clear();

  OptionDlg dialog(nullptr);
  NetworkOptionPage& page = PageOf<NetworkOptionPage>(dialog);
  ExpectAccepted(PressOKOnce(
      dialog,
      [&] {
        page.GetPortText()->SetValue("1234");
        page.GetReceiveCheck()->SetValue(true);
        page.GetAutoSendCheck()->SetValue(true);
      },
      {}));
  // The port before the switch: a running listener moves before a switch
  // that is now on starts one.
  EXPECT_EQ(watcher.changed, (std::vector<int>{OPT_RECEIVER_PORT, OPT_RECEIVE_ENABLED, OPT_AUTO_SEND}));
  EXPECT_EQ(settings.options().map[OPT_RECEIVER_PORT].text, "1234");
  EXPECT_TRUE(OptionValue<bool>(OPT_RECEIVE_ENABLED, false));
  EXPECT_TRUE(OptionValue<bool>(OPT_AUTO_SEND, false));
}

TEST_F(NetworkPage, TheSwitchesEnableTheListsAndASelectionRemoveAndEdit) {
  OptionDlg dialog(nullptr);
  NetworkOptionPage& page = PageOf<NetworkOptionPage>(dialog);
  const auto enabled = [&](int id) { return page.FindWindow(id)->IsEnabled(); };
  using P = NetworkOptionPage;
  const struct {
    bool on, selected;
  } cases[] = {{false, false}, {false, true}, {true, false}, {true, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.on ? "on" : "off") + (c.selected ? " selected" : ""));
    page.GetReceiveCheck()->SetValue(c.on);
    page.GetAutoSendCheck()->SetValue(c.on);
    for (wxListCtrl* list : {page.GetTrustedList(), page.GetHostList()})
      list->SetItemState(0, c.selected ? wxLIST_STATE_SELECTED : 0, wxLIST_STATE_SELECTED);
    page.UpdateWindowUI(wxUPDATE_UI_RECURSE);
    for (int id : {P::ID_TRUSTED_LIST, P::ID_TRUSTED_ADD, P::ID_HOST_LIST, P::ID_HOST_ADD})
      EXPECT_EQ(enabled(id), c.on) << id;
    for (int id : {P::ID_TRUSTED_REMOVE, P::ID_TRUSTED_EDIT, P::ID_HOST_REMOVE, P::ID_HOST_EDIT})
      EXPECT_EQ(enabled(id), c.on && c.selected) << id;
  }
  // Disabled, the trusted list still goes back as it was.
  page.GetReceiveCheck()->SetValue(false);
  const std::vector<std::string> before = StoredClients();
  ExpectAccepted(PressOKOnce(dialog, [] {}, {}));
  EXPECT_EQ(StoredClients(), before);
}

TEST_F(NetworkPage, EditsTheTrustedClientsAndWritesThemOnlyOnOK) {
  const std::vector<std::string> stored = StoredClients();
  for (const bool ok : {false, true}) {
    SCOPED_TRACE(ok ? "OK" : "Cancel");
    OptionDlg dialog(nullptr);
    NetworkOptionPage& page = PageOf<NetworkOptionPage>(dialog);
    wxListCtrl* list = page.GetTrustedList();
    RunModal(dialog, [&] {
      bool opened = false;
      // A new client starts empty; OK appends it.
      AnswerNext<TrustedClientPropertyDlg>(
          [](TrustedClientPropertyDlg& d) {
            EXPECT_EQ(d.GetHostText()->GetValue(), "");
            EXPECT_EQ(d.GetUserText()->GetValue(), "");
            d.GetHostText()->SetValue("new");
            d.GetUserText()->SetValue("ben");
            d.GetListCombo()->SetSelection(0);
            PressOK(d);
          },
          &opened);
      Click(page, NetworkOptionPage::ID_TRUSTED_ADD);
      EXPECT_TRUE(opened);
      // An edit cancelled leaves the row (and the entry) as they were.
      Select(list, 0);
      AnswerNext<TrustedClientPropertyDlg>(
          [](TrustedClientPropertyDlg& d) {
            EXPECT_EQ(d.GetHostText()->GetValue(), "desk");
            d.GetHostText()->SetValue("changed");
          },
          &opened);
      Click(page, NetworkOptionPage::ID_TRUSTED_EDIT);
      EXPECT_TRUE(opened);
      EXPECT_EQ(Rows(list), (std::vector<std::string>{"desk|anna|Main", "10.0.0.7||Main", "new|ben|Main"}));
      // An edit with OK sets the entry and its row.
      list->SetItemState(0, 0, wxLIST_STATE_SELECTED);
      Select(list, 1);
      AnswerNext<TrustedClientPropertyDlg>(
          [](TrustedClientPropertyDlg& d) {
            d.GetUserText()->SetValue("cleo");
            PressOK(d);
          },
          &opened);
      Click(page, NetworkOptionPage::ID_TRUSTED_EDIT);
      // Remove takes the first selected row.
      list->SetItemState(1, 0, wxLIST_STATE_SELECTED);
      Select(list, 0);
      Click(page, NetworkOptionPage::ID_TRUSTED_REMOVE);
      EXPECT_EQ(Rows(list), (std::vector<std::string>{"10.0.0.7|cleo|Main", "new|ben|Main"}));
      EXPECT_EQ(StoredClients(), stored) << "nothing written before OK";
      if (ok) PressOK(dialog);
    });
    if (ok)
      EXPECT_EQ(StoredClients(), (std::vector<std::string>{"10.0.0.7|cleo|Main", "new|ben|Main"}));
    else
      EXPECT_EQ(StoredClients(), stored) << "a cancelled options dialog writes nothing";
  }
}

TEST_F(NetworkPage, EditsTheAutomaticSendingHostsAndWritesThemOnlyOnOK) {
  for (const bool ok : {false, true}) {
    SCOPED_TRACE(ok ? "OK" : "Cancel");
    OptionDlg dialog(nullptr);
    NetworkOptionPage& page = PageOf<NetworkOptionPage>(dialog);
    wxListCtrl* list = page.GetHostList();
    RunModal(dialog, [&] {
      bool opened = false;
      for (const char* host : {"server", "server"}) {  // duplicates are taken
        AnswerNext<HostnameDlg>(
            [host](HostnameDlg& d) {
              EXPECT_EQ(d.GetHostText()->GetValue(), "");
              EXPECT_EQ(d.GetPortText()->GetValue(), "45689");
              d.GetHostText()->SetValue(host);
              PressOK(d);
            },
            &opened);
        Click(page, NetworkOptionPage::ID_HOST_ADD);
        EXPECT_TRUE(opened);
      }
      Select(list, 0);
      AnswerNext<HostnameDlg>(
          [](HostnameDlg& d) {
            EXPECT_EQ(d.GetHostText()->GetValue(), "laptop");
            EXPECT_EQ(d.GetPortText()->GetValue(), "4000");
            d.GetPortText()->SetValue("4001");
            PressOK(d);
          },
          &opened);
      Click(page, NetworkOptionPage::ID_HOST_EDIT);
      EXPECT_TRUE(opened);
      list->SetItemState(0, 0, wxLIST_STATE_SELECTED);
      Select(list, 1);
      Click(page, NetworkOptionPage::ID_HOST_REMOVE);
      EXPECT_EQ(Rows(list), (std::vector<std::string>{"laptop|4001", "server|45689"}));
      EXPECT_EQ(StoredHosts(), std::vector<std::string>{"laptop:4000"}) << "nothing written before OK";
      if (ok) PressOK(dialog);
    });
    if (ok)
      EXPECT_EQ(StoredHosts(), (std::vector<std::string>{"laptop:4001", "server:45689"}));
    else
      EXPECT_EQ(StoredHosts(), std::vector<std::string>{"laptop:4000"});
  }
}

// --- The network server follows what the page writes ------------------------

struct Started : net::AppServices {
  void Log(int, const wxString& text) override { started += text.Contains("started successfully"); }
  int started = 0;
};

int FreePort(std::uint32_t address) {
  net::Listener listener;
  return listener.Open(net::Endpoint{address, 0}) ? listener.Port() : -1;
}

TEST_F(NetworkPage, TheServerStartsMovesAndStopsAsTheDialogApplies) {
  std::uint32_t local = 0;
  ASSERT_TRUE(net::Endpoint::ParseAddress("127.0.0.11", local));
  Started services;
  net::Server server(settings.config, history, &services);
  server.SetLocalAddress(local);
  ASSERT_FALSE(server.IsListening());
  const auto apply = [&](const std::string& port, bool receive) {
    OptionDlg dialog(nullptr);
    NetworkOptionPage& page = PageOf<NetworkOptionPage>(dialog);
    ExpectAccepted(PressOKOnce(
        dialog,
        [&] {
          page.GetPortText()->SetValue(port);
          page.GetReceiveCheck()->SetValue(receive);
        },
        {}));
  };
  const int first = FreePort(local);
  ASSERT_GT(first, 0);
  apply(std::to_string(first), true);
  ASSERT_TRUE(server.IsListening());
  EXPECT_EQ(server.GetPort(), first);
  EXPECT_EQ(services.started, 1) << "the port came first: one start, on the new port";

  apply(std::to_string(first), true);
  EXPECT_EQ(services.started, 1) << "unchanged: not restarted";

  const int second = FreePort(local);
  apply(std::to_string(second), true);
  EXPECT_EQ(server.GetPort(), second);

  apply(std::to_string(second), false);
  EXPECT_FALSE(server.IsListening());
  apply(std::to_string(first), false);
  EXPECT_FALSE(server.IsListening()) << "a new port while receiving is off starts nothing";
}

}  // namespace
