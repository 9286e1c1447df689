#pragma once
// Every file picker of the program goes through here, so tests can answer
// them instead of a person.
#include <functional>

#include <wx/string.h>

class wxWindow;

// What the picker is asked, as wxFileSelector takes it.
struct FilePickerRequest {
  wxString message;
  wxString defaultExtension;  // without the dot
  wxString wildcard;
  int flags = 0;  // wxFD_OPEN or wxFD_SAVE with their options
  wxWindow* parent = nullptr;
};

// The chosen path; empty when the user cancelled. A file to save that was
// named without an extension gets the default one (and when that file
// exists, the user is asked before it is replaced).
wxString PickFile(const FilePickerRequest& request);

// What the user picks in the toolkit's picker.
using FilePickerHandler = std::function<wxString(const FilePickerRequest& request)>;
// Replaces the picker (an empty handler restores the toolkit's); returns the
// previous one.
FilePickerHandler SetFilePickerHandler(FilePickerHandler handler);
