// SPDX-License-Identifier: MIT
// The merge of three data files on disk, as git's merge driver runs it (`hmr merge %O %A %B`):
// read the common history and both sides, merge them (HMRMerge.h) and replace our side with
// the result through the safe save.
#pragma once

#include <string>
#include <vector>

#include "core/HMRMerge.h"

namespace hmr {

// Merges the data files `base`, `ours` and `theirs` and replaces `ours` with the result, a
// version 2 file with its checksum, through the installed FileWriter (so atomically, keeping
// its permission bits). An empty `base` file stands for no common history (the file was added
// on both sides). Returns the merge's notes (MergedHistory::notes).
//
// Fails with HmrError before anything is written when a side does not read (missing, not a
// regular file, damaged, cut short, not a data file): "Cannot merge: <side> does not read as
// an HMR data file: Error reading HMR file <path> : <cause>", the side named as in `names`
// ("BASE" for the common history). Fails with the save error ("Error saving HMR file ...")
// when the result cannot be stored; `ours` is then as it was. When only the confirmation that
// the new file reached the disk fails, HmrSaveNotConfirmed passes on: `ours` holds the result.
std::vector<std::string> mergeDataFiles(const std::string& base, const std::string& ours,
                                        const std::string& theirs,
                                        const MergeSideNames& names = {});

}  // namespace hmr
