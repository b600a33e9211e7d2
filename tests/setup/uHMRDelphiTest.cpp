// SPDX-License-Identifier: MIT
#include "setup/uHMRDelphi.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "platform/SqliteSettingsStore.h"
#include "platform/SystemFacts.h"
#include "tests/setup/InstallerTestSupport.h"
#include "tests/support/TempFolder.h"

namespace hmr {
namespace {

namespace fs = std::filesystem;
using test_support::FaultyStore;
using test_support::RecordingOutput;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

constexpr RegistryRoot HKCU = RegistryRoot::CurrentUser;
constexpr RegistryRoot HKLM = RegistryRoot::LocalMachine;
constexpr RegistryRoot HKCR = RegistryRoot::ClassesRoot;

const std::string kTitle = "HMR Install Information";
const std::string kSuccess5 =
    "HMR for Delphi 5.0 was successfully installed.\r\n\r\n"
    "Delphi needs to be initialized in order to \r\ninstallation of HMR has effect.";
const std::string kNotInstalled5 = "It seems Delphi 5.0 is not installed.\r\nInstall aborted!";

class InstallPackageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = scratch_.path();
    store_ = std::make_unique<SqliteSettingsStore>((dir_ / "registry.db").string());
    facts_.executable = "/opt/hmr/hmrsetup5";
  }
  void TearDown() override {
    store_.reset();
  }

  std::vector<std::pair<std::string, std::string>> install(int version) {
    ScopedSystemFacts use(facts_);
    InstallPackage(version, *store_, output_);
    return output_.messages;
  }
  // Every key of every root, as "ROOT-number:path".
  std::vector<std::string> allKeys() {
    std::vector<std::string> keys;
    for (RegistryRoot root : {HKLM, HKCU, HKCR}) collect(root, "", keys);
    return keys;
  }
  void collect(RegistryRoot root, const std::string& key, std::vector<std::string>& out) {
    for (const std::string& sub : store_->subKeys(root, key)) {
      const std::string path = key.empty() ? sub : key + "\\" + sub;
      out.push_back(std::to_string(static_cast<std::uint32_t>(root)) + ":" + path);
      collect(root, path, out);
    }
  }

  hmr::testing::TempFolder scratch_;
  fs::path dir_;
  std::unique_ptr<SqliteSettingsStore> store_;
  FixedSystemFacts facts_;
  RecordingOutput output_;
};

TEST_F(InstallPackageTest, WritesThePackageEntryAndTheAssociation) {
  store_->createKey(HKCU, "SOFTWARE\\Borland\\Delphi\\5.0");
  EXPECT_THAT(install(5), ElementsAre(std::pair(kTitle, kSuccess5)));
  EXPECT_THAT(output_.problems, IsEmpty());

  const auto packages = store_->values(HKCU, "SOFTWARE\\Borland\\Delphi\\5.0\\Known Packages");
  ASSERT_EQ(packages.size(), 1u);
  EXPECT_EQ(packages[0].name, "/opt/hmr/HMExpert50.bpl");
  EXPECT_EQ(packages[0].type, ValueType::String);
  EXPECT_EQ(packages[0].text, "Project Revedazl");
  EXPECT_EQ(store_->readString(HKCR, ".hmr", ""), "hmrfile");
  EXPECT_EQ(store_->readString(HKCR, "hmrfile", ""), "HMR Data File");
  EXPECT_EQ(store_->readString(HKCR, "hmrfile\\DefaultIcon", ""), "/opt/hmr/hmr-viewer,0");
  EXPECT_EQ(store_->readString(HKCR, "hmrfile\\Shell\\open\\command", ""),
            "/opt/hmr/hmr-viewer \"%1\"");
  // Nothing else: no other values in the association keys, nothing under HKEY_LOCAL_MACHINE.
  for (const char* key : {".hmr", "hmrfile", "hmrfile\\DefaultIcon",
                          "hmrfile\\Shell\\open\\command"})
    EXPECT_EQ(store_->values(HKCR, key).size(), 1u) << key;
  EXPECT_THAT(store_->subKeys(HKLM, ""), IsEmpty());
}

