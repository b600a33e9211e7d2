// SPDX-License-Identifier: MIT
// The project's data file: which paths are kept on disk, and reading and writing the file.
#include <utility>

#include "core/HMRFileIO.h"
#include "core/PathText.h"
#include "core/uHMRProject.h"
#include "core/uHMRProjectGroup.h"
#include "platform/FileRead.h"
#include "platform/SystemFacts.h"

namespace hmr {
namespace {

// The folder part of `path` holds the excluded folder text, both upper-cased. An empty
// excluded text excludes nothing.
bool isExcluded(const std::string& path, const std::string& excluded) {
  if (excluded.empty()) return false;
  return upperCase(extractFilePath(path)).find(upperCase(excluded)) != std::string::npos;
}

bool hasFolder(const std::string& path) { return path.find('/') != std::string::npos; }

// The parent of `folder` (which ends with "/"), with its trailing "/"; unchanged when it
// has no parent folder.
std::string dropLastFolder(const std::string& folder) {
  if (folder.size() < 2) return folder;
  const std::size_t previous = folder.rfind('/', folder.size() - 2);
  return previous == std::string::npos ? folder : folder.substr(0, previous + 1);
}

// Moves what a decode produced into the project: the settings and name that were read, and
// the sessions after those already held.
void takeContents(THMRProject& project, HmrFileContents& contents) {
  if (contents.timeForIdle) project.TimeForIdle = *contents.timeForIdle;
  if (contents.minimumWorkTime) project.MinimumWorkTime = *contents.minimumWorkTime;
  if (contents.projectName) project.ProjectName = std::move(*contents.projectName);
  if (project.Sessions.empty()) {
    project.Sessions = std::move(contents.sessions);
  } else {
    for (auto& s : contents.sessions) project.Sessions.push_back(std::move(s));
  }
}

}  // namespace

std::string THMRProject::UnhandledPath() const {
  if (!ProjectGroup) return "XXXXXXX";
  switch (ProjectGroup->HostTool) {
    case ftDelphi4:
      return trimText(currentSystemFacts().systemFolder());
    case ftDelphi5:
      // An IDE in <installation>/Bin keeps its sample projects in <installation>/Projects.
      return dropLastFolder(extractFilePath(currentSystemFacts().executablePath())) + "Projects";
    case ftVB6:
      return extractFilePath(currentSystemFacts().executablePath());
    case ftUnknown:
    case ftViewer:
      break;
  }
  return "XXXXXXXX";
}

bool THMRProject::LoadFile() {
  InitParams();
  if (isExcluded(FileName, UnhandledPath()) || !hasFolder(FileName)) return true;
  // Only a missing file means a project without history; a folder or a FIFO by that name is
  // read, and refused with a message naming it.
  if (!pathExists(FileName)) return false;
  OpenFile(FileName);
  return true;
}

void THMRProject::OpenFile(const std::string& FileName) {
  ClearSessions();
  HmrFileContents contents;
  try {
    readHmrFile(FileName, contents);
  } catch (...) {
    // What was read before the failure stays; nothing is dropped or totalled.
    takeContents(*this, contents);
    throw;
  }
  takeContents(*this, contents);
  DeleteMinimumSessions(true);  // no session runs yet
  UpdatePrjHistData();
}

void THMRProject::SaveFile(const std::string& FileName) {
  if (!hasFolder(FileName) || isExcluded(FileName, UnhandledPath())) return;
  writeHmrFile(FileName, TimeForIdle, MinimumWorkTime, ProjectName, Sessions);
}

}  // namespace hmr
