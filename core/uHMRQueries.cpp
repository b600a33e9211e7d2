// SPDX-License-Identifier: MIT
// The queries behind the tracker dialog's grid: session lines of a project, one line per
// project of the group, and the grouping and sorting that the dialog's three lists choose.
#include <algorithm>
#include <optional>
#include <span>
#include <vector>

#include "core/SessionFold.h"
#include "core/uHMRProject.h"
#include "core/uHMRProjectGroup.h"
#include "platform/MemoryAdvice.h"

namespace hmr {
namespace {

// What one grouping choice does to a list of session lines.
struct Grouping {
  TQueryResultVision vision;
  bool folds;
  TSortCompareMode sortBeforeFold;  // always ascending, over the whole result
  TFuncGroupByMode fold;
  TSortCompareMode variantKey;      // the key that sbVariant sorts by
};

// A value outside the enumeration lists the sessions, as the first choice does.
Grouping projectGrouping(TProjectGroupByMode mode) {
  switch (mode) {
    case pgUsername:
      return {qrvTextCol, true, scUserName, fgUsername, scText};
    case pgDay:
      return {qrvTextCol, true, scSession, fgDay, scSession};
    case pgWeek:
      return {qrvTextCol, true, scSession, fgWeek, scSession};
    case pgMonth:
      return {qrvTextCol, true, scSession, fgMonth, scSession};
    default:
      return {qrvOpenCloseCol, false, scSession, fgSession, scSession};
  }
}

// The group's choices past ggProject are the project's, one position further on.
Grouping groupGrouping(TGroupGroupByMode mode) {
  return projectGrouping(static_cast<TProjectGroupByMode>(static_cast<int>(mode) - 1));
}

// sbVariant sorts by the grouping's own key; the others by the sort-by value plus one
// (sbTotalTime -> scTotalTime, sbIdleTime -> scIdleTime, sbWorkTime -> scWorkTime).
TSortCompareMode finalSortKey(TSortByMode sortBy, TSortCompareMode variantKey) {
  if (sortBy == sbVariant) return variantKey;
  return static_cast<TSortCompareMode>(static_cast<int>(sortBy) + 1);
}

// Room for `count` lines in one allocation. A result of many sessions takes megabytes that are
// all written at once, so they are asked for in huge pages.
void reserveLines(TQueryResult& qr, std::size_t count) {
  qr.Lines.reserve(count);
  adviseHugePages(qr.Lines.data(), qr.Lines.capacity() * sizeof(TQueryResultLine));
}

void sortWhole(TQueryResult& qr, TSortCompareMode key, TSortOrder order) {
  SortQR(qr, 0, qr.Count - 1, key, order);
}

// What the grouping shows of the sessions of `projects`, sorted: their session lines, or those
// lines sorted by the fold's key and folded. A fold is taken straight from the sessions where
// that gives the same lines (foldSessions), which spares a line per session.
TQueryResult groupAndSort(std::span<const THMRProject* const> projects,
                          const Grouping& grouping, TSortByMode sortBy, TSortOrder sortOrder) {
  std::optional<TQueryResult> folded;
  if (grouping.folds) folded = foldSessions(projects, grouping.fold);
  TQueryResult qr;
  if (folded) {
    qr = std::move(*folded);
  } else {
    // One allocation for every project's lines: no line is moved while they are appended.
    std::size_t sessions = 0;
    for (const THMRProject* project : projects) {
      sessions += static_cast<std::size_t>(project->getSessionCount());
    }
    reserveLines(qr, sessions);
    for (const THMRProject* project : projects) project->GetQRFromSessionQuery(qr, true);
    qr.Vision = grouping.vision;
    if (grouping.folds) {
      sortWhole(qr, grouping.sortBeforeFold, soAsc);
      qr = GroupQRBy(qr, grouping.fold);
    }
  }
  sortWhole(qr, finalSortKey(sortBy, grouping.variantKey), sortOrder);
  return qr;
}

// Gives Lines exactly `count` slots; the storage grows geometrically, so that appending the
// sessions of many projects one after the other stays linear.
void setLineSlots(TQueryResult& qr, std::int32_t count) {
  const auto wanted = static_cast<std::size_t>(count);
  if (wanted > qr.Lines.capacity()) {
    reserveLines(qr, std::max(wanted, qr.Lines.capacity() * 2));
  }
  qr.Lines.resize(wanted);
}

}  // namespace

void THMRProject::GetQRFromSessionQuery(TQueryResult& QR, bool Append) const {
  const std::int32_t n = getSessionCount();
  const std::int32_t first = Append ? QR.Count : 0;
  QR.Count = first + n;
  setLineSlots(QR, QR.Count);
  const std::string name = GetHMRName();
  for (std::int32_t k = 0; k < n; ++k) {
    const TSessionData& session = *getSessionData(k);
    TQueryResultLine& line = QR.Lines[static_cast<std::size_t>(first + k)];
    line.Text = name;
    line.DateTimeOpen = session.SessionDateTimeOpen;
    if (!session.SessionNotClosed) {
      line.DateTimeClose = session.SessionDateTimeClose;
      line.CloseStatus = scsClosed;
    } else {
      // Only the last session of a project that is open now is still running; an earlier
      // one, or one of a closed project, lost its host before it was closed.
      line.DateTimeClose = 0;
      line.CloseStatus = (k == n - 1 && State != hmClosed) ? scsCurrent : scsNotClosed;
    }
    line.TotalTime = session.SessionTotalTime;
    line.IdleTime = session.SessionIdleTime;
    line.WorkTime = session.SessionWorkTime;
    line.UserName = session.SessionUserName;
  }
}

TQueryResult THMRProject::ExecuteQuery(TProjectGroupByMode GroupBy, TSortByMode SortBy,
                                       TSortOrder SortOrder) const {
  const THMRProject* const self = this;
  return groupAndSort({&self, 1}, projectGrouping(GroupBy), SortBy, SortOrder);
}

TQueryResult THMRProjectGroup::ExecProjectQuery(TSortByMode SortBy, TSortOrder SortOrder) const {
  TQueryResult qr;
  qr.Vision = qrvTextCol;
  qr.Count = getProjectCount();
  qr.Lines.resize(static_cast<std::size_t>(qr.Count));
  for (std::int32_t i = 0; i < qr.Count; ++i) {
    const THMRProject& project = *getProject(i);
    TQueryResultLine& line = qr.Lines[static_cast<std::size_t>(i)];
    line.Text = project.GetHMRName();
    line.TotalTime = project.TotalTime;
    line.IdleTime = project.TotalIdleTime;
    line.WorkTime = project.TotalWorkTime;
  }
  sortWhole(qr, finalSortKey(SortBy, scText), SortOrder);
  return qr;
}

TQueryResult THMRProjectGroup::ExecuteQuery(TGroupGroupByMode GroupBy, TSortByMode SortBy,
                                            TSortOrder SortOrder) const {
  if (GroupBy == ggProject) return ExecProjectQuery(SortBy, SortOrder);
  std::vector<const THMRProject*> projects;
  for (std::int32_t i = 0; i < getProjectCount(); ++i) projects.push_back(getProject(i));
  return groupAndSort(projects, groupGrouping(GroupBy), SortBy, SortOrder);
}

}  // namespace hmr
