#include "maincommandhandler.h"

#include <wx/control.h>
#include <wx/intl.h>
#include <wx/listctrl.h>
#include <wx/menu.h>
#include <wx/utils.h>

#include "commands.h"
#include "dlgmgr.h"
#include "dropsource.h"
#include "historytabmenu.h"
#include "historywindow.h"
#include "imagestrip.h"
#include "menus.h"
#include "msgbox.h"
#include "multipaster.h"
#include "net/send.h"
#include "popupmenu.h"
#include "pq/history.h"
#include "pq/mgr.h"
#include "pq/record.h"
#include "recordlistwindow.h"
#include "selectrecorddlg.h"
#include "sendmenu.h"

static_assert(ID_MOVE_TO_LIST_LAST - ID_MOVE_TO_LIST_FIRST + 1 == pq::History::kListLimit,
              "a move item for every list a history may hold");

wxBEGIN_EVENT_TABLE(MainCommandHandler, wxEvtHandler)
  EVT_MENU(ID_PASTE_ALL, MainCommandHandler::OnPasteAll)
  EVT_MENU(ID_MULTIPLE_PASTE, MainCommandHandler::OnMultiplePaste)
  EVT_MENU(ID_DELETE_ALL, MainCommandHandler::OnDeleteAll)
  EVT_MENU(ID_MULTIPLE_DELETE, MainCommandHandler::OnMultipleDelete)
  EVT_MENU(ID_RECORD_MOVE_UP, MainCommandHandler::OnMoveUp)
  EVT_UPDATE_UI(ID_RECORD_MOVE_UP, MainCommandHandler::OnUpdateMoveUp)
  EVT_MENU(ID_RECORD_MOVE_DOWN, MainCommandHandler::OnMoveDown)
  EVT_UPDATE_UI(ID_RECORD_MOVE_DOWN, MainCommandHandler::OnUpdateMoveDown)
  EVT_LIST_ITEM_RIGHT_CLICK(wxID_ANY, MainCommandHandler::OnRecordMenu)
  EVT_MENU(wxID_PASTE, MainCommandHandler::OnPaste)
  EVT_MENU(wxID_COPY, MainCommandHandler::OnCopy)
  EVT_MENU(wxID_DELETE, MainCommandHandler::OnDelete)
  EVT_UPDATE_UI(wxID_PASTE, MainCommandHandler::OnUpdateSelectedRow)
  EVT_UPDATE_UI(wxID_DELETE, MainCommandHandler::OnUpdateSelectedRow)
  EVT_UPDATE_UI(wxID_COPY, MainCommandHandler::OnUpdateSelectedRow)
  EVT_UPDATE_UI(ID_MULTIPLE_PASTE, MainCommandHandler::OnUpdateHasRows)
  EVT_UPDATE_UI(ID_PASTE_ALL, MainCommandHandler::OnUpdateHasRows)
  EVT_UPDATE_UI(ID_DELETE_ALL, MainCommandHandler::OnUpdateEditableList)
  EVT_UPDATE_UI(ID_MULTIPLE_DELETE, MainCommandHandler::OnUpdateEditableList)
  EVT_MENU_RANGE(ID_SEND_RECORD_FIRST, ID_SEND_RECORD_OTHER, MainCommandHandler::OnSendRecord)
  EVT_MENU_RANGE(ID_MOVE_TO_LIST_FIRST, ID_MOVE_TO_LIST_LAST, MainCommandHandler::OnMoveToList)
  EVT_LIST_BEGIN_DRAG(wxID_ANY, MainCommandHandler::OnBeginDrag)
wxEND_EVENT_TABLE()

MainCommandHandler::MainCommandHandler(HistoryWindow* historyWindow) : historyWindow(historyWindow) {}

RecordListWindow* MainCommandHandler::CurrentWindow() const {
  return historyWindow ? historyWindow->GetCurrentRecordListWindow() : nullptr;
}

pq::RecordList* MainCommandHandler::CurrentList() const {
  RecordListWindow* window = CurrentWindow();
  return window ? window->GetRecordList() : nullptr;
}

pq::RecordPtr MainCommandHandler::SelectedRecord() const {
  RecordListWindow* window = CurrentWindow();
  return window ? window->GetSelectedRecord() : pq::RecordPtr();
}

pq::RecordList* MainCommandHandler::EditableList() const {
  pq::RecordList* list = CurrentList();
  return pq::IsSearchList(list) ? nullptr : list;
}

bool MainCommandHandler::HasRows() const {
  RecordListWindow* window = CurrentWindow();
  return window && window->GetItemCount() > 0;
}

