// SPDX-License-Identifier: MIT
// The three-way merge of data-file histories (docs/team.md): two histories that grew apart
// from a common one become one. git's merge driver (`hmr merge`) uses it, and so can a save
// that finds its data file changed by someone else since it was read. Pure: decoded histories
// in, the merged history and its notes out; nothing is read, written or asked of the system.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/HMRFileFormat.h"
#include "core/uHMRProject.h"

namespace hmr {

// How the notes name the two sides and their common history.
struct MergeSideNames {
  std::string ours = "OURS";
  std::string theirs = "THEIRS";
};

// Where the merge of a save (a tracker writing its data file, which another one changed since
// it read it) judges differently from git's driver.
struct MergeRules {
  // Two sessions of one identity added on both sides with different contents are two sessions
  // and both are kept: each side is one tracker's own, and two IDEs of one user may open a
  // project in the same second. (Between two branches they are two versions of one session.)
  bool sessionsAddedOnBothSidesAreDistinct = false;
  // Sessions that OURS removed are noted. A saving tracker removed them itself, by the rule
  // that drops short sessions, and says nothing of them.
  bool noteSessionsRemovedOnOurs = true;
};

// A merged history, ready to be written: settings, project name and sessions ordered by open
// time (then user name).
struct MergedHistory {
  std::int64_t timeForIdle = DefaultTimeForIdle;
  std::int64_t minimumWorkTime = DefaultMinimumWorkTime;
  std::string projectName;
  std::vector<TSessionData> sessions;
  // One sentence for every decision that left out or overrode something a side holds: a
  // setting changed differently on both sides, a session changed differently on both sides,
  // sessions one side removed, a session removed on one side but changed on the other.
  std::vector<std::string> notes;
};

// Merges `ours` and `theirs`, which both grew from `base`.
//
// A session is known by its open time (in whole seconds) and its user name (byte for byte);
// sessions of one side sharing both are told apart by their contents, then by their order.
// Sessions added on either side are kept; one removed on a side and unchanged on the other is
// left out; one changed on one side only takes that change; one changed differently on both
// sides (or added on both with different contents) is kept once: the closed version over the
// one marked not closed, then the longer (total time), then the one with more work.
// The idle threshold, minimum work time and project name each take the value of the side
// that changed it; changed differently on both sides, OURS's value is kept (and noted).
// `rules` change two of these for a save (MergeRules).
// Sessions below the minimum work time are merged like any other: the tracker's read rule
// drops them when the merged file is read, and nothing is lost before that.
//
// `base` with no field set (an empty file: the history was added on both sides) has no
// common history, and the sides merge as a union. `ours` and `theirs` are complete decodes;
// a setting they lack counts as its default. Swapping `ours` and `theirs` gives the same
// sessions in the same order. Fails only for lack of memory.
MergedHistory mergeHistories(const HmrFileContents& base, const HmrFileContents& ours,
                             const HmrFileContents& theirs, const MergeSideNames& names = {},
                             const MergeRules& rules = {});

}  // namespace hmr
