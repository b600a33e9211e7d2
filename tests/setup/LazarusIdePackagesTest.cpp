// SPDX-License-Identifier: MIT
// Which packages an IDE program holds: package main units found in a folder of sources, the
// constant strings of a program, and Debian's own IDE against its own tree when it is installed.
#include "setup/LazarusIdePackages.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/HmrError.h"
#include "tests/support/TempFolder.h"

namespace hmr {
namespace {

using Names = std::vector<std::string>;

// An ELF-looking file holding Free Pascal constant strings: reference count -1, length, text,
// a terminating zero; 64-bit little-endian.
std::string programWith(const Names& constants, std::uint64_t countWidth = 8) {
  std::string bytes = std::string("\x7f" "ELF\x02\x01\x01", 7) + std::string(9, '\0');
  for (const std::string& text : constants) {
    bytes += std::string(3, '\x11');                  // whatever precedes it
    bytes += std::string(countWidth, '\xff');         // reference count -1
    std::uint64_t length = text.size();
    for (std::uint64_t i = 0; i < 8; ++i) bytes += static_cast<char>((length >> (8 * i)) & 0xff);
    bytes += text + '\0';
  }
  return bytes;
}

TEST(LazarusIdePackages, FindsMainUnitsAndWhatTheyRegister) {
  testing::TempFolder tree;
  testing::writeBytes(tree.file("tachart/tachartlazaruspkg.lpk"), "<CONFIG/>");
  testing::writeBytes(tree.file("leakview/leakview.lpk"), "<CONFIG/>");
  testing::writeBytes(tree.file("tachart/tachartlazaruspkg.pas"),
                      "unit TAChartLazarusPkg;\ninterface\nuses TAGraph, LazarusPackageIntf;\n"
                      "implementation\nprocedure Register;\nbegin\n"
                      "  RegisterUnit('TAGraph', @TAGraph.Register);\n"
                      "  RegisterUnit( 'TASources',@TASources.Register);\nend;\n"
                      "initialization\n  RegisterPackage('TAChartLazarusPkg', @Register);\nend.\n");
  testing::writeBytes(tree.file("leakview/leakview.pas"),
                      "unit leakview;\nprocedure Register;\nbegin\n"
                      "  registerunit('HeapTrcView', @HeapTrcView.Register);\nend;\n"
                      "initialization\n  REGISTERPACKAGE('leakview', @Register);\nend.\n");
  // A main unit named otherwise than its package file counts; a unit that merely mentions the
  // call, a compiled copy, a folder without a package file and a non-Pascal file do not.
  testing::writeBytes(tree.file("synedit/design/syneditdsgn.lpk"), "<CONFIG/>");
  testing::writeBytes(tree.file("synedit/design/allsyneditdsgn.pas"),
                      "initialization RegisterPackage('SynEditDsgn', @Register);\n");
  testing::writeBytes(tree.file("other/other.lpk"), "<CONFIG/>");
  testing::writeBytes(tree.file("other/other.pas"), "// MyRegisterPackage('X', nil)\n");
  testing::writeBytes(tree.file("loose/loose.pas"), "RegisterPackage('Loose', nil);\n");
  testing::writeBytes(tree.file("leakview/lib/x86_64-linux/leakview.lpk"), "<CONFIG/>");
  testing::writeBytes(tree.file("leakview/lib/x86_64-linux/leakview.pas"),
                      "initialization RegisterPackage('Stale', @Register);\n");
  testing::writeBytes(tree.file("leakview/leakview.txt"), "RegisterPackage('Text', nil)\n");

  const std::vector<RegisteringPackage> found = registeringPackages(tree.path());
  ASSERT_EQ(found.size(), 3u);
  EXPECT_EQ(found[0].name, "SynEditDsgn");
  EXPECT_EQ(found[1].name, "TAChartLazarusPkg");
  EXPECT_EQ(found[1].registeredNames, (Names{"TAChartLazarusPkg", "TAGraph", "TASources"}));
  EXPECT_EQ(found[2].name, "leakview");
  EXPECT_EQ(found[2].registeredNames, (Names{"leakview", "HeapTrcView"}));
  EXPECT_THROW(registeringPackages(tree.path() + "/missing"), HmrError);
}

TEST(LazarusIdePackages, ReadsConstantStringsOfAProgram) {
  testing::TempFolder scratch;
  const std::string program = scratch.file("lazarus");
  testing::writeBytes(program, programWith({"TAChartLazarusPkg", "TAGraph", "not a name!",
                                            "leakview"}));
  const std::set<std::string> constants = programStringConstants(program);
  EXPECT_TRUE(constants.count("TAChartLazarusPkg"));
  EXPECT_TRUE(constants.count("TAGraph"));
  EXPECT_TRUE(constants.count("leakview"));
  EXPECT_FALSE(constants.count("not a name!"));

  const std::vector<RegisteringPackage> packages{
      {"TAChartLazarusPkg", {"TAChartLazarusPkg", "TAGraph"}},
      {"SQLDBLaz", {"SQLDBLaz", "RegisterSQLDB"}},
      {"leakview", {"leakview", "HeapTrcView"}},  // one of its names is missing
      {"tachartlazaruspkg", {"TAGraph"}}};        // the same package again
  EXPECT_EQ(packagesIn(packages, constants), (Names{"TAChartLazarusPkg"}));

  testing::writeBytes(scratch.file("text"), "#!/bin/sh\necho not a program\n");
  EXPECT_THROW(programStringConstants(scratch.file("text")), HmrError);
  EXPECT_THROW(programStringConstants(scratch.path()), HmrError);
  EXPECT_THROW(programStringConstants(scratch.file("missing")), HmrError);
}

TEST(LazarusIdePackages, BaseSetAndNamesCompareWithoutCase) {
  EXPECT_TRUE(isBaseIdePackage("lcl"));
  EXPECT_TRUE(isBaseIdePackage("IDEIntf"));
  EXPECT_FALSE(isBaseIdePackage("TAChartLazarusPkg"));
  EXPECT_TRUE(samePackageName("SynEditDsgn", "syneditdsgn"));
  EXPECT_FALSE(samePackageName("SynEdit", "SynEditDsgn"));
}

// Debian's IDE is built with more than the base set: the palette pages and menus the user has.
TEST(LazarusIdePackages, DebiansIdeHoldsItsBundledPackages) {
  const std::string tree = "/usr/lib/lazarus/2.2.6";
  const std::string program = tree + "/lazarus-gtk2";
  if (!std::filesystem::exists(program)) GTEST_SKIP() << "Debian's Lazarus is not installed";
  const Names held =
      packagesIn(registeringPackages(tree + "/components"), programStringConstants(program));
  for (const char* bundled : {"SQLDBLaz", "TAChartLazarusPkg", "TurboPowerIPro",
                              "RunTimeTypeInfoControls", "leakview", "ToDoListLaz"})
    EXPECT_NE(std::find(held.begin(), held.end(), bundled), held.end()) << bundled;
  // Packages of the tree that Debian's IDE is not built with are not reported.
  for (const char* absent : {"hmrlazarus", "LazReport", "AnchorDockingDsgn"})
    EXPECT_EQ(std::find(held.begin(), held.end(), absent), held.end()) << absent;
}

}  // namespace
}  // namespace hmr
