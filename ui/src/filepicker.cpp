#include "filepicker.h"

#include <utility>

#include <wx/filedlg.h>
#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/intl.h>

#include "msgbox.h"

namespace {
FilePickerHandler& Handler() {
  static FilePickerHandler handler;
  return handler;
}

// The toolkit's picker on GTK leaves a typed name as it is: a file saved as
// "list" would not show under its own filter afterwards. The name gets the
// extension, and since the picker asked about the name without it, the
// question whether to replace a file is asked here.
wxString WithDefaultExtension(const FilePickerRequest& request, const wxString& chosen) {
  if (chosen.empty() || !(request.flags & wxFD_SAVE) || request.defaultExtension.empty()) return chosen;
  wxFileName name(chosen);
  if (name.HasExt()) return chosen;
  name.SetExt(request.defaultExtension);
  const wxString path = name.GetFullPath();
  if ((request.flags & wxFD_OVERWRITE_PROMPT) && wxFileExists(path) &&
      ShowMessageBox(wxString::Format(_("A file named \"%s\" already exists. Do you want to replace it?"),
                                      name.GetFullName()),
                     request.message, wxYES_NO | wxICON_QUESTION, request.parent) != wxYES)
    return wxString();
  return path;
}
}  // namespace

wxString PickFile(const FilePickerRequest& request) {
  const wxString chosen = Handler() ? Handler()(request)
                                    : wxFileSelector(request.message, wxString(), wxString(), request.defaultExtension,
                                                     request.wildcard, request.flags, request.parent);
  return WithDefaultExtension(request, chosen);
}

FilePickerHandler SetFilePickerHandler(FilePickerHandler handler) {
  return std::exchange(Handler(), std::move(handler));
}
