// GoogleTest main for the network exchange: a console application of the
// toolkit (threads, pending events, descriptor sources, timers; no display)
// whose event loop the tests run while they wait (net_fixture.h).
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include <wx/app.h>
#include <wx/apptrait.h>
#include <wx/evtloop.h>
#include <wx/init.h>

#include "sandbox.h"

int main(int argc, char** argv) {
  testing_sandbox::Enter();
  ::testing::InitGoogleTest(&argc, argv);
  wxInitializer toolkit(argc, argv);
  if (!toolkit.IsOk()) {
    std::fprintf(stderr, "cannot start the toolkit\n");
    return 1;
  }
  std::unique_ptr<wxEventLoopBase> loop(wxTheApp->GetTraits()->CreateEventLoop());
  wxEventLoopActivator active(loop.get());
  return RUN_ALL_TESTS();
}
