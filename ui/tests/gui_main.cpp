// GoogleTest main for tests that need the toolkit: a running application
// object (pending events, dialogs, signal handling) on a display.
#include <gtest/gtest.h>

#include <cstdio>

#include <wx/app.h>
#include <wx/init.h>
#include <wx/log.h>

#include "display.h"
#include "sandbox.h"

namespace {
class TestApp : public wxApp {
 public:
  bool OnInit() override { return true; }
};
}  // namespace

wxIMPLEMENT_APP_NO_MAIN(TestApp);

int main(int argc, char** argv) {
  testing_sandbox::Enter();
  ::testing::InitGoogleTest(&argc, argv);
  // Listing tests needs no display.
  if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
  if (!OpenTestDisplay(argc, argv) || !wxEntryStart(argc, argv)) {
    fprintf(stderr, "cannot start the toolkit (no display?)\n");
    return 1;
  }
  if (!wxTheApp->CallOnInit()) return 1;
  // A toolkit assertion fails the test that set it off; its dialog would wait
  // for a person.
  wxSetAssertHandler([](const wxString& file, int line, const wxString& func, const wxString& cond,
                        const wxString& msg) {
    ADD_FAILURE() << "toolkit assertion " << cond << " (" << msg << ") in " << func << " at " << file << ":"
                  << line;
  });
  // Messages go to standard error: a message box would wait for a person.
  delete wxLog::SetActiveTarget(new wxLogStderr);
  const int rc = RUN_ALL_TESTS();
  wxTheApp->OnExit();
  wxEntryCleanup();
  return rc;
}
