// SPDX-License-Identifier: MIT
// The fppkg configuration of a user's Lazarus. Lazarus asks fppkg where the compiler's packages
// are; without a configuration the first IDE or lazbuild run writes a default that points at
// /usr/local, and Debian's IDE then stops at its set-up dialog ("Fppkg reports that the RTL is
// not installed") until the user presses "Restore Fppkg configuration" there. When the user has
// no configuration at all, the installer writes it as that button does, with the same tool and
// the same values (ide/generatefppkgconfigurationdlg.pas of Lazarus 2.2): fpcmkcfg -p -3 for
// fppkg.cfg with the first compiler prefix Lazarus proposes, then fpcmkcfg -p -4 for the
// compiler configuration it names. A configuration that exists is never touched.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace hmr {

// A compiler prefix as Lazarus's dialog judges it: the prefix, and the folder of its packages
// (the prefix itself, or a version folder below it written as {CompilerVersion}).
struct FppkgPrefix {
  std::string prefix;
  std::string libraryPath;  // ends with "/"
};

// The prefixes Lazarus's dialog tries, in its order, for the compiler `compiler` of the CPU
// `targetCpu` (as fpc -iTP prints it): two and four folders above the compiler, then the
// usual system places, among them Debian's /usr/lib/<cpu>-linux-gnu/fpc/default.
std::vector<std::string> fppkgPrefixCandidates(const std::string& compiler,
                                               const std::string& targetCpu);

// How Lazarus's dialog judges `prefix`: usable when it, or a folder right below it, holds both
// fpmkinst/ and units/.
std::optional<FppkgPrefix> judgeFppkgPrefix(const std::string& prefix);

// The user's fppkg configuration file: $XDG_CONFIG_HOME/fppkg.cfg, else <home>/.config/fppkg.cfg.
std::string fppkgConfigurationFile(const std::string& home);

// When `configFile` does not exist: writes it and the compiler configuration it names (below
// `home`) as Lazarus's "Restore Fppkg configuration" does, and returns a sentence saying so.
// Returns "" when the file exists. Throws HmrError when no prefix is usable or fpcmkcfg fails;
// then nothing of the user's is left half written beyond what fpcmkcfg wrote.
std::string writeFppkgConfigurationIfMissing(const std::string& configFile,
                                             const std::string& home,
                                             const std::string& compiler,
                                             const std::string& targetCpu);

}  // namespace hmr
