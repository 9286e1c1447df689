#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${PASTIQ_BUILD_DIR:-$here/build}"

bash "$here/scripts/deps.sh"
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"${PASTIQ_JOBS:-$(nproc)}" --target pastiq
exec "$build/bin/pastiq" "$@"
