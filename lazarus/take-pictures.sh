#!/usr/bin/env bash
# Pictures of HMR in the Lazarus IDE, made the same way every time: the IDE built with the
# package (build-ide.sh), started under Xvfb on the sample project with two earlier days of
# history (played by the stand-in IDE), its View menu opened from the keyboard, then the
# tracker's window by its shortcut. Writes OUT_DIR/lazarus-view-menu.png (the tracker's entry
# and its shortcut) and OUT_DIR/lazarus-tracker-window.png (the tracker dialog over the IDE,
# the running session shown as "Current").
#   take-pictures.sh BUILD_DIR OUT_DIR
# Needs xvfb, xdotool, x11-apps (xwd) and netpbm; HMR_LAZARUS_CONFIG=DIR reuses a built IDE.
set -euo pipefail

[ $# -eq 2 ] || { echo "usage: $0 BUILD_DIR OUT_DIR" >&2; exit 2; }
bin=$(cd "$1/bin" && pwd)
mkdir -p "$2"
out=$(cd "$2" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
# A fixed folder, so that the paths the dialog shows are the same on every run.
scratch=/tmp/hmr-lazarus-pictures
rm -rf "$scratch"
mkdir -p "$scratch"
xvfb_pid=""
ide_pid=""
cleanup() {
  [ -n "$ide_pid" ] && kill "$ide_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT

config=${HMR_LAZARUS_CONFIG:-$scratch/config}
"$here/build-ide.sh" "$config" "$bin/libhmrtracker.so" >/dev/null
project="$scratch/project"
mkdir -p "$project"
cp "$here"/sample/* "$project/"

# ---- two earlier days in the sample project, played by the stand-in IDE ----
export HMR_REGISTRY="$scratch/registry.db" XDG_STATE_HOME="$scratch/state"
# The stand-in's data-file association stays in the scratch folder; the Lazarus IDE keeps the
# user's XDG folders (its build found the compiler's packages through them).
stand_in() {
  XDG_DATA_HOME="$scratch/share" XDG_CONFIG_HOME="$scratch/config-home" "$@" >/dev/null
}
stand_in "$bin/hmr-ide" --script - </dev/null
stand_in "$bin/hmrsetup5"
{
  echo "clock 2026-12-03T09:00:00"
  echo "open-project $project/demo.lpi"
  echo "open-file $project/greeting.pas $project/demo.lpi"
  # Thursday: 75 minutes of typing, a pause, 40 more; Friday: 55 minutes.
  for minutes in 75 0 40; do
    if [ "$minutes" -eq 0 ]; then echo "advance 1200"; continue; fi
    for _ in $(seq "$minutes"); do echo "advance 60"; echo "edit $project/greeting.pas"; done
  done
  echo "close-project $project/demo.lpi"
} >"$scratch/thursday.script"
sed -e 's/2026-12-03T09:00/2026-12-04T14:20/' -e 's/^advance 1200$//' "$scratch/thursday.script" |
  awk '/^edit/ { if (++n > 55) next } { print }' >"$scratch/friday.script"
stand_in "$bin/hmr-ide" --script "$scratch/thursday.script"
stand_in "$bin/hmr-ide" --script "$scratch/friday.script"
[ -f "$project/demo.HMR" ] || { echo "the stand-in IDE wrote no history" >&2; exit 1; }

# ---- the real IDE on the project ----
Xvfb -displayfd 5 -screen 0 1280x800x24 -nolisten tcp 5>"$scratch/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$scratch/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n 1 "$scratch/display")"

window() {  # NAME_REGEX: waits up to 2 minutes for a visible window of that name
  local id=""
  for _ in $(seq 400); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1) || id=""
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.3
  done
  echo "no window named /$1/" >&2
  exit 1
}
grab() { xwd -root -silent | xwdtopnm 2>/dev/null | pnmtopng >"$out/$1"; }

HMR_TRACKER_LIBRARY="$bin/libhmrtracker.so" \
  "$config/start-lazarus" "$project/demo.lpi" >"$scratch/ide.out" 2>/dev/null &
ide_pid=$!
main=$(window ' - demo$')
editor=$(window '^Source Editor$')
sleep 3
xdotool windowfocus --sync "$main"
xdotool key alt+v
sleep 1.5
grab lazarus-view-menu.png
xdotool key Escape
xdotool windowfocus --sync "$editor"
xdotool key ctrl+alt+shift+t
tracker=$(window '^HMR - Project Revedazl$')
# Wide enough for every column of the grid, as a user would drag it.
xdotool windowsize "$tracker" 860 440
sleep 2
grab lazarus-tracker-window.png
xdotool windowfocus --sync "$tracker" key Escape
echo "Pictures in $out"
