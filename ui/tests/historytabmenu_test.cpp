// The tab menu of a history window: the menu of a right-clicked tab with its
// enable rules on the listening list, an empty list, the search list and a
// full history; inserting, removing, editing and listening; saving and
// loading record-list files; sending a list to another computer.
#include "historytabmenu.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <sys/stat.h>
#include <unistd.h>

#include <wx/checkbox.h>
#include <wx/filedlg.h>
#include <wx/textctrl.h>

#include "appversion.h"
#include "commands.h"
#include "commands_fixture.h"
#include "dialog_test_util.h"
#include "filepicker.h"
#include "hostnamedlg.h"
#include "recordlistpropertydlg.h"
#include "sandbox.h"
#include "send_fixture.h"

namespace fs = std::filesystem;

namespace {

using commands_test::Find;
using commands_test::Ids;
using commands_test::MenuRecorder;
using commands_test::WhenShown;
using lists_test::Lines;
using lists_test::Texts;

// Answers the file pickers while it lives with `answer`, and keeps what they
// were asked.
class PickerRecorder {
 public:
  explicit PickerRecorder(wxString answer)
      : previous(SetFilePickerHandler([this, answer](const FilePickerRequest& request) {
          requests.push_back(request);
          return answer;
        })) {}
  ~PickerRecorder() { SetFilePickerHandler(previous); }
  std::vector<FilePickerRequest> requests;

