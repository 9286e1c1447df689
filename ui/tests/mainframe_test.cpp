// The main frame: its panes, menus, tool bar and status bar, the recording
// item and tool that follow their option, the bar toggles, the record shown
// for a selection, and the close box.
#include "mainframe.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include <boost/make_shared.hpp>
#include <wx/listctrl.h>
#include <wx/menu.h>
#include <wx/splitter.h>
#include <wx/statusbr.h>
#include <wx/toolbar.h>

#include "child_process.h"
#include "commands.h"
#include "commands_fixture.h"
#include "gui_util.h"
#include "historytabmenu.h"
#include "historywindow.h"
#include "imagestrip.h"
#include "maincommandhandler.h"
#include "msgbox_recorder.h"
#include "options.h"
#include "platform/sim/desktop.h"
#include "pq/history.h"
#include "pq/mgr.h"
#include "pq/record.h"
#include "recordlistwindow.h"
#include "recordviewer.h"
#include "settings.h"
#include "strip_pictures.h"

namespace {

using strip_test::ImageOf;

// One menu item or tool as the user sees it.
struct Entry {
  int id;  // wxID_SEPARATOR for a separator
  std::string label;
  std::string help;
  int image;  // -1: none
  bool check = false;
};
bool operator==(const Entry& a, const Entry& b) {
  return a.id == b.id && a.label == b.label && a.help == b.help && a.image == b.image && a.check == b.check;
}
std::ostream& operator<<(std::ostream& o, const Entry& e) {
  return o << "{" << e.id << ", \"" << e.label << "\", \"" << e.help << "\", " << e.image << (e.check ? ", check" : "")
           << "}";
}
using Entries = std::vector<Entry>;
const Entry kSeparator = {wxID_SEPARATOR, "", "", -1};

const Entry kStart = {ID_TOGGLE_RECORDING, "&Start Recording", "Start recording clipboard records", IMG_START_RECORDING};
const Entry kPause = {ID_TOGGLE_RECORDING, "&Pause Recording", "Pause recording clipboard records", IMG_PAUSE_RECORDING};
const Entry kCopy = {wxID_COPY, "&Copy", "Copy record to clipboard", IMG_COPY};
const Entry kPaste = {wxID_PASTE, "&Paste", "Paste record to previous working application", IMG_PASTE};
const Entry kMultiplePaste = {ID_MULTIPLE_PASTE, "&Multiple Paste",
                              "Paste multiple records to previous working application", IMG_MULTIPLE_PASTE};
const Entry kPasteAll = {ID_PASTE_ALL, "Paste &All", "Paste ALL records in the list to previous working application",
                         IMG_PASTE_ALL};
const Entry kDelete = {wxID_DELETE, "&Delete", "Delete the selected record", IMG_DELETE};
const Entry kMultipleDelete = {ID_MULTIPLE_DELETE, "M&ultiple Delete", "Delete multiple records",
                               IMG_MULTIPLE_DELETE};
const Entry kDeleteAll = {ID_DELETE_ALL, "D&elete All", "Delete ALL records in the list", IMG_DELETE_ALL};
const Entry kOptions = {wxID_PREFERENCES, "&Options", "Change application settings", IMG_OPTIONS};

// The main list holds two records of text; a second list one more.
class Frame : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::sim::Reset();
    history.CreateDefaultLists();
    other = new pq::RecordList;
    other->name = "Other";
    history.InsertRecordList(other, 1);
    for (const char* text : {"first", "second"}) history.GetMainList()->AddRecord(TextRecord(text));
    other->AddRecord(TextRecord("elsewhere"));
    frame = new MainFrame(&history);
  }
  void TearDown() override {
    pq::Mgr& mgr = pq::Mgr::Get();
    if (mgr.IsStarted()) mgr.Stop();
    mgr.SetHistory(nullptr);
    frame->GetHistoryWindow()->Unregister();
    delete frame;
    DispatchPending();
  }

  static pq::RecordPtr TextRecord(const char* text) {
    auto record = boost::make_shared<pq::Record>();
    record->SetText(text);
    return record;
  }

  Entries Items(const wxMenu& menu) const {
    Entries out;
    for (const wxMenuItem* item : menu.GetMenuItems()) {
      if (item->IsSeparator()) {
        out.push_back(kSeparator);
        continue;
      }
      const int image = ImageOf(item->GetBitmap(), *strip);
      EXPECT_EQ(strip_test::PictureOf(item), image >= 0 ? strip_test::MenuPicture::kAlways : strip_test::MenuPicture::kNone)
          << item->GetItemLabel();
      out.push_back({item->GetId(), item->GetItemLabel().utf8_string(), item->GetHelp().utf8_string(), image,
                     item->IsCheckable()});
    }
    return out;
  }
  Entries Tools(const wxToolBar& tools) const {
    Entries out;
    for (std::size_t i = 0; i < tools.GetToolsCount(); ++i) {
      const wxToolBarToolBase* tool = tools.GetToolByPos(static_cast<int>(i));
      if (tool->IsSeparator()) {
        out.push_back(kSeparator);
        continue;
      }
      // A plain button, whose two helps are one text.
      EXPECT_TRUE(tool->IsButton());
      EXPECT_EQ(tool->GetKind(), wxITEM_NORMAL);
      EXPECT_EQ(tool->GetShortHelp(), tool->GetLongHelp()) << tool->GetId();
      out.push_back({tool->GetId(), tool->GetLabel().utf8_string(), tool->GetShortHelp().utf8_string(),
                     ImageOf(tool->GetNormalBitmap(), *strip)});
    }
    return out;
  }
  wxMenu* Menu(const char* title) const {
    const int at = frame->GetMenuBar()->FindMenu(title);
    return at == wxNOT_FOUND ? nullptr : frame->GetMenuBar()->GetMenu(at);
  }
  // What the View menu's check marks show once the frame's update-UI ran.
  bool Checked(int id) {
    frame->UpdateWindowUI(wxUPDATE_UI_RECURSE);
    return frame->GetMenuBar()->IsChecked(id);
  }
  wxMenuItem* RecordingItem() const { return frame->GetMenuBar()->FindItem(ID_TOGGLE_RECORDING); }
  Entry RecordingItemEntry() const {
    for (const Entry& e : Items(*Menu("&File")))
      if (e.id == ID_TOGGLE_RECORDING) return e;
    return kSeparator;
  }
  Entry RecordingTool() const { return Tools(*frame->GetRememberedToolBar()).at(0); }
  void Toggle(int id) {
    wxCommandEvent event(wxEVT_MENU, id);
    event.SetEventObject(frame);
    frame->GetEventHandler()->ProcessEvent(event);
    DispatchPending();
  }
  // Shows the frame and waits until the desktop made it the active window.
  bool Activate() {
    frame->Show();
    frame->Raise();
    return testing_process::WaitUntil(
        [&] {
          DispatchPending();
          return frame->IsActive();
        },
        std::chrono::seconds(10));
  }

  testing_settings::ScopedSettings settings;
  std::unique_ptr<wxImage> strip = LoadImageStrip();
  pq::History history;
  pq::RecordList* other = nullptr;
  MainFrame* frame = nullptr;
};

