// SPDX-License-Identifier: MIT
// What an IDE host keeps of each package it tried to load.
#pragma once

#include <string>
#include <vector>

#include "ide/contract/ComPtr.h"
#include "ide/contract/IdeHostServices.h"
#include "ide/contract/ToolsAPI.h"

namespace hmr {

enum class PackageState {
  NotLoaded,   // the library could not be opened or lacks an entry point
  Failed,      // loaded, but its load entry or its Register failed
  Registered,  // loaded and registered
  Unloaded,    // unloaded again
};

const char* packageStateName(PackageState state);

struct PackageEntryPoints {
  PackageLoadFunction load = nullptr;
  PackageRegisterFunction registerPackage = nullptr;
  PackageUnloadFunction unload = nullptr;
};

struct PackageRecord {
  std::string path;
  PackageState state = PackageState::NotLoaded;
  // Why loading or registering failed; empty when it did not.
  std::string errorText;
  void* handle = nullptr;  // the library, when the IDE opened it itself
  PackageEntryPoints entries;
  bool loadEntryRan = false;  // its load entry succeeded: the unload entry is due
  // The wizards the package registered; the IDE's references.
  std::vector<ComPtr<IOTAWizard>> wizards;
};

}  // namespace hmr
