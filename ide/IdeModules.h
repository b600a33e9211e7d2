// SPDX-License-Identifier: MIT
// Routines over the IDE's module services. Each asks the IDE afresh; nothing is cached.
#pragma once

#include <cstdint>
#include <string>

#include "ide/contract/ToolsAPI.h"

namespace hmr {

enum TModuleKind : std::uint8_t { mkNone, mkProjectGroup, mkProject, mkOtherModule };

// The IDE's module services, or null when the IDE offers none.
ComPtr<IOTAModuleServices> ModuleServices();

// mkNone for no module; mkProjectGroup when it answers the project group query; otherwise
// mkProject when it answers the project query of this build's IDE; otherwise mkOtherModule.
TModuleKind GetModuleKind(IOTAModule* Module);
// The first open module that is a project group, or null.
ComPtr<IOTAProjectGroup> FindIDEProjectGroup();
// The project group's active project, or null when there is no group or no active project.
ComPtr<IOTAProject> GetActiveIDEProject();
ComPtr<IOTAModule> GetCurrentIDEModule();
ComPtr<IOTAModule> FindIDEModule(const std::string& FileName);

}  // namespace hmr
