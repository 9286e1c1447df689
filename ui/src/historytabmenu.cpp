#include "historytabmenu.h"


#include <wx/filedlg.h>
#include <wx/intl.h>
#include <wx/menu.h>
#include <wx/utils.h>

#include "appversion.h"
#include "commands.h"
#include "dlgmgr.h"
#include "filepicker.h"
#include "historywindow.h"
#include "imagestrip.h"
#include "menus.h"
#include "msgbox.h"
#include "net/send.h"
#include "popupmenu.h"
#include "pq/history.h"
#include "pq/recordlist.h"
#include "recordlistpropertydlg.h"
#include "sendmenu.h"

wxBEGIN_EVENT_TABLE(HistoryTabMenu, wxEvtHandler)
  EVT_RIGHT_UP(HistoryTabMenu::OnRightUp)
  EVT_MENU_RANGE(ID_LIST_INSERT_BEFORE, ID_LIST_LAST, HistoryTabMenu::OnListCommand)
  EVT_MENU_RANGE(ID_SEND_LIST_FIRST, ID_SEND_LIST_OTHER, HistoryTabMenu::OnSendList)
wxEND_EVENT_TABLE()

HistoryTabMenu::HistoryTabMenu(HistoryWindow* historyWindow) : historyWindow(historyWindow) {}

pq::History* HistoryTabMenu::GetHistory() const { return historyWindow ? historyWindow->GetHistory() : nullptr; }

pq::RecordList* HistoryTabMenu::ClickedList() const {
  pq::History* history = GetHistory();
  if (!history || clickedTab < 0 || clickedTab >= static_cast<int>(history->GetLists().size())) return nullptr;
  return history->GetLists()[static_cast<std::size_t>(clickedTab)];
}

void HistoryTabMenu::OnRightUp(wxMouseEvent& event) {
  clickedTab = historyWindow->HitTest(event.GetPosition());
  if (clickedTab < 0) {
    clickedTab = -1;
    return;
  }
  historyWindow->SetSelection(static_cast<std::size_t>(clickedTab));
  if (std::unique_ptr<wxMenu> menu = BuildMenu())
    ShowPopupMenu(historyWindow, *menu, historyWindow->ScreenToClient(wxGetMousePosition()));
  clickedTab = -1;
}

std::unique_ptr<wxMenu> HistoryTabMenu::BuildMenu() {
  pq::History* history = GetHistory();
  pq::RecordList* list = ClickedList();
  if (!list) return nullptr;
  const bool isMain = list == history->GetMainList();
  const bool isSearch = pq::IsSearchList(list);
  const bool full = history->GetLists().size() >= history->GetMaxLists();
  const bool empty = list->GetCount() == 0;

  const std::unique_ptr<wxImage> strip = LoadImageStrip();
  auto menu = std::make_unique<wxMenu>();
  auto item = [&](int id, bool enabled) { AppendCommandItem(*strip, menu.get(), id)->Enable(enabled); };
  item(ID_LIST_LISTEN, !isMain && !isSearch);
  item(ID_LIST_INSERT_BEFORE, !full);
  item(ID_LIST_INSERT_AFTER, !full);
  item(ID_LIST_REMOVE, !isMain && !isSearch);
  item(ID_LIST_SAVE, !empty);
  item(ID_LIST_LOAD, !isSearch);
  menu->AppendSeparator();
  AppendListMenuItems(*strip, menu.get());
  menu->AppendSeparator();
  item(ID_LIST_PROPERTIES, true);
  if (!empty) {
    menu->AppendSeparator();
    auto* hosts = new wxMenu;
    AppendSendToItems(hosts, ID_SEND_LIST_FIRST, ID_SEND_LIST_OTHER, kSendListToHelp);
    menu->Append(ID_SEND_LIST_MENU, CommandLabel(ID_SEND_LIST_MENU), hosts, CommandHelp(ID_SEND_LIST_MENU));
  }
  return menu;
}

