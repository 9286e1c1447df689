#pragma once
// The one way a dialog or option page refuses what the user typed: the
// checks run in their fixed order, and the first that fails shows its
// message (caption "Error", an OK button, the error icon, through the
// message-box seam), gives the offending control the focus and stops. The
// caller writes nothing unless every check passed.
#include <functional>
#include <initializer_list>

#include <wx/string.h>

class wxWindow;

struct InputCheck {
  std::function<bool()> fails;  // evaluated only when every check before it passed
  wxString message;
  wxWindow* control;  // gets the focus when this check fails
};

// Shows message parented to parent (by default the dialog holding control),
// then focuses control; returns false so a check can end with
// `return RefuseInput(...)`.
bool RefuseInput(wxWindow* control, const wxString& message, wxWindow* parent = nullptr);

// Runs checks in order; true when all pass, else RefuseInput for the first
// that fails and false.
bool PassChecks(std::initializer_list<InputCheck> checks, wxWindow* parent = nullptr);
