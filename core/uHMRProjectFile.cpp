// SPDX-License-Identifier: MIT
// The project's data file: which paths are kept on disk, and reading and writing the file.
#include <algorithm>
#include <exception>
#include <optional>
#include <utility>

#include "core/DataFileReadAhead.h"
#include "core/DataFileSave.h"
#include "core/HMRFileIO.h"
#include "core/HMRRecovery.h"
#include "core/PathText.h"
#include "core/uHMRMessages.h"
#include "core/uHMRProject.h"
#include "core/uHMRProjectGroup.h"
#include "platform/FileRead.h"
#include "platform/FileWriter.h"
#include "platform/SystemFacts.h"
#include "platform/UserFolders.h"

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
    project.Sessions.insert(project.Sessions.end(),
                            std::make_move_iterator(contents.sessions.begin()),
                            std::make_move_iterator(contents.sessions.end()));
  }
}

}  // namespace

std::string THMRProject::UnhandledPath() const {
  if (!ProjectGroup) return "XXXXXXX";
  switch (ProjectGroup->HostTool) {
    case ftDelphi4:
      return trimText(currentSystemFacts().systemFolder());
    case ftDelphi5: {
      // An IDE in <installation>/Bin keeps its sample projects in <installation>/Projects.
      // When the program's own path cannot be read nothing is excluded: a bare "Projects"
      // would exclude every project with that word anywhere in its path.
      const std::string executable = currentSystemFacts().executablePath();
      if (executable.empty()) return {};
      return dropLastFolder(extractFilePath(executable)) + "Projects";
    }
    case ftVB6:
    case ftLazarus:
      // The Lazarus program lies at the top of its Lazarus tree, beside the examples and the
      // IDE's own packages: projects opened there are the installation's, not the user's
      // (and mostly read-only). An IDE rebuilt into a private folder excludes that folder.
      return extractFilePath(currentSystemFacts().executablePath());
    case ftUnknown:
    case ftViewer:
      break;
  }
  return "XXXXXXXX";
}

bool THMRProject::storesDataFile(const std::string& path) const {
  return hasFolder(path) && !isExcluded(path, UnhandledPath());
}

void THMRProject::removeLeftoverSaves() const {
  if (!storesDataFile(FileName)) return;
  // Data files and recovery files are the files the tracker saves: named *.HMR (or *.hmr, a
  // data file opened by name), they are the only ones whose leftovers are its own.
  const auto dataFile = [](std::string_view name) {
    return name.size() > 4 && sameText(name.substr(name.size() - 4), ".HMR");
  };
  currentFileWriter().removeLeftovers(extractFilePath(FileName), dataFile);
  if (const std::string folder = recoveryFolder(); !folder.empty())
    currentFileWriter().removeLeftovers(folder, dataFile);
}

void THMRProject::mergeRecoveredHistory(bool dataFileRead, bool takeOver) {
  if (!storesDataFile(FileName)) return;
  RecoveredHistory recovered = readRecoveryFiles(FileName, takeOver);
  // A damaged recovery file must not keep the project from being tracked: it is reported and
  // the others are read.
  if (ProjectGroup)
    for (const std::string& problem : recovered.problems) ProjectGroup->ReportProblem(problem);
  if (!recovered.found) return;
  HmrFileContents& contents = recovered.contents;
  if (!dataFileRead) {
    // The data file was never written (its first save failed): the recovery file's settings.
    if (contents.timeForIdle) TimeForIdle = *contents.timeForIdle;
    if (contents.minimumWorkTime) MinimumWorkTime = *contents.minimumWorkTime;
    if (contents.projectName && isBlank(ProjectName)) ProjectName = *contents.projectName;
  }
  mergeRecoveredSessions(Sessions, std::move(contents.sessions));
  DeleteMinimumSessions(true);  // as for the sessions of a data file; none runs yet
  UpdatePrjHistData();
  keptInRecovery_ = keptInRecovery_ || takeOver;
}

