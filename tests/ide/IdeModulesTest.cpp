// SPDX-License-Identifier: MIT
#include "ide/IdeModules.h"

#include <gtest/gtest.h>

#include "ide/PackageHost.h"
#include "tests/support/StandInIdeFixture.h"

namespace hmr::ide_test {
namespace {

// The routines on their own, with an IDE attached as the package's host.
using ModulesTest = HostedIdeFixture;

TEST_F(ModulesTest, ModuleKindsOfGroupProjectAndFile) {
  EXPECT_EQ(GetModuleKind(nullptr), mkNone);
  ide->openProject(file("one.dpr"));
  ide->openFile(file("unit1.pas"), {file("one.dpr")});
  EXPECT_EQ(GetModuleKind(FindIDEModule("ProjectGroup1.bpg").get()), mkProjectGroup);
  EXPECT_EQ(GetModuleKind(FindIDEModule(file("one.dpr")).get()), mkProject);
  EXPECT_EQ(GetModuleKind(FindIDEModule(file("unit1.pas")).get()), mkOtherModule);
}

TEST_F(ModulesTest, TheActiveProjectComesFromTheProjectGroup) {
  EXPECT_FALSE(FindIDEProjectGroup());
  EXPECT_FALSE(GetActiveIDEProject());
  ide->openProject(file("one.dpr"));
  ide->openProject(file("two.dpr"));
  ASSERT_TRUE(FindIDEProjectGroup());
  EXPECT_EQ(GetActiveIDEProject()->GetFileName(), file("two.dpr"));
  ide->activate(file("one.dpr"));
  EXPECT_EQ(GetActiveIDEProject()->GetFileName(), file("one.dpr"));
}

TEST_F(ModulesTest, CurrentAndFoundModules) {
  EXPECT_FALSE(GetCurrentIDEModule());
  ide->openProject(file("one.dpr"));
  ide->openFile(file("unit1.pas"), {file("one.dpr")});
  EXPECT_EQ(GetCurrentIDEModule()->GetFileName(), file("unit1.pas"));
  EXPECT_EQ(FindIDEModule(file("UNIT1.PAS"))->GetFileName(), file("unit1.pas"));
  EXPECT_FALSE(FindIDEModule(file("unit2.pas")));
  ide->closeFile(file("unit1.pas"));
  EXPECT_FALSE(GetCurrentIDEModule());
}

TEST(ModulesOtherIdeTest, TheDelphi5BuildDoesNotTakeADelphi4ProjectForAProject) {
  MemorySettingsStore store;
  std::ostringstream out, err;
  StandInIde ide4(4, store, out, err);
  IdeHostServices* previous = setPackageHost(&ide4);
  ide4.openProject("/tmp/one.dpr");
  // Same interface name, another identity: to this build the module is just a file.
  EXPECT_EQ(GetModuleKind(FindIDEModule("/tmp/one.dpr").get()), mkOtherModule);
  EXPECT_EQ(GetModuleKind(FindIDEModule("ProjectGroup1.bpg").get()), mkProjectGroup);
  setPackageHost(previous);
}

}  // namespace
}  // namespace hmr::ide_test
