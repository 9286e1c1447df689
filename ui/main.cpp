// The program pastiq.
#include <cstdio>
#include <string>

#include <wx/app.h>

#include "app.h"
#include "desktop.h"
#include "platform/x11.h"
#include "startup.h"

wxIMPLEMENT_APP_NO_MAIN(PastiqApp);

int main(int argc, char** argv) {
  // A restart after an update: start afresh and end, before any toolkit.
  int code = 0;
  if (HandleCommitArgument(argc, argv, &code)) return code;
  // The desktop before the toolkit, so that a missing display is told in
  // our words. The program works on the X11 desktop.
  platform::SetRealDesktop(&platform::x11::OpenDesktop);
  std::string error;
  if (!OpenDesktop(&error)) {
    std::fprintf(stderr, "pastiq: %s\n", error.c_str());
    return 1;
  }
  return wxEntry(argc, argv);
}
