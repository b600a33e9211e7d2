#!/usr/bin/env bash
# Pictures of the tracker dialog, from the sample working day of the README:
#   1. examples/run-working-day.sh plays the working day in a scratch folder;
#   2. hmr-dialog-pictures opens its two data files in the dialog (stand-alone mode, on the
#      offscreen platform) and grabs the group level by day, its chart by week, the
#      project's sessions and their chart, the Project Info, Tools and About pages, with dates
#      as the en_US.UTF-8 locale writes them;
#   3. hmr-viewer-pictures grabs the user dialog and the viewer (hmr-viewer's own body) on the
#      first data file.
# The user column shows the account that ran the working day.
#
# usage: examples/dialog-pictures.sh BUILD_DIR [OUT_DIR]    (OUT_DIR: docs/pictures)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:?usage: $0 BUILD_DIR [OUT_DIR]}" && pwd)
out=${2:-$here/../docs/pictures}
# A fixed folder, so that the paths the dialog shows are the same on every run.
work=/tmp/hmr-sample-day
rm -rf "$work"
trap 'rm -rf "$work"' EXIT

"$here/run-working-day.sh" "$build" "$work" >/dev/null
mkdir -p "$out"
QT_QPA_PLATFORM=offscreen "$build/bin/hmr-dialog-pictures" "$out" \
  "$work/Billing/Invoicing.HMR" "$work/Reports/Reports.HMR"
QT_QPA_PLATFORM=offscreen "$build/bin/hmr-viewer-pictures" "$out" "$work/Billing/Invoicing.HMR"