TEST_F(Frame, IsAHiddenFrameSplitBetweenTheHistoryAndTheViewer) {
  EXPECT_FALSE(frame->IsShown());
  EXPECT_EQ(frame->GetTitle(), "Pastiq");
  EXPECT_EQ(frame->GetName(), "frame");
  EXPECT_EQ(frame->GetSize(), wxSize(680, 480));
  EXPECT_EQ(frame->GetMinSize(), wxSize(280, 180));
  EXPECT_EQ(frame->GetMaxSize(), wxDefaultSize);

  wxSplitterWindow* splitter = frame->GetSplitter();
  EXPECT_EQ(splitter->GetName(), "splitter");
  EXPECT_EQ(splitter->GetSplitMode(), wxSPLIT_VERTICAL);
  EXPECT_EQ(splitter->GetWindow1(), frame->GetHistoryWindow());
  EXPECT_EQ(splitter->GetWindow2(), frame->GetRecordViewer());
  EXPECT_DOUBLE_EQ(splitter->GetSashGravity(), 0.38);
  EXPECT_EQ(splitter->GetMinimumPaneSize(), 100);
  frame->Show();
  DispatchPending();
  EXPECT_EQ(splitter->GetSashPosition(), 168);
  // The splitter fills what the bars leave.
  EXPECT_EQ(splitter->GetSize(), frame->GetClientSize());

  EXPECT_EQ(frame->GetHistoryWindow()->GetHistory(), &history);
  EXPECT_EQ(frame->GetHistoryWindow()->GetPageCount(), 0u) << "pages come with Start";
  EXPECT_EQ(frame->GetRecordViewer()->GetPageCount(), 0u);

  ASSERT_NE(frame->GetStatusBar(), nullptr);
  EXPECT_EQ(frame->GetStatusBar(), frame->GetRememberedStatusBar());
  EXPECT_EQ(frame->GetStatusBar()->GetName(), "status_line");
  EXPECT_EQ(frame->GetStatusBar()->GetFieldsCount(), 1);
  EXPECT_EQ(frame->GetStatusBar()->GetStatusText(0), "Welcome to Pastiq");
  ASSERT_NE(frame->GetToolBar(), nullptr);
  EXPECT_EQ(frame->GetToolBar(), frame->GetRememberedToolBar());
  EXPECT_EQ(frame->GetToolBar()->GetName(), "toolbar");
}

