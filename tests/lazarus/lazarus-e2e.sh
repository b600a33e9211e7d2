#!/usr/bin/env bash
# End to end in the user's own Lazarus IDE under Xvfb, as a user who does not run as root (the
# test's own account, or "nobody" when the test runs as root), with a home folder of the
# test's. The user's ~/.lazarus already holds options (a recent project, the editor's key
# mapping) and another package from Lazarus's own tree on its install list (PoChecker).
# hmrsetup-lazarus installs HMR; startlazarus, the user's launcher, starts the rebuilt IDE on the
# sample project: typing into a unit, a checkpoint in ~/.local/state/hmr/, "Save Project As"
# under a new name, the tracker's window (the Qt dialog) by its View-menu shortcut, closed with
# Escape, opened again and the IDE quit while it shows. `hmr dump` must show one session of the
# user under the new name, `hmr registry list` the Lazarus key with the user. The IDE's
# packages before and after (hmrsetup-lazarus --packages): every one kept, Debian's bundled
# set included. hmrsetup-lazarus --uninstall; startlazarus again starts an IDE without HMR, with
# the options and PoChecker, that leaves the data file as it was.
#   lazarus-e2e.sh SETUP_FOLDER HMR_PROGRAM
# SETUP_FOLDER holds hmrsetup-lazarus, libhmrtracker.so and lazarus/package (the build's bin/).
# HMR_E2E_IDLE_WAIT=SECONDS stays away that long between two bursts of typing (the idle
# threshold is one minute) and checks the idle time; HMR_KEEP=1 keeps the scratch folder.
# Only the keyboard and window names drive the IDE: no screen coordinates.
set -euo pipefail

