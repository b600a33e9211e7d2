// SPDX-License-Identifier: MIT
#include "core/uHMRProjectGroup.h"

#include <algorithm>

#include "core/DataFileReadAhead.h"
#include "core/HMRFileIO.h"
#include "core/PathText.h"
#include "core/TrackerUi.h"
#include "core/WindowlessTrackerUi.h"
#include "core/uHMRUsers.h"
#include "platform/SqliteSettingsStore.h"
#include "core/uHMRTimer.h"
#include "platform/PeriodicTimer.h"
#include "platform/SettingsStore.h"

namespace hmr {
namespace {

struct HostEntry {
  const char* description;
  const char* registryKey;
};

// Indexed by THostTool.
constexpr HostEntry kHostTable[] = {
    {"XXX", "\\SOFTWARE\\CorvaneSW\\HMR\\2.0"},
    {"Viewer", "\\SOFTWARE\\CorvaneSW\\HMR\\2.0\\Viewer"},
    {"For Delphi 4", "\\SOFTWARE\\CorvaneSW\\HMR\\2.0\\Delphi4"},
    {"For Delphi 5", "\\SOFTWARE\\CorvaneSW\\HMR\\2.0\\Delphi5"},
    {"For Visual Basic 6", "\\SOFTWARE\\CorvaneSW\\HMR\\2.0\\VB6"},
    {"For Lazarus", "\\SOFTWARE\\CorvaneSW\\HMR\\2.0\\Lazarus"},
};

}  // namespace

THMRProjectGroup::THMRProjectGroup(TrackerUi* ui, SettingsStore* store) : Ui(ui), Store(store) {
  if (!Ui) {
    ownUi_ = std::make_unique<WindowlessTrackerUi>();
    Ui = ownUi_.get();
  }
  SetHostTool(ftUnknown, "x");
  if (TimerGlobal) {
    heartbeat_ = TimerGlobal->Add(
        [this](THMRGlobalTimer& timer) {
          Heartbeat();
          if (heartbeatNeeded())
            timer.SetSecondsForNextEvent(heartbeat_, THMRGlobalTimer::MasterInterval);
        },
        0);
  }
}

THMRProjectGroup::~THMRProjectGroup() {
  if (heartbeat_ != 0 && TimerGlobal) TimerGlobal->Delete(heartbeat_);
  Destroying = true;
  if (Dialog) Ui->closeTrackerDialog(*this);
  // Nothing may escape a destructor: a project whose save fails is reported and dropped, and
  // the others are still closed and saved.
  while (!Projects.empty()) {
    try {
      RemoveAllProjects();
    } catch (...) {
      reportToStandardError(std::current_exception());
      Projects.erase(Projects.begin());
    }
  }
}

void THMRProjectGroup::SetHostTool(THostTool Tool, std::string_view HostVersion) {
  HostTool = Tool;
  this->HostVersion = HostVersion;
  const HostEntry& entry = kHostTable[Tool <= ftLazarus ? Tool : ftUnknown];
  HostDescription = entry.description;
  RegistryKey = entry.registryKey;
  if (Tool == ftUnknown) this->HostVersion = "x.x";
}

std::int32_t THMRProjectGroup::IndexOf(std::string_view FileName) const {
  for (std::size_t i = 0; i < Projects.size(); ++i)
    if (sameText(Projects[i].first, FileName)) return static_cast<std::int32_t>(i);
  return -1;
}

const std::string& THMRProjectGroup::getProjectKey(std::int32_t Index) const {
  return Projects.at(static_cast<std::size_t>(Index)).first;
}

THMRProject* THMRProjectGroup::getProject(std::int32_t Index) const {
  if (Index < 0 || Index >= getProjectCount()) return nullptr;
  return Projects[static_cast<std::size_t>(Index)].second.get();
}

std::int32_t THMRProjectGroup::getProjectCount() const {
  return static_cast<std::int32_t>(Projects.size());
}

THMRProject* THMRProjectGroup::AddProject(std::string_view FileName, std::string_view Name,
                                          bool StartSession) {
  if (const std::int32_t held = IndexOf(FileName); held != -1) {
    // Only a project whose close could not save its history is still here: it is saved now,
    // or, when its history is safe in its recovery file, makes room for the project that
    // opens again and takes that history back. A history held only in memory stays.
    if (!getProject(held)->HasUnsavedHistory()) return nullptr;
    try {
      closeAndForget(held);
    } catch (const std::exception&) {
      const std::int32_t still = IndexOf(FileName);
      if (still != -1) {
        if (!getProject(still)->HistoryInRecoveryFile()) return nullptr;
        Projects.erase(Projects.begin() + still);
      }
    }
  }
  auto project = std::make_unique<THMRProject>();
  project->ProjectGroup = this;
  project->ProjectOpened(FileName, Name, StartSession);  // on failure the project is dropped
  return track(FileName, std::move(project));
}

THMRProject* THMRProjectGroup::AddDataFile(std::string_view FileName) {
  return addDataFile(FileName, nullptr);
}

THMRProject* THMRProjectGroup::AddDataFile(std::string_view FileName, DataFileRead&& ReadAhead) {
  return addDataFile(FileName, &ReadAhead);
}

THMRProject* THMRProjectGroup::addDataFile(std::string_view FileName, DataFileRead* readAhead) {
  // The group's own lookup ignores letter case, as the IDE's project names do; a named file is
  // matched exactly instead, so that "a/Proj.HMR" and "a/proj.HMR" stay two projects.
  for (const auto& entry : Projects)
    if (entry.first == FileName) return nullptr;
  auto project = std::make_unique<THMRProject>();
  project->ProjectGroup = this;
  // On failure the project is dropped.
  readAhead ? project->DataFileOpened(FileName, std::move(*readAhead))
            : project->DataFileOpened(FileName);
  return track(FileName, std::move(project));
}

THMRProject* THMRProjectGroup::track(std::string_view FileName,
                                     std::unique_ptr<THMRProject> project) {
  project->SetCurrentUserName(UserName);
  THMRProject* added = project.get();
  Projects.emplace_back(std::string(FileName), std::move(project));
  UpdateDlg(ulProjectGroup);
  return added;
}

void THMRProjectGroup::RemoveProject(std::string_view FileName) {
  const std::int32_t index = IndexOf(FileName);
  if (index == -1) return;
  // A project whose save failed is closed already; the heartbeat saves it again (the host may
  // report one close more than once, and the user has been told).
  if (getProject(index)->HasUnsavedHistory()) return;
  closeAndForget(index);
}

void THMRProjectGroup::closeAndForget(std::int32_t index) {
  // A failed save leaves the project closed and in the group, under its key, holding its
  // history. A save that only lacks the confirmation that it reached the disk has put the file
  // in place: the project leaves, and the warning passes on.
  try {
    getProject(index)->ProjectClosed();
  } catch (const HmrSaveNotConfirmed&) {
    forgetProject(index);
    throw;
  }
  forgetProject(index);
}

void THMRProjectGroup::forgetProject(std::int32_t index) {
  failing_.erase(Projects[static_cast<std::size_t>(index)].first);
  Projects.erase(Projects.begin() + index);
  if (index == ActiveIndex || Projects.empty()) ActiveIndex = -1;
  UpdateDlg(ulProjectGroup);
}

void THMRProjectGroup::RenameProject(std::string_view NewFileName, std::string_view OldFileName) {
  std::string activeKey;
  const bool hadActive = ActiveIndex >= 0 && ActiveIndex < getProjectCount();
  if (hadActive) {
    activeKey = Projects[static_cast<std::size_t>(ActiveIndex)].first;
    if (sameText(activeKey, OldFileName)) activeKey = NewFileName;
  }
  const std::int32_t index = IndexOf(OldFileName);
  if (index != -1) {
    auto& entry = Projects[static_cast<std::size_t>(index)];
    entry.second->ProjectRenamed(NewFileName);
    entry.first = NewFileName;
  }
  if (hadActive) ProjectActivated(activeKey);
}

void THMRProjectGroup::RenameProjectName(std::string_view FileName, std::string_view NewName,
                                         std::string_view) {
  const std::int32_t index = IndexOf(FileName);
  if (index == -1) return;
  Projects[static_cast<std::size_t>(index)].second->ProjectName = NewName;
  UpdateDlg(ulProjectGroup);
}

void THMRProjectGroup::ActivityDetected(std::string_view FileName, bool UseActive) {
  const std::int32_t index = UseActive ? ActiveIndex : IndexOf(FileName);
  if (THMRProject* project = getProject(index)) project->ActivityDetected();
}

void THMRProjectGroup::SaveProject(std::string_view FileName) {
  const std::int32_t index = FileName.empty() ? ActiveIndex : IndexOf(FileName);
  if (THMRProject* project = getProject(index)) project->AutoSave();
}

void THMRProjectGroup::ProjectActivated(std::string_view FileName) {
  ActiveIndex = IndexOf(FileName);
  UpdateDlg(ulProjectSelection);
}

void THMRProjectGroup::RemoveAllProjects() {
  const bool hadProjects = !Projects.empty();
  ActiveIndex = -1;
  // Each project leaves the group once it is closed. A failed save passes its error on and
  // leaves that project in the group, closed but keeping its history, before those not yet
  // closed, as RemoveProject does.
  while (!Projects.empty()) {
    try {
      Projects.front().second->ProjectClosed();
    } catch (const HmrSaveNotConfirmed&) {
      Projects.erase(Projects.begin());
      throw;
    }
    failing_.erase(Projects.front().first);
    Projects.erase(Projects.begin());
  }
  if (!Destroying && hadProjects) UpdateDlg(ulProjectGroup);
}

void THMRProjectGroup::Heartbeat() {
  // A round at the last beat that keeps within the interval: with beats 15 s apart, never
  // more than CheckpointInterval passes between two rounds (nor from waking to the first).
  sinceCheckpoint_ += THMRGlobalTimer::MasterInterval;
  if (sinceCheckpoint_ + THMRGlobalTimer::MasterInterval <= CheckpointInterval) {
    checkpointAll(true);
    return;
  }
  sinceCheckpoint_ = 0;
  checkpointAll(false);
}

bool THMRProjectGroup::heartbeatNeeded() const {
  return std::any_of(Projects.begin(), Projects.end(), [](const auto& entry) {
    return entry.second->NeedsCheckpoints() || entry.second->HasUnsavedHistory();
  });
}

void THMRProjectGroup::WakeHeartbeat() {
  if (heartbeat_ == 0 || !TimerGlobal) return;
  std::int32_t index = -1;
  const THMRTimerEvent* event = TimerGlobal->ItemByHandle(heartbeat_, index);
  // An armed heartbeat keeps its count: activity more often than a tick must not put it off.
  // A sleeping one counts its interval from now.
  if (event && event->SecondsLeft == -1) {
    sinceCheckpoint_ = 0;
    TimerGlobal->SetSecondsForNextEvent(heartbeat_, THMRGlobalTimer::MasterInterval);
  }
}

void THMRProjectGroup::checkpointAll(bool urgentOnly) {
  std::size_t i = 0;
  while (i < Projects.size()) {
    const std::string key = Projects[i].first;
    try {
      THMRProject& project = *Projects[i].second;
      if (urgentOnly && !project.CheckpointUrgent()) {
        ++i;
        continue;
      }
      if (project.HasUnsavedHistory()) {
        // Saved at last, it leaves the group; not while the dialog shows, which holds on to the
        // group's projects (the timer runs on under the modal dialog).
        if (Dialog) {
          ++i;
          continue;
        }
        closeAndForget(static_cast<std::int32_t>(i));
        continue;
      }
      project.Checkpoint();
      failing_.erase(key);
    } catch (const std::exception& e) {
      if (failing_.insert(key).second) ReportProblem(e.what());
    }
    // A project that left the group while failing (a save not confirmed) frees its place.
    if (i < Projects.size() && Projects[i].first == key) ++i;
  }
}

void THMRProjectGroup::ReportProblem(const std::string& message) {
  try {
    Ui->showError(message);
  } catch (...) {
    reportToStandardError(std::current_exception());
  }
}

void THMRProjectGroup::ReadCheckpointInterval() {
  try {
    const std::optional<std::uint32_t> seconds =
        settings().readDword(HMRRootKey, RegistryKey, "CheckpointInterval");
    if (seconds) CheckpointInterval = std::clamp<std::int64_t>(*seconds, 15, 86400);
  } catch (const std::exception& e) {
    ReportProblem(e.what());
  }
}

void THMRProjectGroup::ShowDialog(bool, std::string_view FileName) {
  if (Dialog) return;  // one dialog at a time; it is modal
  const bool standAlone = Projects.empty();
  Dialog = true;
  try {
    Ui->showTrackerDialog(*this, standAlone, std::string(FileName));
  } catch (...) {
    Dialog = false;
    throw;
  }
  Dialog = false;
  if (standAlone) RemoveAllProjects();
}

void THMRProjectGroup::ShowUserDialog(bool) {
  UserName = GetHMRUserName();
  // No project exists yet: projects opened later take the name.
  if (HostTool > ftViewer && GetShowDialogKey(settings(), RegistryKey))
    hmr::ShowUserDialog(*Ui, settings(), true, RegistryKey, UserName);
}

SettingsStore& THMRProjectGroup::settings() {
  if (!Store) {
    ownStore_ = openDefaultSettingsStore();
    Store = ownStore_.get();
  }
  return *Store;
}

void THMRProjectGroup::SetUsername(std::string_view Name) {
  if (Name == UserName) return;
  UserName = Name;
  for (auto& entry : Projects) entry.second->SetCurrentUserName(UserName);
}

void THMRProjectGroup::OnDestroyDlg() { Dialog = false; }

void THMRProjectGroup::UpdateDlg(TUpdatingLevel) {
  // The modal dialog refreshes itself after the changes it makes.
}

}  // namespace hmr
