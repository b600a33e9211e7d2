// SPDX-License-Identifier: MIT
// The folds of the queries (by day, week, month or user) computed straight from the sessions:
// the result that making a line per session, sorting the lines by the fold's key and
// GroupQRBy give, without making, copying or sorting a line per session. A report over a
// team's millions of sessions then costs one pass over them.
#pragma once

#include <optional>
#include <span>

#include "core/uHMRGlobal.h"

namespace hmr {

class THMRProject;

// GroupQRBy(Mode) of the session lines of `projects` (in that order) sorted ascending by
// scSession (fgDay, fgWeek, fgMonth) or scUserName (fgUsername). Nothing when the shortcut
// cannot be sure to give that very result, and the lines must be made and sorted:
// - a period fold over a session that opens before 1899-12-30 (whose day the fold's
//   periods do not hold), after 9999-12-31 or at no valid time;
// - a fold by user when names that compare equal are spelled differently (the fold writes
//   the spelling that the sort happens to put first) or when the locale's comparison cannot
//   be stood for by ranks (rankTexts);
// - any other mode.
std::optional<TQueryResult> foldSessions(std::span<const THMRProject* const> projects,
                                         TFuncGroupByMode Mode);

}  // namespace hmr