 private:
  FilePickerHandler previous;
};

class TabMenu : public commands_test::Commands {
 protected:
  wxPoint TabPoint(int page) { return commands_test::TabPoint(tabs, page); }
  void RightUpAt(const wxPoint& at) { commands_test::RightUpOn(tabs, at); }
  // Right-clicks the tab of `page` and chooses `choose` (0: nothing) from its
  // menu; the menu as it was shown.
  commands_test::Menu RightClickTab(int page, int choose = 0) {
    MenuRecorder menus;
    menus.choose = choose;
    RightUpAt(TabPoint(page));
    EXPECT_EQ(menus.shown.size(), 1u);
    if (choose) {
      EXPECT_EQ(menus.chosen, std::vector<bool>{true}) << "could not choose " << choose;
    }
    return menus.shown.empty() ? commands_test::Menu() : menus.Last();
  }
  // Right-clicks the tab of `page` and, while its menu is open, sends
  // `command` whatever its item shows (as a key could).
  void SendWhileOpen(int page, int command) {
    MenuRecorder menus;
    menus.inside = [&] {
      wxCommandEvent event(wxEVT_MENU, command);
      event.SetEventObject(tabs);
      tabs->GetEventHandler()->ProcessEvent(event);
    };
    RightUpAt(TabPoint(page));
    EXPECT_EQ(menus.shown.size(), 1u);
  }
  std::vector<wxString> Titles() {
    std::vector<wxString> titles;
    for (std::size_t i = 0; i < tabs->GetPageCount(); ++i) titles.push_back(tabs->GetPageText(i));
    return titles;
  }
  fs::path folder = testing_sandbox::MakeTempDir("lists");
};
using Titles_t = std::vector<wxString>;

TEST_F(TabMenu, ARightClickOnATabSelectsItAndShowsItsMenuAndOffATabShowsNothing) {
  MenuRecorder menus;
  RightUpAt(wxPoint(tabs->GetClientSize().x - 3, tabs->GetClientSize().y - 3));  // on the page, no tab
  EXPECT_TRUE(menus.shown.empty());
  EXPECT_EQ(tabMenu->GetClickedTab(), -1);

  int clickedWhileOpen = -1;
  menus.inside = [&] { clickedWhileOpen = tabMenu->GetClickedTab(); };
  RightUpAt(TabPoint(kWork));
  ASSERT_EQ(menus.shown.size(), 1u);
  EXPECT_EQ(menus.windows[0], tabs);
  EXPECT_EQ(tabs->GetSelection(), kWork);
  EXPECT_EQ(clickedWhileOpen, kWork);
  EXPECT_EQ(tabMenu->GetClickedTab(), -1) << "only while the menu is open";
  EXPECT_EQ(Ids(menus.Last()), (std::vector<int>{ID_LIST_LISTEN, ID_LIST_INSERT_BEFORE, ID_LIST_INSERT_AFTER,
                                                 ID_LIST_REMOVE, ID_LIST_SAVE, ID_LIST_LOAD, 0, ID_MULTIPLE_PASTE,
                                                 ID_PASTE_ALL, ID_MULTIPLE_DELETE, ID_DELETE_ALL, 0,
                                                 ID_LIST_PROPERTIES}))
      << "an empty list has no send menu";
  for (int id : {ID_MULTIPLE_PASTE, ID_PASTE_ALL, ID_MULTIPLE_DELETE, ID_DELETE_ALL})
    EXPECT_TRUE(Find(menus.Last(), id)->hasBitmap);
  EXPECT_FALSE(Find(menus.Last(), ID_LIST_LISTEN)->hasBitmap);
  EXPECT_EQ(Find(menus.Last(), ID_LIST_LISTEN)->label, "&Listen To Clipboard");
  EXPECT_EQ(Find(menus.Last(), ID_LIST_LISTEN)->help, "Observe the clipboard and record clips in the list.");
}

TEST_F(TabMenu, ItsItemsAreEnabledByTheListTheyActOn) {
  const int ids[] = {ID_LIST_LISTEN, ID_LIST_INSERT_BEFORE, ID_LIST_INSERT_AFTER, ID_LIST_REMOVE, ID_LIST_SAVE,
                     ID_LIST_LOAD,   ID_LIST_PROPERTIES,    ID_MULTIPLE_PASTE,    ID_PASTE_ALL,   ID_MULTIPLE_DELETE,
                     ID_DELETE_ALL};
  struct Case {
    const char* what;
    int page;
    bool enabled[11];  // in the order of `ids`
    bool sendMenu;
  } cases[] = {
      //                  listen before after remove save  load  props mpaste pall  mdel  dall
      {"listening list", kMain, {false, true, true, false, true, true, true, true, true, true, true}, true},
      {"empty list", kWork, {true, true, true, true, false, true, true, false, false, false, false}, false},
      {"search list", kSearch, {false, true, true, false, true, false, true, true, true, false, false}, true},
  };
  lists_test::SearchNow(Search(), "a");
  DispatchPending();
  for (const Case& c : cases) {
    const commands_test::Menu menu = RightClickTab(c.page);
    for (std::size_t i = 0; i < std::size(ids); ++i)
      EXPECT_EQ(Find(menu, ids[i])->enabled, c.enabled[i]) << c.what << ": " << CommandLabel(ids[i]);
    EXPECT_EQ(Find(menu, ID_SEND_LIST_MENU) != nullptr, c.sendMenu) << c.what;
  }
}

TEST_F(TabMenu, WithAFullHistoryNeitherInsertIsOffered) {
  while (history.GetLists().size() < history.GetMaxLists()) {
    auto* list = new pq::RecordList;
    list->name = "L" + std::to_string(history.GetLists().size());
    ASSERT_TRUE(history.InsertRecordList(list, 1));
  }
  DispatchPending();
  const commands_test::Menu menu = RightClickTab(kMain);
  EXPECT_FALSE(Find(menu, ID_LIST_INSERT_BEFORE)->enabled);
  EXPECT_FALSE(Find(menu, ID_LIST_INSERT_AFTER)->enabled);
}

TEST_F(TabMenu, InsertBeforeAndAfterAddAListNamedInItsDialogOnlyOnOK) {
  struct Case {
    int page;
    int command;
    bool confirm;
    Titles_t titles;
  } cases[] = {
      {kWork, ID_LIST_INSERT_BEFORE, false, {"[Main]", "Work", "Search"}},
      {kWork, ID_LIST_INSERT_BEFORE, true, {"[Main]", "New", "Work", "Search"}},
      {kMain, ID_LIST_INSERT_AFTER, true, {"[Main]", "New", "Work", "Search"}},
      {kSearch, ID_LIST_INSERT_AFTER, true, {"[Main]", "Work", "Search", "New"}},  // after the last: at the end
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(CommandLabel(c.command) + " " + std::to_string(c.page));
    bool defaults = false;
    wxWindow* parent = nullptr;
    WhenShown<RecordListPropertyDlg>([&](RecordListPropertyDlg& dialog) {
      parent = dialog.GetParent();
      defaults = dialog.GetNameText()->GetValue().empty() && dialog.GetMaxText()->GetValue() == "100" &&
                 dialog.GetDiscardCheck()->GetValue() && !dialog.GetMoveToFrontCheck()->GetValue();
      EXPECT_EQ(DlgMgr::CurrentDialog(), nullptr) << "shown by itself";
      dialog.GetNameText()->SetValue("New");
      if (c.confirm) PressOK(dialog);
    });
    RightClickTab(c.page, c.command);
    EXPECT_TRUE(defaults) << "a new list with the list defaults";
    EXPECT_EQ(parent, tabs);
    EXPECT_EQ(Titles(), c.titles);
    if (pq::RecordList* added = history.FindRecordList("New")) history.RemoveRecordList(added, true);
  }
}

TEST_F(TabMenu, RemoveTakesAnyListButTheListeningAndTheSearchList) {
  RightClickTab(kWork, ID_LIST_REMOVE);
  EXPECT_EQ(Titles(), (Titles_t{"[Main]", "Search"}));
  EXPECT_EQ(history.FindRecordList("Work"), nullptr);
  work = nullptr;
  // The command refuses them itself, whatever its item showed.
  for (int page : {0, 1}) SendWhileOpen(page, ID_LIST_REMOVE);
  EXPECT_EQ(Titles(), (Titles_t{"[Main]", "Search"}));
}

TEST_F(TabMenu, PropertiesRetitleTheTabOnlyAfterOK) {
  for (bool confirm : {false, true}) {
    bool throughTheManager = false;
    WhenShown<RecordListPropertyDlg>([&](RecordListPropertyDlg& dialog) {
      throughTheManager = DlgMgr::CurrentDialog() == &dialog;
      dialog.GetNameText()->SetValue("R&D");
      if (confirm) PressOK(dialog);
    });
    RightClickTab(kWork, ID_LIST_PROPERTIES);
    EXPECT_TRUE(throughTheManager);
    EXPECT_EQ(work->GetName(), confirm ? "R&D" : "Work");
    EXPECT_EQ(tabs->GetPageText(kWork), confirm ? "R&D" : "Work");
  }
}

TEST_F(TabMenu, ListenMakesTheListTheListeningOneButNeverTheSearchList) {
  RightClickTab(kWork, ID_LIST_LISTEN);
  EXPECT_EQ(history.GetMainList(), work);
  EXPECT_EQ(Titles(), (Titles_t{"Main", "[Work]", "Search"}));
  SendWhileOpen(kSearch, ID_LIST_LISTEN);
  EXPECT_EQ(history.GetMainList(), work);
}

TEST_F(TabMenu, TheFilePickersAskForRecordListFiles) {
  PickerRecorder pickers("");  // cancelled: nothing happens
  MessageBoxRecorder boxes;
  RightClickTab(kMain, ID_LIST_SAVE);
  RightClickTab(kWork, ID_LIST_LOAD);
  ASSERT_EQ(pickers.requests.size(), 2u);
  const FilePickerRequest& save = pickers.requests[0];
  EXPECT_EQ(save.message, "Please select the file to save the records");
  EXPECT_EQ(save.defaultExtension, "pqs");
  EXPECT_EQ(save.wildcard, "Clipboard Record List Files (*.pqs)|*.pqs");
  EXPECT_EQ(save.flags, wxFD_SAVE | wxFD_OVERWRITE_PROMPT | wxFD_CHANGE_DIR);
  EXPECT_EQ(save.parent, tabs);
  const FilePickerRequest& load = pickers.requests[1];
  EXPECT_EQ(load.message, "Please select the record list file to load");
  EXPECT_EQ(load.defaultExtension, "pqs");
  EXPECT_EQ(load.wildcard, save.wildcard);
  EXPECT_EQ(load.flags, wxFD_OPEN | wxFD_FILE_MUST_EXIST | wxFD_CHANGE_DIR);
  EXPECT_TRUE(boxes.boxes.empty());
  EXPECT_EQ(work->GetCount(), 0u);
}

TEST_F(TabMenu, ASavedListLoadsIntoAnotherInItsOrderUnderThatListsLimit) {
  const wxString file = wxString::FromUTF8((folder / "main.pqs").string());
  {
    PickerRecorder pickers(file);
    RightClickTab(kMain, ID_LIST_SAVE);
  }
  ASSERT_TRUE(fs::exists(file.utf8_string()));
  pq::RecordList read;
  ArchiveInfo info;
  ASSERT_NO_THROW(pq::LoadRecordListFile(read, file));
  EXPECT_EQ(Texts(read), (Lines{"Alpha", "Beta", "Gamma"}));

  // Into a list that holds two and drops its oldest: the file's first two,
  // in its order, and what it held before goes first.
  work->maxRecords = 2;
  commands_test::FillWithItems(*work, {"old"});
  {
    PickerRecorder pickers(file);
    MessageBoxRecorder boxes;
    RightClickTab(kWork, ID_LIST_LOAD);
    EXPECT_TRUE(boxes.boxes.empty());
  }
  EXPECT_EQ(Texts(*work), (Lines{"Alpha", "Beta"}));
  EXPECT_EQ(work->GetName(), "Work") << "the list keeps its name and switches";
  EXPECT_EQ(work->maxRecords, 2u);
  EXPECT_EQ(Window(kWork)->GetItemCount(), 2);
}

TEST_F(TabMenu, ANameTypedWithoutItsExtensionIsSavedWithItAndAFileOfThatNameIsReplacedOnlyAfterYes) {
  const fs::path saved = folder / "typed.pqs";
  PickerRecorder pickers(wxString::FromUTF8((folder / "typed").string()));
  {
    MessageBoxRecorder boxes;
    RightClickTab(kMain, ID_LIST_SAVE);
    EXPECT_TRUE(boxes.boxes.empty()) << "nothing to replace yet";
  }
  ASSERT_TRUE(fs::exists(saved));
  EXPECT_FALSE(fs::exists(folder / "typed"));
  Main().RemoveRecordAt(0);
  for (int answer : {wxNO, wxYES}) {
    MessageBoxRecorder boxes(answer);
    RightClickTab(kMain, ID_LIST_SAVE);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].message, "A file named \"typed.pqs\" already exists. Do you want to replace it?");
    EXPECT_EQ(boxes.boxes[0].style & (wxYES_NO | wxOK), wxYES_NO);
    pq::RecordList read;
    pq::LoadRecordListFile(read, wxString::FromUTF8(saved.string()));
    EXPECT_EQ(read.GetCount(), answer == wxYES ? 2u : 3u);
  }
}

