#include "floatingwindow.h"

#include <algorithm>

#include <wx/listctrl.h>
#include <wx/stattext.h>
#include <wx/toolbar.h>

#include "appnotify.h"
#include "commands.h"
#include "historytabmenu.h"
#include "historywindow.h"
#include "imagestrip.h"
#include "maincommandhandler.h"
#include "menus.h"
#include "options.h"
#include "platform/input.h"
#include "platform/window.h"
#include "popupwindow.h"

namespace {

struct ToolSpec {
  int id;
  int image;
};
const ToolSpec kOpenTool{ID_FLOATING_OPEN, IMG_OPEN_FLOATING};
const ToolSpec kCloseTool{ID_FLOATING_CLOSE, IMG_CLOSE_FLOATING};

void AddTool(wxToolBar* toolBar, const wxImage& strip, const ToolSpec& tool) {
  AddStripTool(toolBar, strip, tool.id, CommandLabel(tool.id), tool.image, CommandHelp(tool.id));
}

}  // namespace

wxBEGIN_EVENT_TABLE(FloatingWindow, HistoryFrame)
  EVT_SIZE(FloatingWindow::OnSize)
  EVT_MENU(ID_FLOATING_OPEN, FloatingWindow::OnOpenTool)
  EVT_MENU(ID_FLOATING_CLOSE, FloatingWindow::OnCloseTool)
  EVT_LIST_ITEM_ACTIVATED(wxID_ANY, FloatingWindow::OnItemActivated)
  EVT_APP_NOTICE(ID_NOTIFY_FLOATING_MENU, FloatingWindow::OnSizeSettled)
wxEND_EVENT_TABLE()

FloatingWindow::FloatingWindow(pq::History* history)
    : HistoryFrame(wxDEFAULT_FRAME_STYLE, history, L"PastiqFloatingList") {
  PushRecordCommands(this, GetHistoryWindow(), new HistoryTabMenu(GetHistoryWindow()));
  BuildToolBar();
  // Collapsed to its tool bar; that is also the smallest it gets.
  toolBarWidth = GetToolBar()->GetBestSize().GetWidth();
  SetClientSize(toolBarWidth, 0);
  SetSizeHints(GetSize());
  expandedHeight = kMinExpandedHeight;
}

FloatingWindow::~FloatingWindow() {
  Unregister();
  PopLeftoverRecordCommands(this, GetHistoryWindow());
}

void FloatingWindow::BuildToolBar() {
  const std::unique_ptr<wxImage> strip = LoadImageStrip();
  wxToolBar* toolBar = CreateToolBar(wxTB_DEFAULT_STYLE, wxID_ANY, "toolbar");
  AddTool(toolBar, *strip, {ID_MULTIPLE_PASTE, IMG_MULTIPLE_PASTE});
  AddTool(toolBar, *strip, {ID_PASTE_ALL, IMG_PASTE_ALL});
  toolBar->AddSeparator();
  AddTool(toolBar, *strip, {ID_DELETE_ALL, IMG_DELETE_ALL});
  toolBar->AddSeparator();
  AddTool(toolBar, *strip, {wxID_PREFERENCES, IMG_OPTIONS});
  // Stretched once the width is known, so that the last tool sits at the
  // right edge.
  toolBar->AddControl(new wxStaticText(toolBar, ID_FLOATING_TEXT, wxEmptyString, wxDefaultPosition, wxSize(0, 0), 0,
                                       "staticText"));
  AddTool(toolBar, *strip, IsExpanded() ? kCloseTool : kOpenTool);
  InsertCurrentRecordingTool(*strip, toolBar);
  toolBar->Realize();
}

void FloatingWindow::RestoreState() {
  if (!observing) {
    AddOptionObserver(OPT_RECORDING, this);
    observing = true;
  }
  const wxRect stored = OntoMonitor(OptionValue<wxRect>(OPT_FLOATING_RECT, wxRect(0, 0, 0, 0)));
  SetSize(stored);
  expanded = GetClientSize().GetHeight() > 0;
  GetHistoryWindow()->Start(OPT_FLOATING_TAB);
  if (OptionValue<bool>(OPT_FLOATING_SHOWN, false)) {
    ShowNoActivate();
  } else {
    Show(false);
  }
  expandedHeight = OptionValue<int>(OPT_FLOATING_HEIGHT, expandedHeight);
}

void FloatingWindow::SaveState() {
  GetHistoryWindow()->SaveSelection(OPT_FLOATING_TAB);
  SetOption(OPT_FLOATING_SHOWN, IsShown());
  SetOption(OPT_FLOATING_RECT, GetRect());
  SetOption(OPT_FLOATING_HEIGHT, expandedHeight);
}

