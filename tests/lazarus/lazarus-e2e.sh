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
# Before the uninstall, two IDEs of the user at once: one on the renamed project and one on a
# second project, each checkpointing on its own; then a third on the renamed project beside the
# first: every session of the three ends in its data file, none left in the recovery folder.
#   lazarus-e2e.sh SETUP_FOLDER HMR_PROGRAM
# SETUP_FOLDER holds hmrsetup-lazarus, libhmrtracker.so and lazarus/package (the build's bin/).
# HMR_E2E_IDLE_WAIT=SECONDS stays away that long between two bursts of typing (the idle
# threshold is one minute) and checks the idle time; HMR_KEEP=1 keeps the scratch folder.
set -euo pipefail

[ $# -eq 2 ] || { echo "usage: $0 SETUP_FOLDER HMR_PROGRAM" >&2; exit 2; }
setup_folder=$(readlink -f "$1")
hmr_built=$(readlink -f "$2")
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
started=$(date +%s)
# shellcheck source=../../lazarus/desktop-session.sh
source "$source_dir/lazarus/desktop-session.sh"

scratch=$(mktemp -d "${TMPDIR:-/tmp}/hmr-lazarus-XXXXXX")
chmod 755 "$scratch"
cleanup() {
  local status=$?
  stop_desktop
  if [ "$status" -ne 0 ] || [ "${HMR_KEEP:-}" = 1 ]; then
    echo "scratch folder kept: $scratch" >&2
  else
    rm -rf "$scratch"
  fi
}
trap cleanup EXIT

fail() {
  echo "FAILED: $*" >&2
  screen_shot "$scratch/screen.xwd"
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
choose_user

# ---- the user's Lazarus options, before HMR ----
config="$home/.lazarus"
mkdir -p "$config" "$scratch/older"
cp "$source_dir"/lazarus/sample/* "$scratch/older/"
seed_environment_options "$config" "    <Recent>
      <ProjectFiles Count=\"1\">
        <Item1 Value=\"$scratch/older/demo.lpi\"/>
      </ProjectFiles>
    </Recent>"
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
seed_editor_keys "$config"
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

give_to_user "$home" "$scratch/older" "$project"

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
start_xvfb

# ---- the user's IDE on the project, by the user's launcher ----
no_reports() {  # NAME: fails when the IDE's standard error holds a report of the tracker
  if grep -q "^HMR: " "$scratch/$1.err"; then
    grep "^HMR: " "$scratch/$1.err" >&2
    fail "the tracker reported problems in $1"
  fi
}
step "starting the IDE on demo.lpi with startlazarus"
start_ide ide "$project/demo.lpi"
ide_window ' - demo$' 120
sleep 2  # the editor settles (caret, highlighter) before the keyboard goes to it
focus_editor "$ide_pid"
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
quit_ide "$ide_main" "$ide_pid"
no_reports ide

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

# ---- two IDEs of the user at once ----
# Two projects in two IDEs, then two IDEs on one project: both write checkpoints into the one
# recovery folder and open the one settings store; each keeps its own recovery files, and the
# later close of the shared project merges with the earlier one instead of writing over it.
second="$scratch/second"
mkdir -p "$second"
cp "$source_dir"/lazarus/sample/* "$project/demo.HMR" "$second/"
give_to_user "$second"
type_line() {  # PID TEXT: types a line at the end of the unit in the IDE's source editor
  focus_editor "$1"
  xdotool key ctrl+End Return
  type_text "$2"
}
save_all() {  # "Save All" in the IDE that has the keyboard: its units and the project, so that
  # quitting asks nothing
  xdotool key ctrl+shift+s
  sleep 1
}
recovery_file_of() {  # BASE PID: true when the recovery folder holds that process's file of BASE
  ls "$state" 2>/dev/null | grep -q "^$1-[0-9a-f]*\.$2-[0-9a-f]*\.HMR$"
}
step "two IDEs at once: renamed.lpi and a second project"
start_ide ide-a "$project/renamed.lpi"
ide_window ' - renamed$' 120
a_main=$ide_main a_pid=$ide_pid
start_ide ide-b "$second/demo.lpi"
ide_window ' - demo$' 120
b_main=$ide_main b_pid=$ide_pid
[ "$a_pid" != "$b_pid" ] || fail "the second project went to the running IDE"
sleep 2
type_line "$a_pid" "// typed in the first IDE"
save_all
type_line "$b_pid" "// typed in the second IDE"
save_all
wait_for 45 bash -c "$(declare -f recovery_file_of); state='$state'
  recovery_file_of renamed $a_pid && recovery_file_of demo $b_pid" ||
  fail "no checkpoint of each IDE within 45 s: $(ls "$state")"
step "each IDE checkpoints on its own: $(ls "$state" | tr '\n' ' ')"
quit_ide "$b_main" "$b_pid"
no_reports ide-b

step "a second IDE on renamed.lpi while the first still runs"
start_ide ide-c "$project/renamed.lpi"
ide_window ' - renamed$' 120 "$a_main"
c_main=$ide_main c_pid=$ide_pid
[ "$c_pid" != "$a_pid" ] || fail "renamed.lpi went to the running IDE"
sleep 2
# Saved only once the first IDE has quit: an IDE asks what to do about a unit another IDE
# changed on disk as soon as it gets the keyboard back.
type_line "$c_pid" "// typed in the third IDE"
step "quitting the first IDE, then the one that still runs on the same project"
quit_ide "$a_main" "$a_pid"
no_reports ide-a
focus_editor "$c_pid"
save_all
quit_ide "$c_main" "$c_pid"
no_reports ide-c

sessions_of() {  # DATA_FILE: its sessions, one line each (times, work, idle, user, marks)
  as_user "$hmr" dump --text --raw "$1" | grep '^[0-9]' || true
}
sessions_of "$project/renamed.HMR" >"$scratch/renamed.sessions"
sessions_of "$second/demo.HMR" >"$scratch/second.sessions"
cat "$scratch/renamed.sessions" "$scratch/second.sessions"
[ "$(wc -l <"$scratch/renamed.sessions")" -eq 3 ] ||
  fail "renamed.HMR holds $(wc -l <"$scratch/renamed.sessions") sessions, not 3 (one per IDE)"
[ "$(wc -l <"$scratch/second.sessions")" -eq 1 ] || fail "the second project's session is lost"
! grep -qi "not closed" "$scratch/renamed.sessions" "$scratch/second.sessions" ||
  fail "a session of the two IDEs was not closed"
[ -z "$(ls "$state" 2>/dev/null | grep '\.HMR$')" ] ||
  fail "recovery files stayed after every IDE closed: $(ls "$state")"
registry=$(as_user "$hmr" registry list)
grep -q "$user" <<<"$registry" || fail "the user's name is gone from the settings: $registry"
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
quit_ide "$ide_main" "$ide_pid"
! grep -q "^HMR" "$scratch/ide-after.err" "$scratch/ide-after.out" ||
  fail "the IDE without HMR still speaks of it"
"$hmr" dump --raw "$project/renamed.HMR" | cmp -s - "$scratch/renamed.dump" ||
  fail "the data file changed after the uninstall"
grep -q "$scratch/older/demo.lpi" "$config/environmentoptions.xml" ||
  fail "the recent project list lost the user's project"
step "passed: idle $idle s for a pause of $gap s, work $work s"
