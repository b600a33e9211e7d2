#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The same made-up history of N sessions as an HMR data file and as a Timewarrior database,
# then `hmr report` against `timew summary :all` and `hmr dump` against `timew export`, each
# run RUNS times; prints the medians in seconds and how many times faster hmr is.
# Run by hand from the source folder after a Release build (Debian's timewarrior installed):
#   cmake --preset release && cmake --build --preset release && bench/compare-timewarrior.sh
# Environment: BUILD (default build/release), SESSIONS (default 100000), RUNS (default 5).
set -euo pipefail

build=${BUILD:-build/release}
sessions=${SESSIONS:-100000}
runs=${RUNS:-5}
for program in "$build/bench/make_history" "$build/bin/hmr"; do
  [[ -x $program ]] || { echo "missing $program: build the release preset first" >&2; exit 1; }
done
command -v timew >/dev/null || { echo "timew not found: apt-get install timewarrior" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/make_history" --sessions "$sessions" --hmr "$work/Invoicing.HMR" \
  --timew "$work/timew"
export TIMEWARRIORDB="$work/timew"

# The median wall time of RUNS runs of the command, output thrown away.
median() {
  local times=()
  for ((i = 0; i < runs; i++)); do
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null
    end=$(date +%s.%N)
    times+=("$(echo "$end - $start" | bc -l)")
  done
  printf '%s\n' "${times[@]}" | sort -g | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'
}

compare() {
  local what=$1 hmr=$2 timew=$3
  printf '%-36s hmr %8.3f s   timew %8.3f s   %6.1fx faster\n' "$what" "$hmr" "$timew" \
    "$(echo "$timew / $hmr" | bc -l)"
}

echo "$sessions sessions, medians of $runs runs"
compare "report sessions / summary :all" \
  "$(median "$build/bin/hmr" report "$work/Invoicing.HMR")" \
  "$(median timew summary :all)"
compare "dump / export" \
  "$(median "$build/bin/hmr" dump "$work/Invoicing.HMR")" \
  "$(median timew export)"
