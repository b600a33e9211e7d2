// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace hmr {

class SettingsStore;

// The user dialog without its window: the list of known user names kept in the "Users" value
// of the host's key, which name is preselected, and what closing the dialog keeps.
//
// The list is sorted in the user's locale without regard to letter case and holds no two names
// that differ only in letter case. The stored value has every name followed by CR LF.
class UserDialogModel {
 public:
  UserDialogModel(SettingsStore& store, std::string keyPath, std::string currentUser,
                  bool allowNewUser);

  // Showing: creates the key when missing, loads "Users" (written empty when missing) and
  // settles the preselection. The current name is always offered: added when it is new.
  void show();
  // The "Users" text of the key; writes it empty when it is missing.
  std::string LoadUsersFromRegistry();

  // Closing, given what the combo box holds: its items, the selected index (-1 for none) and
  // its text. A non-blank typed text joins the list (unless there already, in any letter
  // case); the list is stored merged with the names stored meanwhile by others, in one
  // transaction; the current user becomes the selected item, else the text, else "Anonymous".
  void PrepareForClose(const std::vector<std::string>& items, int selectedIndex,
                       std::string_view text);

  const std::vector<std::string>& users() const { return users_; }
  int selectedIndex() const { return selectedIndex_; }
  // Whether a name may be typed that is not in the list (an editable combo box).
  bool editable() const { return allowNewUser_; }
  const std::string& currentUser() const { return currentUser_; }

 private:
  SettingsStore& store_;
  std::string keyPath_;
  std::string currentUser_;
  bool allowNewUser_;
  std::vector<std::string> users_;
  int selectedIndex_ = -1;
};

// Adds `name` to a list sorted without regard to letter case unless a name equal to it in that
// comparison is there already. Returns the position of the name (added or found).
int addSortedUnique(std::vector<std::string>& names, std::string_view name);
// The lines of a text, split at CR LF, LF or CR; a last line without a break counts.
std::vector<std::string> splitLines(std::string_view text);
// Every name followed by CR LF.
std::string joinLines(const std::vector<std::string>& names);

}  // namespace hmr
