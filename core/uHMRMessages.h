// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>

namespace hmr {

// The core's table of message texts. "%S" marks where formatMessage puts its arguments.
inline constexpr std::string_view CannotOpenNotClosed = "Can not open an open project";
inline constexpr std::string_view HMRFileRead = "Error reading HMR file %S : %S";
inline constexpr std::string_view HMRFileSave = "Error saving HMR file %S : %S";
inline constexpr std::string_view HMRFileCorrupted = "HMR file is corrupted";
// A save whose new file is in place, but whose arrival on the disk the system did not confirm.
inline constexpr std::string_view HMRFileNotConfirmed =
    "HMR file %S was saved, but the system did not confirm that it reached the disk : %S";
// What a failed save of a closed session adds to its message: where the history is now.
inline constexpr std::string_view HistoryKeptIn =
    "The history is kept in %S and is added back when the project opens again.";
inline constexpr std::string_view HistoryKeptInMemory =
    "The history is kept in memory only (%S); the save is tried again.";
// A project whose recovery file cannot be written: its running session is not kept between
// saves until a checkpoint succeeds again, but it is still tracked and saved when it closes.
inline constexpr std::string_view CrashProtectionOff =
    "Crash protection is off for project %S: its recovery file %S cannot be written (%S). "
    "The project is still tracked and its data file %S is saved when it closes.";
// A save merges what it holds with the data file as it is now (DataFileSave.h): the file on
// disk that does not read is left as it is, a lock held by another program too long, and the
// notes of a merge that overrode or left out something.
inline constexpr std::string_view DataFileUnreadableOnSave =
    "the file on disk does not read as an HMR data file (%S), so it is left as it is";
inline constexpr std::string_view DataFileLocked =
    "another program held its lock file %S for %S seconds";
inline constexpr std::string_view DataFileMergedNote =
    "%S was changed by another program since %S read it, and the two are merged: %S";
// A report export that cannot create, write or close its file.
inline constexpr std::string_view ReportFileWrite = "Error writing report file %S : %S";
// The merge of data files (HMRMerge.h, DataFileMerge.h): a side that does not read, and the
// notes on what a merge overrode or left out.
inline constexpr std::string_view MergeSideUnreadable =
    "Cannot merge: %S does not read as an HMR data file: %S";
inline constexpr std::string_view MergeSettingKept =
    "%S was changed on both sides (%S): %S's value is kept";
inline constexpr std::string_view MergeSessionChosen =
    "The session of %S opened %S differs on both sides: %S's version (%S) is kept, %S's (%S) "
    "is left out";
inline constexpr std::string_view MergeSessionKept =
    "The session of %S opened %S was removed on %S but changed on %S: it is kept";
inline constexpr std::string_view MergeSessionsRemoved =
    "Left out %S that %S removed (the first: %S, opened %S)";

// Replaces each "%S" of `pattern`, in order, by the next of `args`; a "%S" without an
// argument left is kept as written. Arguments are inserted verbatim (a "%S" inside an
// argument is not expanded again).
std::string formatMessage(std::string_view pattern, std::initializer_list<std::string_view> args);

}  // namespace hmr