TEST_F(TabMenu, ASaveThatCannotBeWrittenIsReported) {
  const fs::path locked = folder / "locked";
  fs::create_directory(locked);
  fs::create_directory(folder / "folder.pqs");
  ::chmod(locked.c_str(), 0500);
  struct Case {
    const char* what;
    fs::path path;
  };
  std::vector<Case> cases = {
      {"a folder nobody can write", "/proc/list.pqs"},
      {"a folder that is not there", folder / "missing" / "list.pqs"},
      {"a folder in place of the file", folder / "folder.pqs"},
  };
  // The user's own folder without write permission (which binds all but root).
  if (::access(locked.c_str(), W_OK) != 0) cases.push_back({"a folder without write permission", locked / "list.pqs"});
  for (const Case& c : cases) {
    PickerRecorder pickers(wxString::FromUTF8(c.path.string()));
    MessageBoxRecorder boxes;
    RightClickTab(kMain, ID_LIST_SAVE);
    ASSERT_EQ(boxes.boxes.size(), 1u) << c.what;
    EXPECT_EQ(boxes.boxes[0].message, "Error saving the clipboard record list!");
    EXPECT_EQ(boxes.boxes[0].caption, "Error");
    EXPECT_EQ(boxes.boxes[0].style, wxOK | wxICON_ERROR);
    EXPECT_EQ(boxes.boxes[0].parent, tabs);
  }
  ::chmod(locked.c_str(), 0700);
  EXPECT_TRUE(fs::is_empty(locked)) << "nothing left behind";
}