TEST_F(Frame, TheMenusHoldTheirItemsInOrder) {
  SetOption(OPT_RECORDING, true);
  MainFrame recording(&history);
  wxMenuBar* bar = recording.GetMenuBar();
  ASSERT_EQ(bar->GetMenuCount(), 5u);
  const char* titles[] = {"&File", "&Edit", "&View", "&Tools", "&Help"};
  for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(bar->GetMenuLabel(i), titles[i]);

  const Entries file = {kPause, {wxID_EXIT, "E&xit", "Close Pastiq", -1}};
  const Entries edit = {kCopy, kPaste, kMultiplePaste, kPasteAll, kSeparator, kDelete, kMultipleDelete, kDeleteAll};
  const Entries view = {{ID_TOGGLE_TOOLBAR, "&Tool Bar", "Toggle tool bar", -1, true},
                        {ID_TOGGLE_STATUSBAR, "&Status Bar", "Toggle status bar", -1, true},
                        {ID_TOGGLE_FLOATING, "&Floating List", "Toggle floating list window", -1, true}};
  const Entries tools = {kOptions, {ID_SHOW_LOG, "&Log...", "Show the log window", -1}};
  const Entries help = {{wxID_HELP_CONTENTS, "&Manual", "Pastiq Manual", IMG_MANUAL},
                        {wxID_ABOUT, "&About", "About Pastiq", -1}};
  const Entries* expected[] = {&file, &edit, &view, &tools, &help};
  for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(Items(*bar->GetMenu(i)), *expected[i]) << titles[i];
  recording.GetHistoryWindow()->Unregister();
}

TEST_F(Frame, TheToolBarHoldsItsToolsInOrder) {
  const Entries tools = {kStart,     kSeparator, kCopy,           kPaste,     kMultiplePaste, kPasteAll, kSeparator,
                         kDelete,    kMultipleDelete, kDeleteAll, kSeparator, kOptions};
  SetOption(OPT_RECORDING, false);
  MainFrame paused(&history);
  EXPECT_EQ(Tools(*paused.GetToolBar()), tools);
  paused.GetHistoryWindow()->Unregister();
}

TEST_F(Frame, StartStartsTheManagerWithTheFramesWindowAndBuildsThePages) {
  SetOption(OPT_MAIN_FRAME_TAB, 1);
  frame->Start();
  pq::Mgr& mgr = pq::Mgr::Get();
  EXPECT_TRUE(mgr.IsStarted());
  EXPECT_EQ(mgr.GetWindow(), frame->GetDesktopWindow());
  EXPECT_EQ(mgr.GetHistory(), &history);
  HistoryWindow* tabs = frame->GetHistoryWindow();
  ASSERT_EQ(tabs->GetPageCount(), 3u);
  EXPECT_EQ(tabs->GetPageText(0), "[Main]");
  EXPECT_EQ(tabs->GetSelection(), 1);
}

