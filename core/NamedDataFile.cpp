// SPDX-License-Identifier: MIT
#include "core/NamedDataFile.h"

#include <memory>

#include "core/uHMRProject.h"
#include "core/uHMRProjectGroup.h"

namespace hmr {

THMRProject* addNamedDataFile(THMRProjectGroup& group, const std::string& path) {
  // The group's own lookup ignores letter case, as the IDE's project names do; a named file
  // is matched exactly instead, so that "a/Proj.HMR" and "a/proj.HMR" stay two projects.
  for (const auto& [key, project] : group.Projects)
    if (key == path) return nullptr;
  auto project = std::make_unique<THMRProject>();
  project->ProjectGroup = &group;
  project->InitParams();
  project->FileName = path;
  project->OpenFile(path);  // on failure the project is dropped
  THMRProject* added = project.get();
  group.Projects.emplace_back(path, std::move(project));
  group.UpdateDlg(ulProjectGroup);
  return added;
}

}  // namespace hmr
