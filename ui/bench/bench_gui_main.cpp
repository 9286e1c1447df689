// Google Benchmark main for benchmarks of windows: the sandbox's home, then
// the toolkit on the display, then the benchmarks.
#include <cstdio>

#include <benchmark/benchmark.h>
#include <wx/app.h>
#include <wx/init.h>
#include <wx/log.h>

#include "sandbox.h"

namespace {
class BenchApp : public wxApp {
 public:
  bool OnInit() override { return true; }
};
}  // namespace

wxIMPLEMENT_APP_NO_MAIN(BenchApp);

int main(int argc, char** argv) {
  testing_sandbox::Enter();
  benchmark::Initialize(&argc, argv);
  if (!wxEntryStart(argc, argv) || !wxTheApp->CallOnInit()) {
    std::fprintf(stderr, "cannot start the toolkit (no display? run under xvfb-run)\n");
    return 1;
  }
  delete wxLog::SetActiveTarget(new wxLogStderr);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  wxTheApp->OnExit();
  wxEntryCleanup();
  return 0;
}
