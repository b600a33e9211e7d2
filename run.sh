#!/usr/bin/env bash
# Set-up and entry point of HMR on a Debian machine. Run as root or with sudo.
#   ./run.sh demo   install what is missing, build, run HMR from installation to report on
#                   the sample projects of examples/working-day
#   ./run.sh test   install what is missing, build normal and sanitizer builds, run every test
#                   (with the end-to-end test in the real Lazarus IDE under Xvfb)
#   ./run.sh lazarus  install what is missing, build, install HMR into your own Lazarus
#                   (hmrsetup-lazarus, as the user who called through sudo) and start it with
#                   startlazarus on a sample project (needs a display)
#   ./run.sh pictures  install what is missing, build, draw the pictures of the windows (also in
#                   Lazarus, under Xvfb) in docs/pictures
#   ./run.sh package  install what is missing, build (Release) the Debian package hmr_*.deb in
#                   build/release with cpack and check it with lintian
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev libgmock-dev
          libbenchmark-dev libsqlite3-dev libcli11-dev qt6-base-dev qt6-qpa-plugins
          qt6-charts-dev qt6-svg-dev
          fonts-dejavu-core xdg-utils shared-mime-info desktop-file-utils libfile-mimeinfo-perl
          git)
# Only the test, Lazarus and pictures commands need these (1 GB installed): the demo stays light.
LAZARUS_PACKAGES=(lazarus fpc-source-3.2.2 make gcc xvfb xdotool xauth x11-apps netpbm)
# The package command's tools: dpkg-dev computes the package's dependencies (the test also uses
# it), help2man writes the manual pages, lintian checks the package.
PACKAGE_PACKAGES=(dpkg-dev help2man lintian)
FUZZ_RUNS=${HMR_FUZZ_RUNS:-200000}
# Each fuzzer stops at its runs or at this many seconds, whichever comes first.
FUZZ_SECONDS=${HMR_FUZZ_SECONDS:-45}

install_missing() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  echo "Installing: ${missing[*]}"
  "${sudo[@]}" apt-get update -qq
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    "${missing[@]}"
}

build() {
  cmake --preset "$1" >/dev/null
  cmake --build --preset "$1"
}

run_fuzzers() {
  [ -f fuzz/CMakeLists.txt ] || return 0
  cmake --preset fuzz >/dev/null
  cmake --build --preset fuzz --target fuzzers
  local f name work
  for f in build/fuzz/fuzz/fuzz_*; do
    [ -x "$f" ] || continue
    name=$(basename "$f")
    # Work on a copy of the seed corpus so that a run never changes the checkout.
    work=$(mktemp -d)
    [ -d "fuzz/corpus/$name" ] && cp -r "fuzz/corpus/$name/." "$work/"
    echo "== $name: $FUZZ_RUNS runs or $FUZZ_SECONDS s"
    "$f" -runs="$FUZZ_RUNS" -max_total_time="$FUZZ_SECONDS" -seed=1 -print_final_stats=1 "$work"
    rm -rf "$work"
  done
}

case "${1:-}" in
  demo)
    install_missing "${PACKAGES[@]}"
    build default
    ./examples/run-working-day.sh build/default
    ;;
  test)
    install_missing "${PACKAGES[@]}" "${LAZARUS_PACKAGES[@]}" dpkg-dev
    build default
    ctest --preset default -j2 -LE lazarus
    # The end-to-end test in Lazarus spends minutes in the Free Pascal compiler, which uses one
    # core: it runs beside the sanitizer build and tests, its output kept until it ends.
    lazarus_log=$(mktemp)
    ctest --preset default -L lazarus >"$lazarus_log" 2>&1 &
    lazarus_test=$!
    build sanitize
    ctest --preset sanitize -j2
    run_fuzzers
    lazarus_status=0
    wait "$lazarus_test" || lazarus_status=$?
    cat "$lazarus_log"
    rm -f "$lazarus_log"
    exit "$lazarus_status"
    ;;
  pictures)
    install_missing "${PACKAGES[@]}" "${LAZARUS_PACKAGES[@]}"
    build default
    ./examples/dialog-pictures.sh build/default docs/pictures
    ./lazarus/take-pictures.sh build/default docs/pictures
    ;;
  lazarus)
    install_missing "${PACKAGES[@]}" "${LAZARUS_PACKAGES[@]}"
    build default
    # HMR goes into the Lazarus of the user who called (through sudo), never root's.
    as_user=()
    if [ "$(id -u)" -eq 0 ]; then
      [ -n "${SUDO_USER:-}" ] && [ "$SUDO_USER" != root ] || {
        echo "./run.sh lazarus: run it as yourself (it uses sudo to install packages)" >&2
        exit 1
      }
      as_user=(sudo -u "$SUDO_USER" -H)
    fi
    "${as_user[@]}" build/default/bin/hmrsetup-lazarus
    # The sample project in the user's own folders: the IDE writes beside it.
    sample=$("${as_user[@]}" sh -c 'echo "${XDG_DATA_HOME:-$HOME/.local/share}/hmr/lazarus-sample"')
    [ -f "$sample/demo.lpi" ] || { "${as_user[@]}" mkdir -p "$sample" &&
                                   "${as_user[@]}" cp lazarus/sample/* "$sample/"; }
    "${as_user[@]}" startlazarus "$sample/demo.lpi"
    ;;
  package)
    install_missing "${PACKAGES[@]}" "${PACKAGE_PACKAGES[@]}"
    # Installed paths are written into the package's files: the prefix is Debian's.
    cmake --preset release -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
    # Only what the package holds, not the tests and benchmarks.
    cmake --build --preset release --target hmr_package_contents
    (cd build/release && cpack -G DEB)
    deb=$(ls build/release/hmr_*.deb)
    dpkg-deb --info "$deb"
    lintian --info "$deb"
    echo "Install it with: apt-get install ./$deb   (remove it with: apt-get remove hmr)"
    ;;
  *)
    echo "usage: ./run.sh demo|test|pictures|lazarus|package" >&2
    exit 2
    ;;
esac