void HistoryTabMenu::OnListCommand(wxCommandEvent& event) {
  pq::History* history = GetHistory();
  pq::RecordList* list = ClickedList();
  if (!list) return;
  switch (event.GetId()) {
    case ID_LIST_INSERT_BEFORE:
      InsertList(static_cast<unsigned>(clickedTab));
      break;
    case ID_LIST_INSERT_AFTER:
      InsertList(static_cast<unsigned>(clickedTab) + 1);
      break;
    case ID_LIST_REMOVE:
      if (list != history->GetMainList() && !pq::IsSearchList(list)) history->RemoveRecordList(list, true);
      break;
    case ID_LIST_PROPERTIES:
      EditProperties(list);
      break;
    case ID_LIST_LISTEN:
      history->SetMainList(list);  // not a search list, not the listening one already
      break;
    case ID_LIST_SAVE:
      Save(*list);
      break;
    case ID_LIST_LOAD:
      if (!pq::IsSearchList(list)) Load(*list);
      break;
    default:
      break;
  }
}

void HistoryTabMenu::InsertList(unsigned index) {
  pq::History* history = GetHistory();
  auto list = std::make_unique<pq::RecordList>();
  RecordListPropertyDlg dialog(historyWindow, list.get(), *history);
  if (dialog.ShowModal() != wxID_OK) return;
  // The history owns the list once it took it; a refused one goes here.
  if (history->InsertRecordList(list.get(), index)) list.release();
}

void HistoryTabMenu::EditProperties(pq::RecordList* list) {
  pq::History* history = GetHistory();
  RecordListPropertyDlg dialog(historyWindow, list, *history);
  int result = wxID_CANCEL;
  if (DlgMgr::ShowModal(&dialog, &result) && result == wxID_OK) history->NotifyRecordListChanged(list);
}

wxString HistoryTabMenu::PickListFile(const wxString& message, int flags) const {
  FilePickerRequest request;
  request.message = message;
  request.defaultExtension = kFileExtension;
  request.wildcard = kFileWildcard;
  request.flags = flags;
  request.parent = historyWindow;
  return PickFile(request);
}

void HistoryTabMenu::Save(const pq::RecordList& list) {
  const wxString path = PickListFile(_("Please select the file to save the records"),
                                     wxFD_SAVE | wxFD_OVERWRITE_PROMPT | wxFD_CHANGE_DIR);
  if (path.empty()) return;
  // A file that cannot be created is a failure too, not a silent nothing.
  bool saved = false;
  try {
    saved = pq::SaveRecordListFile(path, ArchiveInfo(APP_VERSION_CODE, 1), list);
  } catch (...) {
    saved = false;
  }
  if (!saved)
    ShowMessageBox(_("Error saving the clipboard record list!"), "Error", wxOK | wxICON_ERROR, historyWindow);
}

void HistoryTabMenu::Load(pq::RecordList& list) {
  const wxString path = PickListFile(_("Please select the record list file to load"),
                                     wxFD_OPEN | wxFD_FILE_MUST_EXIST | wxFD_CHANGE_DIR);
  if (path.empty()) return;
  // The whole file is read before anything is added: a damaged one, or one
  // that would take more memory than there is, changes nothing.
  try {
    pq::RecordList loaded;
    pq::LoadRecordListFile(loaded, path);
    // Last first, so that they stand at the front in the file's order; each
    // addition obeys the list's limit.
    const auto& records = loaded.GetRecords();
    for (auto it = records.rbegin(); it != records.rend(); ++it) list.AddRecord(*it);
  } catch (...) {
    ShowMessageBox(_("Error loading the clipboard record list!"), "Error", wxOK | wxICON_ERROR, historyWindow);
  }
}

void HistoryTabMenu::OnSendList(wxCommandEvent& event) {
  pq::RecordList* list = ClickedList();
  if (!list || list->GetCount() == 0) return;
  if (event.GetId() == ID_SEND_LIST_OTHER) {
    SendToOtherComputer(historyWindow,
                        [&](const NetworkAddress& to) { net::SendRecordList(GetSendServer(), list, to); });
    return;
  }
  if (const NetworkAddress* host = RememberedHost(event.GetId() - ID_SEND_LIST_FIRST))
    net::SendRecordList(GetSendServer(), list, *host);
}
