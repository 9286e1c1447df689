#pragma once
// What the tests of the record and tab commands share: a frame holding a
// history window over Main (listening), Work and Search, with a
// MainCommandHandler pushed onto the frame and a HistoryTabMenu onto the
// history window, as the windows that show records push them; commands and
// update-UI queries sent as the frame's menus send them; the pop-up menus
// answered and kept; pastes kept.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include <boost/make_shared.hpp>
#include <wx/dialog.h>
#include <wx/menu.h>

#include "dlgmgr.h"
#include "gui_util.h"
#include "historytabmenu.h"
#include "historywindow.h"
#include "lists_fixture.h"
#include "maincommandhandler.h"
#include "options.h"
#include "popupmenu.h"
#include "recordlistwindow.h"

namespace commands_test {

// One item of a pop-up menu as it was shown.
struct MenuItem {
  int id = 0;
  wxString label;  // as the menu holds it (mnemonics and escapes included)
  wxString help;
  bool enabled = true;
  bool separator = false;
  bool hasBitmap = false;
  std::vector<MenuItem> submenu;
};
using Menu = std::vector<MenuItem>;

inline Menu Snapshot(const wxMenu& menu) {
  Menu out;
  for (const wxMenuItem* item : menu.GetMenuItems()) {
    MenuItem m;
    m.id = item->GetId();
    m.label = item->GetItemLabel();
    m.help = item->GetHelp();
    m.enabled = item->IsEnabled();
    m.separator = item->IsSeparator();
    m.hasBitmap = item->GetBitmap().IsOk();
    if (item->GetSubMenu()) m.submenu = Snapshot(*item->GetSubMenu());
    out.push_back(m);
  }
  return out;
}

// The item `id` of `menu` or its submenus; null when absent.
inline const MenuItem* Find(const Menu& menu, int id) {
  for (const MenuItem& item : menu) {
    if (!item.separator && item.id == id) return &item;
    if (const MenuItem* inner = Find(item.submenu, id)) return inner;
  }
  return nullptr;
}

// The ids of a menu's items in order, 0 for a separator.
inline std::vector<int> Ids(const Menu& menu) {
  std::vector<int> ids;
  for (const MenuItem& item : menu) ids.push_back(item.separator ? 0 : item.id);
  return ids;
}

// Answers every pop-up menu while it lives: keeps what was shown (after its
// update-UI handlers ran) and chooses the item `choose` when it is set.
class MenuRecorder {
 public:
  MenuRecorder()
      : previous(SetPopupMenuHandler([this](wxWindow* window, wxMenu& menu, const wxPoint&) {
          shown.push_back(Snapshot(menu));
          windows.push_back(window);
          if (choose) chosen.push_back(ChooseMenuItem(menu, choose));
          if (inside) inside();
        })) {}
  ~MenuRecorder() { SetPopupMenuHandler(previous); }
  MenuRecorder(const MenuRecorder&) = delete;
  MenuRecorder& operator=(const MenuRecorder&) = delete;

  const Menu& Last() const { return shown.back(); }

  int choose = 0;                  // the item to choose; 0: none
  std::function<void()> inside;    // runs while the menu is open, after the choice
  std::vector<Menu> shown;
  std::vector<wxWindow*> windows;  // the window each was shown on
  std::vector<bool> chosen;        // whether each choice could be made

 private:
  PopupMenuHandler previous;
};

// The modal dialog of kind D being shown (through the dialog manager or by
// itself); null for none.
template <class D>
D* FindModal() {
  if (auto* dialog = dynamic_cast<D*>(DlgMgr::CurrentDialog())) return dialog;
  for (wxWindow* window : wxTopLevelWindows) {
    auto* dialog = dynamic_cast<D*>(window);
    if (dialog && dialog->IsModal()) return dialog;
  }
  return nullptr;
}

// Runs `drive` on the modal dialog of kind D that what comes next shows,
// from inside its loop; whatever is still open afterwards is cancelled, so
// that a test never waits for a person. Call it right before the command.
template <class D>
void WhenShown(std::function<void(D&)> drive) {
  RunSoon([drive] {
    D* dialog = FindModal<D>();
    if (dialog) drive(*dialog);
    if (!dialog) ADD_FAILURE() << "the dialog was not shown";
    for (wxWindow* window : wxTopLevelWindows)
      if (auto* open = dynamic_cast<wxDialog*>(window); open && open->IsModal()) open->EndModal(wxID_CANCEL);
  });
}

// A point on the tab of `page` of `tabs`, as the notebook finds it.
inline wxPoint TabPoint(HistoryWindow* tabs, int page) {
  const wxSize size = tabs->GetClientSize();
  for (int y = 1; y < 60; y += 2)
    for (int x = 1; x < size.x; x += 3)
      if (tabs->HitTest(wxPoint(x, y)) == page) return wxPoint(x, y);
  ADD_FAILURE() << "no point on tab " << page;
  return wxPoint(-1, -1);
}

// A right-button release at `at` on `tabs`, as the notebook sends it.
inline void RightUpOn(HistoryWindow* tabs, const wxPoint& at) {
  wxMouseEvent event(wxEVT_RIGHT_UP);
  event.SetPosition(at);
  event.SetEventObject(tabs);
  tabs->GetEventHandler()->ProcessEvent(event);
  DispatchPending();
}

// Pastes are kept, not made.
class PasteRecorder {
 public:
  PasteRecorder()
      : previous(RecordListWindow::SetPasteFunction([this](const pq::RecordPtr& record, pq::RecordList* list) {
          texts.push_back(record ? record->text : std::string("(none)"));
          lists.push_back(list);
          return true;
        })) {}
  ~PasteRecorder() { RecordListWindow::SetPasteFunction(previous); }
  PasteRecorder(const PasteRecorder&) = delete;
  PasteRecorder& operator=(const PasteRecorder&) = delete;

