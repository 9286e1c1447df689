#pragma once
// Answers every message box of the program while it lives, and keeps what
// was shown.
#include <vector>

#include <wx/defs.h>
#include <wx/string.h>

#include "msgbox.h"

class wxWindow;

class MessageBoxRecorder {
 public:
  struct Box {
    wxString message;
    wxString caption;
    long style;
    wxWindow* parent;
  };

  explicit MessageBoxRecorder(int answer = wxOK)
      : previous(SetMessageBoxHandler([this, answer](const wxString& message, const wxString& caption, long style,
                                                      wxWindow* parent) {
          boxes.push_back({message, caption, style, parent});
          return answer;
        })) {}
  ~MessageBoxRecorder() { SetMessageBoxHandler(previous); }
  MessageBoxRecorder(const MessageBoxRecorder&) = delete;
  MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

  std::vector<Box> boxes;

 private:
  MessageBoxHandler previous;
};
