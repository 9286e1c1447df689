#include "msgbox.h"

#include <utility>

#include <wx/msgdlg.h>

#include "dlgmgr.h"

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

int ShowManagedMessageBox(const wxString& message, const wxString& caption, long style) {
  if (DlgMgr::CurrentDialog()) {
    DlgMgr::CurrentDialog()->Raise();
    return wxID_NONE;
  }
  if (Handler()) return Handler()(message, caption, style, nullptr);
  wxMessageDialog dialog(nullptr, message, caption, style);
  int result = wxID_NONE;
  return DlgMgr::ShowModal(&dialog, &result) ? result : wxID_NONE;
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
  return std::exchange(Handler(), std::move(handler));
}
