#pragma once
// The main window: the history window (a tab per record list) on the left of
// a splitter and the record viewer (the selected record's items) on the
// right, with the menu bar, the tool bar and the status bar. It is never
// shown at start when the program has a place in the notification area
// ("Show Main Window" shows it), closing it hides it, and its window is the
// one the clipboard manager takes over.
#include <wx/frame.h>

#include "cmn/option.h"
#include "platform/types.h"

class HistoryWindow;
class RecordViewer;
class wxImage;
class wxListEvent;
class wxSplitterWindow;
class wxStatusBar;
class wxToolBar;
class wxUpdateUIEvent;
namespace pq {
class History;
}

// The class of this version's main frame window. Not the class an older
// version's main window has: a frame of ours carrying that one would be
// taken for an older version by the next start.
extern const wchar_t kMainFrameClass[];

class MainFrame : public wxFrame, public cmn::option<int>::observer {
 public:
  // The frame's size at construction and the size a stored rectangle must
  // exceed in both directions to be applied.
  static constexpr int kDefaultWidth = 680;
  static constexpr int kDefaultHeight = 480;
  // Where the splitter's sash starts, and the share of a change in width the
  // left pane takes.
  static constexpr int kSashPosition = 168;
  static constexpr double kSashGravity = 0.38;
  static constexpr int kMinimumPaneSize = 100;

  // Created hidden; history is the application's (not owned).
  explicit MainFrame(pq::History* history);
  ~MainFrame() override;

  // The start-up once every top window exists: starts the clipboard manager
  // with this frame's window, follows OPT_RECORDING, restores the stored
  // rectangle, then lets the history window build its pages and select the
  // stored tab.
  void Start();
  // Applies OPT_MAIN_FRAME_RECT when it is larger than the frame's own size
  // in both directions; otherwise the frame keeps that size and the
  // toolkit's position. A coordinate of -1 keeps the current position.
  void RestoreGeometry();

  // OPT_RECORDING: the recording item and tool take the new face, also
  // while the tool bar is hidden.
  void OnOptionChanged(const int& id) override;

  pq::History* GetHistory() const { return history; }
  wxSplitterWindow* GetSplitter() const { return splitter; }
  HistoryWindow* GetHistoryWindow() const { return historyWindow; }
  RecordViewer* GetRecordViewer() const { return viewer; }
  // The bars, also while they are hidden (the frame's own GetToolBar and
  // GetStatusBar are null then).
  wxToolBar* GetRememberedToolBar() const { return toolBar; }
  wxStatusBar* GetRememberedStatusBar() const { return statusBar; }
  // The frame's window on the platform layer's desktop.
  HWND GetDesktopWindow() const { return window; }

 private:
  void BuildMenuBar(const wxImage& strip);
  void BuildToolBar(const wxImage& strip);

  void OnListItemSelected(wxListEvent& event);
  void OnClose(wxCloseEvent& event);
  void OnToggleToolBar(wxCommandEvent& event);
  void OnToggleStatusBar(wxCommandEvent& event);
  void OnUpdateToolBar(wxUpdateUIEvent& event);
  void OnUpdateStatusBar(wxUpdateUIEvent& event);

  pq::History* history;
  wxSplitterWindow* splitter = nullptr;
  HistoryWindow* historyWindow = nullptr;
  RecordViewer* viewer = nullptr;
  // Kept so that a hidden bar can be given back to the frame with its tools.
  wxToolBar* toolBar = nullptr;
  wxStatusBar* statusBar = nullptr;
  HWND window = nullptr;
  bool observing = false;

  wxDECLARE_EVENT_TABLE();
};
