#!/usr/bin/env bash
# Pictures of HMR in the Lazarus IDE, made the same way every time: HMR installed by
# hmrsetup-lazarus into the Lazarus of a user with a home folder of the script's (the account
# "nobody" when the script runs as root), the IDE started with startlazarus under Xvfb on the sample project with two earlier days of
# history (played by the stand-in IDE), its View menu opened from the keyboard, then the
# tracker's window by its shortcut. Writes OUT_DIR/lazarus-view-menu.png (the tracker's entry
# and its shortcut) and OUT_DIR/lazarus-tracker-window.png (the tracker dialog over the IDE,
# the running session shown as "Current").
#   take-pictures.sh BUILD_DIR OUT_DIR
# Needs xvfb, xdotool, x11-apps (xwd) and netpbm; HMR_LAZARUS_HOME=DIR keeps the user's home
# (and the IDE built there) in DIR for the next run instead of building it again.
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
# shellcheck source=desktop-session.sh
source "$here/desktop-session.sh"
fail() { echo "$*" >&2; exit 1; }
cleanup() {
  stop_desktop
  rm -rf "$scratch"
}
trap cleanup EXIT

home=${HMR_LAZARUS_HOME:-$scratch/home}
mkdir -p "$home" "$scratch/bin/lazarus"
chmod 755 "$scratch"
cp "$bin/hmrsetup-lazarus" "$bin/libhmrtracker.so" "$bin/hmr-ide" "$bin/hmrsetup5" \
   "$bin/HMExpert50.bpl" "$scratch/bin/"
cp -r "$bin/lazarus/package" "$scratch/bin/lazarus/"
choose_user
[ -f "$home/.lazarus/environmentoptions.xml" ] || seed_environment_options "$home/.lazarus"
give_to_user "$home"
as_user "$scratch/bin/hmrsetup-lazarus" >"$scratch/install.out" 2>&1 ||
  { cat "$scratch/install.out" >&2; exit 1; }
project="$scratch/project"
mkdir -p "$project"
cp "$here"/sample/* "$project/"
give_to_user "$project"

# ---- two earlier days in the sample project, played by the stand-in IDE as the same user ----
stand_in() {
  as_user "$@" >/dev/null
}
stand_in "$scratch/bin/hmr-ide" --script - </dev/null
stand_in "$scratch/bin/hmrsetup5"
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
chmod 644 "$scratch"/*.script
stand_in "$scratch/bin/hmr-ide" --script "$scratch/thursday.script"
stand_in "$scratch/bin/hmr-ide" --script "$scratch/friday.script"
[ -f "$project/demo.HMR" ] || { echo "the stand-in IDE wrote no history" >&2; exit 1; }

# ---- the real IDE on the project ----
start_xvfb 1280x800

grab() { xwd -root -silent | xwdtopnm 2>/dev/null | pnmtopng >"$out/$1"; }

start_ide ide "$project/demo.lpi"
ide_window ' - demo$' 120
main=$ide_main
ide_editor "$ide_pid" 120
sleep 3
xdotool windowfocus --sync "$main"
xdotool key alt+v
sleep 1.5
grab lazarus-view-menu.png
xdotool key Escape
xdotool windowfocus --sync "$editor"
xdotool key ctrl+alt+shift+t
tracker=$(wait_window '^HMR - Project Revedazl$' 120)
# Wide enough for every column of the grid, as a user would drag it.
xdotool windowsize "$tracker" 860 440
sleep 2
grab lazarus-tracker-window.png
xdotool windowfocus --sync "$tracker" key Escape
echo "Pictures in $out"
