// SPDX-License-Identifier: MIT
// The tracker dialog's state, apart from its widgets: what is shown (the project group, or one
// project of it), the filter choices of each of those two levels, the time unit and the
// user-name column, the query result that the dialog's views read, the Project Info page's
// rules, and the view kept from one showing to the next. The widgets show this state and hand
// the user's choices to it; nothing here knows a widget.
//
// The dialog reads the projects only through their queries, and changes them only through
// their two settings, their Modified flag and SaveFile, and the group only through
// AddDataFile, RemoveProject and SetUsername.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/ProjectInfoModel.h"
#include "core/uHMRGlobal.h"
#include "core/uHMRProject.h"

namespace hmr {

class THMRProjectGroup;

// Indexes into the filter lists of one level: the grouping, the sort key, the sort order.
// -1 means that nothing is chosen; it counts as 0.
struct TFilterTriple {
  std::int32_t GroupBy = 0;
  std::int32_t SortBy = 0;
  std::int32_t SortOrder = 0;
};

// The dialog's view settings, kept from one showing to the next, in memory only, by whoever
// shows the dialog: the filters of both levels, the time unit, the user-name column, the
// dialog's bounds and the tree pane's width.
struct TViewState {
  bool Saved = false;
  std::int32_t GroupGroupBy = 0, GroupSortBy = 0, GroupSortOrder = 0;
  std::int32_t ProjectGroupBy = 0, ProjectSortBy = 0, ProjectSortOrder = 0;
  TDispTimeUnit TimeUnit = dtuHour;
  bool ShowUserName = true;
  std::int32_t Left = 0, Top = 0, Width = 0, Height = 0;
  std::int32_t TreeWidth = 0;
};

// The picture of a project's state in the tree: 1 open, 2 idle, 3 closed (0 is the group's).
int statePictureIndex(THMRState state);
// The state's name in the Project Info caption: "CLOSED", "OPEN", "IDLE".
const char* stateCaptionName(THMRState state);

class TrackerDialogModel final {
 public:
  // `group` (not owned) must outlive the model or be detached first; null shows nothing.
  explicit TrackerDialogModel(THMRProjectGroup* group);
  ~TrackerDialogModel();
  TrackerDialogModel(const TrackerDialogModel&) = delete;
  TrackerDialogModel& operator=(const TrackerDialogModel&) = delete;

  THMRProjectGroup* group() const { return group_; }
  // The group is going away: nothing reaches it any more.
  void detachGroup();

  // Stand-alone mode: the user opens and closes data files, and the dialog saves them.
  bool standAlone() const { return standAlone_; }
  void setStandAlone(bool value) { standAlone_ = value; }

  // ---- what is shown ----
  // The project shown, or null for the group.
  THMRProject* selectedProject() const { return selected_; }
  // Shows `project` (null: the group) with the filters of its level; the Project Info rules
  // take it up.
  void select(THMRProject* project);
  const TFilterTriple& groupFilter() const { return groupFilter_; }
  const TFilterTriple& projectFilter() const { return projectFilter_; }
  // The filters of the level shown.
  const TFilterTriple& currentFilter() const;
  // The caption over the pages: "  Project &Information: " and what is shown. "&" marks the
  // accelerator, so an "&" of the file's path is written "&&" (shown as one "&").
  std::string projectCaption() const;

  // ---- the filter lists of the level shown, and the user's choices ----
  std::vector<std::string> groupByTexts() const;
  // The sort keys, the first one named after the grouping chosen.
  std::vector<std::string> sortByTexts() const;
  static std::vector<std::string> orderTexts();
  // Every text the grouping list, or the sort list, can hold at either level.
  static std::vector<std::string> everyGroupByText();
  static std::vector<std::string> everySortByText();
  // The grouping chosen ("" when none is).
  std::string groupByText() const;
  // A new grouping keeps the sort key and the order chosen.
  void setGroupBy(std::int32_t index);
  void setSortBy(std::int32_t index);
  void setSortOrder(std::int32_t index);
  TDispTimeUnit timeUnit() const { return timeUnit_; }
  void setTimeUnit(TDispTimeUnit unit) { timeUnit_ = unit; }
  bool showUserName() const { return showUserName_; }
  void setShowUserName(bool show) { showUserName_ = show; }

  // ---- the query ----
  // Runs the query of what is shown with the filters of its level; its result replaces the
  // previous one, which no view may read any longer. Without a group the result is empty.
  void ExecuteQuery();
  // The last query's result: what the History grid, and any other view, shows.
  const TQueryResult& queryResult() const { return result_; }
  // The exported report's header: what is shown and the filter chosen.
  std::string GetExportHeader() const;

  // What a line of the result stands for, so that a new query finds it again: a session (its
  // project's name, open time and user), a group line (its text), or the totals row, which
  // is line Count.
  struct LineKey {
    bool totals = false;
    std::string text;
    TDateTime open = 0;
    std::string user;
    bool operator==(const LineKey&) const = default;
  };
  // The key of line `line` (0 .. Count, Count being the totals row); none outside, and none
  // for the totals row of an empty result.
  std::optional<LineKey> lineKey(std::int32_t line) const;
  // The line of the current result with that key (Count for the totals row), or -1.
  std::int32_t findLine(const LineKey& key) const;
  // The lines that the widest grid (sessions with their user) must show in full: sessions of
  // `userName` on the 28th of every month at 12:59 and at 23:59 (every month's name, both
  // halves of the day), one still running, 1000 hours in all.
  static TQueryResult widestViewSample(const std::string& userName);

  // ---- the running sessions ----
  // While the model lives, `onTick` runs at every tick of the global timer (every 15 s), so
  // that the running sessions' figures shown follow the time; null stops it. Without a global
  // timer nothing runs. What `onTick` raises goes to the timer's caller.
  void followTicks(std::function<void()> onTick);
  // Brings every running session of the group up to the present (as the tree does); false
  // when no project of the group is open.
  bool updateRunningSessions();

  // ---- the remembered view ----
  // Takes the filters of both levels, the time unit and the user-name choice of `view`.
  void restoreView(const TViewState& view);
  // Writes them into `view` and marks it saved; the bounds are the window's business.
  void saveView(TViewState& view) const;

  // ---- the group ----
  // Tracks the data file `fileName` under that very name, closed, for viewing. Null when it is
  // already tracked or there is no group; a failed read passes its error on.
  THMRProject* openDataFile(const std::string& fileName);
  // Saves `project` when it was changed here, and clears its Modified flag.
  static void saveIfModified(THMRProject& project);
  // Saves every modified project of the group (stand-alone mode, when the dialog closes).
  void saveModifiedProjects();
  // Whether the host lets the user change the user name and the start-up question: every
  // host that asks at start-up (the IDEs: Delphi 4 and 5, Visual Basic 6, Lazarus), not the
  // viewer.
  bool userCanChange() const;

  ProjectInfoModel& projectInfo() { return projectInfo_; }
  const ProjectInfoModel& projectInfo() const { return projectInfo_; }

 private:
  TFilterTriple& filterShown();

  THMRProjectGroup* group_;
  bool standAlone_ = false;
  THMRProject* selected_ = nullptr;
  TFilterTriple groupFilter_;
  TFilterTriple projectFilter_;
  TDispTimeUnit timeUnit_ = dtuHour;
  bool showUserName_ = true;
  TQueryResult result_;
  ProjectInfoModel projectInfo_;
  std::function<void()> onTick_;
  std::int32_t tickEvent_ = 0;  // the event in TimerGlobal, 0 without one
};

}  // namespace hmr
