// The program pastiq.
#include <wx/app.h>

#include "app.h"
#include "startup.h"

wxIMPLEMENT_APP_NO_MAIN(PastiqApp);

int main(int argc, char** argv) {
  // A restart after an update: start afresh and end, before any toolkit.
  int code = 0;
  if (HandleCommitArgument(argc, argv, &code)) return code;
  return wxEntry(argc, argv);
}