void MainCommandHandler::OnPaste(wxCommandEvent&) {
  if (RecordListWindow* window = CurrentWindow()) window->PasteSelected();
}

void MainCommandHandler::OnCopy(wxCommandEvent&) {
  if (const pq::RecordPtr record = SelectedRecord()) pq::Mgr::Get().CopyToClipboard(record, CurrentList());
}

void MainCommandHandler::OnDelete(wxCommandEvent&) {
  pq::RecordList* list = CurrentList();
  const pq::RecordPtr record = SelectedRecord();
  if (list && record) list->RemoveRecord(record);
}

void MainCommandHandler::OnPasteAll(wxCommandEvent&) {
  pq::RecordList* list = CurrentList();
  if (!list || list->GetCount() == 0) return;
  MultiPaster paster(historyWindow, list);
  paster.PasteAll();
}

void MainCommandHandler::OnMultiplePaste(wxCommandEvent&) {
  pq::RecordList* list = CurrentList();
  if (!list) return;
  MultiPaster paster(historyWindow, list);
  DlgMgr::ShowModal(&paster);
}

// The two whole-list deletions leave a search list alone: its records are
// those of other lists, which would keep them.
void MainCommandHandler::OnDeleteAll(wxCommandEvent&) {
  pq::RecordList* list = EditableList();
  if (!list) return;
  const wxString question =
      wxString(_("Do you really want to delete all of the clipboard records from list: ")) + list->GetName() + "?";
  if (ShowMessageBox(question, "Pastiq", wxYES_NO | wxICON_QUESTION) == wxYES) list->Clear();
}

void MainCommandHandler::OnMultipleDelete(wxCommandEvent&) {
  pq::RecordList* list = EditableList();
  if (!list) return;
  SelectRecordDlg dialog(historyWindow, list, _("Please select the records that will be deleted"));
  int result = wxID_CANCEL;
  if (!DlgMgr::ShowModal(&dialog, &result) || result != wxID_OK) return;
  for (const pq::RecordPtr& record : dialog.GetChosenRecords()) list->RemoveRecord(record);
}

bool MainCommandHandler::CanMove(int by) const {
  RecordListWindow* window = CurrentWindow();
  pq::RecordList* list = CurrentList();
  if (!window || !list) return false;
  const long row = window->GetSelectedRow();
  const long count = static_cast<long>(list->GetCount());
  return row >= 0 && row < count && row + by >= 0 && row + by < count;
}

// A reorder, never the full-list rule: a list over its limit keeps every
// record. The selection stays on its row.
void MainCommandHandler::Move(int by) {
  if (!CanMove(by)) return;
  const auto row = static_cast<unsigned>(CurrentWindow()->GetSelectedRow());
  // The record lands before the row that was at `to`.
  CurrentList()->MoveRecord(row, by < 0 ? row - 1 : row + 2);
}

void MainCommandHandler::OnMoveUp(wxCommandEvent&) { Move(-1); }
void MainCommandHandler::OnMoveDown(wxCommandEvent&) { Move(+1); }
void MainCommandHandler::OnUpdateMoveUp(wxUpdateUIEvent& event) { event.Enable(CanMove(-1)); }
void MainCommandHandler::OnUpdateMoveDown(wxUpdateUIEvent& event) { event.Enable(CanMove(+1)); }

void MainCommandHandler::OnUpdateSelectedRow(wxUpdateUIEvent& event) {
  // Only a selected row that is in view: one scrolled away is not what the
  // user looks at.
  RecordListWindow* window = CurrentWindow();
  const long row = window ? window->GetSelectedRow() : -1;
  wxRect rect;
  if (row < 0 || !window->GetItemRect(row, rect)) {
    event.Enable(false);
    return;
  }
  const wxSize client = window->GetClientSize();
  event.Enable(rect.GetRight() < client.x && rect.GetBottom() < client.y);
}

void MainCommandHandler::OnUpdateHasRows(wxUpdateUIEvent& event) { event.Enable(HasRows()); }

void MainCommandHandler::OnUpdateEditableList(wxUpdateUIEvent& event) {
  event.Enable(EditableList() && HasRows());
}

void MainCommandHandler::OnSendRecord(wxCommandEvent& event) {
  const pq::RecordPtr record = SelectedRecord();
  if (!CurrentList() || !record) return;
  if (event.GetId() == ID_SEND_RECORD_OTHER) {
    SendToOtherComputer(historyWindow, [&](const NetworkAddress& to) { net::SendRecord(GetSendServer(), record, to); });
    return;
  }
  if (const NetworkAddress* host = RememberedHost(event.GetId() - ID_SEND_RECORD_FIRST))
    net::SendRecord(GetSendServer(), record, *host);
}

