// SPDX-License-Identifier: MIT
#pragma once

#include <string>

namespace hmr {

class SettingsStore;
class THMRProjectGroup;

// The windows the project group opens: the tracker dialog and the user-name dialog. The core
// owns this interface; the IDE package installs its dialogs, windowless programs and tests
// install an implementation without windows.
class TrackerUi {
 public:
  virtual ~TrackerUi() = default;

  // Shows the tracker dialog on `group` modally; returns when it has closed. In stand-alone
  // mode the user opens and closes data files in it; `fileToOpen` (may be empty) is opened
  // when it shows. The dialog calls group.OnDestroyDlg() when it goes away.
  virtual void showTrackerDialog(THMRProjectGroup& group, bool standAlone,
                                 const std::string& fileToOpen) = 0;
  // Closes a tracker dialog that is showing (the group is being destroyed).
  virtual void closeTrackerDialog(THMRProjectGroup& group) = 0;
  // Runs the user-name dialog on the key `keyPath` of `store` (below the root of the per-host
  // settings). Returns the modal result (1 is OK); on OK `userName` holds the chosen name.
  virtual int showUserDialog(SettingsStore& store, bool allowNewUser, const std::string& keyPath,
                             std::string& userName) = 0;
  // Tells the user of a problem that no command of theirs is waiting for (a checkpoint or a
  // retried save that failed while time passed). Without windows: standard error.
  virtual void showError(const std::string& message);
};

}  // namespace hmr
