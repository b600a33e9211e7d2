#!/usr/bin/env bash
# The Debian package as cpack builds it from this build tree, checked without installing it:
# what it holds and leaves out, that the Lazarus package's include names the library where the
# package puts it, that the desktop entry starts the installed viewer, and its control fields.
#   debian-package-test.sh BUILD_DIR LIBRARY_DIR
# LIBRARY_DIR is the absolute folder the build installs libhmrtracker.so into.
set -euo pipefail
build=$1
library="$2/libhmrtracker.so"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# gzip, not the package's xz: the test is about what it holds, and gzip is quicker.
(cd "$build" && cpack -G DEB -D CPACK_DEBIAN_COMPRESSION_TYPE=gzip -B "$work/out" \
   >"$work/cpack.log" 2>&1) || {
  cat "$work/cpack.log" >&2
  exit 1
}
deb=$(ls "$work"/out/hmr_*.deb)
contents=$(dpkg-deb --contents "$deb" | awk '{print $6}' | sed 's|^\.||')
bindir=$(dirname "$(grep -m1 '/bin/hmr$' <<<"$contents")")

for path in "$bindir/hmr" "$bindir/hmr-viewer" "$bindir/hmrsetup-lazarus" "$library" \
            /share/hmr/lazarus/hmrlazarus.lpk /share/hmr/lazarus/hmrtrackerglue.pas \
            /share/hmr/lazarus/hmrtrackerlibrary.inc /share/applications/hmr-viewer.desktop \
            /share/mime/packages/hmr.xml /share/icons/hicolor/scalable/apps/hmr-viewer.svg \
            /share/doc/hmr/copyright /share/doc/hmr/changelog.gz; do
  case $path in
    /share/*) grep -q -- "$path\$" <<<"$contents" || fail "no $path in the package" ;;
    *) grep -qx -- "$path" <<<"$contents" || fail "no $path in the package" ;;
  esac
done
# Test programs and the stand-in IDE's pieces are not for users.
for name in hmr-ide hmrsetup5 hmrsetup4 HMExpert50.bpl hmr-dialog-pictures hmr-system-files; do
  if grep -q "/$name\$" <<<"$contents"; then fail "$name is in the package"; fi
done

dpkg-deb -x "$deb" "$work/root"
include=$(find "$work/root" -name hmrtrackerlibrary.inc)
grep -qF "TrackerLibraryPath = '$library';" "$include" ||
  fail "hmrtrackerlibrary.inc does not name $library: $(cat "$include")"
desktop=$(find "$work/root" -name hmr-viewer.desktop)
grep -qx 'Exec=hmr-viewer %f' "$desktop" || fail "the desktop entry's Exec: $(grep Exec "$desktop")"
grep -qx 'MimeType=application/x-hmr-data;' "$desktop" || fail "the desktop entry has no MimeType"
# Stripped, and the library exports the tracker's entry points.
if readelf -S "$work/root$bindir/hmr" | grep -q '\.symtab'; then fail "hmr is not stripped"; fi
nm -D --defined-only "$work/root$library" | grep -q ' hmr_tracker_start$' ||
  fail "the library does not export hmr_tracker_start"

depends=$(dpkg-deb --field "$deb" Depends)
recommends=$(dpkg-deb --field "$deb" Recommends)
[ "$(dpkg-deb --field "$deb" Package)" = hmr ] || fail "the package is not named hmr"
grep -q 'libc6' <<<"$depends" || fail "Depends was not computed from the programs: $depends"
grep -q 'libsqlite3' <<<"$depends" || fail "Depends lacks SQLite: $depends"
if grep -q 'lazarus' <<<"$depends"; then fail "Lazarus is a dependency: $depends"; fi
grep -q 'lazarus' <<<"$recommends" || fail "Lazarus is not recommended: $recommends"

[ "$failures" -eq 0 ] || exit 1
echo "ok: $(basename "$deb"), $(wc -l <<<"$contents") entries, $(stat -c %s "$deb") bytes"
