// SPDX-License-Identifier: MIT
#include "core/WindowlessTrackerUi.h"

#include "core/UserDialogModel.h"
#include "core/uHMRProjectGroup.h"

namespace hmr {

void WindowlessTrackerUi::showTrackerDialog(THMRProjectGroup& group, bool, const std::string&) {
  group.OnDestroyDlg();
}

void WindowlessTrackerUi::closeTrackerDialog(THMRProjectGroup& group) { group.OnDestroyDlg(); }

int WindowlessTrackerUi::showUserDialog(SettingsStore& store, bool allowNewUser,
                                      const std::string& keyPath, std::string& userName) {
  // As a person who opens the dialog and presses OK at once: the preselected name is taken.
  UserDialogModel dialog(store, keyPath, userName, allowNewUser);
  dialog.show();
  const int selected = dialog.selectedIndex();
  const std::string text =
      selected >= 0 ? dialog.users()[static_cast<std::size_t>(selected)] : std::string();
  dialog.PrepareForClose(dialog.users(), selected, text);
  userName = dialog.currentUser();
  return 1;
}

}  // namespace hmr
