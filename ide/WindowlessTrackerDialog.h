// SPDX-License-Identifier: MIT
// The tracker dialog of an IDE without windows: showing it writes, to the IDE's output, the
// text report of what the dialog would show when it opens, then it closes at once. The user
// dialog is the core's windowless one.
#pragma once

#include <functional>
#include <string>

#include "core/WindowlessTrackerUi.h"

namespace hmr {

class THMRProjectGroup;

class WindowlessTrackerDialog final : public WindowlessTrackerUi {
 public:
  // Builds the report text for the group; empty writes nothing.
  using ReportBuilder = std::function<std::string(THMRProjectGroup& group)>;
  using Output = std::function<void(const std::string& text)>;

  // `output` receives the report text; `report` builds it (defaultTrackerReport when empty).
  explicit WindowlessTrackerDialog(Output output, ReportBuilder report = {});

  void showTrackerDialog(THMRProjectGroup& group, bool standAlone,
                         const std::string& fileToOpen) override;

  int timesShown() const { return shown_; }

 private:
  Output output_;
  ReportBuilder report_;
  int shown_ = 0;
};

// The host label and the version line that the dialog shows, each ended by CR LF, and an
// empty line: "For Delphi 5", "Host Version 2.0 - Kernel Version 2.0".
std::string trackerDialogTitle(const THMRProjectGroup& group);

// The dialog's title lines and the text report of the grid it shows when it opens: the active
// project's sessions (the whole group when none is active), one line per session, ascending,
// in hours, with the user column.
std::string defaultTrackerReport(THMRProjectGroup& group);

}  // namespace hmr
