// Built into a copy of the program for process tests: every message box is
// written to standard error ("message box: CAPTION|TEXT") and answered at
// once instead of waiting for a person: Yes to a question, unless
// $PASTIQ_TEST_ANSWER is "no"; OK otherwise.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <wx/defs.h>

#include "msgbox.h"

namespace {
const bool installed = [] {
  SetMessageBoxHandler([](const wxString& text, const wxString& caption, long style, wxWindow*) {
    std::fprintf(stderr, "message box: %s|%s\n", static_cast<const char*>(caption.utf8_str()),
                 static_cast<const char*>(text.utf8_str()));
    std::fflush(stderr);
    if (!(style & wxYES_NO)) return wxOK;
    const char* answer = std::getenv("PASTIQ_TEST_ANSWER");
    return answer && std::strcmp(answer, "no") == 0 ? wxNO : wxYES;
  });
  return true;
}();
}  // namespace
