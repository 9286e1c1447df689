#pragma once
// The main frame: never shown at start (the program sits in the notification
// area until "Show Main Window"), and its window is the one the clipboard
// manager takes over. For now it is the bare frame around its history window
// (one tab per record list); the record viewer, menus and bars come with the
// main window itself.
#include <wx/frame.h>

#include "platform/types.h"

class HistoryWindow;
namespace pq {
class History;
}

// The class of this version's main frame window. Not the class an older
// version's main window has: a frame of ours carrying that one would be
// taken for an older version by the next start.
extern const wchar_t kMainFrameClass[];

class MainFrame : public wxFrame {
 public:
  // The frame's size at construction and the size a stored rectangle must
  // exceed in both directions to be applied.
  static constexpr int kDefaultWidth = 680;
  static constexpr int kDefaultHeight = 480;

  // Created hidden; history is the application's (not owned).
  explicit MainFrame(pq::History* history);
  ~MainFrame() override;

  // The start-up once every top window exists: starts the clipboard manager
  // with this frame's window, restores the stored rectangle, then lets the
  // history window build its pages and select the stored tab.
  void Start();
  // Applies OPT_MAIN_FRAME_RECT when it is larger than the frame's own size
  // in both directions; otherwise the frame keeps that size and the
  // toolkit's position. A coordinate of -1 keeps the current position.
  void RestoreGeometry();

  pq::History* GetHistory() const { return history; }
  HistoryWindow* GetHistoryWindow() const { return historyWindow; }
  // The frame's window on the platform layer's desktop.
  HWND GetDesktopWindow() const { return window; }

 private:
  void OnClose(wxCloseEvent& event);

  pq::History* history;
  HistoryWindow* historyWindow;
  HWND window = nullptr;
};
