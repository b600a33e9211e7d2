#!/usr/bin/env bash
# Pictures of HMR in the Lazarus IDE, made the same way every time: the IDE built with the
# package (build-ide.sh), started under Xvfb on the sample project, its View menu opened from
# the keyboard. Writes OUT_DIR/lazarus-view-menu.png (the tracker's entry and its shortcut) and
# OUT_DIR/lazarus-tracker-report.txt (what the entry shows while no Qt dialog is installed).
#   take-pictures.sh TRACKER_LIBRARY OUT_DIR
# Needs xvfb, xdotool, x11-apps (xwd) and netpbm; HMR_LAZARUS_CONFIG=DIR reuses a built IDE.
set -euo pipefail

[ $# -eq 2 ] || { echo "usage: $0 TRACKER_LIBRARY OUT_DIR" >&2; exit 2; }
library=$(readlink -f "$1")
mkdir -p "$2"
out=$(cd "$2" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d "${TMPDIR:-/tmp}/hmr-pictures-XXXXXX")
xvfb_pid=""
ide_pid=""
cleanup() {
  [ -n "$ide_pid" ] && kill "$ide_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT

config=${HMR_LAZARUS_CONFIG:-$scratch/config}
"$here/build-ide.sh" "$config" "$library" >/dev/null
mkdir -p "$scratch/project"
cp "$here"/sample/* "$scratch/project/"

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

HMR_REGISTRY="$scratch/registry.db" XDG_STATE_HOME="$scratch/state" \
  HMR_TRACKER_LIBRARY="$library" \
  "$config/start-lazarus" "$scratch/project/demo.lpi" >"$scratch/ide.out" 2>/dev/null &
ide_pid=$!
main=$(window ' - demo$')
editor=$(window '^Source Editor$')
sleep 3
xdotool windowfocus --sync "$main"
xdotool key alt+v
sleep 1.5
xwd -root -silent | xwdtopnm 2>/dev/null | pnmtopng >"$out/lazarus-view-menu.png"
xdotool key Escape
xdotool windowfocus --sync "$editor"
xdotool key ctrl+alt+shift+t
for _ in $(seq 50); do grep -q "demo.HMR" "$scratch/ide.out" && break; sleep 0.2; done
# The IDE's own output shares the stream: the report starts at its title.
sed -n '/For Lazarus/,$p' "$scratch/ide.out" | tr -d '\r' |
  sed -e 's/.*For Lazarus/For Lazarus/' -e "s|$scratch/project/|~/|" \
  >"$out/lazarus-tracker-report.txt"
echo "Pictures in $out"
