#!/usr/bin/env bash
# End to end in the real Lazarus IDE under Xvfb: builds the IDE with the HMR package into a
# scratch folder, opens the sample project, types into a unit, stays away past the idle
# threshold (set to its one-minute minimum), types again, saves the project under a new name,
# opens the tracker's window (the Qt dialog) by its View-menu shortcut, closes it with Escape,
# opens it again and quits the IDE while it shows. Then `hmr dump` must show, beside the
# renamed project, one session of this user with the idle stretch counted once and positive
# work, and no session under the old name.
#   lazarus-e2e.sh TRACKER_LIBRARY HMR_PROGRAM
# HMR_LAZARUS_CONFIG=DIR builds (or reuses) the IDE there instead of in the scratch folder, for
# repeated runs; HMR_KEEP=1 keeps the scratch folder. Only the keyboard and window names drive
# the IDE: no screen coordinates.
set -euo pipefail

[ $# -eq 2 ] || { echo "usage: $0 TRACKER_LIBRARY HMR_PROGRAM" >&2; exit 2; }
library=$(readlink -f "$1")
hmr=$(readlink -f "$2")
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
started=$(date +%s)

scratch=$(mktemp -d "${TMPDIR:-/tmp}/hmr-lazarus-XXXXXX")
xvfb_pid=""
ide_pid=""
cleanup() {
  local status=$?
  if [ -n "$ide_pid" ] && kill -0 "$ide_pid" 2>/dev/null; then
    kill -9 "$ide_pid" 2>/dev/null || true
  fi
  if [ -n "$xvfb_pid" ]; then
    # Waited for: an X server still shutting down removes the socket of the next one that
    # took its display number.
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  if [ "$status" -ne 0 ] || [ "${HMR_KEEP:-}" = 1 ]; then
    echo "scratch folder kept: $scratch" >&2
  else
    rm -rf "$scratch"
  fi
}
trap cleanup EXIT

fail() {
  echo "FAILED: $*" >&2
  if [ -n "${DISPLAY:-}" ] && command -v xwd >/dev/null; then
    xwd -root -silent >"$scratch/screen.xwd" 2>/dev/null || true
  fi
  [ -f "$scratch/ide.err" ] && grep -v '^Hint\|^Search' "$scratch/ide.err" | tail -n 20 >&2
  exit 1
}
step() { echo "[$(($(date +%s) - started)) s] $*"; }

# ---- the IDE with the package, in a private configuration folder ----
config=${HMR_LAZARUS_CONFIG:-$scratch/config}
step "building the IDE with the HMR package into $config"
"$source_dir/lazarus/build-ide.sh" "$config" "$library" >/dev/null
# The test's keyboard: "Save project as" and "Quit" have no shortcut by default.
cat >"$config/editoroptions.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<CONFIG>
  <EditorOptions>
    <KeyMapping>
      <default Count="2">
        <Version Value="6"/>
        <Item1 Name="Save project as">
          <KeyA Default="False" Key1="83" Shift1="7"/>
        </Item1>
        <Item2 Name="Quit">
          <KeyA Default="False" Key1="81" Shift1="7"/>
        </Item2>
      </default>
    </KeyMapping>
  </EditorOptions>
</CONFIG>
XML

# ---- the sample project, its idle threshold at the one-minute minimum ----
project="$scratch/project"
mkdir -p "$project"
cp "$source_dir"/lazarus/sample/* "$project/"
# A data file with no session: idle threshold 60 s, minimum work time 0 (a short test session
# is kept), no project name. Version 2, little-endian, then the byte-sum checksum (62).
printf '\x02\x00\x00\x00\x3c\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00' \
  >"$project/demo.HMR"
printf '\x00\x00\x00\x00\x00\x00\x00\x00\x3e\x00\x00\x00' >>"$project/demo.HMR"
"$hmr" check "$project/demo.HMR" >/dev/null || fail "the seeded data file does not read"

# ---- Xvfb on a free display ----
Xvfb -displayfd 5 -screen 0 1280x1024x24 -nolisten tcp 5>"$scratch/display" \
  2>"$scratch/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$scratch/display" ] && break; sleep 0.1; done
[ -s "$scratch/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(head -n 1 "$scratch/display")"

wait_window() {  # NAME_REGEX SECONDS: the id of a visible window whose name matches
  # Polled: a search fails outright when a window goes away while it looks (BadWindow).
  local id="" deadline=$(($(date +%s) + $2))
  while [ -z "$id" ] && [ "$(date +%s)" -le "$deadline" ]; do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1) || id=""
    [ -n "$id" ] || sleep 0.3
  done
  [ -n "$id" ] || fail "no window named /$1/ within $2 s"
  echo "$id"
}
wait_for() {  # SECONDS COMMAND...: until the command succeeds
  local limit=$1
  shift
  for _ in $(seq $((limit * 5))); do "$@" && return 0; sleep 0.2; done
  return 1
}
type_text() { xdotool type --delay 60 "$1"; }
wait_for 10 bash -c 'xdotool getdisplaygeometry >/dev/null 2>&1' || fail "Xvfb on $DISPLAY does not answer"

# ---- the IDE on the project ----
step "starting the IDE on demo.lpi"
HMR_REGISTRY="$scratch/registry.db" XDG_STATE_HOME="$scratch/state" \
  HMR_TRACKER_LIBRARY="$library" \
  "$config/start-lazarus" "$project/demo.lpi" >"$scratch/ide.out" 2>"$scratch/ide.err" &
ide_pid=$!
wait_window ' - demo$' 90 >/dev/null
editor=$(wait_window '^Source Editor$' 30)
sleep 2  # the editor settles (caret, highlighter) before the keyboard goes to it

# The source editor takes the keyboard when clicked: its middle, wherever it is.
eval "$(xdotool getwindowgeometry --shell "$editor")" || fail "the source editor went away"
xdotool mousemove --window "$editor" $((WIDTH / 2)) $((HEIGHT / 2)) click 1
wait_for 10 test "$(xdotool getwindowfocus 2>/dev/null)" = "$editor" ||
  fail "the source editor did not take the keyboard"
sleep 0.5
step "typing into greeting.pas"
xdotool key ctrl+End Return
type_text "// first burst"
first_done=$(date +%s)

# Away past the threshold: the project turns idle at the first 15-second tick after one minute.
idle_wait=${HMR_E2E_IDLE_WAIT:-95}
step "away for $idle_wait s"
sleep "$idle_wait"
second_start=$(date +%s)
type_text " and a second one"
step "typed again after $((second_start - first_done)) s"
sleep 1

step "saving the project as renamed.lpi"
xdotool key ctrl+alt+shift+s
wait_window '^Save project' 20 >/dev/null
sleep 0.5
xdotool key ctrl+a
type_text "renamed.lpi"
xdotool key Return
wait_window ' - renamed$' 30 >/dev/null
wait_for 10 test -f "$project/renamed.lpi" || fail "renamed.lpi was not written"

step "opening the tracker's window by its shortcut"
xdotool key ctrl+alt+shift+t
# The tracker dialog of Qt, in the IDE's process beside its GTK 2 windows.
tracker=$(wait_window '^HMR - Project Revedazl$' 30)
sleep 1
xwd -id "$tracker" -silent >"$scratch/tracker.xwd" 2>/dev/null || true
kill -0 "$ide_pid" 2>/dev/null || fail "the IDE ended when the tracker's window opened"
step "closing it with Escape"
xdotool windowfocus --sync "$tracker" key Escape
wait_for 10 bash -c "! xdotool search --onlyvisible --name '^HMR - Project Revedazl$' >/dev/null" ||
  fail "the tracker's window did not close"

# The IDE stays live under the dialog: quitting it from its own window closes the dialog, and
# the project's close and the tracker's stop, which wait for the dialog, run after it.
step "quitting the IDE while the tracker's window shows again"
xdotool windowfocus --sync "$editor" key ctrl+alt+shift+t
wait_window '^HMR - Project Revedazl$' 30 >/dev/null
main=$(wait_window ' - renamed$' 10)
xdotool windowfocus --sync "$main" key ctrl+alt+shift+q
wait_for 30 bash -c "! kill -0 $ide_pid 2>/dev/null" || fail "the IDE did not quit"
wait "$ide_pid" || true
ide_pid=""
if grep -q "^HMR: " "$scratch/ide.err"; then
  grep "^HMR: " "$scratch/ide.err" >&2
  fail "the tracker reported problems"
fi

# ---- what the tracker wrote ----
step "checking the data files"
[ -f "$project/renamed.HMR" ] || fail "no renamed.HMR beside the renamed project"
dump=$("$hmr" dump "$project/renamed.HMR")
echo "$dump"
sessions=$(grep -c '"open"' <<<"$dump" || true)
[ "$sessions" -eq 1 ] || fail "renamed.HMR holds $sessions sessions, not 1"
field() { sed -n "s/.*\"$1\": \"\{0,1\}\([^\",}]*\).*/\1/p" <<<"$dump" | head -n 1; }
[ "$(field user)" = "$(id -un)" ] || fail "the session's user is '$(field user)'"
[ "$(field not_closed)" = false ] || fail "the session was not closed"
[ "$(field time_for_idle)" = 60 ] || fail "the idle threshold did not follow the rename"
idle=$(field idle)
work=$(field work)
gap=$((second_start - first_done))
# The idle countdown runs in 15-second ticks: the project turns idle at the fourth tick after
# the last keystroke, and the idle stretch counts from one threshold before that tick, so up to
# one tick before the keystroke, up to the next keystroke. Once, not twice.
[ "$idle" -ge $((gap - 2)) ] && [ "$idle" -le $((gap + 17)) ] ||
  fail "idle time $idle s for a pause of $gap s"
[ "$work" -gt 0 ] || fail "work time $work s"
old=$("$hmr" dump --raw "$project/demo.HMR")
[ "$(grep -c '"open"' <<<"$old" || true)" -eq 0 ] || fail "a session stayed under the old name"
step "passed: idle $idle s for a pause of $gap s, work $work s"
