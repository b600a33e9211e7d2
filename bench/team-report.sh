#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# A large team's checkout: FILES data files of SESSIONS sessions each (200 x 25,000 = 5M by
# default), reported with `hmr report --recursive` grouped by week and by user. Prints the
# median wall time of RUNS runs, the peak memory beyond the files' size per session, and the
# ratio to the yardstick of reading every file once (cat, from the page cache).
# Run by hand from the source folder after a Release build:
#   cmake --preset release && cmake --build --preset release && bench/team-report.sh
# Environment: BUILD (default build/release), FILES, SESSIONS, RUNS (default 3).
set -euo pipefail

build=${BUILD:-build/release}
files=${FILES:-200}
sessions=${SESSIONS:-25000}
runs=${RUNS:-3}
for program in "$build/bench/make_history" "$build/bin/hmr"; do
  [[ -x $program ]] || { echo "missing $program: build the release preset first" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/make_history" --team "$work/team" --files "$files" --sessions "$sessions"
bytes=$(find "$work/team" -name '*.HMR' -printf '%s\n' | awk '{s += $1} END {print s}')
total=$((files * sessions))

# "seconds kilobytes" of the median run (by time) of the command, output thrown away.
median() {
  for ((i = 0; i < runs; i++)); do
    /usr/bin/time -f '%e %M' "$@" 2>&1 >/dev/null | tail -1
  done | sort -g | awk '{a[NR] = $0} END {print a[int((NR + 1) / 2)]}'
}

read -r cat_s _ < <(median sh -c "cat \$(find '$work/team' -name '*.HMR') >/dev/null")
echo "$files files, $total sessions, $((bytes / 1024 / 1024)) MiB; medians of $runs runs"
echo "yardstick: reading every file once ${cat_s} s"
for grouping in week username; do
  read -r s kb < <(median "$build/bin/hmr" report -r "$work/team" --group-by "$grouping")
  ratio=$(echo "$s / $cat_s" | bc -l)
  beyond=$(echo "($kb * 1024 - $bytes) / $total" | bc -l)
  printf 'report by %-8s %6.2f s  %5.1fx the read  peak %5d MiB  %5.1f bytes/session %s\n' \
    "$grouping" "$s" "$ratio" $((kb / 1024)) "$beyond" "beyond the files"
done
