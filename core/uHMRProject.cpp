// SPDX-License-Identifier: MIT
#include "core/uHMRProject.h"

#include <algorithm>

#include "core/PathText.h"
#include "core/uHMRMessages.h"
#include "core/uHMRTimer.h"
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
  StartCountForIdle();
}

std::string THMRProject::GetHMRName() const {
  if (!isBlank(ProjectName)) return ProjectName;
  return extractBaseName(FileName);
}

void THMRProject::SetTimeForIdle(std::int64_t Seconds) {
  // The running countdown keeps its count; the new threshold applies from the next activity.
  if (Seconds != TimeForIdle) TimeForIdle = Seconds;
}

void THMRProject::SetMinimumWorkTime(std::int64_t Seconds) {
  if (Seconds == MinimumWorkTime) return;
  MinimumWorkTime = Seconds;
  DeleteMinimumSessions(State == hmClosed);  // an open project spares its running session
  UpdatePrjHistData();
}

std::int32_t THMRProject::getSessionCount() const {
  return static_cast<std::int32_t>(Sessions.size());
}

TSessionData* THMRProject::getSessionData(std::int32_t Index) const {
  if (Index < 0 || Index >= getSessionCount()) return nullptr;
  return Sessions[static_cast<std::size_t>(Index)].get();
}

void THMRProject::AddSession(TDateTime Open, TDateTime Close, bool NotClosed,
                             std::int64_t IdleTime) {
  auto session = std::make_unique<TSessionData>();
  session->SessionDateTimeOpen = Open;
  session->SessionDateTimeClose = Close;
  session->SessionNotClosed = NotClosed;
  session->SessionIdleTime = IdleTime;
  session->UpdateCalculatedFields();
  Sessions.push_back(std::move(session));
  UpdatePrjHistData();
}

void THMRProject::DeleteMinimumSessions(bool IncludeLast) {
  // One pass that keeps the order of the survivors: erasing one session at a time would cost
  // the square of the number dropped on a long history.
  const auto end = IncludeLast || Sessions.empty() ? Sessions.end() : Sessions.end() - 1;
  const auto kept = std::remove_if(Sessions.begin(), end, [this](const auto& s) {
    return s->SessionWorkTime < MinimumWorkTime;
  });
  Sessions.erase(kept, end);
}

void THMRProject::ClearSessions() { Sessions.clear(); }

void THMRProject::UpdatePrjHistData() {
  TotalTime = 0;
  TotalWorkTime = 0;
  TotalIdleTime = 0;
  for (const auto& s : Sessions) {
    TotalTime += s->SessionTotalTime;
    TotalWorkTime += s->SessionWorkTime;
    TotalIdleTime += s->SessionIdleTime;
  }
}

void THMRProject::StartCountForIdle() {
  if (!TimerGlobal) return;  // only while the package unloads
  TimerGlobal->SetSecondsForNextEvent(IdleTimerHandle, State != hmClosed ? TimeForIdle : 0);
}

void THMRProject::IdleTimerEvent(THMRGlobalTimer& Sender) {
  Sender.SetSecondsForNextEvent(IdleTimerHandle, 0);
  // The countdown ran out one threshold after the last activity (up to one tick later).
  IdleStart = ConvertDateTimeToSeconds(nowTrunc()) - TimeForIdle;
  State = hmIdle;
}

void THMRProject::ComputeIdleTime() {
  if (State != hmIdle) return;
  // Count the running stretch up to now and move its start, so that bringing the session up
  // to date any number of times counts nothing twice.
  const std::int64_t now = ConvertDateTimeToSeconds(nowTrunc());
  IdleTime += now - IdleStart;
  IdleStart = now;
}

void THMRProject::ActivityDetected() {
  if (State == hmClosed) return;
  if (State == hmIdle) {
    ComputeIdleTime();
    State = hmOpen;
  }
  StartCountForIdle();
}

void THMRProject::UpdateProject(bool Closing) {
  if (Sessions.empty()) return;
  if (State != hmClosed) ComputeIdleTime();
  TSessionData& last = *Sessions.back();
  const TDateTime close = nowTrunc();
  last.SessionDateTimeOpen = DateTimeOpen;
  last.SessionDateTimeClose = close;
  if (Closing) DateTimeClose = close;
  last.SessionNotClosed = !Closing;
  last.SessionIdleTime = IdleTime;
  last.UpdateCalculatedFields();
  UpdatePrjHistData();
}

void THMRProject::SetCurrentUserName(std::string_view Name) {
  if (!Sessions.empty() && State != hmClosed) Sessions.back()->SessionUserName = Name;
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
  LoadFile();
  if (!StartSession) return;
  State = hmOpen;
  DateTimeOpen = nowTrunc();
  IdleTime = 0;
  StartCountForIdle();
  AddSession(DateTimeOpen, DateTimeOpen, true, 0);
}

void THMRProject::DataFileOpened(std::string_view FileName) {
  if (State != hmClosed) throw HmrError(std::string(CannotOpenNotClosed));
  this->FileName = FileName;
  ProjectName.clear();
  LoadFile();
}

void THMRProject::ProjectRenamed(std::string_view NewFileName) {
  if (State == hmClosed) return;
  FileName = changeFileExt(NewFileName, ".HMR");
}

void THMRProject::ProjectClosed() {
  if (State == hmIdle) ComputeIdleTime();
  if (State != hmClosed) {
    State = hmClosed;
    StartCountForIdle();
    DateTimeClose = nowTrunc();
    UpdateProject(true);
    SaveFile(FileName);
  }
  FileName.clear();
  ProjectName.clear();
  InitParams();
}

}  // namespace hmr
