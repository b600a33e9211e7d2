// SPDX-License-Identifier: MIT
// A stand-in IDE (Delphi 5) with the Delphi 5 package linked in, on a virtual clock, with its
// data files in a scratch folder of the test's own.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

#include "core/uHMRProjectGroup.h"
#include "host/ide/StandInIde.h"
#include "ide/PackageHost.h"
#include "ide/uHMNotifiers.h"
#include "ide/uHMWizard.h"
#include "platform/MemorySettingsStore.h"
#include "platform/UserFolders.h"
#include "tests/support/IdeTestSupport.h"

namespace hmr::ide_test {

class IdeFixture : public ::testing::Test, public IdeTestWorld {
 protected:
  void SetUp() override {
    ide = std::make_unique<StandInIde>(5, store, out, err);
    ide->setClock(at("2026-03-02T09:00:00"));
  }
  void TearDown() override { ide.reset(); }

  // Loads the linked-in package as the IDE loads a package library.
  PackageRecord& loadPackage() { return ide->loadPackage("HMExpert50.bpl", linkedPackage()); }
  THMWizard* wizard() {
    for (auto& record : ide->packages())
      if (!record->wizards.empty()) return static_cast<THMWizard*>(record->wizards[0].get());
    return nullptr;
  }
  THMRProjectGroup& group() { return *wizard()->projectGroup(); }
  THMExpertAddInNotifier& addIn() { return *wizard()->addInNotifier(); }
  THMRProject* project(const std::string& path) {
    return group().getProject(group().IndexOf(path));
  }
  std::unique_ptr<StandInIde> ide;
};

// The IDE attached as the package's host without loading the package, for the package's
// routines and parts on their own.
class HostedIdeFixture : public IdeFixture {
 protected:
  void SetUp() override {
    IdeFixture::SetUp();
    previous_ = setPackageHost(ide.get());
  }
  void TearDown() override {
    setPackageHost(previous_);
    IdeFixture::TearDown();
  }

 private:
  IdeHostServices* previous_ = nullptr;
};

}  // namespace hmr::ide_test
