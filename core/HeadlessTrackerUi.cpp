// SPDX-License-Identifier: MIT
#include "core/HeadlessTrackerUi.h"

#include "core/uHMRProjectGroup.h"

namespace hmr {

void HeadlessTrackerUi::showTrackerDialog(THMRProjectGroup& group, bool, const std::string&) {
  group.OnDestroyDlg();
}

void HeadlessTrackerUi::closeTrackerDialog(THMRProjectGroup& group) { group.OnDestroyDlg(); }

int HeadlessTrackerUi::showUserDialog(SettingsStore&, bool, const std::string&, std::string&) {
  return 1;
}

}  // namespace hmr
