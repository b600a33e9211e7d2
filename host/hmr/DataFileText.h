// SPDX-License-Identifier: MIT
// A data file as lines of text that diff well: two header lines for the file's version, name
// and settings, then one line per session in file order. `hmr dump --text` prints it, and git
// shows data files through it (`hmr dump --textconv`, set up by `hmr git-setup`).
#pragma once

#include <string>

#include "core/HMRFileFormat.h"

namespace hmr::cli {

// The two header lines, each ending in "\n":
//   HMR data file version 2, project "Invoicing"
//   idle threshold 300 s, minimum work time 60 s
std::string dataFileHeaderText(const HmrFileContents& contents);

// One session as a line ending in "\n": open and close (or, for a session not closed, when it
// was last brought up to date), work and idle time, the user name in double quotes, and marks
// for a session not closed and one with less work than `minimumWorkTime`:
//   2026-12-08T09:00:00 to 2026-12-08T10:30:00, work 1:25:00, idle 0:05:00, "anna"
// Names are quoted as JSON strings: a line break or quote in a name never breaks the line.
std::string sessionText(const TSessionData& session, std::int64_t minimumWorkTime);

}  // namespace hmr::cli
