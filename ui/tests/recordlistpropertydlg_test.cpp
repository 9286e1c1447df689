#include "recordlistpropertydlg.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include <boost/make_shared.hpp>
#include <wx/checkbox.h>
#include <wx/textctrl.h>

#include "appconfig.h"
#include "dialog_test_util.h"
#include "pq/history.h"
#include "pq/record.h"
#include "pq/recordlist.h"
#include "settings.h"

namespace {
pq::RecordPtr MakeRecord(const std::string& text) {
  auto record = boost::make_shared<pq::Record>();
  record->text = text;
  return record;
}

// The default history ("Main", "Search") and a third list "Other"; the
// settings record with three trusted clients.
struct ListProperties : ::testing::Test {
  pq::History history;
  pq::RecordList* other = new pq::RecordList;
  testing_settings::ScopedSettings settings;
  AppConfig& config = settings.config;

  ListProperties() {
    history.CreateDefaultLists();
    other->name = "Other";
    history.InsertRecordList(other, 2);
    config.SetTrustedClients(Clients({"Main", "Other", ""}));
  }
  ~ListProperties() override { DispatchPending(); }

  static TrustedClientList Clients(const std::vector<std::string>& lists) {
    TrustedClientList clients;
    for (const std::string& list : lists) {
      TrustedClient client;
      client.host = "host-" + list;
      client.user = "user";
      client.list = list;
      clients.push_back(client);
    }
    return clients;
  }
  std::vector<std::string> ClientLists() const {
    TrustedClientList clients;
    config.GetTrustedClients(clients);
    std::vector<std::string> lists;
    for (const TrustedClient& client : clients) lists.push_back(client.list);
    return lists;
  }
  pq::RecordList* Main() { return history.GetMainList(); }
};

// Runs the dialog over list with the given field values and presses OK once.
OkPress EditList(pq::RecordList* list, const pq::History& history, const wxString& name, const wxString& max,
                 bool discard, bool moveToFront) {
  RecordListPropertyDlg dialog(nullptr, list, history);
  return PressOKOnce(
      dialog,
      [&] {
        dialog.GetNameText()->SetValue(name);
        dialog.GetMaxText()->SetValue(max);
        dialog.GetDiscardCheck()->SetValue(discard);
        dialog.GetMoveToFrontCheck()->SetValue(moveToFront);
      },
      {{dialog.GetNameText(), "name"}, {dialog.GetMaxText(), "max"}});
}

TEST_F(ListProperties, OpensWithTheListsValues) {
  Main()->maxRecords = 5000;  // shown as the limit that applies
  RecordListPropertyDlg dialog(nullptr, Main(), history);
  EXPECT_EQ(dialog.GetTitle(), "Record List Properties");
  EXPECT_EQ(dialog.GetNameText()->GetValue(), "Main");
  EXPECT_EQ(dialog.GetMaxText()->GetValue(), "1000");
  EXPECT_TRUE(dialog.GetDiscardCheck()->GetValue());
  EXPECT_TRUE(dialog.GetMoveToFrontCheck()->GetValue());
  EXPECT_EQ(dialog.GetDiscardCheck()->GetLabel(), "Discard old records when max record count is reached.");
  EXPECT_EQ(dialog.GetMoveToFrontCheck()->GetLabel(), "Move pasted record to the front of the list.");
  EXPECT_NE(dialog.FindWindow(wxID_CANCEL), nullptr);
  RunModal(dialog, [&] { EXPECT_EQ(FocusedWindow(), dialog.GetNameText()); });
}

TEST_F(ListProperties, RefusesInOrderAndWritesNothing) {
  const wxString empty = "Name can not be empty!";
  const wxString taken = "The name of the record list is already in the record history!";
  const wxString invalid = "Max record count is not valid!";
  const wxString range = "Max record count must be in 1 ~ 1000!";
  struct Case {
    const char* name;
    const char* max;
    wxString message;
    const char* focus;
  } cases[] = {
      {"", "abc", empty, "name"},  // only the first failure is shown
      {"", "50", empty, "name"},
      {"Search", "50", taken, "name"},  // the search list counts
      {"Other", "x", taken, "name"},
      {"New", "", invalid, "max"},
      {"New", "12a", invalid, "max"},
      {"New", "5 ", invalid, "max"},
      {"New", "0", range, "max"},
      {"New", "1001", range, "max"},
      {"New", "-5", range, "max"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " / " + c.max);
    ExpectRefused(EditList(Main(), history, c.name, c.max, false, false), c.message, c.focus);
    // Nothing written.
    EXPECT_EQ(Main()->name, "Main");
    EXPECT_EQ(Main()->maxRecords, 100u);
    EXPECT_TRUE(Main()->dropOldest);
    EXPECT_TRUE(Main()->moveToFront);
    EXPECT_EQ(ClientLists(), (std::vector<std::string>{"Main", "Other", ""}));
  }
}

TEST_F(ListProperties, AcceptsAndWrites) {
  struct Case {
    const char* name;
    const char* max;
    unsigned stored;
  } cases[] = {
      {"Main", "1", 1},  // its own name
      {"main", "1000", 1000},  // letter case counts
      {" ", " 7", 7},    // blanks are a name; a leading blank before the number
      {"Work", "+20", 20},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    pq::RecordList* list = Main();
    ExpectAccepted(EditList(list, history, c.name, c.max, false, false));
    EXPECT_EQ(list->name, c.name);
    EXPECT_EQ(list->maxRecords, c.stored);
    EXPECT_FALSE(list->dropOldest);
    EXPECT_FALSE(list->moveToFront);
    // The client that received into the list follows it.
    EXPECT_EQ(ClientLists()[0], c.name);
  }
}

TEST_F(ListProperties, RenamingMovesOnlyThatListsClients) {
  config.SetTrustedClients(Clients({"Other", "Main", "Other", "other", ""}));
  ExpectAccepted(EditList(other, history, "Renamed", "100", true, true));
  EXPECT_EQ(ClientLists(), (std::vector<std::string>{"Renamed", "Main", "Renamed", "other", ""}));
  EXPECT_TRUE(other->dropOldest);
  EXPECT_TRUE(other->moveToFront);
}

TEST_F(ListProperties, ANewListTakesNoClientsOfEmptyListName) {
  pq::RecordList fresh;  // not in the history yet: the insert command's new list
  ExpectAccepted(EditList(&fresh, history, "Fresh", "50", true, false));
  EXPECT_EQ(fresh.name, "Fresh");
  EXPECT_EQ(ClientLists(), (std::vector<std::string>{"Main", "Other", ""}));
  // A new list is compared with every list of the history.
  pq::RecordList another;
  ExpectRefused(EditList(&another, history, "Main", "50", true, false),
                "The name of the record list is already in the record history!", "name");
}

TEST_F(ListProperties, ALowerLimitDropsTheOldestRecordsAtOnceWhenTheListDiscards) {
  struct Observer : pq::RecordListObserver {
    std::vector<std::string> removing;
    void OnRecordAdded(const pq::RecordPtr&) override {}
    void OnRecordRemoving(const pq::RecordPtr& r) override { removing.push_back(r->text); }
    void OnRecordMovedToFront(unsigned) override {}
    void OnRecordListCleared() override {}
    void OnRecordListReset() override {}
  } observer;
  for (const char* text : {"e", "d", "c", "b", "a"}) other->AddRecord(MakeRecord(text));
  other->AddObserver(&observer);

  // Discarding off: the records stay, the list is merely full.
  ExpectAccepted(EditList(other, history, "Other", "2", false, false));
  EXPECT_EQ(other->GetCount(), 5u);
  EXPECT_TRUE(observer.removing.empty());

  ExpectAccepted(EditList(other, history, "Other", "2", true, false));
  ASSERT_EQ(other->GetCount(), 2u);
  EXPECT_EQ(other->GetRecord(0)->text, "a");
  EXPECT_EQ(other->GetRecord(1)->text, "b");
  EXPECT_EQ(observer.removing, (std::vector<std::string>{"e", "d", "c"}));
  other->RemoveObserver(&observer);
}

TEST_F(ListProperties, CancelLeavesEverything) {
  RecordListPropertyDlg dialog(nullptr, Main(), history);
  const int code = RunModal(dialog, [&] {
    dialog.GetNameText()->SetValue("Changed");
    dialog.GetMaxText()->SetValue("3");
    dialog.GetDiscardCheck()->SetValue(false);
  });
  EXPECT_EQ(code, wxID_CANCEL);
  EXPECT_EQ(Main()->name, "Main");
  EXPECT_EQ(Main()->maxRecords, 100u);
  EXPECT_TRUE(Main()->dropOldest);
  EXPECT_EQ(ClientLists(), (std::vector<std::string>{"Main", "Other", ""}));
}
}  // namespace
