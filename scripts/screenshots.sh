#!/usr/bin/env bash
# Pictures of the program's windows, for looking at them as a user would.
#   bash scripts/screenshots.sh <output folder>
# Starts a private Xvfb with openbox, prepares a data folder with a sample
# history (pastiq_sample_history: three lists of mixed records from several
# applications), starts the real pastiq there, opens each window with
# xdotool keys and clicks and saves one PNG per window in the output folder.
# Installs ImageMagick (for import) when it is missing. The test command does
# not run this.
#
# To add a window: one block at the end, "open it; shoot <name> <window>".
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${PASTIQ_BUILD_DIR:-$here/build}"
[ $# -eq 1 ] || { echo "usage: $0 <output folder>" >&2; exit 2; }
out="$(realpath -m "$1")"
mkdir -p "$out"

bash "$here/scripts/deps.sh"
if ! command -v import >/dev/null; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends imagemagick x11-utils
fi
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"${PASTIQ_JOBS:-3}" --target pastiq pastiq_sample_history

work="$(mktemp -d /tmp/pastiq-shots-XXXXXX)"
pids=()
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Waits up to $1 seconds for the command after it to succeed.
until_ok() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@" >/dev/null 2>&1; do
    ((SECONDS < deadline)) || { echo "screenshots: timed out waiting for: $*" >&2; return 1; }
    sleep 0.1
  done
}

# A display of our own, and a window manager on it.
for n in $(seq 90 140); do [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break; done
export DISPLAY=":$n"
Xvfb "$DISPLAY" -screen 0 1280x1024x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
pids+=($!)
until_ok 20 xdpyinfo
openbox >"$work/openbox.log" 2>&1 &
pids+=($!)
until_ok 20 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"'

# A home and data folder of our own, with the sample history.
export HOME="$work/home" XDG_DATA_HOME="$work/home/.local/share" XDG_CONFIG_HOME="$work/home/.config"
export XDG_CACHE_HOME="$work/home/.cache" PASTIQ_DATA_DIR="$work/data"
mkdir -p "$HOME" "$PASTIQ_DATA_DIR"
"$build/bin/pastiq_sample_history"

"$build/bin/pastiq" >"$work/pastiq.log" 2>&1 &
pids+=($!)

# The id of the visible window whose title is $1 (waits for it).
window() {
  until_ok 30 xdotool search --onlyvisible --name "^$1\$"
  xdotool search --onlyvisible --name "^$1\$" | head -n 1
}
# Saves window $2 as $out/$1.png once what was asked of it is drawn.
shoot() {
  sleep 0.5
  import -frame -window "$2" "$out/$1.png"
  echo "screenshots: $out/$1.png"
}
# Clicks at ($2, $3) inside window $1.
click() {
  xdotool mousemove --window "$1" "$2" "$3" click 1
}

# The main window with its history window: the listening list, one record
# selected, the mouse over another.
main=$(window Pastiq)
xdotool windowactivate --sync "$main"
click "$main" 200 60
xdotool mousemove --window "$main" 200 130
shoot history "$main"

# The second list: a click on the first tab, then the arrow keys to the next.
click "$main" 15 12
xdotool key Right
xdotool mousemove --window "$main" 600 400
shoot history-second-list "$main"

# The search page (the last tab) with a search typed into its field; a hit
# is selected with a click, and the focus goes back to the field (a row
# selected in a list without the focus).
xdotool key Right Right Tab
xdotool type --delay 60 "the"
sleep 0.5
click "$main" 200 90
xdotool key shift+Tab shift+Tab
shoot search "$main"