[ $# -eq 2 ] || { echo "usage: $0 SETUP_FOLDER HMR_PROGRAM" >&2; exit 2; }
setup_folder=$(readlink -f "$1")
hmr_built=$(readlink -f "$2")
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
started=$(date +%s)

scratch=$(mktemp -d "${TMPDIR:-/tmp}/hmr-lazarus-XXXXXX")
chmod 755 "$scratch"
xvfb_pid=""
ide_pid=""
launcher_pid=""
cleanup() {
  local status=$?
  for pid in $ide_pid $launcher_pid; do
    kill -0 "$pid" 2>/dev/null && kill -9 "$pid" 2>/dev/null || true
  done
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
  for f in "$scratch"/ide*.err; do
    [ -f "$f" ] && { echo "--- $f" >&2; grep -v '^Hint\|^Search' "$f" | tail -n 20 >&2; }
  done
  exit 1
}
step() { echo "[$(($(date +%s) - started)) s] $*"; }

# ---- the user: an account of its own, a home of the test's ----
home="$scratch/home"
mkdir -p "$home"
# The programs as the user may read them wherever the build lies.
mkdir -p "$scratch/bin/lazarus"
cp "$setup_folder/hmrsetup-lazarus" "$setup_folder/libhmrtracker.so" "$scratch/bin/"
cp -r "$setup_folder/lazarus/package" "$scratch/bin/lazarus/"
cp "$hmr_built" "$scratch/bin/hmr"
setup="$scratch/bin/hmrsetup-lazarus"
hmr="$scratch/bin/hmr"
if [ "$(id -u)" -eq 0 ]; then
  user=nobody
  user_ids=(--reuid="$(id -u nobody)" --regid="$(id -g nobody)" --clear-groups)
else
  user=$(id -un)
  user_ids=()
fi
as_user() {  # COMMAND...: run as the user, in the user's environment only
  local run=(env -i HOME="$home" USER="$user" LOGNAME="$user" PATH=/usr/local/bin:/usr/bin:/bin
             LANG=C.UTF-8 DISPLAY="${DISPLAY:-}" "$@")
  if [ ${#user_ids[@]} -gt 0 ]; then
    (cd "$home" && setpriv "${user_ids[@]}" "${run[@]}")
  else
    (cd "$home" && "${run[@]}")
  fi
}

# ---- the user's Lazarus options, before HMR ----
# Each IDE starts on its own, whatever other IDE of the account runs on the machine (by default
# Lazarus hands the project to a running one and quits).
config="$home/.lazarus"
mkdir -p "$config" "$scratch/older"
cp "$source_dir"/lazarus/sample/* "$scratch/older/"
version=$(lazbuild --version | head -n 1)
sed -e "s|Lazarus=\"[^\"]*\"|Lazarus=\"$version\"|" \
    -e "s|^  <EnvironmentOptions>|&\\
    <MultipleInstances Value=\"AlwaysStartNew\"/>\\
    <Recent>\\
      <ProjectFiles Count=\"1\">\\
        <Item1 Value=\"$scratch/older/demo.lpi\"/>\\
      </ProjectFiles>\\
    </Recent>|" /etc/lazarus/environmentoptions.xml >"$config/environmentoptions.xml"
grep -q "$scratch/older/demo.lpi" "$config/environmentoptions.xml" ||
  fail "the recent project was not seeded"
cat >"$config/miscellaneousoptions.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<CONFIG>
  <MiscellaneousOptions>
    <Version Value="3"/>
    <BuildLazarusOptions>
      <StaticAutoInstallPackages Count="1">
        <Item1 Value="PoChecker"/>
      </StaticAutoInstallPackages>
    </BuildLazarusOptions>
  </MiscellaneousOptions>
</CONFIG>
XML
# The editor's key mapping: "Save project as" and "Quit" have no shortcut by default.
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
cp "$config/editoroptions.xml" "$scratch/editoroptions.before"

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

[ "$user" = nobody ] && chown -R nobody:"$(id -gn nobody)" "$home" "$scratch/older" "$project"

# ---- install ----
packages() {  # FILE: the IDE's packages as the installer reads them, without its header
  as_user "$setup" --packages >"$1.raw" || fail "hmrsetup-lazarus --packages failed"
  grep -v '^#' "$1.raw" | sort >"$1"
}
lacking() {  # OLD NEW: the packages of OLD that NEW lacks
  comm -23 "$1" "$2"
}
packages "$scratch/packages.before"
grep -qx TAChartLazarusPkg "$scratch/packages.before" ||
  fail "the IDE before holds no TAChart: $(cat "$scratch/packages.before.raw")"
step "installing HMR as $user into $config"
install_started=$(date +%s)
as_user "$setup" >"$scratch/install.out" 2>&1 || { cat "$scratch/install.out" >&2; fail "install"; }
step "installed in $(($(date +%s) - install_started)) s"
[ -x "$config/bin/lazarus" ] || fail "no IDE in $config/bin"
packages "$scratch/packages.installed"
[ -z "$(lacking "$scratch/packages.before" "$scratch/packages.installed")" ] ||
  fail "packages lost by the install: $(lacking "$scratch/packages.before" "$scratch/packages.installed")"
grep -qx hmrlazarus "$scratch/packages.installed" || fail "the IDE does not hold HMR"
grep -qx PoChecker "$scratch/packages.installed" || fail "the user's PoChecker was dropped"
cmp -s "$config/editoroptions.xml" "$scratch/editoroptions.before" ||
  fail "the install changed the editor options"
# Run again: the same package, so nothing is rebuilt.
as_user "$setup" >"$scratch/install-again.out" 2>&1 || fail "the second install failed"
grep -q "nothing to rebuild" "$scratch/install-again.out" ||
  fail "the second install did not see HMR in place: $(cat "$scratch/install-again.out")"
# The settings the IDE reads: checkpoints every 15 s.
as_user "$hmr" registry set --dword 15 'HKLM\SOFTWARE\CorvaneSW\HMR\2.0\Lazarus' \
  CheckpointInterval || fail "hmr registry set failed"

# ---- Xvfb on a free display ----
# A display number picked at random far above the usual ones: an X server started with
# -displayfd tries the numbers from 0 up and, trying one in use, takes its socket away from
# the server that has it (seen when another Xvfb started while this test ran on :0).
for display in $(shuf -i 200-899 -n 20); do
  [ -e "/tmp/.X$display-lock" ] && continue
  Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp 2>"$scratch/xvfb.log" &
  xvfb_pid=$!
  export DISPLAY=":$display"
  for _ in $(seq 50); do
    kill -0 "$xvfb_pid" 2>/dev/null || break
    xdotool getdisplaygeometry >/dev/null 2>&1 && break 2
    sleep 0.2
  done
  kill "$xvfb_pid" 2>/dev/null || true
  wait "$xvfb_pid" 2>/dev/null || true
  xvfb_pid=""
done
[ -n "$xvfb_pid" ] || fail "Xvfb did not start on a free display"

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

# ---- the user's IDE on the project, by the user's launcher ----
start_ide() {  # NAME ARGS...: startlazarus as the user
  local name=$1
  shift
  as_user startlazarus "$@" >"$scratch/$name.out" 2>"$scratch/$name.err" &
  launcher_pid=$!
}
ide_window() {  # NAME_REGEX SECONDS: sets ide_main to the IDE's main window, ide_pid to its
  # process. The launcher may hand over to Lazarus's own IDE, which starts the user's rebuilt
  # one and ends: the IDE is the process that owns the window.
  ide_main=$(wait_window "$1" "$2")
  ide_pid=$(xdotool getwindowpid "$ide_main" 2>/dev/null) || fail "no process owns the IDE's window"
}
quit_ide() {  # WINDOW: quits the IDE from its main window and waits for it to end
  xdotool windowfocus --sync "$1" key ctrl+alt+shift+q
  wait_for 30 bash -c "! kill -0 $ide_pid 2>/dev/null" || fail "the IDE did not quit"
  ide_pid=""
  wait "$launcher_pid" 2>/dev/null || true
}
step "starting the IDE on demo.lpi with startlazarus"
start_ide ide "$project/demo.lpi"
ide_window ' - demo$' 120
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

# A checkpoint of the running session, in the recovery folder the README names.
state="$home/.local/state/hmr"
wait_for 45 bash -c "ls '$state' 2>/dev/null | grep -q ." ||
  fail "no checkpoint in $state within 45 s"
step "checkpoint written: $(ls "$state")"

# Away past the threshold, when asked: the project turns idle at the first 15-second tick after
# one minute.
idle_wait=${HMR_E2E_IDLE_WAIT:-0}
if [ "$idle_wait" -gt 0 ]; then
  step "away for $idle_wait s"
  sleep "$idle_wait"
fi
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
quit_ide "$(wait_window ' - renamed$' 10)"
if grep -q "^HMR: " "$scratch/ide.err"; then
  grep "^HMR: " "$scratch/ide.err" >&2
  fail "the tracker reported problems"
fi

# ---- what the tracker wrote, where the user's own shell finds it ----
step "checking the data files and the settings store"
[ -f "$project/renamed.HMR" ] || fail "no renamed.HMR beside the renamed project"
dump=$(as_user "$hmr" dump "$project/renamed.HMR")
echo "$dump"
sessions=$(grep -c '"open"' <<<"$dump" || true)
[ "$sessions" -eq 1 ] || fail "renamed.HMR holds $sessions sessions, not 1"
field() { sed -n "s/.*\"$1\": \"\{0,1\}\([^\",}]*\).*/\1/p" <<<"$dump" | head -n 1; }
[ "$(field user)" = "$user" ] || fail "the session's user is '$(field user)', not $user"
[ "$(field not_closed)" = false ] || fail "the session was not closed"
[ "$(field time_for_idle)" = 60 ] || fail "the idle threshold did not follow the rename"
idle=$(field idle)
work=$(field work)
gap=$((second_start - first_done))
if [ "$idle_wait" -gt 0 ]; then
  # The idle countdown runs in 15-second ticks: the project turns idle at the fourth tick after
  # the last keystroke, and the idle stretch counts from one threshold before that tick, so up
  # to one tick before the keystroke, up to the next keystroke. Once, not twice.
  [ "$idle" -ge $((gap - 2)) ] && [ "$idle" -le $((gap + 17)) ] ||
    fail "idle time $idle s for a pause of $gap s"
fi
[ "$work" -gt 0 ] || fail "work time $work s"
old=$(as_user "$hmr" dump --raw "$project/demo.HMR")
[ "$(grep -c '"open"' <<<"$old" || true)" -eq 0 ] || fail "a session stayed under the old name"
registry=$(as_user "$hmr" registry list)
grep -q 'CorvaneSW\\HMR\\2.0\\Lazarus' <<<"$registry" ||
  fail "hmr registry list shows no Lazarus key: $registry"
grep -q "$user" <<<"$registry" || fail "hmr registry list shows no user $user: $registry"
grep -q "$scratch/older/demo.lpi" "$config/environmentoptions.xml" ||
  fail "the recent project list lost the user's project"
"$hmr" dump --raw "$project/renamed.HMR" >"$scratch/renamed.dump"

# ---- uninstall ----
# The IDE rewrites its own options when it quits: the uninstall must leave them as they are now.
cp "$config/editoroptions.xml" "$scratch/editoroptions.before"
step "uninstalling HMR"
uninstall_started=$(date +%s)
as_user "$setup" --uninstall >"$scratch/uninstall.out" 2>&1 ||
  { cat "$scratch/uninstall.out" >&2; fail "uninstall"; }
step "uninstalled in $(($(date +%s) - uninstall_started)) s"
packages "$scratch/packages.uninstalled"
[ -z "$(lacking "$scratch/packages.before" "$scratch/packages.uninstalled")" ] ||
  fail "packages lost by the uninstall: $(lacking "$scratch/packages.before" "$scratch/packages.uninstalled")"
grep -qx PoChecker "$scratch/packages.uninstalled" || fail "the uninstall dropped PoChecker"
! grep -qx hmrlazarus "$scratch/packages.uninstalled" || fail "the IDE still holds HMR"
[ ! -e "$home/.local/lib/hmr/libhmrtracker.so" ] || fail "the tracker library stayed"
cmp -s "$config/editoroptions.xml" "$scratch/editoroptions.before" ||
  fail "the uninstall changed the editor options"

step "starting the IDE without HMR with startlazarus"
start_ide ide-after
ide_window ' - renamed$' 120
sleep 2
quit_ide "$ide_main"
! grep -q "^HMR" "$scratch/ide-after.err" "$scratch/ide-after.out" ||
  fail "the IDE without HMR still speaks of it"
"$hmr" dump --raw "$project/renamed.HMR" | cmp -s - "$scratch/renamed.dump" ||
  fail "the data file changed after the uninstall"
grep -q "$scratch/older/demo.lpi" "$config/environmentoptions.xml" ||
  fail "the recent project list lost the user's project"
step "passed: idle $idle s for a pause of $gap s, work $work s"
