#!/usr/bin/env bash
# Builds a Lazarus IDE with the HMR package into a private configuration folder, never into
# the system's Lazarus: the Lazarus tree is copied into the folder and built there, with a
# home folder of its own (fppkg.cfg, the IDE's options), so that nothing outside it changes.
#   build-ide.sh CONFIG_DIR TRACKER_LIBRARY
# Afterwards CONFIG_DIR/start-lazarus [PROJECT.lpi] starts that IDE. A second run rebuilds
# only what changed. Needs the Debian packages lazarus, fpc-source-3.2.2 and make.
set -euo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 CONFIG_DIR TRACKER_LIBRARY" >&2
  exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$1"
dir=$(cd "$1" && pwd)
library=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
[ -f "$library" ] || { echo "$0: no tracker library at $library" >&2; exit 1; }

system_tree=${HMR_LAZARUS_TREE:-/usr/lib/lazarus/2.2.6}
[ -x "$system_tree/lazbuild" ] || { echo "$0: no Lazarus at $system_tree" >&2; exit 1; }
fpc_version=$(fpc -iV)
fpc_units=$(dirname "$(dirname "$(readlink -f "$(command -v ppcx64 || echo /usr/bin/ppcx64)")")")
[ -d "$fpc_units/$fpc_version" ] || fpc_units=/usr/lib/x86_64-linux-gnu/fpc

home="$dir/home"
tree="$dir/lazarus"
mkdir -p "$home/.config" "$home/.fppkg/config" "$home/.local/share"
export HOME="$home"

# fppkg: the compiler's own packages, or the IDE reports the RTL as not installed.
if [ ! -f "$home/.config/fppkg.cfg" ]; then
  cat >"$home/.config/fppkg.cfg" <<FPPKG
[Defaults]
ConfigVersion=5
LocalRepository={UserDir}.fppkg/
BuildDir={LocalRepository}build/
ArchivesDir={LocalRepository}archives/
CompilerConfigDir=$home/.fppkg/config/
CompilerConfig=default
FPMakeCompilerConfig=default
Downloader=FPC
InstallRepository=user

[Repository]
Name=fpc
Description=Packages which are installed along with the Free Pascal Compiler
Path=$fpc_units/$fpc_version/
Prefix=/usr/

[Repository]
Name=user
Description=User-installed packages
Path={LocalRepository}lib/fpc/{CompilerVersion}
Prefix={LocalRepository}
FPPKG
  cat >"$home/.fppkg/config/default" <<FPPKG
[Defaults]
ConfigVersion=5
Compiler=$(command -v fpc)
OS=Linux
CPU=x86_64
FPPKG
fi

# A private copy of the Lazarus tree: the build writes its units and the IDE there.
if [ ! -x "$tree/lazbuild" ]; then
  rm -rf "$tree"
  cp -a "$system_tree/." "$tree/"
fi

# The IDE's options, with this tree and the version lazbuild reports: with another version the
# IDE offers to "downgrade" the configuration, which deletes the IDE built here.
version=$("$tree/lazbuild" --version | head -n 1)
if [ ! -f "$dir/environmentoptions.xml" ]; then
  sed -e "s|Lazarus=\"[^\"]*\"|Lazarus=\"$version\"|" \
      -e "s|<LazarusDirectory Value=\"[^\"]*\"|<LazarusDirectory Value=\"$tree/\"|" \
      /etc/lazarus/environmentoptions.xml >"$dir/environmentoptions.xml"
fi

# The package from a copy, so that the build leaves the checkout as it was.
mkdir -p "$dir/hmr-package"
cp "$here/package/hmrlazarus.lpk" "$here/package/hmrlazarus.pas" \
   "$here/package/hmrtrackerglue.pas" "$dir/hmr-package/"

log="$dir/build-ide.log"
if ! "$tree/lazbuild" --pcp="$dir" --lazarusdir="$tree" \
     --add-package "$dir/hmr-package/hmrlazarus.lpk" --build-ide= >"$log" 2>&1; then
  tail -n 40 "$log" >&2
  echo "$0: building the IDE failed; the whole log is $log" >&2
  exit 1
fi
ide="$tree/lazarus"
[ -x "$ide" ] || { echo "$0: the build made no IDE at $ide" >&2; exit 1; }

# The package looks for the tracker library beside the IDE program.
cp "$library" "$tree/libhmrtracker.so"

# Lazarus hands a project to an IDE of the same user that already runs (any Lazarus, with HMR
# or not) and quits: this one always starts itself.
cat >"$dir/start-lazarus" <<LAUNCH
#!/bin/sh
# Starts the Lazarus IDE built with HMR, in its private configuration folder.
export HOME="$home"
exec "$ide" --pcp="$dir" --force-new-instance "\$@"
LAUNCH
chmod +x "$dir/start-lazarus"
echo "Lazarus with HMR: $dir/start-lazarus [PROJECT.lpi]"
