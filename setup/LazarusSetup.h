// SPDX-License-Identifier: MIT
// hmrsetup-lazarus: HMR into the user's own Lazarus and out again, the way Lazarus installs a
// design-time package for a user who may not write its installation: the package is added to
// the install list of the user's primary configuration (~/.lazarus unless another is named)
// and lazbuild rebuilds the IDE there, as <config>/bin/lazarus, which the user's launcher
// (startlazarus, the desktop entry) then starts. Everything else of the configuration stays:
// options, recent projects, other packages, and every package the IDE the user runs now was
// built with (Debian's IDE has more than lazbuild's base set: they are put on the list first).
//
// The installer never runs as root and never lets lazbuild write a Lazarus installation that
// the account does not own. It writes, besides what lazbuild writes into the configuration:
// - for a build tree (the library beside the installer): the tracker library as
//   ~/.local/lib/hmr/libhmrtracker.so and the package sources in $XDG_DATA_HOME/hmr/lazarus,
//   with hmrtrackerlibrary.inc naming that library;
// - <config>/environmentoptions.xml, when missing, from Lazarus's system-wide one with this
//   Lazarus's version; and the version alone when only a distribution suffix differs;
// - the user's fppkg configuration, when missing (FppkgConfiguration.h);
// - <config>/hmrsetup-lazarus.stamp: which package sources the IDE was last built with.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace hmr {

// The package this installation brings.
struct HmrLazarusPackage {
  std::string sourceFolder;  // hmrlazarus.lpk and its sources
  std::string library;       // the tracker library
  bool perUser = false;      // a build tree: copied into the user's folders before use
};

// The package beside the installer program `installerPath`: a build tree has
// libhmrtracker.so and lazarus/package/ in the program's folder; a system installation has the
// sources in `systemPackageFolder` (relative to the program's folder, or absolute), whose
// hmrtrackerlibrary.inc names the library. Throws HmrError when neither is complete.
HmrLazarusPackage findHmrLazarusPackage(const std::string& installerPath,
                                        const std::string& systemPackageFolder);

// The IDE program startlazarus starts for the configuration `primaryConfig` of the Lazarus
// installation `lazarusDirectory`: the newer of <config>/bin/lazarus and the installation's
// own lazarus (startlazarus prefers a rebuilt IDE that is not older). "" when there is none.
std::string startedIdeProgram(const std::string& lazarusDirectory,
                              const std::string& primaryConfig);

// The text of hmrtrackerlibrary.inc naming `library` as a Pascal string constant.
std::string trackerLibraryInclude(const std::string& library);
// The library a hmrtrackerlibrary.inc names; "" when it names none.
std::string trackerLibraryOf(const std::string& includeText);

// A digest of the package's sources in `folder` (.lpk, .pas, .pp, .inc): it changes when one
// of them does.
std::string packageSourcesDigest(const std::string& folder);

// Whether the IDE must be rebuilt: not when the IDE program already holds HMR and was built
// from the same package file and sources (`stamp`, as written after the last build).
bool rebuildNeeded(bool ideHoldsHmr, const std::string& stamp, const std::string& packageFile,
                   const std::string& digest);
// The stamp's text for a build from `packageFile` with sources of `digest`.
std::string buildStamp(const std::string& packageFile, const std::string& digest);

class LazarusSetup {
 public:
  // `home` is the user's home folder; progress and the outcome go to `out`.
  LazarusSetup(HmrLazarusPackage package, std::string home, std::ostream& out);

  // Both throw HmrError saying what failed and what was left as it was.
  // `primaryConfig` "" means ~/.lazarus.
  void install(const std::string& primaryConfig);
  void uninstall(const std::string& primaryConfig);
  // Prints the IDE program startlazarus starts for `primaryConfig` ("# PATH"), then the
  // packages it was built with beyond Lazarus's base set, one a line (hmrlazarus last when it is
  // in). Reads only; any account may run it.
  void listPackages(const std::string& primaryConfig);

 private:
  struct Lazarus;
  Lazarus prepare(const std::string& primaryConfig);
  std::string placePackage();
  // Runs lazbuild on the configuration with `arguments`, its output into the log.
  void runLazbuild(const Lazarus& lazarus, const std::vector<std::string>& arguments);
  void removePerUserFiles(const Lazarus& lazarus);

  HmrLazarusPackage package_;
  std::string home_;
  std::ostream& out_;
  std::string log_;
};

}  // namespace hmr
