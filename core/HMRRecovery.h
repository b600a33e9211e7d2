// SPDX-License-Identifier: MIT
// Recovery copies of data files: what a project holds that its data file beside the project
// may not hold yet (the running session between saves, a history whose save failed), kept in
// the user's state folder in the data file's own format, so that every reader of data files
// reads them too.
//
// A recovery file belongs to the tracker process that wrote it (or took it over): its name
// carries the process's owner name, and the process holds a lock on its owner lock file in
// the recovery folder for as long as it has recovery files there. Another process never takes
// a live owner's file for a crash, and never removes it. The files of an owner whose lock is
// free (the process ended without closing its projects) and those of the older naming without
// an owner are recovered by the next project that opens their data file, once: it takes them
// over by renaming them to its own name, an atomic step that only one process wins.
#pragma once

#include <string>
#include <vector>

#include "core/HMRFileFormat.h"

namespace hmr {

class THMRProject;

// This process's name as the owner of recovery files: "<process id>-<8 hex digits>", the
// digits drawn at random once per process (again in a forked child), so that a process id the
// system gives out again later names another owner.
std::string recoveryOwner();

// This process's recovery file of the data file `dataFile`: "<recovery folder>/<base
// name>-<16 hex digits>.<owner>.HMR", the digits a hash of the data file's absolute path, so
// that projects of the same name in different folders keep apart. "" when there is no
// recovery folder.
std::string recoveryFileFor(const std::string& dataFile);

// Writes the project's settings, name and every session to this process's recovery file of
// `dataFile` through the safe save, creating the recovery folder (readable by the user only)
// when missing and taking the owner lock there. Fails with HmrSaveFailed "Error saving HMR
// file <recovery file> : <cause>", the cause naming the recovery folder or the owner lock
// file when that is what cannot be used; with HmrSaveNotConfirmed when only the flush of the
// folder failed.
void writeRecoveryFile(const std::string& dataFile, const THMRProject& project);

// What the recovery files of one data file hold.
struct RecoveredHistory {
  HmrFileContents contents;  // the settings of the newest file; the sessions of all, merged
  bool found = false;        // at least one file was read
  // "Error reading HMR file <recovery file> : <cause>" for each file that did not read; the
  // others are read all the same.
  std::vector<std::string> problems;
};

// Reads the recovery files of `dataFile` that no running tracker keeps: this process's own
// (left by an earlier project, a history whose save failed), those of owners that ended
// without closing the project, and those of the older naming. With `takeOver` the files of
// ended owners become this process's first (renamed; removed with removeRecoveryFile once the
// data file holds them), so that no other process recovers them too, and the owner lock files
// of ended owners without files left are removed. Without it (a data file opened for viewing)
// they are read where they are and left. Never fails: a file that does not read is named in
// `problems` and left where it is.
RecoveredHistory readRecoveryFiles(const std::string& dataFile, bool takeOver);

// Removes this process's recovery files of `dataFile` (its own, and those it took over) and,
// when it has none left in the recovery folder, its owner lock file there. Files of other
// processes stay. A missing file is no error, nor is a failure (a stale recovery file only
// repeats what the data file holds, and merging it adds nothing).
void removeRecoveryFile(const std::string& dataFile);

// Moves this process's recovery files of `from` to be those of `to` (a project renamed while
// open). Returns false when something could not be moved.
bool moveRecoveryFile(const std::string& from, const std::string& to);

// Merges recovered sessions into `sessions` without duplicating one: a session is known by
// its open time and its user name (another user's session of the same second, from a shared
// data file, is another session). Of two sessions of one identity the one brought up to date
// later (the later close) is kept; a recovered session that is new is placed before the first
// session that opened after it.
void mergeRecoveredSessions(std::vector<TSessionData>& sessions,
                            std::vector<TSessionData> recovered);

}  // namespace hmr
