// SPDX-License-Identifier: MIT
// The user name of the sessions and the per-host user settings: the known names ("Users") and
// whether the user dialog shows at start-up ("ShowDialog"), both under the host's key below
// HMRRootKey.
#pragma once

#include <string>
#include <string_view>

namespace hmr {

class SettingsStore;
class TrackerUi;

// The logon name of the current account, "Anonymous" when it is blank or cannot be read
// (a name of 100 bytes or more counts as unreadable).
std::string GetHMRUserName();

// "ShowDialog" of the key (created when missing) read as a boolean; when the value is missing
// it is written as 1 and true is returned. A value of another type fails.
bool GetShowDialogKey(SettingsStore& store, std::string_view KeyPath);
void SetShowDialogKey(SettingsStore& store, std::string_view KeyPath, bool Value);

// Runs the user dialog; on OK (1) UserName becomes the chosen name. Returns the modal result.
int ShowUserDialog(TrackerUi& ui, SettingsStore& store, bool AllowNewUser,
                   const std::string& KeyPath, std::string& UserName);

}  // namespace hmr
