// SPDX-License-Identifier: MIT
// A tracked project: its sessions, idle detection on the global timer, the minimum work time,
// and (in uHMRProjectFile.cpp) its data file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/DataFileBase.h"
#include "core/InternedName.h"
#include "core/uHMRGlobal.h"

namespace hmr {

struct MergedHistory;
class THMRGlobalTimer;
class THMRProjectGroup;
struct DataFileRead;

enum THMRState : std::uint8_t { hmClosed, hmOpen, hmIdle };

inline constexpr std::int64_t DefaultTimeForIdle = 300;     // seconds
inline constexpr std::int64_t DefaultMinimumWorkTime = 60;  // seconds
// How long an idle stretch goes on being checkpointed (seconds): a day. After that the
// project's recovery file keeps the stretch up to there until activity or a change comes, so
// that a host on virtual time can pass over a week-long stretch without checkpointing it.
inline constexpr std::int64_t IdleCheckpointHorizon = 24 * 3600;

// One work session, a plain value: the lists of sessions hold them side by side. After
// UpdateCalculatedFields: 0 <= SessionTotalTime, SessionIdleTime <= SessionTotalTime and
// SessionWorkTime = SessionTotalTime - SessionIdleTime.
class TSessionData {
 public:
  // Store a different date-time and recompute the derived fields; an equal one changes nothing.
  void setSessionDateTimeOpen(TDateTime Value);
  void setSessionDateTimeClose(TDateTime Value);
  void UpdateCalculatedFields();

  TDateTime SessionDateTimeOpen = 0;
  // The close, or for a running (or never closed) session when it was last brought up to date.
  TDateTime SessionDateTimeClose = 0;
  bool SessionNotClosed = false;
  std::int64_t SessionIdleTime = 0;
  std::int64_t SessionTotalTime = 0;  // derived
  std::int64_t SessionWorkTime = 0;   // derived
  InternedName SessionUserName;
};

// Whether `session` is dropped for having less work than `minimum`. A session marked not
// closed is never dropped: its host ended without closing it, so its figures are those of its
// last checkpoint, less than the time really worked, and dropping it would lose that work.
bool DroppedAsShort(const TSessionData& session, std::int64_t minimum);

// One project of the host. Closed (no session running), open (a session running with recent
// activity) or idle (a session running without activity for longer than TimeForIdle).
//
// Needs TimerGlobal for its whole life: its countdown event is created with it and deleted
// with it. Fields are public for the group, the queries and the dialog to read; they change
// them only through the operations below.
class THMRProject {
 public:
  THMRProject();
  virtual ~THMRProject();
  THMRProject(const THMRProject&) = delete;
  THMRProject& operator=(const THMRProject&) = delete;

  // Opens the project: FileName becomes `FileName` with the extension ".HMR", its data file is
  // read, and with StartSession a session starts now. Fails with "Can not open an open
  // project" unless closed; read errors pass on and leave the project closed.
  void ProjectOpened(std::string_view FileName, std::string_view Name, bool StartSession);
  // Opens a data file for viewing under the very name it has (no session starts): a name
  // picked in a file dialog or given on a command line is not a project's file name, whose
  // extension is changed. The file must exist, and what a recovery file holds for it is added.
  // Fails with the read error; the project then stays closed.
  void DataFileOpened(std::string_view FileName);
  // The same for a data file read already (readDataFilesAhead): what that read gave, contents
  // or error, is taken as if the file were read now.
  void DataFileOpened(std::string_view FileName, DataFileRead&& ReadAhead);
  // Closes the running session now, saves the data file and resets the project. When the save
  // fails the error passes on and the project is closed but not reset: it keeps its history,
  // which it also writes to its recovery file (the message says where), and a later
  // ProjectClosed tries the save again. When only the confirmation that the file reached the
  // disk fails, the project is reset as after a save and HmrSaveNotConfirmed passes on.
  void ProjectClosed();
  void ProjectRenamed(std::string_view NewFileName);
  void ActivityDetected();
  // Brings the session up to date and saves, only when open (not idle, not closed).
  void AutoSave();
  void SetCurrentUserName(std::string_view Name);
  // Brings the running session up to date; Closing also closes it.
  void UpdateProject(bool Closing);
  void SetTimeForIdle(std::int64_t Seconds);
  void SetMinimumWorkTime(std::int64_t Seconds);
  // The project name unless it is blank, else the data file's name without folder and extension.
  std::string GetHMRName() const;

  std::int32_t getSessionCount() const;
  // The session at Index, or nullptr outside 0..count-1. The pointer is into Sessions: it
  // holds until the list next changes (a session added, dropped, merged or the file read).
  const TSessionData* getSessionData(std::int32_t Index) const;
  TSessionData* getSessionData(std::int32_t Index);

  void AddSession(TDateTime Open, TDateTime Close, bool NotClosed, std::int64_t IdleTime);
  void DeleteMinimumSessions(bool IncludeLast);
  void ClearSessions();
  void InitParams();
  void UpdatePrjHistData();
  void ComputeIdleTime();
  void StartCountForIdle();
  void IdleTimerEvent(THMRGlobalTimer& Sender);

