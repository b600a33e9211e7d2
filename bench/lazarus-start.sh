#!/usr/bin/env bash
# How long the user's own Lazarus takes to start with HMR and without it. HMR is installed by
# hmrsetup-lazarus into the Lazarus of a user with a home folder of the script's (the account
# "nobody" when the script runs as root); startlazarus, the user's launcher, starts the IDE on
# the sample project RUNS times, each start timed from the launcher's start to the project's
# source editor on screen (polled every 0.1 s), and the IDE quit again. Then
# hmrsetup-lazarus --uninstall builds the same IDE without HMR, and it starts RUNS times too.
# (The two IDEs cannot take turns: the one with HMR needs the package the uninstall removes.)
# Before each series one start is left out of the figures: the first start of a configuration
# probes the compiler, and the first of a new program reads it from the disk.
#   bench/lazarus-start.sh BUILD_DIR [RUNS]        (RUNS: 5 by default)
# Prints every start, the medians and their ratio, the install's and the uninstall's times and
# the footprint in the user's home. HMR_LAZARUS_HOME=DIR keeps the user's home in DIR for the
# next run (HMR is uninstalled at the end: the next install builds the IDE again). Needs
# lazarus, xvfb and xdotool; run by hand on a machine as quiet as can be: the series are taken
# one after the other, so a change of load between them weighs on one only.
set -euo pipefail

[ $# -ge 1 ] && [ $# -le 2 ] || { echo "usage: $0 BUILD_DIR [RUNS]" >&2; exit 2; }
bin=$(cd "$1/bin" && pwd)
runs=${2:-5}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
scratch=$(mktemp -d "${TMPDIR:-/tmp}/hmr-lazarus-start-XXXXXX")
chmod 755 "$scratch"
# shellcheck source=../lazarus/desktop-session.sh
source "$source_dir/lazarus/desktop-session.sh"
poll_seconds=0.1
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
  ide_window ' - demo$' 180
  ide_editor "$ide_pid" 60
  seconds_since "$t0"
  sleep 2  # the IDE settles before it is asked to quit
  quit_ide "$ide_main" "$ide_pid"
  wait "$launcher_pid" 2>/dev/null || true
}
series() {  # LABEL: RUNS timed starts after one left out; prints each
  start_once "$1-warm-up" >/dev/null
  for i in $(seq "$runs"); do
    start_once "$1-$i" >>"$scratch/$1.times"
    echo "  start $i $1: $(tail -n 1 "$scratch/$1.times") s"
  done
}

t0=$(date +%s.%N)
as_user "$setup" >"$scratch/install.out" 2>&1 || { cat "$scratch/install.out" >&2; fail "install"; }
install_time=$(seconds_since "$t0")
echo "install: $install_time s ($(grep -c 'nothing to rebuild' "$scratch/install.out" |
  sed 's/^1$/nothing rebuilt/;s/^0$/IDE built/'))"
echo "footprint in the home: $(cd "$home" && du -sh .lazarus .local/lib/hmr .local/share/hmr \
  .cache/hmr .config/fppkg.cfg 2>/dev/null |
  awk '{ printf "%s~/%s %s", (NR > 1 ? ", " : ""), $2, $1 }')"
start_xvfb
series with-hmr
t0=$(date +%s.%N)
as_user "$setup" --uninstall >"$scratch/uninstall.out" 2>&1 ||
  { cat "$scratch/uninstall.out" >&2; fail "uninstall"; }
echo "uninstall: $(seconds_since "$t0") s"
series without-hmr
with=$(median <"$scratch/with-hmr.times")
without=$(median <"$scratch/without-hmr.times")
awk -v runs="$runs" -v with="$with" -v without="$without" 'BEGIN {
  printf "start to the source editor, median of %d: with HMR %.2f s, without %.2f s, ratio %.3f\n",
         runs, with, without, with / without }'
