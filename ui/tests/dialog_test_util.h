#pragma once
// Driving a modal dialog of ours from inside its own loop, as a user would:
// fill in its fields, press OK, and see what it said and where the focus went.
#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/window.h>

#include "gui_util.h"
#include "msgbox_recorder.h"

// Clicks the dialog's OK button.
inline void PressOK(wxDialog& dialog) {
  wxWindow* ok = dialog.FindWindow(wxID_OK);
  wxCommandEvent click(wxEVT_BUTTON, wxID_OK);
  click.SetEventObject(ok);
  ok->GetEventHandler()->ProcessEvent(click);
}

// Runs dialog modally; inside its loop runs `inside`, then ends the dialog
// with Cancel when it is still open. Returns the dialog's return code.
inline int RunModal(wxDialog& dialog, const std::function<void()>& inside) {
  RunSoon([&] {
    inside();
    if (dialog.IsModal()) dialog.EndModal(wxID_CANCEL);
  });
  return dialog.ShowModal();
}

// The window with the keyboard focus, once the toolkit has caught up with it.
inline wxWindow* FocusedWindow() {
  DispatchPending();
  return wxWindow::FindFocus();
}

// What one press of OK did.
struct OkPress {
  int code = 0;          // the return code; Cancel when the dialog stayed open
  std::string focused;   // the name of the control with the focus afterwards
  std::vector<MessageBoxRecorder::Box> boxes;  // the message boxes it showed
  bool boxesOverDialog = true;                 // each of them parented to the dialog
};

// Runs dialog modally: fill() sets its fields, the focus goes to the OK
// button, OK is pressed once. controls names the controls the focus may
// end on ("elsewhere" for any other window).
inline OkPress PressOKOnce(wxDialog& dialog, const std::function<void()>& fill,
                           const std::vector<std::pair<wxWindow*, const char*>>& controls) {
  MessageBoxRecorder messages;
  OkPress press;
  press.code = RunModal(dialog, [&] {
    fill();
    dialog.FindWindow(wxID_OK)->SetFocus();
    PressOK(dialog);
    wxWindow* focus = FocusedWindow();
    press.focused = "elsewhere";
    for (const auto& [control, name] : controls)
      // A combo box takes the focus in its entry or button.
      if (focus && (focus == control || focus->GetParent() == control)) press.focused = name;
  });
  press.boxes = messages.boxes;
  for (const auto& box : press.boxes) press.boxesOverDialog &= box.parent == &dialog;
  return press;
}

// The press was refused with message, the focus on the control named focus,
// and the dialog stayed open.
inline void ExpectRefused(const OkPress& press, const wxString& message, const std::string& focus) {
  EXPECT_EQ(press.code, wxID_CANCEL) << "stays open";
  ASSERT_EQ(press.boxes.size(), 1u);
  EXPECT_EQ(press.boxes[0].message, message);
  EXPECT_EQ(press.boxes[0].caption, "Error");
  EXPECT_EQ(press.boxes[0].style, wxOK | wxICON_ERROR);
  EXPECT_TRUE(press.boxesOverDialog);
  EXPECT_EQ(press.focused, focus);
}

// The press was accepted: no message, the dialog ended with OK.
inline void ExpectAccepted(const OkPress& press) {
  EXPECT_EQ(press.code, wxID_OK);
  EXPECT_TRUE(press.boxes.empty());
}