  std::vector<std::string> texts;
  std::vector<pq::RecordList*> lists;

 private:
  RecordListWindow::PasteFunction previous;
};

// A record of one text as a capture makes it: with its text item, so that it
// can go on the clipboard.
inline pq::RecordPtr TextRecord(const std::string& text) {
  auto record = boost::make_shared<pq::Record>();
  record->SetText(wxString::FromUTF8(text));
  return record;
}

inline void FillWithItems(pq::RecordList& list, std::initializer_list<const char*> frontToBack) {
  std::vector<const char*> texts(frontToBack);
  for (auto it = texts.rbegin(); it != texts.rend(); ++it) list.AddRecord(TextRecord(*it));
}

// Main (Alpha, Beta, Gamma: each holds an "a"), Work (empty), Search;
// Main's tab shown.
class Commands : public lists_test::WindowTest {
 protected:
  enum Page { kMain = 0, kWork = 1, kSearch = 2 };

  void SetUp() override {
    WindowTest::SetUp();
    history.CreateDefaultLists();
    work = new pq::RecordList;
    work->name = "Work";
    history.InsertRecordList(work, 1);
    FillWithItems(Main(), {"Alpha", "Beta", "Gamma"});
    tabs = new HistoryWindow(&history, frame);
    frame->SendSizeEvent();
    tabs->Start(OPT_MAIN_FRAME_TAB);
    tabMenu = new HistoryTabMenu(tabs);
    tabs->PushEventHandler(tabMenu);
    handler = new MainCommandHandler(tabs);
    frame->PushEventHandler(handler);
    ShowPage(kMain);
  }
  void TearDown() override {
    frame->PopEventHandler(true);
    tabs->PopEventHandler(true);
    tabs->Unregister();
    WindowTest::TearDown();
  }

  pq::RecordList& Main() { return *history.GetMainList(); }
  SearchList& Search() { return *lists_test::SearchListOf(history); }
  RecordListWindow* Window(int page) { return tabs->GetRecordListWindow(page); }
  void ShowPage(int page) {
    tabs->SetSelection(static_cast<std::size_t>(page));
    DispatchPending();
  }
  void Select(int page, long row) {
    ShowPage(page);
    Window(page)->SelectRow(row);
    DispatchPending();
  }

  // A command as the frame's menus send it.
  void Command(int id) {
    wxCommandEvent event(wxEVT_MENU, id);
    event.SetEventObject(frame);
    frame->GetEventHandler()->ProcessEvent(event);
    DispatchPending();
  }
  // What the frame's update-UI handlers make of the command (enabled when
  // nobody says otherwise).
  bool Enabled(int id) {
    wxUpdateUIEvent event(id);
    event.SetEventObject(frame);
    frame->GetEventHandler()->ProcessEvent(event);
    return !event.GetSetEnabled() || event.GetEnabled();
  }
  // A right click on `row` of the current list window, as the list sends it.
  void RightClickRow(long row) {
    RecordListWindow* window = tabs->GetCurrentRecordListWindow();
    wxListEvent event(wxEVT_LIST_ITEM_RIGHT_CLICK, window->GetId());
    event.SetEventObject(window);
    event.m_itemIndex = row;
    window->GetEventHandler()->ProcessEvent(event);
    DispatchPending();
  }

  pq::History history;
  pq::RecordList* work = nullptr;
  HistoryWindow* tabs = nullptr;
  HistoryTabMenu* tabMenu = nullptr;
  MainCommandHandler* handler = nullptr;
};

}  // namespace commands_test
