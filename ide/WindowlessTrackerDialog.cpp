// SPDX-License-Identifier: MIT
#include "ide/WindowlessTrackerDialog.h"

#include <utility>

#include "core/GridCells.h"
#include "core/uHMRExport.h"
#include "core/uHMRProjectGroup.h"

namespace hmr {

WindowlessTrackerDialog::WindowlessTrackerDialog(Output output, ReportBuilder report)
    : output_(std::move(output)),
      report_(report ? std::move(report) : ReportBuilder(defaultTrackerReport)) {}

void WindowlessTrackerDialog::showTrackerDialog(THMRProjectGroup& group, bool,
                                                const std::string&) {
  ++shown_;
  // The dialog tells the group it is gone however the report ends.
  struct Closer {
    THMRProjectGroup& group;
    ~Closer() { group.OnDestroyDlg(); }
  } closer{group};
  const std::string text = report_(group);
  if (!text.empty() && output_) output_(text);
}

std::string trackerDialogTitle(const THMRProjectGroup& group) {
  // The dialog's About lines: the host label, then VersionDesc filled with the host version
  // and the kernel version.
  return group.HostDescription + "\r\n" + formatVersionDesc(group.HostVersion) + "\r\n\r\n";
}

std::string defaultTrackerReport(THMRProjectGroup& group) {
  // The dialog's filters when it first opens: by session (by project at group level), sorted
  // by that key, ascending, in hours, with the user column.
  // Building its project tree, the dialog first brings every running session up to date.
  for (std::int32_t i = 0; i < group.getProjectCount(); ++i)
    if (THMRProject* project = group.getProject(i); project->State != hmClosed)
      project->UpdateProject(false);
  ExportHeaderInputs header;
  header.SortOrderText = OrderStrings[soAsc];
  TQueryResult result;
  if (const THMRProject* project = group.getProject(group.ActiveIndex)) {
    result = project->ExecuteQuery(pgSession, sbVariant, soAsc);
    header.ProjectSelected = true;
    header.Projects.push_back({project->GetHMRName(), project->FileName});
    header.GroupByText = Project_GroupByStrings[pgSession];
  } else {
    result = group.ExecuteQuery(ggProject, sbVariant, soAsc);
    for (std::int32_t i = 0; i < group.getProjectCount(); ++i) {
      const THMRProject* each = group.getProject(i);
      header.Projects.push_back({each->GetHMRName(), each->FileName});
    }
    header.GroupByText = Group_GroupByStrings[ggProject];
  }
  header.SortByText = sortByListTexts(header.GroupByText)[sbVariant];
  const GridCells cells(result, header.GroupByText, dtuHour, true);
  return trackerDialogTitle(group) + buildTextReport(GetExportHeader(header), cells);
}

}  // namespace hmr