TEST_F(TabMenu, ALoadThatFailsIsReportedAndChangesNothing) {
  // A good file, cut short; one with another magic; no file at all.
  const fs::path good = folder / "good.pqs";
  pq::RecordList three;
  commands_test::FillWithItems(three, {"x", "y", "z"});
  ASSERT_TRUE(pq::SaveRecordListFile(wxString::FromUTF8(good.string()), ArchiveInfo(APP_VERSION_CODE, 1), three));
  const fs::path cut = folder / "cut.pqs";
  fs::copy_file(good, cut);
  fs::resize_file(cut, fs::file_size(good) / 2);
  const fs::path foreign = folder / "foreign.pqs";
  std::ofstream(foreign) << "not a list at all";
  for (const fs::path& file : {cut, foreign, folder / "absent.pqs", folder}) {
    SCOPED_TRACE(file.string());
    commands_test::FillWithItems(*work, {"kept"});
    PickerRecorder pickers(wxString::FromUTF8(file.string()));
    MessageBoxRecorder boxes;
    RightClickTab(kWork, ID_LIST_LOAD);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].message, "Error loading the clipboard record list!");
    EXPECT_EQ(boxes.boxes[0].caption, "Error");
    EXPECT_EQ(boxes.boxes[0].style, wxOK | wxICON_ERROR);
    EXPECT_EQ(Texts(*work), Lines{"kept"});
    work->Clear();
  }
}

