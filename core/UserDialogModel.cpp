// SPDX-License-Identifier: MIT
#include "core/UserDialogModel.h"

#include <algorithm>

#include "core/PathText.h"
#include "core/uHMRGlobal.h"
#include "platform/Locale.h"
#include "platform/SettingsStore.h"

namespace hmr {
namespace {

constexpr std::string_view kUsersValue = "Users";

// Compares as the user's locale does, without regard to letter case.
int compareNames(std::string_view a, std::string_view b) {
  return currentLocale().compareText(a, b);
}

}  // namespace

int addSortedUnique(std::vector<std::string>& names, std::string_view name) {
  auto at = std::lower_bound(names.begin(), names.end(), name,
                             [](const std::string& a, std::string_view b) {
                               return compareNames(a, b) < 0;
                             });
  if (at == names.end() || compareNames(*at, name) != 0) at = names.insert(at, std::string(name));
  return static_cast<int>(at - names.begin());
}

std::vector<std::string> splitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.emplace_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

std::string joinLines(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text.append(name).append("\r\n");
  return text;
}

UserDialogModel::UserDialogModel(SettingsStore& store, std::string keyPath,
                                 std::string currentUser, bool allowNewUser)
    : store_(store),
      keyPath_(std::move(keyPath)),
      currentUser_(std::move(currentUser)),
      allowNewUser_(allowNewUser) {}

std::string UserDialogModel::LoadUsersFromRegistry() {
  // The empty default is written only if no other process has stored names meanwhile.
  return store_.readStringOrCreate(HMRRootKey, keyPath_, kUsersValue, "");
}

void UserDialogModel::show() {
  store_.createKey(HMRRootKey, keyPath_);
  users_.clear();
  for (const std::string& name : splitLines(LoadUsersFromRegistry())) addSortedUnique(users_, name);
  if (isBlank(currentUser_)) {
    // A pick-only list always has a choice; an editable one starts empty.
    selectedIndex_ = allowNewUser_ || users_.empty() ? -1 : 0;
  } else {
    selectedIndex_ = addSortedUnique(users_, currentUser_);
  }
}

void UserDialogModel::PrepareForClose(const std::vector<std::string>& items, int selectedIndex,
                                      std::string_view text) {
  std::vector<std::string> names;
  for (const std::string& item : items) addSortedUnique(names, item);
  if (!isBlank(text)) addSortedUnique(names, text);

  // Merge with what is stored now rather than overwrite it: another IDE process may have
  // added a name since this dialog loaded the list.
  store_.updateString(HMRRootKey, keyPath_, kUsersValue,
                      [&](const std::optional<std::string>& stored) {
                        std::vector<std::string> merged;
                        if (stored)
                          for (const std::string& name : splitLines(*stored))
                            addSortedUnique(merged, name);
                        for (const std::string& name : names) addSortedUnique(merged, name);
                        return joinLines(merged);
                      });
  users_ = std::move(names);

  const bool hasSelection = selectedIndex >= 0 && selectedIndex < static_cast<int>(items.size());
  currentUser_ = hasSelection ? items[static_cast<std::size_t>(selectedIndex)] : std::string(text);
  if (isBlank(currentUser_)) currentUser_ = "Anonymous";
}

}  // namespace hmr
