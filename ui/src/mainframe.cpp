#include "mainframe.h"

#include <wx/listctrl.h>
#include <wx/menu.h>
#include <wx/sizer.h>
#include <wx/splitter.h>
#include <wx/statusbr.h>
#include <wx/toolbar.h>

#include "commands.h"
#include "desktop.h"
#include "historytabmenu.h"
#include "historywindow.h"
#include "imagestrip.h"
#include "maincommandhandler.h"
#include "menus.h"
#include "options.h"
#include "platform/window.h"
#include "pq/mgr.h"
#include "recordlistwindow.h"
#include "recordviewer.h"

const wchar_t kMainFrameClass[] = L"PastiqFrame";

wxBEGIN_EVENT_TABLE(MainFrame, wxFrame)
  EVT_LIST_ITEM_SELECTED(wxID_ANY, MainFrame::OnListItemSelected)
  EVT_CLOSE(MainFrame::OnClose)
  EVT_MENU(ID_TOGGLE_TOOLBAR, MainFrame::OnToggleToolBar)
  EVT_MENU(ID_TOGGLE_STATUSBAR, MainFrame::OnToggleStatusBar)
  EVT_UPDATE_UI(ID_TOGGLE_TOOLBAR, MainFrame::OnUpdateToolBar)
  EVT_UPDATE_UI(ID_TOGGLE_STATUSBAR, MainFrame::OnUpdateStatusBar)
wxEND_EVENT_TABLE()

MainFrame::MainFrame(pq::History* history)
    : wxFrame(nullptr, wxID_ANY, "Pastiq", wxDefaultPosition, wxDefaultSize, wxDEFAULT_FRAME_STYLE, "frame"),
      history(history) {
  SetSizeHints(280, 180);
  SetSize(kDefaultWidth, kDefaultHeight);

  splitter = new wxSplitterWindow(this, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxSP_3D, "splitter");
  historyWindow = new HistoryWindow(history, splitter);
  viewer = new RecordViewer(splitter);
  // A hidden bar stays a child of the frame; the sizer keeps the splitter on
  // the client area whatever other children there are. The splitter has the
  // client's width before it is split, so that the sash stands where asked.
  auto* sizer = new wxBoxSizer(wxVERTICAL);
  sizer->Add(splitter, 1, wxEXPAND);
  SetSizer(sizer);
  Layout();
  splitter->SplitVertically(historyWindow, viewer, kSashPosition);
  splitter->SetSashGravity(kSashGravity);
  splitter->SetMinimumPaneSize(kMinimumPaneSize);

  // The tab commands on the history window, the record commands on the
  // frame (so that its menus and tools reach them); the application pops
  // both at exit.
  PushRecordCommands(this, historyWindow, new HistoryTabMenu(historyWindow));

  const std::unique_ptr<wxImage> strip = LoadImageStrip();
  BuildMenuBar(*strip);
  BuildToolBar(*strip);
  statusBar = CreateStatusBar(1, wxSTB_DEFAULT_STYLE, 0, "status_line");
  SetStatusText(_("Welcome to Pastiq"), 0);

  window = RegisterToolkitWindow(this, kMainFrameClass, L"Pastiq");
}

MainFrame::~MainFrame() {
  PopLeftoverRecordCommands(this, historyWindow);
  if (observing) RemoveOptionObserver(OPT_RECORDING, this);
  // The manager gave the window back when it stopped, before this.
  if (window) ::DestroyWindow(window);
}

void MainFrame::BuildMenuBar(const wxImage& strip) {
  auto* file = new wxMenu;
  ShowItemPicture(file->Append(CreateRecordingMenuItem(strip, file)));
  AppendCommandItem(strip, file, wxID_EXIT);

  auto* edit = new wxMenu;
  AppendEditMenuItems(strip, edit);

  auto* view = new wxMenu;
  for (const int id : {ID_TOGGLE_TOOLBAR, ID_TOGGLE_STATUSBAR, ID_TOGGLE_FLOATING})
    view->AppendCheckItem(id, CommandLabel(id), CommandHelp(id));

  auto* tools = new wxMenu;
  AppendCommandItem(strip, tools, wxID_PREFERENCES, IMG_OPTIONS);
  AppendCommandItem(strip, tools, ID_SHOW_LOG);

  auto* help = new wxMenu;
  AppendHelpMenuItems(strip, help);

  auto* bar = new wxMenuBar;
  bar->Append(file, _("&File"));
  bar->Append(edit, _("&Edit"));
  bar->Append(view, _("&View"));
  bar->Append(tools, _("&Tools"));
  bar->Append(help, _("&Help"));
  SetMenuBar(bar);
}