// The item and the tool show the option's face whenever it changes, also
// while the tool bar is hidden; the other tools stay as they were.
TEST_F(Frame, TheRecordingItemAndToolFollowTheOption) {
  SetOption(OPT_RECORDING, true);
  frame->Start();
  frame->Show();
  DispatchPending();
  const Entries others = [&] {
    Entries all = Tools(*frame->GetToolBar());
    all.erase(all.begin());
    return all;
  }();
  const std::size_t fileItems = Menu("&File")->GetMenuItemCount();
  const struct {
    bool hideFirst;  // the tool bar hidden while the option changes
    bool recording;
    Entry face;
  } steps[] = {{false, false, kStart}, {false, true, kPause}, {true, false, kStart}, {true, true, kPause},
               {true, false, kStart}};
  for (const auto& step : steps) {
    if (step.hideFirst) Toggle(ID_TOGGLE_TOOLBAR);
    SetOption(OPT_RECORDING, step.recording);
    if (step.hideFirst) Toggle(ID_TOGGLE_TOOLBAR);
    ASSERT_NE(frame->GetToolBar(), nullptr);
    EXPECT_EQ(RecordingItemEntry(), step.face) << "hidden " << step.hideFirst;
    EXPECT_EQ(RecordingTool(), step.face) << "hidden " << step.hideFirst;
    // The bar spans the frame with its new tool.
    DispatchPending();
    EXPECT_EQ(frame->GetToolBar()->GetSize().x, frame->GetClientSize().x);
    EXPECT_GT(frame->GetToolBar()->GetSize().y, kStripImageSize);
    Entries rest = Tools(*frame->GetToolBar());
    rest.erase(rest.begin());
    EXPECT_EQ(rest, others);
    EXPECT_EQ(Menu("&File")->GetMenuItemCount(), fileItems);
    EXPECT_EQ(Menu("&File")->FindItemByPosition(0)->GetId(), ID_TOGGLE_RECORDING);
  }
}

// Each toggle hides or shows its bar, the client area and the check mark
// follow, and a bar shown again has all its tools.
TEST_F(Frame, TheBarTogglesHideAndShowTheirBars) {
  frame->Show();
  DispatchPending();
  const wxSize full = frame->GetSplitter()->GetSize();
  const std::size_t tools = frame->GetRememberedToolBar()->GetToolsCount();
  struct Bar {
    int command;
    std::function<wxWindow*()> attached;
    wxWindow* remembered;
  } bars[] = {{ID_TOGGLE_TOOLBAR, [&] { return frame->GetToolBar(); }, frame->GetRememberedToolBar()},
              {ID_TOGGLE_STATUSBAR, [&] { return frame->GetStatusBar(); }, frame->GetRememberedStatusBar()}};
  for (const Bar& bar : bars) {
    EXPECT_TRUE(Checked(bar.command));
    Toggle(bar.command);
    EXPECT_EQ(bar.attached(), nullptr);
    EXPECT_FALSE(bar.remembered->IsShown());
    EXPECT_FALSE(Checked(bar.command));
    EXPECT_GT(frame->GetSplitter()->GetSize().y, full.y) << bar.command;
    EXPECT_EQ(frame->GetSplitter()->GetSize(), frame->GetClientSize());

    Toggle(bar.command);
    EXPECT_EQ(bar.attached(), bar.remembered);
    EXPECT_TRUE(bar.remembered->IsShown());
    EXPECT_TRUE(Checked(bar.command));
    EXPECT_EQ(frame->GetSplitter()->GetSize(), full) << bar.command;
  }
  EXPECT_EQ(frame->GetToolBar()->GetToolsCount(), tools);
  EXPECT_EQ(frame->GetStatusBar()->GetStatusText(0), "Welcome to Pastiq");
  // Both hidden at once, then both back.
  Toggle(ID_TOGGLE_TOOLBAR);
  Toggle(ID_TOGGLE_STATUSBAR);
  EXPECT_EQ(frame->GetSplitter()->GetSize(), frame->GetClientSize());
  Toggle(ID_TOGGLE_STATUSBAR);
  Toggle(ID_TOGGLE_TOOLBAR);
  EXPECT_EQ(frame->GetSplitter()->GetSize(), full);
}

TEST_F(Frame, TheCloseBoxHides) {
  frame->Show();
  EXPECT_FALSE(frame->Close());
  EXPECT_FALSE(frame->IsShown());
  EXPECT_FALSE(frame->IsBeingDeleted());
}

// ---- the record shown for a selection ----