TEST_F(InstallPackageTest, KeyOnlyUnderLocalMachineIsEnoughAndTheEntryGoesToCurrentUser) {
  store_->createKey(HKLM, "software\\borland\\delphi\\5.0");
  EXPECT_THAT(install(5), ElementsAre(std::pair(kTitle, kSuccess5)));
  EXPECT_EQ(store_->readString(HKCU, "SOFTWARE\\Borland\\Delphi\\5.0\\Known Packages",
                               "/opt/hmr/HMExpert50.bpl"),
            "Project Revedazl");
  EXPECT_FALSE(store_->keyExists(HKLM, "SOFTWARE\\Borland\\Delphi\\5.0\\Known Packages"));
}

TEST_F(InstallPackageTest, NeitherKeyAbortsAndWritesNothing) {
  store_->createKey(HKCU, "SOFTWARE\\Borland\\Delphi\\4.0");  // another version does not count
  EXPECT_THAT(install(5), ElementsAre(std::pair(kTitle, kNotInstalled5)));
  EXPECT_THAT(allKeys(), ElementsAre("2147483649:SOFTWARE", "2147483649:SOFTWARE\\Borland",
                                     "2147483649:SOFTWARE\\Borland\\Delphi",
                                     "2147483649:SOFTWARE\\Borland\\Delphi\\4.0"));
}

TEST_F(InstallPackageTest, SecondRunRewritesTheSameValues) {
  store_->createKey(HKCU, "SOFTWARE\\Borland\\Delphi\\5.0");
  install(5);
  const std::vector<std::string> keysAfterFirst = allKeys();
  store_->writeString(HKCR, ".hmr", "", "somethingelse");
  store_->writeString(HKCR, "hmrfile\\Shell\\open\\command", "", "other %1");
  EXPECT_THAT(install(5), ElementsAre(std::pair(kTitle, kSuccess5), std::pair(kTitle, kSuccess5)));
  EXPECT_EQ(allKeys(), keysAfterFirst);
  EXPECT_EQ(store_->values(HKCU, "SOFTWARE\\Borland\\Delphi\\5.0\\Known Packages").size(), 1u);
  EXPECT_EQ(store_->readString(HKCR, ".hmr", ""), "hmrfile");
  EXPECT_EQ(store_->readString(HKCR, "hmrfile\\Shell\\open\\command", ""),
            "/opt/hmr/hmr-viewer \"%1\"");
}

TEST_F(InstallPackageTest, AnotherFolderAddsASecondPackageEntry) {
  store_->createKey(HKCU, "SOFTWARE\\Borland\\Delphi\\5.0");
  install(5);
  facts_.executable = "/usr/local/hmr/hmrsetup5";
  install(5);
  const auto packages = store_->values(HKCU, "SOFTWARE\\Borland\\Delphi\\5.0\\Known Packages");
  ASSERT_EQ(packages.size(), 2u);
  EXPECT_EQ(packages[0].name, "/opt/hmr/HMExpert50.bpl");
  EXPECT_EQ(packages[1].name, "/usr/local/hmr/HMExpert50.bpl");
  EXPECT_EQ(store_->readString(HKCR, "hmrfile\\DefaultIcon", ""),
            "/usr/local/hmr/hmr-viewer,0");
}

TEST_F(InstallPackageTest, VersionFourUsesItsKeyPackageAndText) {
  store_->createKey(HKLM, "SOFTWARE\\Borland\\Delphi\\4.0");
  facts_.executable = "/opt/hmr/hmrsetup4";
  EXPECT_THAT(install(4),
              ElementsAre(std::pair(kTitle, std::string(
                                                "HMR for Delphi 4.0 was successfully installed."
                                                "\r\n\r\nDelphi needs to be initialized in order "
                                                "to \r\ninstallation of HMR has effect."))));
  EXPECT_EQ(store_->readString(HKCU, "SOFTWARE\\Borland\\Delphi\\4.0\\Known Packages",
                               "/opt/hmr/HMExpert40.bpl"),
            "Project Revedazl");
  EXPECT_FALSE(store_->keyExists(HKCU, "SOFTWARE\\Borland\\Delphi\\5.0"));
}

TEST_F(InstallPackageTest, VersionFourWithOnlyDelphiFiveAborts) {
  store_->createKey(HKCU, "SOFTWARE\\Borland\\Delphi\\5.0");
  EXPECT_THAT(install(4),
              ElementsAre(std::pair(kTitle, std::string("It seems Delphi 4.0 is not installed."
                                                        "\r\nInstall aborted!"))));
  EXPECT_FALSE(store_->keyExists(HKCR, ".hmr"));
}

