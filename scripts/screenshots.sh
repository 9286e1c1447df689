#!/usr/bin/env bash
# Pictures of the program's windows, for looking at them as a user would.
#   bash scripts/screenshots.sh <output folder>
# Starts a private Xvfb with openbox, prepares a data folder with a sample
# history (pastiq_sample_history: three lists of mixed records from several
# applications), starts the real pastiq there, opens each window with
# xdotool keys and clicks and saves one PNG per window in the output folder.
# Last it starts the program again beside trayer's notification area for the
# tray icon, its menu and a waiting notice.
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
cmake --build "$build" -j"${PASTIQ_JOBS:-3}" --target ui_pastiq_unattended pastiq_sample_history \
  pastiq_x11_test_client

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

# The program with its test seams: message boxes answered, and commands on
# its standard input (the menu window opens there as the taskbar icon's
# click opens it).
mkfifo "$work/commands"
"$build/bin/ui_pastiq_unattended" <"$work/commands" >"$work/pastiq.log" 2>&1 &
pids+=($!)
pastiq_pid=$!
exec 3>"$work/commands"

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

# Places in the main window's client area: the left pane is 168 pixels wide;
# below the menu bar and the tool bar come the tabs, then the rows.
tabs_y=80
row_y() { echo $((104 + 23 * $1)); }
# The newest visible window whose title is $1 and that is not window $2.
other_window() {
  until_ok 30 sh -c "xdotool search --onlyvisible --name '^$1\$' | grep -vx '$2'"
  xdotool search --onlyvisible --name "^$1\$" | grep -vx "$2" | tail -n 1
}
# Saves the screen around window $2 (with what it opened below and to its
# right, a menu say) as $out/$1.png.
shoot_around() {
  sleep 0.5
  eval "$(xdotool getwindowgeometry --shell "$2")"
  import -window root -crop "$((WIDTH + 40))x$((HEIGHT + 40))+$((X > 30 ? X - 30 : 0))+$((Y > 30 ? Y - 30 : 0))" \
    "$out/$1.png"
  echo "screenshots: $out/$1.png"
}

# The main window with its history window: the listening list, one record
# selected, the mouse over another.
main=$(window Pastiq)
xdotool windowactivate --sync "$main"
click "$main" 80 "$(row_y 1)"
xdotool mousemove --window "$main" 80 "$(row_y 4)"
shoot history "$main"

# A long text selected (down the rows by keys): the viewer's "Plain Text"
# page.
xdotool key Down Down Down Down Down
xdotool mousemove --window "$main" 600 450
shoot viewer-text "$main"

# The rich text one row up, on its "Rich Text Format (RTF)" page (the
# second tab of the viewer).
xdotool key Up
sleep 0.3
click "$main" 300 "$tabs_y"
xdotool mousemove --window "$main" 600 450
shoot viewer-rich-text "$main"

# A picture: the "Bitmap Picture" page, larger than the pane, so it scrolls.
click "$main" 80 "$(row_y 7)"
xdotool mousemove --window "$main" 600 450
shoot viewer-bitmap "$main"

# The Edit and Help menus open, with the pictures of their items.
click "$main" 60 12
shoot_around menu-edit "$main"
xdotool key Escape
click "$main" 200 12
shoot_around menu-help "$main"
xdotool key Escape

# The record menu: a right click on a row of the listening list, with its
# "Send Record To:" submenu open (the keys open it).
xdotool mousemove --window "$main" 80 "$(row_y 2)" click 3
sleep 0.5
xdotool key s
shoot_around menu-record "$main"
# "Other Computer..." in it: the host dialog.
xdotool key o
hostname=$(window Hostname)
shoot hostname "$hostname"
xdotool windowactivate --sync "$hostname" key Escape

# The tab menu: a right click on the first tab.
xdotool windowactivate --sync "$main"
xdotool mousemove --window "$main" 15 "$tabs_y" click 3
shoot_around menu-tab "$main"
# "Properties" in it: the record-list property dialog.
xdotool key p
properties=$(window "Record List Properties")
shoot list-properties "$properties"
xdotool windowactivate --sync "$properties" key Escape

# Multiple Paste from the Edit menu, two records chosen in its list.
xdotool windowactivate --sync "$main"
xdotool key alt+e m
paster=$(window "Paste Records")
click "$paster" 60 40
xdotool keydown shift
click "$paster" 60 86
xdotool keyup shift
shoot multi-paste "$paster"
xdotool windowactivate --sync "$paster" key Escape

# Multiple Delete from the Edit menu: the record selection dialog.
xdotool windowactivate --sync "$main"
xdotool key alt+e u
selector=$(window "Select Records")
click "$selector" 60 60
shoot select-records "$selector"
xdotool windowactivate --sync "$selector" key Escape

xdotool windowactivate --sync "$main"