class Selection : public Frame {
 protected:
  void SetUp() override {
    Frame::SetUp();
    frame->Start();
    main = frame->GetHistoryWindow()->GetRecordListWindow(0);
  }
  // The user selects a row of `list`: the control selects it and tells its
  // parents.
  static void Select(RecordListWindow* list, long row) {
    list->SetItemState(row, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
    wxListEvent event(wxEVT_LIST_ITEM_SELECTED, list->GetId());
    event.SetEventObject(list);
    event.m_itemIndex = row;
    list->GetEventHandler()->ProcessEvent(event);
  }
  static void Deselect(RecordListWindow* list, long row) {
    list->SetItemState(row, 0, wxLIST_STATE_SELECTED);
  }
  pq::RecordPtr Shown() const { return frame->GetRecordViewer()->GetRecord(); }
  RecordListWindow* main = nullptr;
};

TEST_F(Selection, ShowsTheSelectedRecordAndGivesItsListTheFocus) {
  ASSERT_TRUE(Activate());
  Select(main, 1);
  EXPECT_EQ(Shown(), history.GetMainList()->GetRecord(1));
  ASSERT_EQ(frame->GetRecordViewer()->GetPageCount(), 1u);
  EXPECT_EQ(frame->GetRecordViewer()->GetPageText(0), "Plain Text");
  DispatchPending();
  const wxWindow* focus = wxWindow::FindFocus();
  EXPECT_TRUE(focus == main || focus == main->GetRowsWindow());

  Select(main, 0);
  EXPECT_EQ(Shown(), history.GetMainList()->GetRecord(0));
}

TEST_F(Selection, ASelectionOnAnotherTabShowsThatTabsRecord) {
  ASSERT_TRUE(Activate());
  frame->GetHistoryWindow()->SetSelection(1);
  RecordListWindow* second = frame->GetHistoryWindow()->GetRecordListWindow(1);
  Select(second, 0);
  EXPECT_EQ(Shown(), other->GetRecord(0));
}

TEST_F(Selection, WithNoRowSelectedNoRecordIsShown) {
  ASSERT_TRUE(Activate());
  Select(main, 0);
  ASSERT_TRUE(Shown());
  // A selection event that arrives when the row is no longer selected.
  Deselect(main, 0);
  wxListEvent event(wxEVT_LIST_ITEM_SELECTED, main->GetId());
  event.SetEventObject(main);
  main->GetEventHandler()->ProcessEvent(event);
  EXPECT_FALSE(Shown());
  EXPECT_EQ(frame->GetRecordViewer()->GetPageCount(), 0u);
}

TEST_F(Selection, IsIgnoredWhileTheFrameIsHiddenOrInTheBackground) {
  ASSERT_FALSE(frame->IsShown());
  Select(main, 0);
  EXPECT_FALSE(Shown());

  ASSERT_TRUE(Activate());
  auto* front = new wxFrame(nullptr, wxID_ANY, "front", wxDefaultPosition, wxSize(200, 200));
  front->Show();
  front->Raise();
  ASSERT_TRUE(testing_process::WaitUntil(
      [&] {
        DispatchPending();
        return front->IsActive() && !frame->IsActive();
      },
      std::chrono::seconds(10)));
  Select(main, 1);
  EXPECT_FALSE(Shown());
  delete front;
}

// A list in another top window whose parent is the frame: its events
// travel up to the frame, but are not the frame's selection.
TEST_F(Selection, ASelectionInAnotherWindowNeverReachesTheViewer) {
  ASSERT_TRUE(Activate());
  auto* popup = new wxFrame(frame, wxID_ANY, "popup", wxDefaultPosition, wxSize(200, 200));
  auto* list = new RecordListWindow(popup);
  list->SetRecordList(other);
  DispatchPending();
  Select(main, 0);  // the frame's own list shows a selected row as well
  const pq::RecordPtr before = Shown();
  ASSERT_TRUE(before);
  Deselect(main, 0);
  Select(list, 0);
  EXPECT_EQ(Shown(), before);
  list->SetRecordList(nullptr);
  delete popup;
}

}  // namespace

// ---- the record and tab commands of the frame ----

// The frame's menus, tools and tab menu reach the handlers it pushed: Main
// has rows, Other is empty, Search is the search list.
class FrameCommands : public Frame {
 protected:
  void SetUp() override {
    Frame::SetUp();
    other->Clear();
    SetOption(OPT_MULTIPASTE_AT_ONCE, true);
    frame->Start();
    frame->Show();
    DispatchPending();
    tabs = frame->GetHistoryWindow();
  }
  void ShowTab(int page) {
    tabs->SetSelection(static_cast<std::size_t>(page));
    DispatchPending();
  }
  // Whether the menu bar's item and the tool of `id` are enabled once the
  // frame's update-UI ran; both must agree.
  bool Enabled(int id) {
    frame->UpdateWindowUI(wxUPDATE_UI_RECURSE);
    const bool item = frame->GetMenuBar()->IsEnabled(id);
    EXPECT_EQ(frame->GetToolBar()->GetToolEnabled(id), item) << id;
    return item;
  }

