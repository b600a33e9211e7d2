// SPDX-License-Identifier: MIT
// The installer's logic: check that the IDE version is there, enter the IDE package that lies
// beside the installer among the IDE's known packages, and associate the data files with the
// viewer program in the same folder. Everything is written through the settings store.
#pragma once

#include <string>
#include <string_view>

#include "core/ProductTexts.h"
#include "platform/SettingsStore.h"
#include "setup/DesktopAssociation.h"
#include "setup/InstallerOutput.h"

namespace hmr {

inline constexpr std::string_view DelphiKey4 = "SOFTWARE\\Borland\\Delphi\\4.0";
inline constexpr std::string_view DelphiKey5 = "SOFTWARE\\Borland\\Delphi\\5.0";
// The same text as the package's own description.
inline constexpr std::string_view PackageDescription = product::Name;
inline constexpr std::string_view InstallMessageTitle = "HMR Install Information";
// The viewer program that the installer associates data files with, beside the installer.
inline constexpr std::string_view ViewerName = "hmr-viewer";

// The whole installation for IDE version `Version` (4 means Delphi 4; any other value Delphi
// 5). Shows exactly one message on `output`: not installed, a write error, or success. A store
// failure never escapes: where the message does not name its cause, the cause goes to
// output.reportProblem. String values are stored as their text (the store keeps no
// terminating zero). With `desktop`, a successful installation also associates data files
// with the viewer on the user's desktop, and the success message ends with what it did.
// Returns true when it installed (the success message), false when it aborted (the IDE not
// found, or the package entry not written).
bool InstallPackage(int Version, SettingsStore& store, InstallerOutput& output,
                    DesktopAssociation* desktop = nullptr);

// The message that stops the installation when the IDE version `Version` is not found.
std::string NotInstalledMessage(int Version);

// The ".hmr" association with the viewer FOLDER + "hmr-viewer", FOLDER being the installer's
// folder: its icon and the open command FOLDER + "hmr-viewer \"%1\"".
// A key that cannot be made is skipped with everything below it; nothing here stops the
// installation, but each failure's cause goes to output.reportProblem.
void RegisterDataFileType(SettingsStore& store, InstallerOutput& output);

// The full path of the running program, or "" when it cannot be found.
std::string GetInstallerPath();

// The part of `Path` up to and including its last "/" or ":"; "" when it has neither.
std::string FolderOfPath(std::string_view Path);

}  // namespace hmr
