#!/usr/bin/env bash
# How long the user's own Lazarus takes to start with HMR and without it. HMR is installed by
# hmrsetup-lazarus into the Lazarus of a user with a home folder of the script's (the account
# "nobody" when the script runs as root); startlazarus, the user's launcher, starts the IDE on
# the sample project RUNS times, each start timed from the launcher's start to the project's
# source editor on screen (polled every 0.1 s), and the IDE quit again; the IDE with HMR is
# kept aside, hmrsetup-lazarus --uninstall builds the same IDE without it, and the two take
# turns for RUNS starts each. One start of each is left out of the figures: the first start of
# a configuration probes the compiler, and the first of a program reads it from the disk.
#   bench/lazarus-start.sh BUILD_DIR [RUNS]        (RUNS: 5 by default)
# Prints every start, the medians and their ratio, the install's and the uninstall's times and
# the footprint in the user's home. HMR_LAZARUS_HOME=DIR keeps the user's home in DIR for the
# next run (HMR is uninstalled at the end: the next install builds the IDE again). Needs
# lazarus, xvfb and xdotool; run by hand on a machine as quiet as can be.
set -euo pipefail

[ $# -ge 1 ] && [ $# -le 2 ] || { echo "usage: $0 BUILD_DIR [RUNS]" >&2; exit 2; }
bin=$(cd "$1/bin" && pwd)
runs=${2:-5}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
scratch=$(mktemp -d "${TMPDIR:-/tmp}/hmr-lazarus-start-XXXXXX")
chmod 755 "$scratch"
# shellcheck source=../lazarus/desktop-session.sh
source "$source_dir/lazarus/desktop-session.sh"
fail() {
  echo "FAILED: $*" >&2
  screen_shot "$scratch/screen.xwd"
  keep=1
  exit 1
}
keep=0
cleanup() {
  stop_desktop
  if [ "$keep" = 1 ]; then echo "scratch folder kept: $scratch" >&2; else rm -rf "$scratch"; fi
}
trap cleanup EXIT

home=${HMR_LAZARUS_HOME:-$scratch/home}
mkdir -p "$home" "$scratch/bin/lazarus" "$scratch/project"
cp "$bin/hmrsetup-lazarus" "$bin/libhmrtracker.so" "$scratch/bin/"
cp -r "$bin/lazarus/package" "$scratch/bin/lazarus/"
cp "$source_dir"/lazarus/sample/* "$scratch/project/"
choose_user
[ -f "$home/.lazarus/environmentoptions.xml" ] || seed_environment_options "$home/.lazarus"
seed_editor_keys "$home/.lazarus"
give_to_user "$home" "$scratch/project"
setup="$scratch/bin/hmrsetup-lazarus"

seconds_since() { awk -v now="$(date +%s.%N)" -v t0="$1" 'BEGIN { printf "%.2f\n", now - t0 }'; }
median() {
  sort -n | awk '{ v[NR] = $1 }
    END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
# One start: from the launcher to the project's source editor on screen, then quit.
start_once() {  # NAME: prints the seconds
  local t0
  t0=$(date +%s.%N)
  start_ide "$1" "$scratch/project/demo.lpi"
  ide_main=""
  editor=""
  while [ -z "$editor" ]; do
    [ "$(seconds_since "$t0" | cut -d. -f1)" -lt 180 ] || fail "no IDE on screen within 180 s"
    if [ -z "$ide_main" ]; then
      ide_main=$(xdotool search --onlyvisible --name ' - demo$' 2>/dev/null | head -n 1) || true
      [ -n "$ide_main" ] && ide_pid=$(xdotool getwindowpid "$ide_main") &&
        started_pids+=("$ide_pid")
    else
      editor=$(xdotool search --all --onlyvisible --pid "$ide_pid" --name '^Source Editor$' \
                 2>/dev/null | head -n 1) || true
    fi
    [ -n "$editor" ] || sleep 0.1
  done
  seconds_since "$t0"
  sleep 2  # the IDE settles before it is asked to quit
  quit_ide "$ide_main" "$ide_pid"
  wait "$launcher_pid" 2>/dev/null || true
}
# The IDE that startlazarus starts, with HMR or without: the user's rebuilt IDE of that kind
# and, for HMR, its tracker library, put in place (times kept: startlazarus compares them).
put_in_place() {  # with-hmr|without-hmr
  as_user cp -p "$scratch/ide.$1" "$home/.lazarus/bin/lazarus"
  if [ "$1" = with-hmr ]; then
    as_user mkdir -p "$home/.local/lib/hmr"
    as_user cp -p "$scratch/libhmrtracker.so" "$home/.local/lib/hmr/"
  else
    rm -f "$home/.local/lib/hmr/libhmrtracker.so"
  fi
}
t0=$(date +%s.%N)
as_user "$setup" >"$scratch/install.out" 2>&1 || { cat "$scratch/install.out" >&2; fail "install"; }
install_time=$(seconds_since "$t0")
echo "install: $install_time s ($(grep -c 'nothing to rebuild' "$scratch/install.out" |
  sed 's/^1$/nothing rebuilt/;s/^0$/IDE built/'))"
echo "footprint in the home: $(cd "$home" && du -sh .lazarus .local/lib/hmr .local/share/hmr \
  .cache/hmr .config/fppkg.cfg 2>/dev/null |
  awk '{ printf "%s~/%s %s", (NR > 1 ? ", " : ""), $2, $1 }')"
# Both IDEs kept aside: the one with HMR now, the one without after the uninstall.
cp -p "$home/.lazarus/bin/lazarus" "$scratch/ide.with-hmr"
cp -p "$home/.local/lib/hmr/libhmrtracker.so" "$scratch/libhmrtracker.so"
t0=$(date +%s.%N)
as_user "$setup" --uninstall >"$scratch/uninstall.out" 2>&1 ||
  { cat "$scratch/uninstall.out" >&2; fail "uninstall"; }
echo "uninstall: $(seconds_since "$t0") s"
cp -p "$home/.lazarus/bin/lazarus" "$scratch/ide.without-hmr"
chmod 644 "$scratch/libhmrtracker.so"
chmod 755 "$scratch"/ide.*

# Starts taken in turns, with HMR and without, so that a machine getting busier or quieter
# weighs on both alike; one of each first, left out.
start_xvfb
for kind in with-hmr without-hmr; do
  put_in_place "$kind"
  start_once "$kind-warm-up" >/dev/null
done
for i in $(seq "$runs"); do
  for kind in with-hmr without-hmr; do
    put_in_place "$kind"
    start_once "$kind-$i" >>"$scratch/$kind.times"
    echo "  start $i $kind: $(tail -n 1 "$scratch/$kind.times") s"
  done
done
put_in_place without-hmr  # left as the uninstall left it
with=$(median <"$scratch/with-hmr.times")
without=$(median <"$scratch/without-hmr.times")
awk -v runs="$runs" -v with="$with" -v without="$without" 'BEGIN {
  printf "start to the source editor, median of %d: with HMR %.2f s, without %.2f s, ratio %.3f\n",
         runs, with, without, with / without }'