TEST_F(TabMenu, LoadLeavesTheSearchListAlone) {
  PickerRecorder pickers(wxString::FromUTF8((folder / "any.pqs").string()));
  SendWhileOpen(kSearch, ID_LIST_LOAD);
  EXPECT_TRUE(pickers.requests.empty());
}

// Our lists to another computer of ours on loopback.
class SendList : public TabMenu {
 protected:
  send_test::Computers computers;
};

TEST_F(SendList, ToARememberedHostTheListLandsInOrderInTheListTheOtherComputerNamesForUs) {
  settings.config.AddHost("a&b", 1);
  settings.config.AddHost(computers.OtherHost(), computers.OtherPort());
  const commands_test::Menu menu = RightClickTab(kMain, ID_SEND_LIST_FIRST + 1);
  const commands_test::MenuItem* send = Find(menu, ID_SEND_LIST_MENU);
  ASSERT_NE(send, nullptr);
  EXPECT_EQ(send->label, "&Send List To:");
  EXPECT_EQ(send->help, "Send the list to other computer");
  EXPECT_EQ(Ids(send->submenu), (std::vector<int>{ID_SEND_LIST_FIRST, ID_SEND_LIST_FIRST + 1, ID_SEND_LIST_OTHER}));
  EXPECT_EQ(send->submenu[0].label, "a&&b:1");
  EXPECT_EQ(send->submenu[0].help, "Send the list to: a&b:1");
  EXPECT_EQ(send->submenu[2].label, "&Other Computer...");
  EXPECT_EQ(send->submenu[2].help, "Send the list to other computer");
  ASSERT_TRUE(computers.WaitForInbox(3));
  EXPECT_EQ(Texts(computers.Inbox()), (Lines{"Alpha", "Beta", "Gamma"}));
}

TEST_F(SendList, ToAnotherComputerTheHostIsAskedForAndRememberedAfterTheSendStarted) {
  std::size_t hostsWhenAsked = 99;
  WhenShown<HostnameDlg>([&](HostnameDlg& dialog) {
    EXPECT_EQ(dialog.GetParent(), tabs);
    EXPECT_EQ(dialog.GetPortText()->GetValue(), "45689");
    hostsWhenAsked = settings.config.sendToHosts.size();
    dialog.GetHostText()->SetValue(computers.OtherHost());
    dialog.GetPortText()->SetValue(wxString::Format("%d", computers.OtherPort()));
    PressOK(dialog);
  });
  RightClickTab(kMain, ID_SEND_LIST_OTHER);
  EXPECT_EQ(hostsWhenAsked, 0u);
  ASSERT_EQ(settings.config.sendToHosts.size(), 1u);
  EXPECT_EQ(settings.config.sendToHosts[0].GetHost(), computers.OtherHost());
  ASSERT_TRUE(computers.WaitForInbox(3));
  EXPECT_EQ(Texts(computers.Inbox()), (Lines{"Alpha", "Beta", "Gamma"}));
  const commands_test::Menu menu = RightClickTab(kMain);
  EXPECT_EQ(Find(menu, ID_SEND_LIST_FIRST)->label, computers.OtherHost() + ":" + std::to_string(computers.OtherPort()));
}

TEST_F(SendList, AnEmptyListIsNotSent) {
  settings.config.AddHost(computers.OtherHost(), computers.OtherPort());
  SendWhileOpen(kWork, ID_SEND_LIST_FIRST);
  ASSERT_TRUE(computers.WaitForSenders());
  EXPECT_EQ(computers.Inbox().GetCount(), 0u);
}

}  // namespace
