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
xvfb_pid=""
ide_pid=""
cleanup() {
  [ -n "$ide_pid" ] && kill "$ide_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT

home=${HMR_LAZARUS_HOME:-$scratch/home}
mkdir -p "$home" "$scratch/bin/lazarus"
chmod 755 "$scratch"
cp "$bin/hmrsetup-lazarus" "$bin/libhmrtracker.so" "$bin/hmr-ide" "$bin/hmrsetup5" \
   "$bin/HMExpert50.bpl" "$scratch/bin/"
cp -r "$bin/lazarus/package" "$scratch/bin/lazarus/"
if [ "$(id -u)" -eq 0 ]; then
  user_ids=(--reuid="$(id -u nobody)" --regid="$(id -g nobody)" --clear-groups)
  chown -R nobody:"$(id -gn nobody)" "$home"
else
  user_ids=()
fi
as_user() {  # COMMAND...: run as the user, in the user's environment only
  local run=(env -i HOME="$home" PATH=/usr/local/bin:/usr/bin:/bin LANG=C.UTF-8
             DISPLAY="${DISPLAY:-}" "$@")
  if [ ${#user_ids[@]} -gt 0 ]; then
    (cd "$home" && setpriv "${user_ids[@]}" "${run[@]}")
  else
    (cd "$home" && "${run[@]}")
  fi
}
# Each IDE starts on its own, whatever other IDE of the account runs.
mkdir -p "$home/.lazarus"
[ -f "$home/.lazarus/environmentoptions.xml" ] ||
  sed -e "s|Lazarus=\"[^\"]*\"|Lazarus=\"$(lazbuild --version | head -n 1)\"|" \
      -e 's|^  <EnvironmentOptions>|&\n    <MultipleInstances Value="AlwaysStartNew"/>|' \
      /etc/lazarus/environmentoptions.xml >"$home/.lazarus/environmentoptions.xml"
[ "${#user_ids[@]}" -eq 0 ] || chown -R nobody:"$(id -gn nobody)" "$home"
as_user "$scratch/bin/hmrsetup-lazarus" >"$scratch/install.out" 2>&1 ||
  { cat "$scratch/install.out" >&2; exit 1; }
project="$scratch/project"
mkdir -p "$project"
cp "$here"/sample/* "$project/"
[ "${#user_ids[@]}" -eq 0 ] || chown -R nobody:"$(id -gn nobody)" "$project"

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

as_user startlazarus "$project/demo.lpi" >"$scratch/ide.out" 2>/dev/null &
main=$(window ' - demo$')
# startlazarus may hand over to Lazarus's own IDE, which starts the rebuilt one: the IDE is the
# process that owns the window.
ide_pid=$(xdotool getwindowpid "$main")
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
