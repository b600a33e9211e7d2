// SPDX-License-Identifier: MIT
#include "core/uHMRProjectGroup.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/HMRFileIO.h"
#include "core/uHMRProject.h"
#include "core/uHMRTimer.h"
#include "platform/HmrError.h"
#include "platform/PeriodicTimer.h"
#include "tests/support/Sessions.h"
#include "tests/support/TempFolder.h"

namespace hmr {
namespace {

class DataFileOpenedTest : public ::testing::Test {
 protected:
  DataFileOpenedTest() : timer_(std::make_unique<ManualTimer>()) {
    group_.SetHostTool(ftViewer, KernelVersion);
  }

  // A data file of a project named `name` with one session of an hour.
  std::string save(const std::string& relative, const std::string& name) {
    const std::string path = folder_.file(relative);
    std::vector<TSessionData> sessions;
    sessions.push_back(
        test_support::makeSession(encodeDateTime(2026, 12, 7, 9, 0, 0), 3600, 0, false, "ann"));
    writeHmrFile(path, 300, 60, name, sessions);
    return path;
  }

  std::string failureOf(const std::string& path) {
    try {
      group_.AddDataFile(path);
    } catch (const HmrError& e) {
      return e.what();
    }
    return "added";
  }

  testing::TempFolder folder_;
  ScopedTimerGlobal timer_;
  THMRProjectGroup group_;
};

TEST_F(DataFileOpenedTest, TheFileIsReadUnderExactlyTheNameGiven) {
  const std::string lower = save("billing.hmr", "Billing");
  THMRProject* project = group_.AddDataFile(lower);
  ASSERT_NE(project, nullptr);
  EXPECT_EQ(project->FileName, lower);
  EXPECT_EQ(group_.getProjectKey(0), lower);
  EXPECT_EQ(project->ProjectName, "Billing");
  EXPECT_EQ(project->getSessionCount(), 1);
  EXPECT_EQ(project->State, hmClosed);
}

TEST_F(DataFileOpenedTest, NamesDifferingInCaseAreTwoProjectsTheSameNameIsOne) {
  const std::string upper = save("A/Proj.HMR", "Upper");
  const std::string lower = save("A/proj.HMR", "Lower");
  ASSERT_NE(group_.AddDataFile(upper), nullptr);
  ASSERT_NE(group_.AddDataFile(lower), nullptr);
  EXPECT_EQ(group_.AddDataFile(upper), nullptr);
  ASSERT_EQ(group_.getProjectCount(), 2);
  EXPECT_EQ(group_.getProject(0)->ProjectName, "Upper");
  EXPECT_EQ(group_.getProject(1)->ProjectName, "Lower");
}

TEST_F(DataFileOpenedTest, WhatCannotBeReadIsAnErrorNamingItAndAddsNothing) {
  const std::string missing = folder_.path() + "/billing.hmr";
  save("billing.HMR", "Other file");  // never read in place of the name given
  EXPECT_EQ(failureOf(missing),
            "Error reading HMR file " + missing + " : No such file or directory");
  const std::string folder = folder_.file("SomeFolder/x");
  const std::string named = folder_.path() + "/SomeFolder";
  EXPECT_EQ(failureOf(named), "Error reading HMR file " + named + " : Is a directory");
  testing::writeBytes(folder_.path() + "/Bad.HMR", "junk");
  EXPECT_EQ(failureOf(folder_.path() + "/Bad.HMR"),
            "Error reading HMR file " + folder_.path() + "/Bad.HMR : HMR file is corrupted");
  EXPECT_EQ(group_.getProjectCount(), 0);
}

}  // namespace
}  // namespace hmr