// Never into or out of a search list: its records stay in their own lists.
void MainCommandHandler::OnMoveToList(wxCommandEvent& event) {
  pq::RecordList* list = EditableList();
  const pq::RecordPtr record = SelectedRecord();
  pq::History* history = historyWindow ? historyWindow->GetHistory() : nullptr;
  if (!list || !record || !history) return;
  const std::size_t position = static_cast<std::size_t>(event.GetId() - ID_MOVE_TO_LIST_FIRST);
  const std::vector<pq::RecordList*>& lists = history->GetLists();
  if (position >= lists.size()) return;
  pq::RecordList* target = lists[position];
  if (target == list || pq::IsSearchList(target)) return;
  list->RemoveRecord(record);
  target->AddRecord(record);
}

void MainCommandHandler::OnRecordMenu(wxListEvent& event) {
  RecordListWindow* window = CurrentWindow();
  if (!window || event.GetEventObject() != window) {
    event.Skip();
    return;
  }
  pq::RecordList* list = window->GetRecordList();
  const long row = event.GetIndex();
  if (row < 0 || !list || !list->GetRecord(static_cast<unsigned>(row))) return;
  // The commands act on the selected row: the clicked one, as in any list.
  if (window->GetSelectedRow() != row) window->SelectRow(row);

  const std::unique_ptr<wxImage> strip = LoadImageStrip();
  wxMenu menu;
  AppendRecordMenuItems(*strip, &menu);
  menu.AppendSeparator();
  AppendCommandItem(*strip, &menu, ID_RECORD_MOVE_UP);
  AppendCommandItem(*strip, &menu, ID_RECORD_MOVE_DOWN);

  pq::History* history = historyWindow->GetHistory();
  if (history && history->GetLists().size() > 1 && !pq::IsSearchList(list)) {
    auto* targets = new wxMenu;
    const std::vector<pq::RecordList*>& lists = history->GetLists();
    for (std::size_t i = 0; i < lists.size() && i < pq::History::kListLimit; ++i) {
      if (lists[i] == list || pq::IsSearchList(lists[i])) continue;
      const wxString name = lists[i]->GetName();
      targets->Append(ID_MOVE_TO_LIST_FIRST + static_cast<int>(i), wxControl::EscapeMnemonics(name),
                      wxGetTranslation(kMoveToListHelp) + name);
    }
    const bool empty = targets->GetMenuItemCount() == 0;
    menu.Append(ID_MOVE_TO_LIST_MENU, CommandLabel(ID_MOVE_TO_LIST_MENU), targets, CommandHelp(ID_MOVE_TO_LIST_MENU));
    if (empty) menu.Enable(ID_MOVE_TO_LIST_MENU, false);
  }

  menu.AppendSeparator();
  auto* hosts = new wxMenu;
  AppendSendToItems(hosts, ID_SEND_RECORD_FIRST, ID_SEND_RECORD_OTHER, kSendRecordToHelp);
  menu.Append(ID_SEND_RECORD_MENU, CommandLabel(ID_SEND_RECORD_MENU), hosts, CommandHelp(ID_SEND_RECORD_MENU));

  ShowPopupMenu(historyWindow, menu, historyWindow->ScreenToClient(wxGetMousePosition()));
}

void MainCommandHandler::OnBeginDrag(wxListEvent& event) {
  RecordListWindow* window = CurrentWindow();
  const pq::RecordPtr record = SelectedRecord();
  if (!window || event.GetEventObject() != window || !record) {
    event.Skip();
    return;
  }
  // A move inside the program is the drop target's; another application
  // that takes the drop gets a copy.
  DropSource source(window, record, window->GetRecordList());
  source.DoDragDrop(wxDrag_AllowMove);
}

void PushRecordCommands(wxWindow* window, HistoryWindow* historyWindow, HistoryTabMenu* tabMenu) {
  historyWindow->PushEventHandler(tabMenu);
  window->PushEventHandler(new MainCommandHandler(historyWindow));
}

void PopLeftoverRecordCommands(wxWindow* window, HistoryWindow* historyWindow) {
  if (dynamic_cast<MainCommandHandler*>(window->GetEventHandler())) window->PopEventHandler(true);
  if (dynamic_cast<HistoryTabMenu*>(historyWindow->GetEventHandler())) historyWindow->PopEventHandler(true);
}
