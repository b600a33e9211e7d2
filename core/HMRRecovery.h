// SPDX-License-Identifier: MIT
// Recovery copies of data files: what a project holds that its data file beside the project
// may not hold yet (the running session between saves, a history whose save failed), kept in
// the user's state folder in the data file's own format, so that every reader of data files
// reads them too.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/HMRFileFormat.h"

namespace hmr {

class THMRProject;

// The recovery file of the data file `dataFile`: "<recovery folder>/<base name>-<16 hex
// digits>.HMR", the digits a hash of the data file's absolute path, so that projects of the
// same name in different folders keep apart. "" when there is no recovery folder.
std::string recoveryFileFor(const std::string& dataFile);

// Writes the project's settings, name and every session to the recovery file of `dataFile`
// through the safe save, creating the recovery folder (readable by the user only) when
// missing. Fails with HmrSaveFailed "Error saving HMR file <recovery file> : <cause>", the
// cause naming the recovery folder when that is what cannot be used; with
// HmrSaveNotConfirmed when only the flush of the folder failed.
void writeRecoveryFile(const std::string& dataFile, const THMRProject& project);

// Reads the recovery file of `dataFile` into `out` (empty) when it exists; false when it does
// not. Fails with "Error reading HMR file <recovery file> : <cause>".
bool readRecoveryFile(const std::string& dataFile, HmrFileContents& out);

// Removes the recovery file of `dataFile`; a missing one is no error, nor is a failure (a
// stale recovery file only repeats what the data file holds, and merging it adds nothing).
void removeRecoveryFile(const std::string& dataFile);

// Moves the recovery file of `from` to be that of `to` (a project renamed while open).
// Returns false when nothing could be moved.
bool moveRecoveryFile(const std::string& from, const std::string& to);

// Merges recovered sessions into `sessions` without duplicating one: a session is known by
// its open time. Of two sessions with the same open time the one brought up to date later
// (the later close) is kept; a recovered session that is new is placed before the first
// session that opened after it.
void mergeRecoveredSessions(std::vector<std::unique_ptr<TSessionData>>& sessions,
                            std::vector<std::unique_ptr<TSessionData>> recovered);

}  // namespace hmr
