// SPDX-License-Identifier: MIT
#pragma once

#include <map>
#include <string>

#include "platform/SettingsStore.h"

namespace hmr {

// A settings store held in memory, with the same rules as the file-backed one: for tests and
// for programs that must not touch the user's settings.
class MemorySettingsStore final : public SettingsStore {
 public:
  bool keyExists(RegistryRoot root, std::string_view key) override;
  void createKey(RegistryRoot root, std::string_view key) override;
  void deleteKey(RegistryRoot root, std::string_view key) override;
  bool valueExists(RegistryRoot root, std::string_view key, std::string_view name) override;
  std::optional<std::string> readString(RegistryRoot root, std::string_view key,
                                        std::string_view name) override;
  std::optional<std::uint32_t> readDword(RegistryRoot root, std::string_view key,
                                         std::string_view name) override;
  void writeString(RegistryRoot root, std::string_view key, std::string_view name,
                   std::string_view text) override;
  void writeDword(RegistryRoot root, std::string_view key, std::string_view name,
                  std::uint32_t value) override;
  void deleteValue(RegistryRoot root, std::string_view key, std::string_view name) override;
  void updateString(
      RegistryRoot root, std::string_view key, std::string_view name,
      const std::function<std::string(const std::optional<std::string>&)>& update) override;
  std::string readStringOrCreate(RegistryRoot root, std::string_view key, std::string_view name,
                                 std::string_view fallback) override;
  std::uint32_t readDwordOrCreate(RegistryRoot root, std::string_view key, std::string_view name,
                                  std::uint32_t fallback) override;
  std::vector<std::string> subKeys(RegistryRoot root, std::string_view key) override;
  std::vector<SettingsValue> values(RegistryRoot root, std::string_view key) override;

 private:
  struct Key {
    std::string path;                           // as first created
    std::map<std::string, SettingsValue> values;  // by folded name
  };
  using KeyId = std::pair<RegistryRoot, std::string>;  // root and folded path

  Key* find(RegistryRoot root, std::string_view key);
  Key& make(RegistryRoot root, std::string_view key);
  const SettingsValue* value(RegistryRoot root, std::string_view key, std::string_view name);

  std::map<KeyId, Key> keys_;
};

}  // namespace hmr
