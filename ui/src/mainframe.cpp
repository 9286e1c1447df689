#include "mainframe.h"

#include "desktop.h"
#include "historywindow.h"
#include "options.h"
#include "platform/window.h"
#include "pq/mgr.h"

const wchar_t kMainFrameClass[] = L"PastiqFrame";

MainFrame::MainFrame(pq::History* history)
    : wxFrame(nullptr, wxID_ANY, "Pastiq", wxDefaultPosition, wxDefaultSize, wxDEFAULT_FRAME_STYLE,
              "frame"),
      history(history),
      historyWindow(new HistoryWindow(history, this)) {
  SetSizeHints(280, 180);
  SetSize(kDefaultWidth, kDefaultHeight);
  window = RegisterToolkitWindow(this, kMainFrameClass, L"Pastiq");
  Bind(wxEVT_CLOSE_WINDOW, &MainFrame::OnClose, this);
}

MainFrame::~MainFrame() {
  // The manager gave the window back when it stopped, before this.
  if (window) ::DestroyWindow(window);
}

void MainFrame::Start() {
  pq::Mgr& mgr = pq::Mgr::Get();
  mgr.SetHistory(history);
  mgr.Start(window);
  // The frame's option observer (the recording tool and menu item) comes
  // with them.
  RestoreGeometry();
  historyWindow->Start(OPT_MAIN_FRAME_TAB);
}

void MainFrame::RestoreGeometry() {
  const wxRect stored = OptionValue<wxRect>(OPT_MAIN_FRAME_RECT, wxRect(0, 0, 0, 0));
  if (stored.width > kDefaultWidth && stored.height > kDefaultHeight)
    SetSize(stored.x, stored.y, stored.width, stored.height, wxSIZE_USE_EXISTING);
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
