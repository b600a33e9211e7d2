// SPDX-License-Identifier: MIT
// The IDE host as a plain test IDE describes it (no persona), on a virtual clock, with the
// Delphi 5 package linked in and its data files in a scratch folder of the test's own.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <sstream>
#include <string>

#include "ide/HMExpertPackage.h"
#include "ide/contract/Menus.h"
#include "idehosting/IdeHost.h"
#include "platform/MemorySettingsStore.h"
#include "platform/UserFolders.h"
#include "tests/support/IdeTestSupport.h"

namespace hmr::idehosting_test {

using ide_test::at;
using ide_test::linkedPackage;

// A test IDE: its projects answer what the linked package asks for; its View menu has five
// entries of its own, so that the package's entry goes in at position 4.
inline IdeDescription testIde() {
  IdeDescription ide;
  ide.name = "Test IDE";
  ide.projectInterface = linkedPackageBuild().projectInterface;
  ide.projectGroupFileName = "Group.tpg";
  ide.mainMenu = {{"FileMenu", "&File", {}},
                  {ViewsMenuName,
                   "&View",
                   {{"ViewA", "&Alpha", {}},
                    {"ViewB", "&Beta", {}},
                    {"ViewC", "&Gamma", {}},
                    {"ViewD", "&Delta", {}},
                    {"ViewE", "&Epsilon", {}}}}};
  return ide;
}

inline std::int64_t secondsAfter(TDateTime when, TDateTime start) {
  return static_cast<std::int64_t>(std::llround((when - start) * 86400));
}

class HostFixture : public ::testing::Test, public ide_test::IdeTestWorld {
 protected:
  void SetUp() override {
    host = std::make_unique<IdeHost>(testIde(), store, out, err);
    host->time().setClock(start);
  }
  void TearDown() override { host.reset(); }

  PackageRecord& loadPackage() { return host->loadPackage("HMExpert50.bpl", linkedPackage()); }
  TMenuItem& viewMenu() const { return *host->builtMenu(ViewsMenuName); }

  const TDateTime start = at("2026-03-02T09:00:00");
  std::unique_ptr<IdeHost> host;
};

}  // namespace hmr::idehosting_test
