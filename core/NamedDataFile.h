// SPDX-License-Identifier: MIT
// A data file that a person names (on the command line, in a file dialog), as opposed to the
// data file the tracker derives from a project file's name.
#pragma once

#include <string>

namespace hmr {

class THMRProject;
class THMRProjectGroup;

// Adds to `group` the project kept in the data file `path`, read under exactly that name: no
// ".HMR" extension is derived from it (that rule is for project files), and a file that is
// missing, a folder or unreadable is an error, since the person asked for that very file.
// The project is closed (no session runs); its FileName and its key in the group are `path`.
//
// Returns nullptr, changing nothing, when a project with exactly that key (letter case
// included: on Linux names differing in case are different files) is already in the group.
// Fails with the read error ("Error reading HMR file <path> : <cause>"); the group is then
// as it was.
THMRProject* addNamedDataFile(THMRProjectGroup& group, const std::string& path);

}  // namespace hmr