void FloatingWindow::Unregister() {
  if (!observing) return;
  RemoveOptionObserver(OPT_RECORDING, this);
  observing = false;
}

wxRect FloatingWindow::OntoMonitor(const wxRect& rect) {
  const RECT r{rect.x, rect.y, rect.x + std::max(rect.width, 1), rect.y + std::max(rect.height, 1)};
  if (MonitorFromRect(&r, MONITOR_DEFAULTTONULL)) return rect;
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (!GetMonitorInfoW(MonitorFromRect(&r, MONITOR_DEFAULTTONEAREST), &info)) return rect;
  const RECT& work = info.rcWork;
  wxRect moved = rect;
  moved.x = std::max(std::min(rect.x, static_cast<int>(work.right) - rect.width), static_cast<int>(work.left));
  moved.y = std::max(std::min(rect.y, static_cast<int>(work.bottom) - rect.height), static_cast<int>(work.top));
  return moved;
}

bool FloatingWindow::IsExpanded() const { return expanded; }

void FloatingWindow::Expand() { RequestClientHeight(expandedHeight); }

void FloatingWindow::Collapse() { RequestClientHeight(0); }

void FloatingWindow::RequestClientHeight(int height) {
  expanded = height > 0;
  SetClientSize(clientWidth, height);
}

bool FloatingWindow::OnHotKey(int virtualKey, const pq::KeyModifiers& typedWith) {
  if (!OptionValue<bool>(OPT_FLOATING_KEYS, false)) return false;
  const bool wantCtrl = OptionValue<bool>(OPT_FLOATING_KEYS_CTRL, false);
  const bool wantAlt = OptionValue<bool>(OPT_FLOATING_KEYS_ALT, false);
  const bool wantWin = OptionValue<bool>(OPT_FLOATING_KEYS_WIN, false);
  if (!ModifiersMatch(typedWith, wantCtrl, wantAlt, wantWin)) return false;
  switch (virtualKey) {
    case VK_RETURN:
      if (IsMeantShown() && IsExpanded()) PasteSelected(nullptr);
      return true;
    case VK_UP:
    case VK_DOWN:
      if (IsMeantShown()) {
        if (IsExpanded()) {
          MoveSelection(virtualKey == VK_UP);
        } else {
          Expand();
        }
      } else {
        if (!IsExpanded()) Expand();
        ShowNoActivate();
      }
      return true;
    case VK_LEFT:
      if (IsExpanded()) {
        Collapse();
      } else if (IsMeantShown()) {
        Show(false);
      }
      return true;
    case VK_RIGHT:
      if (!IsExpanded()) Expand();
      ShowNoActivate();
      return true;
    default:
      return false;
  }
}

void FloatingWindow::OnOptionChanged(const int& id) {
  if (id != OPT_RECORDING) return;
  const std::unique_ptr<wxImage> strip = LoadImageStrip();
  ReplaceRecordingTool(*strip, GetToolBar());
  SendSizeEvent();
}

void FloatingWindow::OnSize(wxSizeEvent& event) {
  event.Skip();
  PostNotifyEvent(this, ID_NOTIFY_FLOATING_MENU);
}

void FloatingWindow::OnSizeSettled(wxCommandEvent&) {
  wxToolBar* toolBar = GetToolBar();
  if (!toolBar) return;
  const wxSize client = GetClientSize();
  if (client.GetHeight() > kMinExpandedHeight) expandedHeight = client.GetHeight();
  bool changed = false;
  if (client.GetWidth() != clientWidth) {
    clientWidth = client.GetWidth();
    if (wxWindow* spacer = toolBar->FindWindow(ID_FLOATING_TEXT)) {
      // The toolkit's buttons are wider than their pictures, so the width
      // beyond the bar's own (every tool, the spacer empty) is what the
      // spacer takes: the last tool then sits at the right edge.
      spacer->SetSize(std::max(clientWidth - toolBarWidth, 0), toolBar->GetToolSize().GetHeight());
    }
    changed = true;
  }
  const ToolSpec& wrong = expanded ? kOpenTool : kCloseTool;
  if (toolBar->FindById(wrong.id)) {
    toolBar->DeleteTool(wrong.id);
    const std::unique_ptr<wxImage> strip = LoadImageStrip();
    AddTool(toolBar, *strip, expanded ? kCloseTool : kOpenTool);
    changed = true;
  }
  if (changed) {
    toolBar->Realize();
    SetSize(GetSize());
    Layout();
  }
}

void FloatingWindow::OnOpenTool(wxCommandEvent&) { Expand(); }

void FloatingWindow::OnCloseTool(wxCommandEvent&) { Collapse(); }

void FloatingWindow::OnItemActivated(wxListEvent&) { PasteSelected(nullptr); }
