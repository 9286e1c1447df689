// Google Benchmark main for our benchmarks: they run in the same throw-away
// home as the tests, so a benchmark never touches the user's files.
#include <benchmark/benchmark.h>

#include "sandbox.h"

int main(int argc, char** argv) {
  testing_sandbox::Enter();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
