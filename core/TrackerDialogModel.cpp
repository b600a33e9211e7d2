// SPDX-License-Identifier: MIT
#include "core/TrackerDialogModel.h"

#include <algorithm>

#include "core/uHMRExport.h"
#include "core/uHMRProject.h"
#include "core/uHMRProjectGroup.h"
#include "core/uHMRTimer.h"

namespace hmr {
namespace {

template <std::size_t N>
std::vector<std::string> texts(const std::array<std::string_view, N>& table) {
  return {table.begin(), table.end()};
}

// The entry at `index`, or "" when there is none (a list with nothing chosen shows no text).
std::string entryAt(const std::vector<std::string>& list, std::int32_t index) {
  return index >= 0 && static_cast<std::size_t>(index) < list.size()
             ? list[static_cast<std::size_t>(index)]
             : std::string();
}

}  // namespace

int statePictureIndex(THMRState state) {
  switch (state) {
    case hmOpen:
      return 1;
    case hmIdle:
      return 2;
    default:
      return 3;
  }
}

const char* stateCaptionName(THMRState state) {
  switch (state) {
    case hmOpen:
      return "OPEN";
    case hmIdle:
      return "IDLE";
    default:
      return "CLOSED";
  }
}

TrackerDialogModel::TrackerDialogModel(THMRProjectGroup* group) : group_(group) {}

TrackerDialogModel::~TrackerDialogModel() { followTicks(nullptr); }

void TrackerDialogModel::detachGroup() {
  group_ = nullptr;
  selected_ = nullptr;
  projectInfo_.show(nullptr);
}

// ---- what is shown ------------------------------------------------------------------------

void TrackerDialogModel::select(THMRProject* project) {
  selected_ = project;
  projectInfo_.show(project);
  TFilterTriple& filter = filterShown();
  for (std::int32_t* index : {&filter.GroupBy, &filter.SortBy, &filter.SortOrder})
    if (*index == -1) *index = 0;
}

TFilterTriple& TrackerDialogModel::filterShown() {
  return selected_ ? projectFilter_ : groupFilter_;
}

const TFilterTriple& TrackerDialogModel::currentFilter() const {
  return selected_ ? projectFilter_ : groupFilter_;
}

std::string TrackerDialogModel::projectCaption() const {
  if (!selected_) return "  Project &Information: Project Group";
  std::string path;
  for (const char c : selected_->FileName) path += c == '&' ? std::string("&&") : std::string(1, c);
  return "  Project &Information: " + path + "(" + stateCaptionName(selected_->State) + ")";
}

std::vector<std::string> TrackerDialogModel::groupByTexts() const {
  return selected_ ? texts(Project_GroupByStrings) : texts(Group_GroupByStrings);
}

std::vector<std::string> TrackerDialogModel::sortByTexts() const {
  const std::vector<std::string> groupings = groupByTexts();
  const std::string grouping = entryAt(groupings, currentFilter().GroupBy);
  const std::array<std::string, 4> sortBy =
      sortByListTexts(grouping.empty() ? groupings.front() : grouping);
  return {sortBy.begin(), sortBy.end()};
}

std::vector<std::string> TrackerDialogModel::orderTexts() { return texts(OrderStrings); }

std::vector<std::string> TrackerDialogModel::everyGroupByText() {
  std::vector<std::string> every = texts(Group_GroupByStrings);
  for (const std::string_view text : Project_GroupByStrings)
    if (std::find(every.begin(), every.end(), text) == every.end()) every.emplace_back(text);
  return every;
}

std::vector<std::string> TrackerDialogModel::everySortByText() {
  std::vector<std::string> every = everyGroupByText();
  const std::array<std::string, 4> keys = sortByListTexts(every.front());
  every.insert(every.end(), keys.begin() + 1, keys.end());
  return every;
}

std::string TrackerDialogModel::groupByText() const {
  return entryAt(groupByTexts(), currentFilter().GroupBy);
}

void TrackerDialogModel::setGroupBy(std::int32_t index) { filterShown().GroupBy = index; }

void TrackerDialogModel::setSortBy(std::int32_t index) { filterShown().SortBy = index; }

void TrackerDialogModel::setSortOrder(std::int32_t index) { filterShown().SortOrder = index; }

// ---- the query ----------------------------------------------------------------------------

void TrackerDialogModel::ExecuteQuery() {
  ClearQueryResult(result_);
  if (!group_) return;
  // Nothing chosen counts as the first entry.
  const TFilterTriple& filter = currentFilter();
  const std::int32_t groupBy = std::max(filter.GroupBy, 0);
  const auto sortBy = static_cast<TSortByMode>(std::clamp(filter.SortBy, 0, 3));
  const auto order = static_cast<TSortOrder>(std::clamp(filter.SortOrder, 0, 1));
  if (selected_) {
    result_ = selected_->ExecuteQuery(static_cast<TProjectGroupByMode>(std::min(groupBy, 4)),
                                      sortBy, order);
  } else {
    result_ = group_->ExecuteQuery(static_cast<TGroupGroupByMode>(std::min(groupBy, 5)), sortBy,
                                   order);
  }
}

std::string TrackerDialogModel::GetExportHeader() const {
  ExportHeaderInputs inputs;
  inputs.ProjectSelected = selected_ != nullptr;
  if (selected_) {
    inputs.Projects.push_back({selected_->GetHMRName(), selected_->FileName});
  } else if (group_) {
    for (std::int32_t i = 0; i < group_->getProjectCount(); ++i) {
      const THMRProject* project = group_->getProject(i);
      inputs.Projects.push_back({project->GetHMRName(), project->FileName});
    }
  }
  const TFilterTriple& filter = currentFilter();
  inputs.GroupByText = groupByText();
  inputs.SortByText = entryAt(sortByTexts(), filter.SortBy);
  inputs.SortOrderText = entryAt(orderTexts(), filter.SortOrder);
  return hmr::GetExportHeader(inputs);
}

std::optional<TrackerDialogModel::LineKey> TrackerDialogModel::lineKey(std::int32_t line) const {
  if (line < 0 || line > result_.Count || (line == result_.Count && result_.Count == 0))
    return std::nullopt;
  LineKey key;
  if (line == result_.Count) {
    key.totals = true;
    return key;
  }
  const TQueryResultLine& l = result_.Lines[static_cast<std::size_t>(line)];
  key.text = l.Text;
  // A session is its project's, opened at one moment by one user; any other line is its text.
  if (result_.Vision != qrvTextCol) {
    key.open = l.DateTimeOpen;
    key.user = l.UserName;
  }
  return key;
}

std::int32_t TrackerDialogModel::findLine(const LineKey& key) const {
  if (key.totals) return result_.Count > 0 ? result_.Count : -1;
  const bool sessions = result_.Vision != qrvTextCol;
  for (std::int32_t k = 0; k < result_.Count; ++k) {
    const TQueryResultLine& l = result_.Lines[static_cast<std::size_t>(k)];
    if (l.Text != key.text) continue;
    if (!sessions ? key.user.empty() && key.open == 0
                  : l.DateTimeOpen == key.open && l.UserName == key.user)
      return k;
  }
  return -1;
}

TQueryResult TrackerDialogModel::widestViewSample(const std::string& userName) {
  TQueryResult sample;
  sample.Vision = qrvOpenCloseCol;
  constexpr std::int64_t kSeconds = 1000 * 3600 / 24;  // 1000 hours in all
  for (int month = 1; month <= 12; ++month) {
    for (const int hour : {12, 23}) {
      TQueryResultLine& line = AppendQueryResultLine(sample);
      line = {};
      line.Text = "Sample";
      line.DateTimeOpen = encodeDateTime(2026, month, 28, hour, 59, 0);
      line.DateTimeClose = line.DateTimeOpen + 0.5;
      line.CloseStatus = month == 12 && hour == 23 ? scsCurrent : scsClosed;
      line.TotalTime = kSeconds;
      line.IdleTime = kSeconds / 3;
      line.WorkTime = kSeconds - kSeconds / 3;
      line.UserName = userName;
    }
  }
  return sample;
}

// ---- the running sessions ---------------------------------------------------------------

void TrackerDialogModel::followTicks(std::function<void()> onTick) {
  onTick_ = std::move(onTick);
  if (!TimerGlobal) {
    tickEvent_ = 0;
    return;
  }
  if (!onTick_) {
    if (tickEvent_ != 0) TimerGlobal->Delete(tickEvent_);
    tickEvent_ = 0;
    return;
  }
  if (tickEvent_ != 0) return;
  tickEvent_ = TimerGlobal->Add(
      [this](THMRGlobalTimer& timer) {
        // Armed again first, so that a failure of the views does not stop the following.
        timer.SetSecondsForNextEvent(tickEvent_, THMRGlobalTimer::MasterInterval);
        if (onTick_) onTick_();
      },
      THMRGlobalTimer::MasterInterval);
}

bool TrackerDialogModel::updateRunningSessions() {
  if (!group_) return false;
  bool any = false;
  for (std::int32_t i = 0; i < group_->getProjectCount(); ++i) {
    THMRProject* project = group_->getProject(i);
    if (project->State == hmClosed) continue;
    project->UpdateProject(false);
    any = true;
  }
  return any;
}

// ---- the remembered view ------------------------------------------------------------------

void TrackerDialogModel::restoreView(const TViewState& view) {
  timeUnit_ = view.TimeUnit;
  showUserName_ = view.ShowUserName;
  groupFilter_ = {view.GroupGroupBy, view.GroupSortBy, view.GroupSortOrder};
  projectFilter_ = {view.ProjectGroupBy, view.ProjectSortBy, view.ProjectSortOrder};
}

void TrackerDialogModel::saveView(TViewState& view) const {
  view.Saved = true;
  view.TimeUnit = timeUnit_;
  view.ShowUserName = showUserName_;
  // The level shown counts nothing chosen as the first entry, as its query did.
  TFilterTriple group = groupFilter_;
  TFilterTriple project = projectFilter_;
  for (std::int32_t* index : {&(selected_ ? project : group).GroupBy,
                              &(selected_ ? project : group).SortBy,
                              &(selected_ ? project : group).SortOrder})
    *index = std::max(*index, 0);
  view.GroupGroupBy = group.GroupBy;
  view.GroupSortBy = group.SortBy;
  view.GroupSortOrder = group.SortOrder;
  view.ProjectGroupBy = project.GroupBy;
  view.ProjectSortBy = project.SortBy;
  view.ProjectSortOrder = project.SortOrder;
}

// ---- the group ----------------------------------------------------------------------------

THMRProject* TrackerDialogModel::openDataFile(const std::string& fileName) {
  if (!group_) return nullptr;
  // The data file is tracked under the very name it has.
  THMRProject* project = group_->AddDataFile(fileName);
  if (project) project->State = hmClosed;
  return project;
}

void TrackerDialogModel::saveIfModified(THMRProject& project) {
  if (!project.Modified) return;
  project.SaveFile(project.FileName);
  project.Modified = false;
}

void TrackerDialogModel::saveModifiedProjects() {
  if (!group_) return;
  // In IDE mode the projects save themselves; in stand-alone mode the dialog saves what it
  // changed.
  for (std::int32_t i = 0; i < group_->getProjectCount(); ++i)
    saveIfModified(*group_->getProject(i));
}

bool TrackerDialogModel::userCanChange() const {
  if (!group_) return false;
  // The hosts whose group asks for the user at start-up (THMRProjectGroup::ShowUserDialog).
  return group_->HostTool > ftViewer;
}

}  // namespace hmr