TEST_F(InstallPackageTest, AnyOtherVersionMeansFive) {
  store_->createKey(HKCU, "SOFTWARE\\Borland\\Delphi\\5.0");
  EXPECT_THAT(install(7), ElementsAre(std::pair(kTitle, kSuccess5)));
  EXPECT_TRUE(store_->valueExists(HKCU, "SOFTWARE\\Borland\\Delphi\\5.0\\Known Packages",
                                  "/opt/hmr/HMExpert50.bpl"));
}

TEST_F(InstallPackageTest, FolderWithBlanksKeepsTheProgramPathAndQuotesTheFile) {
  store_->createKey(HKCU, "SOFTWARE\\Borland\\Delphi\\5.0");
  facts_.executable = "/home/ann/My Tools/hmrsetup5";
  install(5);
  EXPECT_EQ(store_->readString(HKCR, "hmrfile\\Shell\\open\\command", ""),
            "/home/ann/My Tools/hmr-viewer \"%1\"");
  EXPECT_TRUE(store_->valueExists(HKCU, "SOFTWARE\\Borland\\Delphi\\5.0\\Known Packages",
                                  "/home/ann/My Tools/HMExpert50.bpl"));
}

TEST_F(InstallPackageTest, InstallerInTheRootFolder) {
  store_->createKey(HKCU, "SOFTWARE\\Borland\\Delphi\\5.0");
  facts_.executable = "/hmrsetup5";
  install(5);
  EXPECT_TRUE(store_->valueExists(HKCU, "SOFTWARE\\Borland\\Delphi\\5.0\\Known Packages",
                                  "/HMExpert50.bpl"));
  EXPECT_EQ(store_->readString(HKCR, "hmrfile\\DefaultIcon", ""), "/hmr-viewer,0");
}

TEST_F(InstallPackageTest, UnknownOwnPathAborts) {
  store_->createKey(HKCU, "SOFTWARE\\Borland\\Delphi\\5.0");
  facts_.executable = "";
  EXPECT_THAT(install(5), ElementsAre(std::pair(kTitle, kNotInstalled5)));
  EXPECT_THAT(output_.problems, ElementsAre(HasSubstr("own path")));
  EXPECT_FALSE(store_->keyExists(HKCU, "SOFTWARE\\Borland\\Delphi\\5.0\\Known Packages"));
  EXPECT_FALSE(store_->keyExists(HKCR, ".hmr"));
}

TEST_F(InstallPackageTest, FailedPackageEntryAbortsWithoutAssociation) {
  store_->createKey(HKCU, "SOFTWARE\\Borland\\Delphi\\5.0");
  FaultyStore faulty(*store_, [](std::string_view op, RegistryRoot root, std::string_view) {
    return op == "writeString" && root == HKCU;
  });
  ScopedSystemFacts use(facts_);
  InstallPackage(5, faulty, output_);
  EXPECT_THAT(output_.messages,
              ElementsAre(std::pair(kTitle, std::string("Error while writing on "
                                                        "/opt/hmr/HMExpert50.bpl file.\r\n"
                                                        "Install aborted!"))));
  EXPECT_THAT(output_.problems, ElementsAre(HasSubstr("injected failure: writeString")));
  EXPECT_FALSE(store_->keyExists(HKCR, ".hmr"));
  EXPECT_FALSE(store_->keyExists(HKCR, "hmrfile"));
}

TEST_F(InstallPackageTest, FailedPackageKeyAbortsToo) {
  store_->createKey(HKLM, "SOFTWARE\\Borland\\Delphi\\5.0");
  FaultyStore faulty(*store_, [](std::string_view op, RegistryRoot root, std::string_view) {
    return op == "createKey" && root == HKCU;
  });
  ScopedSystemFacts use(facts_);
  InstallPackage(5, faulty, output_);
  ASSERT_EQ(output_.messages.size(), 1u);
  EXPECT_EQ(output_.messages[0].second,
            "Error while writing on /opt/hmr/HMExpert50.bpl file.\r\nInstall aborted!");
  EXPECT_FALSE(store_->keyExists(HKCR, ".hmr"));
}

