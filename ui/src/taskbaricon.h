#pragma once
// The program's icon in the notification area. A left click opens the menu
// window at the pointer, a right click the menu of the program's commands
// (handled by the application); every record that arrives, captured or
// received, plays a short animation; messages for the user (the only one:
// a newer version) wait in the icon, which then shows the newest message's
// picture and text, until a click shows them one by one, newest first.
// GUI thread only; the version checker reaches it by a queued notice.
#include <cstddef>
#include <deque>
#include <memory>

#include <wx/icon.h>
#include <wx/string.h>

#include "basetaskbaricon.h"

class MenuWindow;
class TaskBarIconAnimator;
class wxCommandEvent;
class wxMenu;

class TaskBarIcon : public cmn::wx::TaskBarIcon {
 public:
  struct PendingMessage {
    wxIcon icon;    // shown while the message waits
    wxString text;  // the message, and the tooltip while it waits
  };

  // Builds the animation's frames; shows no icon yet.
  TaskBarIcon();
  ~TaskBarIcon() override;

  // The picture and tooltip at rest: shown now, and again when an animation
  // in progress ends.
  void ShowIcon(const wxIcon& icon, const wxString& tooltip);
  // A message to wait in the icon, which shows its picture and text.
  void AddMessage(const wxIcon& icon, const wxString& text);
  // Shows the newest waiting message in a message box; false when none
  // waits. The message is taken out before it is shown, so one that arrives
  // while the box is open waits for the next click.
  bool ShowPendingMessage();
  // Plays the frames once, after the runs still queued.
  void Animate();
  // The window a left click opens (none: the click opens nothing). It
  // outlives the icon or is taken back first.
  void SetMenuWindow(MenuWindow* window) { menuWindow = window; }

  // The right-click menu, new, owned by the caller.
  wxMenu* CreatePopupMenu() override;

  std::size_t PendingMessageCount() const { return messages.size(); }
  const std::deque<wxIcon>& GetFrames() const { return frames; }

  // Whether a notification area has taken the icon in: when it has not, the
  // user cannot reach the program through it.
  static bool IsEmbedded();

 private:
  // Rules shared by both buttons: a dialog of ours is raised, else a waiting
  // message is shown; true when one of them applied.
  bool ClickTakenByDialogOrMessage();
  void OnLeftDown(wxTaskBarIconEvent& event);
  void OnRightClick(wxTaskBarIconEvent& event);
  void OnNewVersion(wxCommandEvent& event);

  std::deque<PendingMessage> messages;  // the newest at the back
  std::deque<wxIcon> frames;
  std::unique_ptr<TaskBarIconAnimator> animator;
  MenuWindow* menuWindow = nullptr;

  wxDECLARE_EVENT_TABLE();
};
