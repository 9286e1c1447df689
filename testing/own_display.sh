#!/usr/bin/env bash
# Runs a test on an X server of its own, so that windows of tests running at
# the same time never take its keyboard focus or cover its windows.
# Listing the tests needs no display.
set -u
for arg in "$@"; do
  [ "$arg" = "--gtest_list_tests" ] && exec "$@"
done
coproc XVFB { exec Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp -noreset 2>/dev/null; }
xvfb_pid=$XVFB_PID
if ! read -r -t 20 -u "${XVFB[0]}" number; then
  echo "own_display: Xvfb did not start" >&2
  kill "$xvfb_pid" 2>/dev/null
  exit 1
fi
export DISPLAY=":$number"
"$@"
rc=$?
kill "$xvfb_pid" 2>/dev/null
wait "$xvfb_pid" 2>/dev/null
exit $rc
