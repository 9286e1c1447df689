#include "filepicker.h"

#include <utility>

#include <wx/filedlg.h>

namespace {
FilePickerHandler& Handler() {
  static FilePickerHandler handler;
  return handler;
}
}  // namespace

wxString PickFile(const FilePickerRequest& request) {
  if (Handler()) return Handler()(request);
  return wxFileSelector(request.message, wxString(), wxString(), request.defaultExtension, request.wildcard,
                        request.flags, request.parent);
}

FilePickerHandler SetFilePickerHandler(FilePickerHandler handler) {
  return std::exchange(Handler(), std::move(handler));
}