bool THMRProject::LoadFile() {
  InitParams();
  if (isExcluded(FileName, UnhandledPath()) || !hasFolder(FileName)) return true;
  // Only a missing file means a project without history; a folder or a FIFO by that name is
  // read, and refused with a message naming it.
  if (!pathExists(FileName)) {
    dataFileBase_ = {FileName, std::nullopt};  // a file another tracker makes meanwhile merges
    return false;
  }
  OpenFile(FileName);
  return true;
}

void THMRProject::OpenFile(const std::string& FileName) {
  DataFileRead read;
  std::string image;
  try {
    readHmrFile(FileName, read.contents, &image);
  } catch (...) {
    read.failure = std::current_exception();
  }
  OpenFile(std::move(read));
  // The bytes read are the common history of this project's next save.
  dataFileBase_ = {FileName, std::move(image)};
}

void THMRProject::OpenFile(DataFileRead&& ReadAhead) {
  ClearSessions();
  // Read ahead without its bytes (a report's): a later save merges with no common history.
  dataFileBase_ = {};
  takeContents(*this, ReadAhead.contents);
  // After a failure what was read before it stays; nothing is dropped or totalled.
  if (ReadAhead.failure) std::rethrow_exception(ReadAhead.failure);
  DeleteMinimumSessions(true);  // no session runs yet
  UpdatePrjHistData();
}

void THMRProject::SaveFile(const std::string& FileName) {
  if (!storesDataFile(FileName)) return;
  std::optional<MergedHistory> merged;
  try {
    saveHistory(FileName, merged);
  } catch (const HmrSaveNotConfirmed&) {
    if (merged) adoptMergedHistory(*merged);  // the file holds it all the same
    throw;
  }
  if (merged) adoptMergedHistory(*merged);
}

void THMRProject::saveHistory(const std::string& path, std::optional<MergedHistory>& merged) {
  const bool viewer = ProjectGroup && ProjectGroup->HostTool == ftViewer;
  const std::string here = viewer ? "this viewer" : "this IDE";
  const auto tell = [&] {
    if (!merged || merged->notes.empty() || !ProjectGroup) return;
    std::string notes;
    for (const std::string& note : merged->notes) notes += (notes.empty() ? "" : "\n") + note;
    ProjectGroup->ReportProblem(formatMessage(DataFileMergedNote, {path, here, notes}));
  };
  try {
    saveDataFile(path, {TimeForIdle, MinimumWorkTime, ProjectName, Sessions}, dataFileBase_,
                 {here, "the file on disk"}, merged);
  } catch (const HmrSaveNotConfirmed&) {
    tell();
    throw;
  }
  tell();
}

void THMRProject::adoptMergedHistory(MergedHistory& merged) {
  TimeForIdle = merged.timeForIdle;
  MinimumWorkTime = merged.minimumWorkTime;
  ProjectName = merged.projectName;
  std::optional<TSessionData> running;
  if (State != hmClosed && !Sessions.empty()) {
    running = std::move(Sessions.back());
    Sessions.pop_back();
  }
  Sessions = std::move(merged.sessions);
  if (running) {
    // The merge kept this project's own version of its running session, ordered by open time
    // among the others; the project keeps it last, where it brings it up to date.
    const auto same = std::find_if(Sessions.begin(), Sessions.end(), [&](const auto& s) {
      return s.SessionDateTimeOpen == running->SessionDateTimeOpen &&
             s.SessionDateTimeClose == running->SessionDateTimeClose &&
             s.SessionNotClosed == running->SessionNotClosed &&
             s.SessionIdleTime == running->SessionIdleTime &&
             s.SessionUserName == running->SessionUserName;
    });
    if (same != Sessions.end()) Sessions.erase(same);
    Sessions.push_back(std::move(*running));
  }
  DeleteMinimumSessions(State == hmClosed);  // the read rule, sparing a running session
  UpdatePrjHistData();
  if (State != hmClosed) markChanged();
}

}  // namespace hmr