# The second list: a click on the first tab, then the arrow keys to the next.
click "$main" 15 "$tabs_y"
xdotool key Right
xdotool mousemove --window "$main" 600 400
shoot history-second-list "$main"

# The search page (the last tab) with a search typed into its field; a hit
# is selected with a click, and the focus goes back to the field (a row
# selected in a list without the focus).
xdotool key Right Right Tab
xdotool type --delay 60 "the"
sleep 0.5
click "$main" 80 "$(($(row_y 1) + 59))"  # below the field and "Match case"
xdotool key shift+Tab shift+Tab
shoot search "$main"

# The about dialog, from the Help menu.
xdotool key alt+h a
about=$(other_window Pastiq "$main")
shoot about "$about"
xdotool windowactivate --sync "$about" key Return

# The manual, from the Help menu.
xdotool windowactivate --sync "$main"
xdotool key alt+h m
manual=$(window "Help: Pastiq Manual")
shoot manual "$manual"

# The floating list, expanded and collapsed by its keys (Super with the
# arrows), beside the main window.
xdotool windowactivate --sync "$main"
floating=$(window "Clipboard Records")
xdotool key super+Right
shoot floating-expanded "$floating"
xdotool key super+Left
shoot floating-collapsed "$floating"

# The popup list next to another application's text field (no caret is
# known on X11: at the field's top-left, 5 pixels down), opened by Super+V
# and moved one row by Down, the focus left in the field.
"$build/bin/pastiq_x11_test_client" field >"$work/field.log" 2>&1 &
pids+=($!)
until_ok 20 grep -q READY "$work/field.log"
target=$(awk '/^READY/ {print $2; exit}' "$work/field.log")
xdotool windowactivate --sync "$target"
xdotool keydown super key v key Down
shoot_around popup "$target"
xdotool key Escape keyup super

# The menu window, opened with its bottom-right corner at a point.
echo "menu 900 700" >&3
sleep 1
import -window root -crop 210x360+720+370 "$out/menu-window.png"
echo "screenshots: $out/menu-window.png"

# The options dialog from the Tools menu, one picture per tab at its default
# size (a click on each tab: the tabs stand 85 pixels apart at the top), then
# cancelled.
xdotool windowactivate --sync "$main"
xdotool key alt+t o
options=$(window Options)
xdotool windowactivate --sync "$options"
x=50
for page in general network formats; do
  click "$options" "$x" 25
  xdotool mousemove --window "$options" 5 5
  shoot "options-$page" "$options"
  x=$((x + 85))
done
xdotool key Escape

# The notification area: the program started again beside trayer's tray,
# where it starts hidden as an icon. The tray stands at the bottom right
# (the floating list takes the top right).
exec 3>&-
kill "$pastiq_pid"
wait "$pastiq_pid" 2>/dev/null || true
trayer --edge bottom --align right --widthtype request --height 24 --SetDockType true >"$work/trayer.log" 2>&1 &
pids+=($!)
until_ok 20 sh -c 'xwininfo -root -tree | grep -q "(\"panel\" \"trayer\")"'
eval "$(xdotool getdisplaygeometry --shell)"
icon_x=$((WIDTH - 9)) icon_y=$((HEIGHT - 12))
# Saves the bottom right corner of the screen, $2 x $3 pixels, as $out/$1.png.
shoot_corner() {
  sleep 0.8
  import -window root -crop "$2x$3+$((WIDTH - $2))+$((HEIGHT - $3))" "$out/$1.png"
  echo "screenshots: $out/$1.png"
}
# Starts the program (its copy that answers message boxes itself) with the
# environment given, and waits until its icon is in the tray.
start_in_tray() {
  env "$@" "$build/bin/ui_pastiq_unattended" </dev/null >"$work/tray.log" 2>&1 &
  tray_pid=$!
  pids+=($tray_pid)
  # The tray's panel has a child once the icon is in.
  until_ok 30 sh -c "xwininfo -root -tree | grep -A1 '(\"panel\" \"trayer\")' | grep -q children"
}
stop_in_tray() {
  kill "$tray_pid"
  wait "$tray_pid" 2>/dev/null || true
}

start_in_tray
xdotool mousemove 0 300
shoot_corner tray 160 40
# The icon's menu, on the right button.
xdotool mousemove "$icon_x" "$icon_y" click 3
shoot_corner tray-menu 300 260
xdotool key Escape
# The menu window, on the left button: its bottom right corner at the pointer,
# above the tray.
xdotool mousemove "$icon_x" "$icon_y" click 1
shoot_corner tray-menu-window 320 420
xdotool key Escape
stop_in_tray

# A newer version announced: the notice waits in the icon, which shows it
# with its picture and, under the pointer, its text.
start_in_tray PASTIQ_TEST_NEW_VERSION="3000004 https://example.org/pastiq/download"
xdotool mousemove "$icon_x" "$icon_y"
sleep 1.5
shoot_corner tray-notice 720 100
stop_in_tray
