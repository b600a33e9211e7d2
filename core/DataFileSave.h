// SPDX-License-Identifier: MIT
// The save of a data file that several trackers write (two IDEs with one project open, two
// people on a shared folder): under a lock beside the data file, the file as it is on disk now
// is merged with what this tracker holds, the file as this tracker last read or wrote it
// serving as the common history, so that neither overwrites the other's sessions.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/DataFileBase.h"
#include "core/HMRMerge.h"

namespace hmr {

// What a tracker holds of a project, to be saved.
struct HistoryToSave {
  std::int64_t timeForIdle = DefaultTimeForIdle;
  std::int64_t minimumWorkTime = DefaultMinimumWorkTime;
  std::string_view projectName;
  std::span<const TSessionData> sessions;
};

// The lock file of the data file `path`: ".<name>.lock" beside it (beside the file a symbolic
// link names, since that is the file a save replaces). It lives only while a save holds it.
std::string dataFileLockPath(const std::string& path);

// How long a save waits for the lock of its data file (10 seconds unless set).
std::chrono::milliseconds dataFileLockWait();
// Sets the wait and returns the previous one (tests).
std::chrono::milliseconds setDataFileLockWait(std::chrono::milliseconds wait);

// Saves `ours` to `path` through the safe save, under the lock of the data file:
// - when the file is missing, or holds exactly the bytes of `base` (nobody else wrote it since,
//   the usual case), `ours` is written as it is;
// - otherwise the file is merged with `ours` (mergeHistories under MergeRules for a save,
//   `base` as the common history when it is of `path`, none otherwise), and the merge is
//   written: `merged` then holds it, with its notes, before the write is tried.
// `names` name the two sides in the notes. Afterwards `base` holds what was written.
//
// Fails with HmrSaveFailed ("Error saving HMR file <path> : <cause>"), the file on disk then
// as it was: when it exists but does not read as a data file (it is left for the user:
// DataFileUnreadableOnSave), when another program keeps its lock for the whole wait
// (DataFileLocked), or when the write fails. A lock that the file system cannot give (no
// locks on it, a folder that cannot be written) is done without: the write says what fails.
// When only the confirmation that the new file reached the disk fails, HmrSaveNotConfirmed
// passes on; `base` and `merged` are then set as after a save.
void saveDataFile(const std::string& path, const HistoryToSave& ours, DataFileBase& base,
                  const MergeSideNames& names, std::optional<MergedHistory>& merged);

}  // namespace hmr
