// SPDX-License-Identifier: MIT
#include "core/TrackerDialogModel.h"

#include <algorithm>

#include "core/uHMRExport.h"
#include "core/uHMRProject.h"
#include "core/uHMRProjectGroup.h"

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
  return "  Project &Information: " + selected_->FileName + "(" +
         stateCaptionName(selected_->State) + ")";
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
  const THostTool host = group_->HostTool;
  return host == ftDelphi4 || host == ftDelphi5 || host == ftVB6;
}

}  // namespace hmr
