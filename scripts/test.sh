#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: each test
# case on its own, and each GoogleTest binary once more as a whole, shuffled
# and repeated three times (<binary>.shuffled_repeated), so that no test
# depends on the order of the others.
# Tests that need a display run under one Xvfb started here; it never resets,
# so a test process that connects as the last one leaves is not refused.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${PASTIQ_BUILD_DIR:-$here/build}"

bash "$here/scripts/deps.sh"
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"${PASTIQ_JOBS:-$(nproc)}"

cd "$build"
xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp -noreset" \
  ctest --output-on-failure -j"${PASTIQ_JOBS:-$(nproc)}" --timeout 300 "$@"
