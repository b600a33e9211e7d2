// SPDX-License-Identifier: MIT
// The installer's decisions that need no IDE build: where the package is, what the package's
// include file names, when to rebuild, which IDE startlazarus starts; and the program's
// answers to --help, a bad option and a run as root.
#include "setup/LazarusSetup.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "platform/HmrError.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempFolder.h"

namespace hmr {
namespace {

namespace fs = std::filesystem;

TEST(LazarusSetupPackage, IncludeFileNamesTheLibraryAndReadsBack) {
  for (const std::string library :
       {"/home/a/.local/lib/hmr/libhmrtracker.so", "/home/o'neil/lib/libhmrtracker.so"}) {
    const std::string text = trackerLibraryInclude(library);
    EXPECT_EQ(trackerLibraryOf(text), library) << text;
  }
  EXPECT_NE(trackerLibraryInclude("/o'n").find("'/o''n'"), std::string::npos);
  EXPECT_THROW(trackerLibraryInclude("/a\nb"), HmrError);
  EXPECT_EQ(trackerLibraryOf("const TrackerLibraryPath = '';"), "");
  EXPECT_EQ(trackerLibraryOf("const TrackerLibraryPath = '/unclosed"), "");
  // The checkout's own include names none: the sources as they are are not an installation.
  EXPECT_EQ(trackerLibraryOf(testing::readBytes(std::string(HMR_SOURCE_DIR) +
                                                "/lazarus/package/hmrtrackerlibrary.inc")),
            "");
}

TEST(LazarusSetupPackage, FoundInABuildTreeOrASystemInstallation) {
  testing::TempFolder scratch;
  // A build tree: the library and lazarus/package beside the program.
  testing::writeBytes(scratch.file("build/bin/libhmrtracker.so"), "lib");
  testing::writeBytes(scratch.file("build/bin/lazarus/package/hmrlazarus.lpk"), "lpk");
  const HmrLazarusPackage built =
      findHmrLazarusPackage(scratch.path() + "/build/bin/hmrsetup-lazarus", "../share/x");
  EXPECT_TRUE(built.perUser);
  EXPECT_EQ(built.library, scratch.path() + "/build/bin/libhmrtracker.so");

  // A system installation: the include file names the library.
  const std::string library = scratch.file("usr/lib/arch/libhmrtracker.so");
  testing::writeBytes(library, "lib");
  testing::writeBytes(scratch.file("usr/share/hmr/lazarus/hmrlazarus.lpk"), "lpk");
  testing::writeBytes(scratch.file("usr/share/hmr/lazarus/hmrtrackerlibrary.inc"),
                      trackerLibraryInclude(library));
  const HmrLazarusPackage system =
      findHmrLazarusPackage(scratch.path() + "/usr/bin/hmrsetup-lazarus", "../share/hmr/lazarus");
  EXPECT_FALSE(system.perUser);
  EXPECT_EQ(system.library, library);
  EXPECT_EQ(system.sourceFolder, scratch.path() + "/usr/share/hmr/lazarus");

  // A library that went away, and nothing at all: the message names where it looked.
  fs::remove(library);
  try {
    findHmrLazarusPackage(scratch.path() + "/usr/bin/hmrsetup-lazarus", "../share/hmr/lazarus");
    ADD_FAILURE() << "a missing library was accepted";
  } catch (const HmrError& e) {
    EXPECT_NE(std::string(e.what()).find(library), std::string::npos) << e.what();
  }
  EXPECT_THROW(findHmrLazarusPackage(scratch.path() + "/x/hmrsetup-lazarus", "../y"), HmrError);
}

TEST(LazarusSetupRebuild, OnlyWhenThePackageChangedOrTheIdeLacksIt) {
  testing::TempFolder scratch;
  testing::writeBytes(scratch.file("p/hmrlazarus.lpk"), "<lpk/>");
  testing::writeBytes(scratch.file("p/hmrtrackerglue.pas"), "unit a;");
  testing::writeBytes(scratch.file("p/notes.txt"), "not a source");
  const std::string folder = scratch.path() + "/p";
  const std::string digest = packageSourcesDigest(folder);
  const std::string lpk = folder + "/hmrlazarus.lpk";
  const std::string stamp = buildStamp(lpk, digest);

  EXPECT_FALSE(rebuildNeeded(true, stamp, lpk, digest));
  EXPECT_TRUE(rebuildNeeded(false, stamp, lpk, digest));  // the IDE was rebuilt without it
  EXPECT_TRUE(rebuildNeeded(true, "", lpk, digest));      // never built by the installer
  EXPECT_TRUE(rebuildNeeded(true, stamp, "/other/hmrlazarus.lpk", digest));

  testing::writeBytes(scratch.file("p/notes.txt"), "changed, but no source");
  EXPECT_EQ(packageSourcesDigest(folder), digest);
  testing::writeBytes(scratch.file("p/hmrtrackerglue.pas"), "unit b;");
  EXPECT_NE(packageSourcesDigest(folder), digest);
  // Moving text from one file to the next is a change too.
  testing::writeBytes(scratch.file("p/hmrtrackerglue.pas"), "");
  testing::writeBytes(scratch.file("p/hmrlazarus.lpk"), "<lpk/>unit a;");
  EXPECT_NE(packageSourcesDigest(folder), digest);
}

TEST(LazarusSetupIde, StartlazarusPrefersARebuiltIdeThatIsNotOlder) {
  testing::TempFolder scratch;
  const std::string tree = scratch.path() + "/lazarus";
  const std::string config = scratch.path() + "/home/.lazarus";
  EXPECT_EQ(startedIdeProgram(tree, config), "");
  testing::writeBytes(scratch.file("lazarus/lazarus"), "system");
  EXPECT_EQ(startedIdeProgram(tree, config), tree + "/lazarus");
  testing::writeBytes(scratch.file("home/.lazarus/bin/lazarus"), "rebuilt");
  const auto now = fs::file_time_type::clock::now();
  fs::last_write_time(tree + "/lazarus", now - std::chrono::hours(1));
  fs::last_write_time(config + "/bin/lazarus", now);
  EXPECT_EQ(startedIdeProgram(tree, config), config + "/bin/lazarus");
  fs::last_write_time(tree + "/lazarus", now + std::chrono::hours(1));  // Lazarus upgraded
  EXPECT_EQ(startedIdeProgram(tree, config), tree + "/lazarus");
}

TEST(LazarusSetupProgram, HelpUsageAndRoot) {
  testing::TempFolder scratch;
  const auto run = [&](const std::vector<std::string>& args) {
    return test_support::runProgram(HMRSETUP_LAZARUS_PATH, args, scratch.path());
  };
  const test_support::ProgramRun help = run({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("~/.lazarus"), std::string::npos);
  EXPECT_NE(help.out.find("--uninstall"), std::string::npos);
  EXPECT_EQ(run({"--bogus"}).status, 2);
  EXPECT_EQ(run({"a", "b"}).status, 2);
  EXPECT_EQ(run({"--uninstall", "--packages"}).status, 2);
  if (geteuid() != 0) {
    // Taking HMR out of a configuration that is not there makes nothing.
    const std::string missing = scratch.path() + "/no-config";
    const test_support::ProgramRun out = run({"--uninstall", missing});
    EXPECT_EQ(out.status, 0) << out.err;
    EXPECT_NE(out.out.find("HMR is not in your Lazarus"), std::string::npos) << out.out;
    EXPECT_FALSE(fs::exists(missing));
    GTEST_SKIP() << "the refusal as root needs root";
  }
  const std::string config = scratch.path() + "/config";
  const test_support::ProgramRun asRoot = run({config});
  EXPECT_EQ(asRoot.status, 1);
  EXPECT_NE(asRoot.err.find("not as root"), std::string::npos) << asRoot.err;
  EXPECT_FALSE(fs::exists(config));  // nothing written
  EXPECT_EQ(run({"--uninstall", config}).status, 1);
  EXPECT_FALSE(fs::exists(config));
}

}  // namespace
}  // namespace hmr
