// SPDX-License-Identifier: MIT
// The fppkg configuration written as Lazarus's "Restore Fppkg configuration" writes it: which
// compiler prefixes are tried and how one is judged; a configuration that exists is kept.
#include "setup/FppkgConfiguration.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/TempFolder.h"

namespace hmr {
namespace {

TEST(FppkgConfiguration, PrefixesTriedInLazarussOrder) {
  const std::vector<std::string> candidates = fppkgPrefixCandidates("/usr/bin/fpc", "x86_64");
  ASSERT_GE(candidates.size(), 4u);
  EXPECT_EQ(candidates[0], "/usr");  // the folder above the compiler's folder, as Lazarus takes it
  EXPECT_NE(std::find(candidates.begin(), candidates.end(),
                      "/usr/lib/x86_64-linux-gnu/fpc/default"),
            candidates.end());
  EXPECT_EQ(fppkgPrefixCandidates("/opt/fpc/lib/fpc/3.2.2/ppcx64", "x86_64")[0],
            "/opt/fpc/lib/fpc");
}

TEST(FppkgConfiguration, APrefixHoldsPackagesItselfOrInAVersionFolder) {
  testing::TempFolder scratch;
  EXPECT_FALSE(judgeFppkgPrefix(scratch.path()));
  EXPECT_FALSE(judgeFppkgPrefix(scratch.path() + "/missing"));
  scratch.file("versioned/3.2.2-not/units/");  // no fpmkinst: not a package folder
  // The folder holding fpmkinst/ and units/, and the library path the prefix gets.
  const struct {
    std::string prefix, packages, library;
  } cases[] = {{"flat", "flat", "flat/"},
               {"versioned", "versioned/3.2.2", "versioned/{CompilerVersion}/"},
               {"named", "named/default", "named/default/"}};
  for (const auto& c : cases) {
    scratch.file(c.packages + "/fpmkinst/");
    scratch.file(c.packages + "/units/");
    const auto judged = judgeFppkgPrefix(scratch.path() + "/" + c.prefix);
    ASSERT_TRUE(judged) << c.prefix;
    EXPECT_EQ(judged->libraryPath, scratch.path() + "/" + c.library);
  }
}

TEST(FppkgConfiguration, AnExistingConfigurationIsNeverTouched) {
  testing::TempFolder scratch;
  const std::string file = scratch.file(".config/fppkg.cfg");
  testing::writeBytes(file, "[Defaults]\nmine\n");
  EXPECT_EQ(writeFppkgConfigurationIfMissing(file, scratch.path(), "/usr/bin/fpc", "x86_64"),
            "");
  EXPECT_EQ(testing::readBytes(file), "[Defaults]\nmine\n");
}

// The real fpcmkcfg, on Debian's compiler packages, when they are installed.
TEST(FppkgConfiguration, WritesWhatRestoreWrites) {
  if (!judgeFppkgPrefix("/usr/lib/x86_64-linux-gnu/fpc/default"))
    GTEST_SKIP() << "Debian's Free Pascal is not installed";
  testing::TempFolder home;
  const std::string file = home.path() + "/.config/fppkg.cfg";
  const std::string said =
      writeFppkgConfigurationIfMissing(file, home.path(), "/usr/bin/fpc", "x86_64");
  EXPECT_NE(said.find(file), std::string::npos) << said;
  const std::string text = testing::readBytes(file);
  EXPECT_NE(text.find("/usr/lib/x86_64-linux-gnu/fpc/"), std::string::npos) << text;
  // fpcmkcfg names a compiler configuration below the user's home (for root it names
  // /etc/fppkg, which is the system's and is left alone).
  const std::string compilerConfig = home.path() + "/.fppkg/config/default";
  if (text.find("CompilerConfigDir={LocalRepository}config/") != std::string::npos) {
    EXPECT_NE(testing::readBytes(compilerConfig).find("Compiler=/usr/bin/fpc"), std::string::npos)
        << said;
  } else {
    EXPECT_EQ(said.find(compilerConfig), std::string::npos) << said;
  }
}

}  // namespace
}  // namespace hmr
