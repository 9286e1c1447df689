// Linked into the test binaries that work on the simulated desktop: the
// switch is set before anything runs, and the programs they start inherit it.
#include <cstdlib>

namespace {
const bool g_simulated = [] { return setenv("PASTIQ_DESKTOP", "sim", 1) == 0; }();
}  // namespace