  // Keeping every second between saves. The data file beside the project changes only when it
  // closes (or when the dialog saves its settings); until then the running session is
  // checkpointed into the project's recovery file in the user's state folder (HMRRecovery.h),
  // by the project group at every checkpoint interval.
  //
  // Brings the running session up to date now (work and idle as they stand) and writes it
  // with the whole history to the recovery file. Does nothing for a closed project or one
  // whose data file is not kept on disk. When the recovery file cannot be written it fails
  // with the CrashProtectionOff message (naming the project, the recovery file and why);
  // tracking goes on and the next call tries again.
  void Checkpoint();
  // True while the group must go on checkpointing the project: it runs, its data file is kept
  // on disk, and it is worked on, or idle for less than IdleCheckpointHorizon, or changed
  // (user, settings, name) since its last checkpoint.
  bool NeedsCheckpoints() const;
  // True when the project turned idle since its last checkpoint: that checkpoint holds as
  // work the time since the last activity, which is idle time now. The group checkpoints it
  // at its next beat rather than at its next round.
  bool CheckpointUrgent() const { return idleTurnUnsaved_ && State == hmIdle; }
  // True when the project is closed but the save of its history failed: it still holds it.
  bool HasUnsavedHistory() const { return historyUnsaved_; }
  // True when the project's recovery file holds its history (written or merged by it).
  bool HistoryInRecoveryFile() const { return keptInRecovery_; }

  // The data file (uHMRProjectFile.cpp).
  bool LoadFile();
  void OpenFile(const std::string& FileName);
  // OpenFile of a file read already: its contents, or its read error passed on.
  void OpenFile(DataFileRead&& ReadAhead);
  // Writes the project's settings, name and sessions to FileName unless the path is excluded
  // or has no folder. Another tracker may have written the file since this project read it
  // (or wrote it): then the file as it is now is merged with the project (DataFileSave.h), the
  // project takes the merged history (keeping its running session last), and the merge's notes
  // are told through the group. Fails with the save error; a file on disk that does not read
  // is left as it is, and so is the project.
  void SaveFile(const std::string& FileName);
  std::string UnhandledPath() const;

  // Queries (uHMRQueries.cpp); they read the project and change nothing in it.
  // One session line per session, in list order, written from index 0 (Append false: Count
  // becomes the session count) or after the lines already in QR (Append true). Vision is kept.
  void GetQRFromSessionQuery(TQueryResult& QR, bool Append) const;
  // The sessions, grouped and then sorted as the tracker dialog's three lists choose.
  TQueryResult ExecuteQuery(TProjectGroupByMode GroupBy, TSortByMode SortBy,
                            TSortOrder SortOrder) const;

  THMRState State = hmClosed;
  std::int32_t IdleTimerHandle = 0;
  std::string FileName;
  std::string ProjectName;
  TDateTime DateTimeOpen = 0;
  TDateTime DateTimeClose = 0;
  std::int64_t IdleTime = 0;
  // Seconds on the scale of ConvertDateTimeToSeconds up to which idle time has been counted.
  std::int64_t IdleStart = 0;
  std::int64_t TimeForIdle = DefaultTimeForIdle;
  std::int64_t MinimumWorkTime = DefaultMinimumWorkTime;
  bool Modified = false;
  THMRProjectGroup* ProjectGroup = nullptr;  // not owned
  std::vector<TSessionData> Sessions;  // oldest first
  std::int64_t TotalWorkTime = 0;
  std::int64_t TotalIdleTime = 0;
  std::int64_t TotalTime = 0;

 private:
  // DataFileOpened, reading the file now unless `readAhead` holds its read.
  void openDataFile(std::string_view FileName, DataFileRead* readAhead);
  // Adds what the recovery files of the data file hold (a session whose host ended without
  // closing it, a history whose save failed), read right after the data file. With `takeOver`
  // (a project whose close saves its history) the files of ended trackers become this
  // process's, so that no other tracker recovers them too.
  void mergeRecoveredHistory(bool dataFileRead, bool takeOver);
  // Saves to `path` through saveDataFile; `merged` receives the merge when there was one, and
  // its notes are told.
  void saveHistory(const std::string& path, std::optional<MergedHistory>& merged);
  // The project takes the history a save merged: its settings, name and sessions, the running
  // session kept last.
  void adoptMergedHistory(MergedHistory& merged);
  // Notes a change for the next checkpoint and wakes the group's heartbeat.
  void markChanged();
  // Saves a closed project's history; see ProjectClosed.
  void saveClosedHistory();
  // True when a data file at `path` is read and written (not excluded, with a folder).
  bool storesDataFile(const std::string& path) const;
  // Removes the temporary files that saves of data files killed half way left in the data
  // file's folder and in the recovery folder (only those of processes that no longer run).
  void removeLeftoverSaves() const;

  // nowTrunc for the running session. When the clock was set since the last reading (forward
  // or back: a correction, a step of the network time, a daylight-saving change), the
  // session's open time and idle start move by as much, so that they read as the same
  // instants on the clock as it is now: the session keeps exactly the time that passed, its
  // total and idle time never turn negative and a clock set forward adds no work.
  TDateTime readClock();

  // The threshold the countdown was last armed with (0 when disarmed).
  std::int64_t armedThreshold_ = 0;
  // The last reading of the clock by readClock: the date-time in seconds (the scale of
  // ConvertDateTimeToSeconds) and the clock's time passed (Clock::elapsedSeconds).
  bool hasClockReading_ = false;
  std::int64_t lastClockReading_ = 0;
  double lastElapsed_ = 0;
  // The clock's time passed when the running idle stretch began.
  double idleSince_ = 0;
  bool checkpointDue_ = false;   // something changed since the last checkpoint
  bool idleTurnUnsaved_ = false;  // turned idle since the last checkpoint
  bool keptInRecovery_ = false;  // the recovery file holds this project's history
  bool historyUnsaved_ = false;  // closed, but the save of its history failed
  // The data file as this project last read or wrote it: the common history of a save that
  // finds the file changed by another tracker.
  DataFileBase dataFileBase_;
};

}  // namespace hmr
