#include "manual.h"

#include <wx/filename.h>
#include <wx/html/helpctrl.h>
#include <wx/log.h>

#include "msgbox.h"
#include "startup.h"

wxString FindManualFile() {
  const wxString program = GetProgramDirectory();
  const wxString candidates[] = {
      program + "/manual/pastiq.hhp",
      program + "/../share/pastiq/manual/pastiq.hhp",
  };
  for (const wxString& candidate : candidates)
    if (wxFileName::FileExists(candidate)) {
      wxFileName name(candidate);
      name.Normalize(wxPATH_NORM_DOTS | wxPATH_NORM_ABSOLUTE);
      return name.GetFullPath();
    }
  return candidates[0];
}

void ShowManual(wxHtmlHelpController** controller, const wxString& manualFile) {
  if (!*controller) {
    auto* help = new wxHtmlHelpController;
    // AddBook reports a broken book through the toolkit's log; one message
    // of ours is enough.
    bool added = false;
    if (wxFileName::FileExists(manualFile)) {
      wxLogNull quiet;
      added = help->AddBook(wxFileName(manualFile));
    }
    if (!added) {
      delete help;
      ShowMessageBox("The manual cannot be found. It should be here:\n" + manualFile, kProductTitle,
                     wxOK | wxICON_ERROR);
      return;
    }
    *controller = help;
  }
  (*controller)->DisplayContents();
}
