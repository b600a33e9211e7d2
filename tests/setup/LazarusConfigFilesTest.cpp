// SPDX-License-Identifier: MIT
// The install list and the version mark, edited in copies of files Lazarus 2.2.6 wrote: the
// rest of each file must stay byte for byte, and what is written must read back.
#include "setup/LazarusConfigFiles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/HmrError.h"
#include "tests/support/TempFolder.h"

namespace hmr {
namespace {

std::string fixture(const std::string& name) {
  return testing::readBytes(std::string(HMR_SETUP_TEST_DATA) + "/lazarus/" + name);
}

using Names = std::vector<std::string>;

TEST(LazarusInstallList, ReadsTheListLazbuildWrote) {
  EXPECT_EQ(installListOf(fixture("miscellaneousoptions.xml"), "m.xml"),
            (Names{"syneditdsgn", "SQLDBLaz", "TAChartLazarusPkg", "leakview"}));
  EXPECT_TRUE(installListOf(fixture("miscellaneousoptions-no-list.xml"), "m.xml").empty());
}

TEST(LazarusInstallList, WritesTheListAndKeepsEverythingElse) {
  const std::string before = fixture("miscellaneousoptions.xml");
  const Names names{"syneditdsgn", "SQLDBLaz", "TAChartLazarusPkg", "leakview", "hmrlazarus"};
  const std::string after = withInstallList(before, names, "m.xml");
  EXPECT_EQ(installListOf(after, "m.xml"), names);
  // Only the list changed: one more item, the same text before and after it.
  const std::size_t listAt = before.find("<StaticAutoInstallPackages");
  EXPECT_EQ(after.substr(0, listAt), before.substr(0, listAt));
  const std::string tail = "</StaticAutoInstallPackages>\n    </BuildLazarusOptions>";
  EXPECT_EQ(after.substr(after.find(tail)), before.substr(before.find(tail)));
  EXPECT_NE(after.find("        <Item5 Value=\"hmrlazarus\"/>\n      </Static"), std::string::npos)
      << after;
  // Writing the list it holds changes nothing.
  EXPECT_EQ(withInstallList(before, installListOf(before, "m.xml"), "m.xml"), before);
}

TEST(LazarusInstallList, AnEmptyListGoesAndComesBackAsLazarusWritesIt) {
  const std::string withList = fixture("miscellaneousoptions.xml");
  const std::string without = fixture("miscellaneousoptions-no-list.xml");
  EXPECT_EQ(withInstallList(withList, {}, "m.xml"), without);
  EXPECT_EQ(withInstallList(without, {}, "m.xml"), without);
  EXPECT_EQ(withInstallList(without, installListOf(withList, "m.xml"), "m.xml"), withList);
}

TEST(LazarusInstallList, NamesAreEscapedAndReadBack) {
  const Names odd{"a&b", "q\"uote", "<x>"};
  const std::string text = withInstallList(fixture("miscellaneousoptions.xml"), odd, "m.xml");
  EXPECT_NE(text.find("Value=\"a&amp;b\""), std::string::npos);
  EXPECT_EQ(installListOf(text, "m.xml"), odd);
}

TEST(LazarusInstallList, FaultsNameTheFile) {
  const auto messageOf = [](auto call) {
    try {
      call();
    } catch (const HmrError& e) {
      return std::string(e.what());
    }
    return std::string("no error");
  };
  std::string badCount = fixture("miscellaneousoptions.xml");
  badCount.replace(badCount.find("Count=\"4\"", badCount.find("<StaticAutoInstall")), 9,
                   "Count=\"x\"");
  EXPECT_NE(messageOf([&] { installListOf(badCount, "/c/misc.xml"); }).find("/c/misc.xml"),
            std::string::npos);
  std::string unclosed = fixture("miscellaneousoptions.xml");
  unclosed.erase(unclosed.find("</StaticAutoInstallPackages>"));
  EXPECT_NE(messageOf([&] { installListOf(unclosed, "/c/misc.xml"); }).find("no end tag"),
            std::string::npos);
  EXPECT_NE(messageOf([&] {
              withInstallList("<CONFIG><MiscellaneousOptions/></CONFIG>", {"x"}, "/c/misc.xml");
            }).find("/c/misc.xml has no BuildLazarusOptions"),
            std::string::npos);
}

TEST(LazarusInstallList, ItemsLazarusSkipsAreSkipped) {
  // Lazarus reads Item1..ItemCount and skips missing or empty ones; so does the reader.
  const std::string text =
      "<CONFIG><MiscellaneousOptions><BuildLazarusOptions>"
      "<StaticAutoInstallPackages Count=\"3\"><Item1 Value=\"A\"/><Item3 Value=\"C\"/>"
      "<Item4 Value=\"beyond the count\"/></StaticAutoInstallPackages>"
      "</BuildLazarusOptions></MiscellaneousOptions></CONFIG>";
  EXPECT_EQ(installListOf(text, "m.xml"), (Names{"A", "C"}));
}

TEST(LazarusVersionMark, ReadsAndSetsOnlyTheVersion) {
  const std::string before = fixture("environmentoptions.xml");
  EXPECT_EQ(lazarusVersionOf(before), "2.2.6");
  const std::string after = withLazarusVersion(before, "2.2.6+dfsg2-2", "e.xml");
  EXPECT_EQ(lazarusVersionOf(after), "2.2.6+dfsg2-2");
  std::string back = after;
  back.replace(back.find("+dfsg2-2"), 8, "");
  EXPECT_EQ(back, before);
  EXPECT_FALSE(lazarusVersionOf("<CONFIG><EnvironmentOptions/></CONFIG>"));
  EXPECT_THROW(withLazarusVersion("<CONFIG/>", "2.2.6", "e.xml"), HmrError);
}

TEST(LazarusVersionMark, SameReleaseIgnoresWhatADistributionAppends) {
  EXPECT_TRUE(sameLazarusRelease("2.2.6", "2.2.6+dfsg2-2"));
  EXPECT_TRUE(sameLazarusRelease("2.2.6+dfsg2-2", "2.2.6+dfsg2-2"));
  EXPECT_FALSE(sameLazarusRelease("2.2.4", "2.2.6"));
  EXPECT_FALSE(sameLazarusRelease("2.2.6", "2.2.60"));
  EXPECT_FALSE(sameLazarusRelease("", ""));
}

}  // namespace
}  // namespace hmr