void MainFrame::BuildToolBar(const wxImage& strip) {
  toolBar = CreateToolBar(wxTB_DEFAULT_STYLE, wxID_ANY, "toolbar");
  AddRecordTools(strip, toolBar);
  toolBar->AddSeparator();
  static const struct {
    int id;
    int image;
  } kTools[] = {{wxID_DELETE, IMG_DELETE},
                {ID_MULTIPLE_DELETE, IMG_MULTIPLE_DELETE},
                {ID_DELETE_ALL, IMG_DELETE_ALL},
                {wxID_SEPARATOR, -1},
                {wxID_PREFERENCES, IMG_OPTIONS}};
  for (const auto& tool : kTools) {
    if (tool.id == wxID_SEPARATOR)
      toolBar->AddSeparator();
    else
      AddStripTool(toolBar, strip, tool.id, CommandLabel(tool.id), tool.image, CommandHelp(tool.id));
  }
  toolBar->Realize();
}

void MainFrame::Start() {
  pq::Mgr& mgr = pq::Mgr::Get();
  mgr.SetHistory(history);
  mgr.Start(window);
  if (!observing) {
    AddOptionObserver(OPT_RECORDING, this);
    observing = true;
  }
  RestoreGeometry();
  historyWindow->Start(OPT_MAIN_FRAME_TAB);
}

void MainFrame::RestoreGeometry() {
  const wxRect stored = OptionValue<wxRect>(OPT_MAIN_FRAME_RECT, wxRect(0, 0, 0, 0));
  if (stored.width > kDefaultWidth && stored.height > kDefaultHeight)
    SetSize(stored.x, stored.y, stored.width, stored.height, wxSIZE_USE_EXISTING);
}

void MainFrame::OnOptionChanged(const int& id) {
  if (id != OPT_RECORDING) return;
  const std::unique_ptr<wxImage> strip = LoadImageStrip();
  ReplaceRecordingTool(*strip, toolBar);
  UpdateRecordingMenuItem(*strip, GetMenuBar());
  // The toolkit keeps its bar as wide as the frame by itself; a width set
  // here would only become the bar's minimum and hold the frame wide.
}

void MainFrame::OnListItemSelected(wxListEvent& event) {
  event.Skip();
  // Only a selection the user makes here: not while the frame is hidden or
  // in the background, and never one in another window's lists.
  auto* source = wxDynamicCast(event.GetEventObject(), wxWindow);
  if (!source || wxGetTopLevelParent(source) != this) return;
  if (!IsActive() || historyWindow->GetPageCount() == 0) return;
  RecordListWindow* list = historyWindow->GetCurrentRecordListWindow();
  if (!list) return;
  viewer->ShowRecord(list->GetSelectedRecord(), list->GetRecordList());
  list->SetFocus();
}

void MainFrame::OnClose(wxCloseEvent& event) {
  // Closing hides: the program goes on in the notification area.
  if (event.CanVeto()) {
    Hide();
    event.Veto();
    return;
  }
  event.Skip();
}

void MainFrame::OnToggleToolBar(wxCommandEvent&) {
  if (toolBar->IsShown()) {
    SetToolBar(nullptr);
    toolBar->Hide();
  } else {
    SetToolBar(toolBar);
    toolBar->Show();
  }
  SendSizeEvent();
}

void MainFrame::OnToggleStatusBar(wxCommandEvent&) {
  if (statusBar->IsShown()) {
    SetStatusBar(nullptr);
    statusBar->Hide();
  } else {
    SetStatusBar(statusBar);
    statusBar->Show();
  }
  SendSizeEvent();
}

void MainFrame::OnUpdateToolBar(wxUpdateUIEvent& event) { event.Check(toolBar->IsShown()); }

void MainFrame::OnUpdateStatusBar(wxUpdateUIEvent& event) { event.Check(statusBar->IsShown()); }
