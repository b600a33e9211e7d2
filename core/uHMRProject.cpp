// SPDX-License-Identifier: MIT
#include "core/uHMRProject.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

#include "core/DataFileReadAhead.h"
#include "core/HMRFileIO.h"
#include "core/HMRMerge.h"
#include "core/HMRRecovery.h"
#include "core/PathText.h"
#include "core/uHMRProjectGroup.h"
#include "core/uHMRMessages.h"
#include "core/uHMRTimer.h"
#include "platform/Clock.h"
#include "platform/HmrError.h"

namespace hmr {
namespace {

THMRGlobalTimer& globalTimer() {
  if (!TimerGlobal) throw HmrError("The global timer is not running");
  return *TimerGlobal;
}

}  // namespace

void TSessionData::setSessionDateTimeOpen(TDateTime Value) {
  if (Value == SessionDateTimeOpen) return;
  SessionDateTimeOpen = Value;
  UpdateCalculatedFields();
}

void TSessionData::setSessionDateTimeClose(TDateTime Value) {
  if (Value == SessionDateTimeClose) return;
  SessionDateTimeClose = Value;
  UpdateCalculatedFields();
}

void TSessionData::UpdateCalculatedFields() {
  SessionTotalTime = GetDifInSeconds(SessionDateTimeOpen, SessionDateTimeClose);
  if (SessionIdleTime > SessionTotalTime) SessionIdleTime = SessionTotalTime;
  SessionWorkTime = SessionTotalTime - SessionIdleTime;
}

bool DroppedAsShort(const TSessionData& session, std::int64_t minimum) {
  return session.SessionWorkTime < minimum && !session.SessionNotClosed;
}

THMRProject::THMRProject() {
  IdleTimerHandle = globalTimer().Add([this](THMRGlobalTimer& s) { IdleTimerEvent(s); }, 0);
  InitParams();
}

THMRProject::~THMRProject() {
  if (TimerGlobal) TimerGlobal->Delete(IdleTimerHandle);
  ClearSessions();
}

void THMRProject::InitParams() {
  State = hmClosed;
  Modified = false;
  DateTimeOpen = 0;
  DateTimeClose = 0;
  IdleTime = 0;
  IdleStart = 0;
  TimeForIdle = DefaultTimeForIdle;
  MinimumWorkTime = DefaultMinimumWorkTime;
  ClearSessions();
  TotalWorkTime = 0;
  TotalIdleTime = 0;
  TotalTime = 0;
  checkpointDue_ = false;
  idleTurnUnsaved_ = false;
  keptInRecovery_ = false;
  historyUnsaved_ = false;
  dataFileBase_ = {};
  StartCountForIdle();
}

std::string THMRProject::GetHMRName() const {
  if (!isBlank(ProjectName)) return ProjectName;
  return extractBaseName(FileName);
}

void THMRProject::SetTimeForIdle(std::int64_t Seconds) {
  // The running countdown keeps its count; the new threshold applies from the next activity.
  if (Seconds == TimeForIdle) return;
  TimeForIdle = Seconds;
  markChanged();
}

void THMRProject::SetMinimumWorkTime(std::int64_t Seconds) {
  if (Seconds == MinimumWorkTime) return;
  MinimumWorkTime = Seconds;
  markChanged();
  DeleteMinimumSessions(State == hmClosed);  // an open project spares its running session
  UpdatePrjHistData();
}

std::int32_t THMRProject::getSessionCount() const {
  return static_cast<std::int32_t>(Sessions.size());
}

const TSessionData* THMRProject::getSessionData(std::int32_t Index) const {
  if (Index < 0 || Index >= getSessionCount()) return nullptr;
  return &Sessions[static_cast<std::size_t>(Index)];
}

TSessionData* THMRProject::getSessionData(std::int32_t Index) {
  return const_cast<TSessionData*>(std::as_const(*this).getSessionData(Index));
}

void THMRProject::AddSession(TDateTime Open, TDateTime Close, bool NotClosed,
                             std::int64_t IdleTime) {
  TSessionData& session = Sessions.emplace_back();
  session.SessionDateTimeOpen = Open;
  session.SessionDateTimeClose = Close;
  session.SessionNotClosed = NotClosed;
  session.SessionIdleTime = IdleTime;
  session.UpdateCalculatedFields();
  UpdatePrjHistData();
}

void THMRProject::DeleteMinimumSessions(bool IncludeLast) {
  // One pass that keeps the order of the survivors: erasing one session at a time would cost
  // the square of the number dropped on a long history.
  const auto end = IncludeLast || Sessions.empty() ? Sessions.end() : Sessions.end() - 1;
  const auto kept = std::remove_if(Sessions.begin(), end, [this](const auto& s) {
    return DroppedAsShort(s, MinimumWorkTime);
  });
  Sessions.erase(kept, end);
}

void THMRProject::ClearSessions() { Sessions.clear(); }

void THMRProject::UpdatePrjHistData() {
  TotalTime = 0;
  TotalWorkTime = 0;
  TotalIdleTime = 0;
  for (const auto& s : Sessions) {
    TotalTime += s.SessionTotalTime;
    TotalWorkTime += s.SessionWorkTime;
    TotalIdleTime += s.SessionIdleTime;
  }
}

void THMRProject::StartCountForIdle() {
  armedThreshold_ = State != hmClosed ? TimeForIdle : 0;
  if (!TimerGlobal) return;  // only while the package unloads
  TimerGlobal->SetSecondsForNextEvent(IdleTimerHandle, armedThreshold_);
}

void THMRProject::IdleTimerEvent(THMRGlobalTimer& Sender) {
  Sender.SetSecondsForNextEvent(IdleTimerHandle, 0);
  // The countdown ran out one armed threshold after the last activity (up to one tick later).
  // The threshold it was armed with counts, not the current one: the dialog may have changed
  // TimeForIdle while the countdown ran.
  IdleStart = ConvertDateTimeToSeconds(readClock()) - armedThreshold_;
  idleSince_ = currentClock().elapsedSeconds() - static_cast<double>(armedThreshold_);
  State = hmIdle;
  idleTurnUnsaved_ = true;
  markChanged();
}

void THMRProject::ComputeIdleTime() {
  if (State != hmIdle) return;
  // Count the running stretch up to now and move its start, so that bringing the session up
  // to date any number of times counts nothing twice.
  const std::int64_t now = ConvertDateTimeToSeconds(readClock());
  IdleTime += now - IdleStart;
  IdleStart = now;
}

TDateTime THMRProject::readClock() {
  const TDateTime now = nowTrunc();
  const double elapsed = currentClock().elapsedSeconds();
  const std::int64_t seconds = ConvertDateTimeToSeconds(now);
  // Only on the date-time scale's linear side: before 1899-12-30 its fraction counts the time
  // of day backwards, and no clock the tracker follows reads there.
  if (State != hmClosed && hasClockReading_ && now >= 0 && DateTimeOpen >= 0) {
    // Where the clock would read had it only moved with the time that passed. Readings are cut
    // to whole seconds, so a difference of up to one second is the cut, not a clock set.
    const double shift =
        static_cast<double>(seconds - lastClockReading_) - (elapsed - lastElapsed_);
    if (std::abs(shift) > 1.0) {
      // The running session's anchors move with the clock, so that they read as the same
      // instants on it as it is now: the session keeps exactly the time that passed.
      // The open time stays on the scale's linear side, at 1899-12-30 00:00 at the earliest.
      const std::int64_t by =
          std::max<std::int64_t>(std::llround(shift), -ConvertDateTimeToSeconds(DateTimeOpen));
      DateTimeOpen = std::max(0.0, DateTimeOpen + static_cast<double>(by) / 86400.0);
      IdleStart += by;
    }
  }
  hasClockReading_ = true;
  lastClockReading_ = seconds;
  lastElapsed_ = elapsed;
  return now;
}

void THMRProject::ActivityDetected() {
  if (State == hmClosed) return;
  markChanged();
  if (State == hmIdle) {
    ComputeIdleTime();
    State = hmOpen;
  }
  StartCountForIdle();
}

void THMRProject::UpdateProject(bool Closing) {
  if (Sessions.empty()) return;
  if (State != hmClosed) ComputeIdleTime();
  TSessionData& last = Sessions.back();
  const TDateTime close = readClock();
  last.SessionDateTimeOpen = DateTimeOpen;
  last.SessionDateTimeClose = close;
  if (Closing) DateTimeClose = close;
  last.SessionNotClosed = !Closing;
  last.SessionIdleTime = IdleTime;
  last.UpdateCalculatedFields();
  UpdatePrjHistData();
}

void THMRProject::SetCurrentUserName(std::string_view Name) {
  if (Sessions.empty() || State == hmClosed) return;
  Sessions.back().SessionUserName = Name;
  markChanged();
}

void THMRProject::AutoSave() {
  if (State != hmOpen) return;
  UpdateProject(false);
  SaveFile(FileName);
}

void THMRProject::ProjectOpened(std::string_view FileName, std::string_view Name,
                                bool StartSession) {
  if (State != hmClosed) throw HmrError(std::string(CannotOpenNotClosed));
  this->FileName = changeFileExt(FileName, ".HMR");
  ProjectName = Name;
  removeLeftoverSaves();
  // Only a project whose close saves its history takes over what ended trackers left.
  mergeRecoveredHistory(LoadFile(), StartSession);
  if (!StartSession) return;
  hasClockReading_ = false;
  State = hmOpen;
  DateTimeOpen = readClock();
  IdleTime = 0;
  StartCountForIdle();
  AddSession(DateTimeOpen, DateTimeOpen, true, 0);
  markChanged();
}

void THMRProject::DataFileOpened(std::string_view FileName) {
  openDataFile(FileName, nullptr);
}

void THMRProject::DataFileOpened(std::string_view FileName, DataFileRead&& ReadAhead) {
  openDataFile(FileName, &ReadAhead);
}

void THMRProject::openDataFile(std::string_view FileName, DataFileRead* readAhead) {
  if (State != hmClosed) throw HmrError(std::string(CannotOpenNotClosed));
  InitParams();
  this->FileName = FileName;
  ProjectName.clear();
  removeLeftoverSaves();
  // A file the person named must be there.
  readAhead ? OpenFile(std::move(*readAhead)) : OpenFile(this->FileName);
  mergeRecoveredHistory(true, false);
}

void THMRProject::ProjectRenamed(std::string_view NewFileName) {
  if (State == hmClosed) return;
  std::string renamed = changeFileExt(NewFileName, ".HMR");
  // The recovery file follows the project, so that nothing is left under the old name.
  if (keptInRecovery_ && !moveRecoveryFile(FileName, renamed)) {
    removeRecoveryFile(FileName);
    keptInRecovery_ = false;
  }
  FileName = std::move(renamed);
  markChanged();
}

void THMRProject::ProjectClosed() {
  if (State == hmIdle) ComputeIdleTime();
  if (State != hmClosed) {
    DateTimeClose = readClock();
    State = hmClosed;
    StartCountForIdle();
    UpdateProject(true);
    historyUnsaved_ = true;
    markChanged();  // a failed save is retried at the group's next checkpoint round
  }
  std::optional<HmrSaveNotConfirmed> notConfirmed;
  if (historyUnsaved_) {
    try {
      saveClosedHistory();
    } catch (const HmrSaveNotConfirmed& e) {
      notConfirmed = e;  // the file is in place: the project is reset as after a save
    }
  }
  FileName.clear();
  ProjectName.clear();
  InitParams();
  if (notConfirmed) throw *notConfirmed;
}

void THMRProject::saveClosedHistory() {
  try {
    // Closed: the project is reset after the save, so it need not take a merged history.
    std::optional<MergedHistory> merged;
    if (storesDataFile(FileName)) saveHistory(FileName, merged);
  } catch (const HmrSaveNotConfirmed&) {
    throw;  // the data file holds the history; the recovery copy stays as a second one
  } catch (const HmrError& e) {
    // The history stays in this closed project, and goes to the recovery file too, so that it
    // outlives the process; the message says where it is.
    std::string where;
    try {
      writeRecoveryFile(FileName, *this);
      keptInRecovery_ = true;
      where = formatMessage(HistoryKeptIn, {recoveryFileFor(FileName)});
    } catch (const std::exception& recovery) {
      where = formatMessage(HistoryKeptInMemory, {recovery.what()});
    }
    throw HmrError(std::string(e.what()) + "\n" + where);
  }
  if (keptInRecovery_) removeRecoveryFile(FileName);
  keptInRecovery_ = false;
  historyUnsaved_ = false;
}

void THMRProject::markChanged() {
  checkpointDue_ = true;
  if (ProjectGroup) ProjectGroup->WakeHeartbeat();
}

bool THMRProject::NeedsCheckpoints() const {
  if (State == hmClosed || !storesDataFile(FileName)) return false;
  if (State == hmOpen || checkpointDue_) return true;
  return currentClock().elapsedSeconds() - idleSince_ < static_cast<double>(IdleCheckpointHorizon);
}

void THMRProject::Checkpoint() {
  if (State == hmClosed) return;
  if (!storesDataFile(FileName)) {
    checkpointDue_ = false;  // nothing of this project is kept on disk
    idleTurnUnsaved_ = false;
    return;
  }
  UpdateProject(false);
  try {
    writeRecoveryFile(FileName, *this);
  } catch (const HmrSaveNotConfirmed&) {
    keptInRecovery_ = true;  // the file is in place; only its flush to disk is unconfirmed
    checkpointDue_ = false;
    idleTurnUnsaved_ = false;
    throw;
  } catch (const HmrSaveFailed& e) {
    idleTurnUnsaved_ = false;  // tried again at the next round, not at every beat
    // Not the failed save of the data file: that one is written when the project closes.
    const std::string recovery = recoveryFileFor(FileName);
    throw HmrError(formatMessage(CrashProtectionOff, {GetHMRName(),
                                                      recovery.empty() ? "(none)" : recovery,
                                                      e.cause(), FileName}));
  }
  keptInRecovery_ = true;
  checkpointDue_ = false;
  idleTurnUnsaved_ = false;
}

}  // namespace hmr
