#!/usr/bin/env bash
# HMR from installation to report, on the sample projects of examples/working-day:
#   1. the stand-in IDE starts once, so that its registry key exists;
#   2. hmrsetup5 registers the IDE package and the data-file type;
#   3. the stand-in IDE runs a scripted working day on a virtual clock with the package loaded;
#   4. hmr report prints the day-by-day report of both projects and one project's sessions.
# Everything happens in a scratch folder with a settings store of its own: the user's settings
# are never touched.
#
# usage: examples/run-working-day.sh BUILD_DIR [WORK_DIR]
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:?usage: $0 BUILD_DIR [WORK_DIR]}" && pwd)
work=${2:-$(mktemp -d "${TMPDIR:-/tmp}/hmr-working-day-XXXXXX")}
mkdir -p "$work"
work=$(cd "$work" && pwd)

bin="$build/bin"
hmr="$bin/hmr"
export HMR_REGISTRY="$work/registry.db"
# The desktop's association, the viewer's default application and the recovery files stay in
# the scratch folder too.
export XDG_DATA_HOME="$work/share" XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/state"
rm -f "$HMR_REGISTRY" "$HMR_REGISTRY"-wal "$HMR_REGISTRY"-shm
cp -r "$here/working-day/." "$work/"

step() { printf '\n== %s\n' "$*"; }

step "The stand-in IDE starts for the first time (empty script)"
"$bin/hmr-ide" --script - </dev/null
"$hmr" registry list 'HKEY_CURRENT_USER\SOFTWARE\Borland'

step "hmrsetup5 registers the package that lies beside it"
"$bin/hmrsetup5"
"$hmr" registry list 'HKEY_CURRENT_USER\SOFTWARE\Borland\Delphi\5.0\Known Packages'
"$hmr" registry list 'HKEY_CLASSES_ROOT'

step "A working day in the IDE: Billing (renamed Invoicing at 11:30) and a look at Reports"
(cd "$work" && "$bin/hmr-ide" --script working-day.script)
echo "Data files written beside the projects:"
(cd "$work" && ls -l Billing/*.HMR Reports/*.HMR)

step "hmr report: both projects by day"
(cd "$work" && "$hmr" report --group --group-by day Billing/Invoicing.HMR Reports/Reports.HMR)

step "hmr report: the sessions of Invoicing"
(cd "$work" && "$hmr" report Billing/Invoicing.HMR)

printf '\nEverything above lives in %s\n' "$work"
viewer="$bin/hmr-viewer"
if [ -x "$viewer" ]; then
  printf '\nTo see the day in the viewer (needs a display):\n  %s %s\n' \
    "$viewer" "$work/Billing/Invoicing.HMR"
  printf 'or, with the desktop association this run made in the scratch folder:\n'
  printf '  XDG_DATA_HOME=%s XDG_CONFIG_HOME=%s xdg-open %s\n' \
    "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$work/Billing/Invoicing.HMR"
fi
