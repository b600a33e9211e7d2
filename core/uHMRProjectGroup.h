// SPDX-License-Identifier: MIT
// Every project tracked in one host, keyed by project file name, with the active one, the
// current user and the host's settings.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/uHMRGlobal.h"
#include "core/uHMRProject.h"

namespace hmr {

class SettingsStore;
class TrackerUi;

// How often running sessions are checkpointed into their recovery files, unless the host's
// key holds a "CheckpointInterval" (REG_DWORD, seconds).
inline constexpr std::int64_t DefaultCheckpointInterval = 300;

class THMRProjectGroup {
 public:
  // `ui` and `store` are not owned and must outlive the group; nullptr selects the defaults:
  // no windows, and the settings store at its default location (opened when first needed).
  explicit THMRProjectGroup(TrackerUi* ui = nullptr, SettingsStore* store = nullptr);
  // Closes an open dialog, then closes and saves every project.
  virtual ~THMRProjectGroup();
  THMRProjectGroup(const THMRProjectGroup&) = delete;
  THMRProjectGroup& operator=(const THMRProjectGroup&) = delete;

  void SetHostTool(THostTool Tool, std::string_view HostVersion);
  // Takes the logon name as the user and, for an IDE host whose preference is on, lets the
  // user choose the name in the user dialog. The flag has no effect.
  void ShowUserDialog(bool Flag);

  // Tracks a new project. Returns nullptr, changing nothing, when the file name (compared
  // without regard to letter case) is already tracked. A failed open passes its error on;
  // the project is then neither added nor kept.
  THMRProject* AddProject(std::string_view FileName, std::string_view Name, bool StartSession);
  // Tracks a data file opened for viewing under the name it has (THMRProject::DataFileOpened):
  // a name picked in a file dialog or given on a command line. Returns nullptr, changing
  // nothing, when a project with exactly that key is in the group: letter case counts, since
  // on Linux names that differ in case are different files. A failed read passes its error on
  // and leaves the group as it was.
  THMRProject* AddDataFile(std::string_view FileName);
  // The same for a data file read already (readDataFilesAhead): its read is used instead of
  // reading the file now, also when it failed.
  THMRProject* AddDataFile(std::string_view FileName, DataFileRead&& ReadAhead);
  // Closes (saving its file), destroys and forgets the project. When the save fails the error
  // passes on and the project stays in the group, closed, keeping its history: the heartbeat
  // saves it again, and removing it again does nothing.
  void RemoveProject(std::string_view FileName);
  void RenameProject(std::string_view NewFileName, std::string_view OldFileName);
  void RenameProjectName(std::string_view FileName, std::string_view NewName,
                         std::string_view Unused = {});
  void ActivityDetected(std::string_view FileName, bool UseActive);
  void SaveProject(std::string_view FileName);
  void ProjectActivated(std::string_view FileName);
  void RemoveAllProjects();
  void ShowDialog(bool Flag, std::string_view FileName);
  void SetUsername(std::string_view Name);
  THMRProject* getProject(std::int32_t Index) const;
  std::int32_t getProjectCount() const;
  void OnDestroyDlg();
  void UpdateDlg(TUpdatingLevel Level);

  // Queries (uHMRQueries.cpp); they read the projects and change nothing in them.
  // One line per project in group order with its accumulated times, then sorted.
  TQueryResult ExecProjectQuery(TSortByMode SortBy, TSortOrder SortOrder) const;
  // The projects (ggProject) or the sessions of every project, grouped and sorted.
  TQueryResult ExecuteQuery(TGroupGroupByMode GroupBy, TSortByMode SortBy,
                            TSortOrder SortOrder) const;

  // Position of FileName among the keys (case-insensitive), or -1.
  std::int32_t IndexOf(std::string_view FileName) const;
  const std::string& getProjectKey(std::int32_t Index) const;

  // The settings store of this group's host settings (the default one when none was given).
  SettingsStore& settings();
  // The windows this group opens.
  TrackerUi& ui() { return *Ui; }

  // Reads "CheckpointInterval" (seconds, 15 to 86400) from the host's key into
  // CheckpointInterval; a missing value leaves the default, a damaged one is reported.
  void ReadCheckpointInterval();
  // The group's heartbeat, an event of the global timer that fires at every tick while some
  // project has something to keep (THMRProject::NeedsCheckpoints, a history whose save
  // failed) and sleeps otherwise, so that a host that passes over quiet stretches of time
  // still can. At the last beat within each CheckpointInterval the running projects are
  // checkpointed, and the projects whose save failed are saved again (and leave the group
  // when it succeeds); at the other beats only the projects whose checkpoint is urgent
  // (THMRProject::CheckpointUrgent). A failure is reported once per project until that project succeeds
  // again. Never throws.
  void Heartbeat();
  // Arms the heartbeat if it sleeps (projects call it when they change).
  void WakeHeartbeat();
  // Tells the user of a problem found while time passed (through the TrackerUi).
  void ReportProblem(const std::string& message);

  std::vector<std::pair<std::string, std::unique_ptr<THMRProject>>> Projects;
  std::int32_t ActiveIndex = -1;
  // The tracker dialog while it is showing. The dialog itself belongs to the TrackerUi.
  bool Dialog = false;
  bool Destroying = false;
  THostTool HostTool = ftUnknown;
  std::string HostVersion;
  std::string HostDescription;
  std::string RegistryKey;
  std::string UserName;
  std::int64_t CheckpointInterval = DefaultCheckpointInterval;

 private:
  // AddDataFile, reading the file now unless `readAhead` holds its read.
  THMRProject* addDataFile(std::string_view FileName, DataFileRead* readAhead);
  THMRProject* track(std::string_view FileName, std::unique_ptr<THMRProject> project);
  // Checkpoints the running projects (only those whose checkpoint is urgent when
  // `urgentOnly`) and saves again those whose save failed.
  void checkpointAll(bool urgentOnly);
  bool heartbeatNeeded() const;
  // Closes (or saves again) the project at `index` and takes it out of the group; see
  // RemoveProject for what a failure leaves.
  void closeAndForget(std::int32_t index);
  // Takes the entry at `index` out of the group after its project closed.
  void forgetProject(std::int32_t index);

  TrackerUi* Ui;
  SettingsStore* Store;
  std::unique_ptr<TrackerUi> ownUi_;
  std::unique_ptr<SettingsStore> ownStore_;
  std::int32_t heartbeat_ = 0;  // the group's event in TimerGlobal, 0 without one
  std::int64_t sinceCheckpoint_ = 0;
  std::set<std::string> failing_;  // keys of projects whose last checkpoint or save failed
};

}  // namespace hmr
