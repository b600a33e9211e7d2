// SPDX-License-Identifier: MIT
// The names by which people and messages refer to the settings store's roots and value types.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/SettingsStore.h"

namespace hmr {

// "HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER" or "HKEY_CLASSES_ROOT".
std::string_view registryRootName(RegistryRoot root);
// The root named by its full name or its abbreviation (HKLM, HKCU, HKCR), in any letter case;
// nothing for any other text.
std::optional<RegistryRoot> parseRegistryRoot(std::string_view name);
// "REG_SZ" or "REG_DWORD".
std::string_view valueTypeName(ValueType type);
// The root's name followed by the key path, as in "HKEY_CURRENT_USER\SOFTWARE\X"; the root's
// name alone for the root itself. A leading "\" of `key` is not doubled.
std::string fullKeyName(RegistryRoot root, std::string_view key);

// A key path in the store's canonical form: "\" separated, without leading, trailing or
// doubled "\" ("\A\\B\" is "A\B").
std::string canonicalKeyPath(std::string_view key);
// The text with ASCII letters in lower case: how key paths and value names are compared.
std::string foldCase(std::string_view text);

}  // namespace hmr
