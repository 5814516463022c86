#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Starts veltravor on a virtual X display and writes PNG screenshots of every
# window and dialog of the program, the pictures of the user manuals: the main
# window, its menus, the about box, the event log, a project window after a
# finished scan of the simulated instrument (log scale, linear scale with the
# read-out, advanced mode), the adjustment window after a series of 100 values
# and its two move dialogs, the settings dialog, the language list and the
# translation editor, a project with two added graphs and the legend, the graph
# removal dialog, the pulse report, and, in Russian, the settings dialog and
# the main window with a scanned project.
# Runs on the simulated instrument with throw-away settings, log and
# dictionaries in a temporary folder, so the operator's own files are never
# touched.
#
#   scripts/screenshots.sh [BUILD_DIR [OUTPUT_DIR]]     (defaults: build, doc/images)
#
# Needs Xvfb, xdotool and ImageMagick (import, convert).
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
out=${2:-$here/doc/images}
exe=$build/bin/veltravor
[[ -x $exe ]] || { echo "no program at $exe (build it first)" >&2; exit 1; }
for tool in Xvfb xdotool import convert; do
  command -v "$tool" >/dev/null || { echo "$tool is not installed" >&2; exit 1; }
done
mkdir -p "$out"

work=$(mktemp -d)
xvfb_pid=
app_pid=
cleanup() {
  [[ -n $app_pid ]] && kill "$app_pid" 2>/dev/null || true
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A free display number.
display=99
while [[ -e /tmp/.X11-unix/X$display || -e /tmp/.X$display-lock ]]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1280x960x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=":$display"
for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done

export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_STATE_HOME=$work/state
export XDG_CONFIG_DIRS=$work/etc XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=xcb
mkdir -p "$XDG_CONFIG_HOME/veltravor" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
# Two recent projects so that the File menu shows its recent-file items; the
# carriage where a new simulated instrument stands and its filter table, so
# that start-up asks nothing; the interval of the project scanned below.
printf '[General]\r\nCarriage=35000\r\nfilterTable=%s\r\nmruProjects=%s*%s*\r\n[Forms  TfmProject]\r\nedLeft=-10000\r\nedRight=10000\r\nedStep=2\r\n' \
  "1;0;0.0923;400;0.00871;800;0.000937;1200;8.93E-5;1600;9.1E-6;2000;" \
  "/home/lab/measurements/2026/autocorrelator/run-14.vtp" "/home/lab/measurements/reference.vtp" \
  >"$XDG_CONFIG_HOME/veltravor/veltravor-simulator.ini"

"$exe" --simulator >"$work/program.log" 2>&1 &
app_pid=$!
main=$(timeout 20 xdotool search --sync --onlyvisible --name '^Veltravor')
main=${main%%$'\n'*}
sleep 1  # let the start actions settle and the window paint

# Window geometry in screen pixels.
eval "$(xdotool getwindowgeometry --shell "$main")"
shot_window() { import -window "$1" "$out/$2.png"; echo "$out/$2.png"; }
# The main window with whatever popup is open over it (menus are separate X windows).
shot_area() {
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out/$1.png"
  echo "$out/$1.png"
}

xdotool windowactivate --sync "$main" 2>/dev/null || xdotool windowfocus --sync "$main"
shot_window "$main" main

# Menus: open File by clicking its title, then walk right with the arrow key.
xdotool mousemove --sync $((X + 18)) $((Y + 10)) click 1
sleep 0.5
shot_area menu-file
for name in device window help; do
  xdotool key Right
  sleep 0.4
  shot_area "menu-$name"
done
# Help is open with its first item highlighted; the second is About program.
xdotool key Down Return
about=$(timeout 10 xdotool search --sync --onlyvisible --name '^About program')
about=${about%%$'\n'*}
sleep 0.5
shot_window "$about" about
xdotool key Escape
sleep 0.3

# The event log as a child window, so that the window panel shows a button:
# open Device by clicking its title, then its last item, Event log.
xdotool mousemove --sync $((X + 65)) $((Y + 10)) click 1
sleep 0.4
xdotool key Up Return
sleep 1
shot_window "$main" main-log

# A new project (Ctrl+N) scanned to its end (F8): it opens over the log
# window and fills the MDI area, its side panel at the right edge.
xdotool windowfocus --sync "$main"
xdotool key ctrl+n
sleep 1
xdotool key F8
sleep 8
xdotool mousemove --sync $((X + WIDTH / 2)) $((Y + HEIGHT - 5))
sleep 0.3
shot_window "$main" project-log
# Linear scale: the "Log. scale" box in the side panel's View group; then the
# pointer on the curve's flank shows the read-out.
xdotool mousemove --sync $((X + WIDTH - 115)) $((Y + 292)) click 1
sleep 0.5
xdotool mousemove --sync $((X + 370)) $((Y + 450))
sleep 0.2
xdotool mousemove --sync $((X + 372)) $((Y + 450))
sleep 0.5
shot_window "$main" project-linear
# Advanced mode: the link under the step in the Interval group shows the grid.
xdotool mousemove --sync $((X + WIDTH - 74)) $((Y + 228)) click 1
sleep 0.5
shot_window "$main" project-advanced

# The adjustment window after a series of 100 values (its design quantity):
# Device, then Adjustment (Down skips the disabled Stop), then Start (F8).
xdotool mousemove --sync $((X + 65)) $((Y + 10)) click 1
sleep 0.4
xdotool key Down Down Down Return
sleep 1
xdotool key F8
sleep 3
shot_window "$main" adjustment
# The move dialogs: a click on the carriage's, then the wheel's position.
move_dialog() {  # x y (in the main window) title picture
  xdotool mousemove --sync $((X + $1)) $((Y + $2)) click 1
  dialog=$(timeout 10 xdotool search --sync --onlyvisible --name "^$3\$")
  dialog=${dialog%%$'\n'*}
  sleep 0.5
  shot_window "$dialog" "$4"
  xdotool key Escape
  sleep 0.3
}
move_dialog 168 285 "Delay line carriage" move-sm
move_dialog 168 377 "Filter wheel" move-filter

# The settings dialog: Device, then its item above Event log.
xdotool mousemove --sync $((X + 65)) $((Y + 10)) click 1
sleep 0.4
xdotool key Up Up Return
settings=$(timeout 10 xdotool search --sync --onlyvisible --name '^Settings$')
settings=${settings%%$'\n'*}
sleep 0.5
shot_window "$settings" settings
# The language list (the button beside the language) and, from it, the
# translation editor of the Russian dictionary.
eval "$(xdotool getwindowgeometry --shell "$settings" | sed 's/^/S/')"
xdotool mousemove --sync $((SX + 260)) $((SY + 50)) click 1
languages=$(timeout 10 xdotool search --sync --onlyvisible --name '^Select language$')
languages=${languages%%$'\n'*}
sleep 0.5
shot_window "$languages" language-list
eval "$(xdotool getwindowgeometry --shell "$languages" | sed 's/^/L/')"
xdotool mousemove --sync $((LX + 30)) $((LY + 46)) click 1
sleep 0.3
xdotool mousemove --sync $((LX + 68)) $((LY + 12)) click 1
editor=$(timeout 10 xdotool search --sync --onlyvisible --name '^Русский$')
editor=${editor%%$'\n'*}
sleep 0.5
shot_window "$editor" translation-editor
xdotool key Escape
sleep 0.3
xdotool key Escape
sleep 0.3
xdotool key Escape
sleep 0.3

# Added graphs: three scans of the simulated instrument made beforehand by
# the command line; one opened (Ctrl+O), two added through File > Add graph.
# The file dialogs take a typed path and Return.
cli=$build/bin/veltravor-cli
if [[ -x $cli ]]; then
  "$cli" scan --simulator --speed 0 --seed 1 --home --from -3000 --to 3000 --step 2 --avg 4 \
    -o "$work/own scan.vtp" >/dev/null 2>&1
  "$cli" scan --simulator --speed 0 --seed 2 --from -6000 --to 4000 --step 6 \
    -o "$work/reference.vtp" >/dev/null 2>&1
  "$cli" scan --simulator --speed 0 --seed 3 --from -1500 --to 8000 --step 4 --avg 16 \
    -o "$work/after alignment.vtp" >/dev/null 2>&1
  open_file() {
    sleep 0.8
    xdotool type --delay 5 "$1"
    xdotool key Return
    sleep 1
  }
  # File menu item n (1 = New; separators are skipped by the arrow keys).
  file_item() {
    xdotool mousemove --sync $((X + 18)) $((Y + 10)) click 1
    sleep 0.4
    for _ in $(seq "$1"); do xdotool key Down; done
    xdotool key Return
  }
  xdotool windowfocus --sync "$main"
  xdotool key ctrl+o
  open_file "$work/own scan.vtp"
  file_item 5
  open_file "$work/reference.vtp"
  file_item 5
  open_file "$work/after alignment.vtp"
  xdotool mousemove --sync $((X + WIDTH / 2)) $((Y + HEIGHT - 5))
  sleep 0.5
  shot_window "$main" project-graphs
  file_item 6
  remove=$(timeout 10 xdotool search --sync --onlyvisible --name '^Select graphs to remove')
  remove=${remove%%$'\n'*}
  sleep 0.5
  shot_window "$remove" remove-graph
  xdotool key Escape
  sleep 0.3
  file_item 10
  report=$(timeout 10 xdotool search --sync --onlyvisible --name '^Pulse report')
  report=${report%%$'\n'*}
  sleep 0.5
  shot_window "$report" pulse-report
  xdotool key Escape
  sleep 0.3
fi

# In Russian: the program again with the language stored, a new project scanned.
kill "$app_pid" 2>/dev/null || true
wait "$app_pid" 2>/dev/null || true
app_pid=
ini=$XDG_CONFIG_HOME/veltravor/veltravor-simulator.ini
printf '[Settings]\r\nLanguage=Русский\r\n' >>"$ini"
"$exe" --simulator >>"$work/program.log" 2>&1 &
app_pid=$!
main=$(timeout 20 xdotool search --sync --onlyvisible --name '^Veltravor')
main=${main%%$'\n'*}
sleep 1
eval "$(xdotool getwindowgeometry --shell "$main")"
xdotool windowactivate --sync "$main" 2>/dev/null || xdotool windowfocus --sync "$main"
xdotool mousemove --sync $((X + 65)) $((Y + 10)) click 1
sleep 0.4
xdotool key Up Up Return
settings=$(timeout 10 xdotool search --sync --onlyvisible --name '^Настройки$')
settings=${settings%%$'\n'*}
sleep 0.5
shot_window "$settings" settings-ru
xdotool key Escape
sleep 0.3
xdotool windowactivate --sync "$main" 2>/dev/null || xdotool windowfocus --sync "$main"
xdotool key ctrl+n
sleep 1
xdotool key F8
sleep 8
xdotool mousemove --sync $((X + WIDTH / 2)) $((Y + HEIGHT - 5))
sleep 0.3
shot_window "$main" main-russian