  HistoryWindow* tabs = nullptr;
};

TEST_F(FrameCommands, TheFramePushesTheRecordCommandsAndItsHistoryWindowTheTabMenu) {
  auto* handler = dynamic_cast<MainCommandHandler*>(frame->GetEventHandler());
  ASSERT_NE(handler, nullptr);
  EXPECT_EQ(handler->GetHistoryWindow(), tabs);
  auto* tabMenu = dynamic_cast<HistoryTabMenu*>(tabs->GetEventHandler());
  ASSERT_NE(tabMenu, nullptr);
  EXPECT_EQ(tabMenu->GetHistoryWindow(), tabs);
}

TEST_F(FrameCommands, TheMenuItemsAndToolsFollowTheRecordCommandsRules) {
  const struct {
    int page;
    bool select;
    bool selected, hasRows, editable;
  } cases[] = {
      {0, true, true, true, true},     // Main, a row selected
      {0, false, false, true, true},   // Main, none selected
      {1, false, false, false, false}, // Other, empty
      {2, false, false, false, false}, // Search, nothing typed: no rows
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "page " << c.page << (c.select ? ", selected" : ""));
    ShowTab(c.page);
    RecordListWindow* window = tabs->GetRecordListWindow(c.page);
    if (c.select) window->SelectRow(0);
    DispatchPending();
    for (int id : {wxID_COPY, wxID_PASTE, wxID_DELETE}) EXPECT_EQ(Enabled(id), c.selected) << id;
    for (int id : {ID_MULTIPLE_PASTE, ID_PASTE_ALL}) EXPECT_EQ(Enabled(id), c.hasRows) << id;
    for (int id : {ID_DELETE_ALL, ID_MULTIPLE_DELETE}) EXPECT_EQ(Enabled(id), c.editable) << id;
    if (c.select) window->SetItemState(0, 0, wxLIST_STATE_SELECTED);
  }
}

TEST_F(FrameCommands, AToolAndAMenuItemOfTheFrameRunTheirRecordCommands) {
  ShowTab(0);
  tabs->GetRecordListWindow(0)->SelectRow(0);
  DispatchPending();
  frame->GetToolBar()->OnLeftClick(wxID_DELETE, false);
  DispatchPending();
  ASSERT_EQ(history.GetMainList()->GetCount(), 1u);
  EXPECT_EQ(history.GetMainList()->GetRecord(0)->text, "first");

  MessageBoxRecorder yes(wxYES);
  EXPECT_TRUE(frame->ProcessCommand(ID_DELETE_ALL));
  DispatchPending();
  ASSERT_EQ(yes.boxes.size(), 1u);
  EXPECT_EQ(yes.boxes[0].message, "Do you really want to delete all of the clipboard records from list: Main?");
  EXPECT_EQ(history.GetMainList()->GetCount(), 0u);
}

// The tab menu's own commands stay with it; its whole-list record commands
// travel on to the frame's record commands.
TEST_F(FrameCommands, TheTabMenuOfTheFramesHistoryWindowServesItsListAndHandsOnTheRecordCommands) {
  commands_test::PasteRecorder pastes;
  {
    commands_test::MenuRecorder menus;
    menus.choose = ID_PASTE_ALL;
    commands_test::RightUpOn(tabs, commands_test::TabPoint(tabs, 0));
    ASSERT_EQ(menus.shown.size(), 1u);
    EXPECT_EQ(menus.windows[0], tabs);
  }
  EXPECT_EQ(pastes.texts, std::vector<std::string>{"secondfirst"});

  {
    commands_test::MenuRecorder menus;
    menus.choose = ID_LIST_LISTEN;
    commands_test::RightUpOn(tabs, commands_test::TabPoint(tabs, 1));
    ASSERT_EQ(menus.shown.size(), 1u);
  }
  EXPECT_EQ(history.GetMainList(), other);
  EXPECT_EQ(tabs->GetPageText(1), "[Other]");
}