TEST_F(InstallPackageTest, AssociationFailuresStillEndInSuccess) {
  store_->createKey(HKCU, "SOFTWARE\\Borland\\Delphi\\5.0");
  // ".hmr" cannot be made, and neither can "hmrfile\DefaultIcon": the rest is written.
  FaultyStore faulty(*store_, [](std::string_view op, RegistryRoot root, std::string_view key) {
    return op == "createKey" && root == HKCR && (key == ".hmr" || key == "hmrfile\\DefaultIcon");
  });
  ScopedSystemFacts use(facts_);
  InstallPackage(5, faulty, output_);
  EXPECT_THAT(output_.messages, ElementsAre(std::pair(kTitle, kSuccess5)));
  EXPECT_EQ(output_.problems.size(), 2u);
  EXPECT_FALSE(store_->keyExists(HKCR, ".hmr"));
  EXPECT_FALSE(store_->keyExists(HKCR, "hmrfile\\DefaultIcon"));
  EXPECT_EQ(store_->readString(HKCR, "hmrfile", ""), "HMR Data File");
  EXPECT_EQ(store_->readString(HKCR, "hmrfile\\Shell\\open\\command", ""),
            "/opt/hmr/hmr-viewer \"%1\"");
}

TEST_F(InstallPackageTest, TypeKeyThatCannotBeMadeSkipsEverythingBelowIt) {
  store_->createKey(HKCU, "SOFTWARE\\Borland\\Delphi\\5.0");
  FaultyStore faulty(*store_, [](std::string_view op, RegistryRoot root, std::string_view key) {
    return op == "createKey" && root == HKCR && key == "hmrfile";
  });
  ScopedSystemFacts use(facts_);
  InstallPackage(5, faulty, output_);
  EXPECT_THAT(output_.messages, ElementsAre(std::pair(kTitle, kSuccess5)));
  EXPECT_EQ(store_->readString(HKCR, ".hmr", ""), "hmrfile");
  EXPECT_FALSE(store_->keyExists(HKCR, "hmrfile"));
}

TEST_F(InstallPackageTest, UnreadableStoreCountsAsMissingKey) {
  store_->createKey(HKCU, "SOFTWARE\\Borland\\Delphi\\5.0");
  FaultyStore unreadable(*store_, [](std::string_view, RegistryRoot, std::string_view) {
    return true;
  });
  ScopedSystemFacts use(facts_);
  InstallPackage(5, unreadable, output_);
  EXPECT_THAT(output_.messages, ElementsAre(std::pair(kTitle, kNotInstalled5)));
  EXPECT_THAT(output_.problems, ElementsAre(HasSubstr("injected failure: keyExists"),
                                            HasSubstr("injected failure: keyExists")));

  // An unreadable HKEY_LOCAL_MACHINE alone does not stop the check under HKEY_CURRENT_USER.
  output_ = RecordingOutput();
  FaultyStore machineUnreadable(*store_, [](std::string_view op, RegistryRoot root,
                                            std::string_view) {
    return op == "keyExists" && root == HKLM;
  });
  InstallPackage(5, machineUnreadable, output_);
  EXPECT_THAT(output_.messages, ElementsAre(std::pair(kTitle, kSuccess5)));
}

TEST(FolderOfPath, CutsAfterTheLastSlashOrColon) {
  EXPECT_EQ(FolderOfPath("/opt/hmr/hmrsetup5"), "/opt/hmr/");
  EXPECT_EQ(FolderOfPath("/hmrsetup5"), "/");
  EXPECT_EQ(FolderOfPath("/opt/hmr/"), "/opt/hmr/");
  EXPECT_EQ(FolderOfPath("C:hmrsetup5"), "C:");
  EXPECT_EQ(FolderOfPath("/mnt/c:/x/y:z"), "/mnt/c:/x/y:");
  EXPECT_EQ(FolderOfPath("hmrsetup5"), "");
  EXPECT_EQ(FolderOfPath(""), "");
  EXPECT_EQ(FolderOfPath("dir\\hmrsetup5"), "");  // "\" is an ordinary character here
}

TEST(GetInstallerPath, IsTheRunningProgram) {
  EXPECT_EQ(GetInstallerPath(), fs::canonical("/proc/self/exe").string());
  FixedSystemFacts facts;
  facts.executable = "/somewhere/else/hmrsetup5";
  ScopedSystemFacts use(facts);
  EXPECT_EQ(GetInstallerPath(), "/somewhere/else/hmrsetup5");
}

TEST(NotInstalledMessage, NamesTheVersion) {
  EXPECT_EQ(NotInstalledMessage(5), kNotInstalled5);
  EXPECT_EQ(NotInstalledMessage(4), "It seems Delphi 4.0 is not installed.\r\nInstall aborted!");
  EXPECT_EQ(NotInstalledMessage(0), kNotInstalled5);
}

}  // namespace
}  // namespace hmr
