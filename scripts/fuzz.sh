#!/usr/bin/env bash
# Fuzzes one target, or lists them.
#   bash scripts/fuzz.sh                 lists the fuzz targets
#   bash scripts/fuzz.sh <target> [sec]  fuzzes it for sec seconds (default 300)
# Builds in build-fuzz/ with clang, AddressSanitizer, UndefinedBehaviorSanitizer
# and libFuzzer. The working corpus grows in build-fuzz/corpus/<target>,
# seeded from the target's corpus in the tree; crashes land in
# build-fuzz/crashes/<target>/. Add an input worth keeping to the tree's corpus.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${PASTIQ_FUZZ_BUILD_DIR:-$here/build-fuzz}"
bash "$here/scripts/deps.sh"
CC=clang CXX=clang++ cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPASTIQ_FUZZ=ON -DPASTIQ_WERROR=OFF >/dev/null
targets=$(cd "$build" && ctest -N | sed -n 's/^ *Test *#[0-9]*: \(.*\)\.seeds$/\1/p')
if [ $# -eq 0 ]; then
  echo "$targets"
  exit 0
fi
target=$1
seconds=${2:-300}
echo "$targets" | grep -qx "$target" || { echo "no fuzz target $target; these exist:"; echo "$targets"; exit 2; }
cmake --build "$build" -j"${PASTIQ_JOBS:-$(nproc)}" --target "$target"
seeds=$(cd "$build" && ctest -N -V -R "^$target\.seeds\$" | sed -n "s/.*Test command: .*$target \(.*\)$/\1/p" | tr -d '"')
mkdir -p "$build/corpus/$target" "$build/crashes/$target"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
exec "$build/bin/$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
  -artifact_prefix="$build/crashes/$target/" "$build/corpus/$target" $seeds
