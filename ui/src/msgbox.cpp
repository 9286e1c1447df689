#include "msgbox.h"

#include <utility>

#include <wx/msgdlg.h>

namespace {
MessageBoxHandler& Handler() {
  static MessageBoxHandler handler;
  return handler;
}
}  // namespace

int ShowMessageBox(const wxString& message, const wxString& caption, long style, wxWindow* parent) {
  if (Handler()) return Handler()(message, caption, style, parent);
  return wxMessageBox(message, caption, style, parent);
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
  return std::exchange(Handler(), std::move(handler));
}
