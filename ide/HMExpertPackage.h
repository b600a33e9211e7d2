// SPDX-License-Identifier: MIT
// For a program that links the package in instead of loading its library (the in-process
// tests, the Lazarus library): the package's entry points, which an IDE finds by name
// (IdeHostServices.h), what the linked build was built for, and its Qt dialogs.
#pragma once

#include <cstdint>
#include <string_view>

#include "ide/contract/ToolsAPI.h"

namespace hmr {

class IdeHostServices;
class QtTrackerUi;

// The IDE a build of the package serves: the package file it recognises as its own (its reload
// rule) and the identity of the project interface it asks its IDE for.
struct PackageBuild {
  std::string_view fileName;
  TGUID projectInterface;
};

// What the linked package was built for (ide/IdeBuild.h chose it).
PackageBuild linkedPackageBuild();

// The package's Qt dialogs, made the first time its IDE offered Qt widgets; null before that,
// while the package is not loaded and in a build without Qt. What shows there (the tracker
// dialog) is the package's: a program that links the package in reaches it here.
QtTrackerUi* linkedPackageQtWindows();

}  // namespace hmr

extern "C" {
int hmrPackageLoad(hmr::IdeHostServices* host, std::int32_t version) noexcept;
void Register() noexcept;
void hmrPackageUnload() noexcept;
}
