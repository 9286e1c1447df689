// GoogleTest main for the application object: PastiqApp is the toolkit's
// application and starts as the program does (home and data folder in the
// sandbox); the tests run where its main loop would, and its exit follows.
#include <gtest/gtest.h>

#include <cstdio>

#include <wx/app.h>
#include <wx/init.h>

#include "app.h"
#include "app_state.h"
#include "display.h"
#include "mainframe.h"
#include "sandbox.h"

wxIMPLEMENT_APP_NO_MAIN(PastiqApp);

bool g_deferredBeforeLoop = true;
bool g_mainFrameShownAtStart = false;
bool g_helpControllerAtStart = true;

int main(int argc, char** argv) {
  testing_sandbox::Enter();
  ::testing::InitGoogleTest(&argc, argv);
  if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
  if (!OpenTestDisplay(argc, argv) || !wxEntryStart(argc, argv)) {
    std::fprintf(stderr, "cannot start the toolkit (no display?)\n");
    return 1;
  }
  if (!wxTheApp->CallOnInit()) {
    std::fprintf(stderr, "the application did not start\n");
    return 1;
  }
  g_deferredBeforeLoop = wxGetApp().DeferredStartupDone();
  g_mainFrameShownAtStart = wxGetApp().GetMainFrame() && wxGetApp().GetMainFrame()->IsShown();
  g_helpControllerAtStart = wxGetApp().GetHelpController() != nullptr;
  const int rc = RUN_ALL_TESTS();
  wxTheApp->OnExit();
  wxEntryCleanup();
  return rc;
}
