// SPDX-License-Identifier: MIT
// The package's side of its connection to the IDE: the host services it was loaded with, the
// services globals of the tools interfaces, and the guards that keep every error of the
// package on the package's side of the boundary.
#pragma once

#include <exception>
#include <memory>
#include <string>
#include <utility>

#include "ide/contract/IdeHostServices.h"
#include "ide/contract/ToolIntf.h"
#include "ide/contract/ToolsAPI.h"
#include "platform/HmrError.h"

namespace hmr {

class PeriodicTimer;

// The IDE the package runs in, or null before the package is loaded and after it is
// unloaded (every use of the IDE then does nothing).
IdeHostServices* packageHost();
// Set by the package's load entry, cleared by its unload entry; returns the previous one.
IdeHostServices* setPackageHost(IdeHostServices* host);

// The tools interfaces' services globals: null while no IDE is attached.
IBorlandIDEServices* BorlandIDEServices();
TIToolServices* ToolServices();
// Hands the wizard to the IDE, which keeps a reference until it unloads the package.
void RegisterPackageWizard(IOTAWizard* wizard);

// Shows an error through the IDE's error display (standard error when no IDE is attached).
void ShowIdeError(std::exception_ptr error);

// A periodic timer of the IDE whose callback errors are shown by the IDE instead of reaching
// its event loop.
std::unique_ptr<PeriodicTimer> createIdeTimer();

// Runs `action` at an entry point called by the IDE: an error is shown by the IDE's error
// display and goes no further.
template <class Action>
void guardedForIde(Action&& action) noexcept {
  try {
    std::forward<Action>(action)();
  } catch (...) {
    ShowIdeError(std::current_exception());
  }
}

// Runs `action` where the IDE must not learn of errors: they are dropped silently.
template <class Action>
void swallowErrors(Action&& action) noexcept {
  try {
    std::forward<Action>(action)();
  } catch (...) {
  }
}

}  // namespace hmr
