// SPDX-License-Identifier: MIT
#include "core/uHMRUsers.h"

#include "core/PathText.h"
#include "core/TrackerUi.h"
#include "core/uHMRGlobal.h"
#include "platform/SettingsStore.h"
#include "platform/SystemFacts.h"

namespace hmr {
namespace {

constexpr std::size_t kLogonNameBuffer = 100;  // the name and its terminator must fit

}  // namespace

std::string GetHMRUserName() {
  std::string name = currentSystemFacts().logonName().value_or("");
  if (name.size() + 1 > kLogonNameBuffer) name.clear();
  if (isBlank(name)) return "Anonymous";
  return name;
}

bool GetShowDialogKey(SettingsStore& store, std::string_view KeyPath) {
  store.createKey(HMRRootKey, KeyPath);
  // The default is written only if the value is still missing: a preference that another
  // process stores meanwhile is kept.
  return store.readDwordOrCreate(HMRRootKey, KeyPath, "ShowDialog", 1) != 0;
}

void SetShowDialogKey(SettingsStore& store, std::string_view KeyPath, bool Value) {
  store.createKey(HMRRootKey, KeyPath);
  store.writeDword(HMRRootKey, KeyPath, "ShowDialog", Value ? 1 : 0);
}

int ShowUserDialog(TrackerUi& ui, SettingsStore& store, bool AllowNewUser,
                   const std::string& KeyPath, std::string& UserName) {
  std::string chosen = UserName;
  const int result = ui.showUserDialog(store, AllowNewUser, KeyPath, chosen);
  if (result == 1) UserName = chosen;
  return result;
}

}  // namespace hmr
