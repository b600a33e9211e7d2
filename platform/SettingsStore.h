// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hmr {

// The three roots of the settings store, numbered as the registry numbers its root keys.
enum class RegistryRoot : std::uint32_t {
  ClassesRoot = 0x80000000u,
  CurrentUser = 0x80000001u,
  LocalMachine = 0x80000002u,
};

enum class ValueType : std::uint8_t { String, Dword };

// One value of a key, as listed by values().
struct SettingsValue {
  std::string name;  // "" is the key's default value
  ValueType type = ValueType::String;
  std::string text;         // when type is String
  std::uint32_t dword = 0;  // when type is Dword
};

// A value that is stored but cannot be read as its type says (a damaged store), as listed by
// readableValues().
struct DamagedValue {
  std::string name;
  std::string reason;  // the message a read of it fails with
};

// The store of per-host settings that stands in for the registry: keys by path below a root,
// each holding named string (REG_SZ) and 32-bit integer (REG_DWORD) values.
//
// Key paths use "\" between their parts; a leading "\" is ignored ("\SOFTWARE\X" and
// "SOFTWARE\X" name the same key). Key paths and value names compare case-insensitively and
// keep the letter case they were created with. Writing a value creates its key and every key
// above it. Every failure (an unreadable store, a value of the wrong type, a failed write)
// raises HmrError with a message that names the store file and the cause.
class SettingsStore {
 public:
  virtual ~SettingsStore() = default;

  virtual bool keyExists(RegistryRoot root, std::string_view key) = 0;
  // Creates the key and every missing key above it; an existing key is left as it is.
  virtual void createKey(RegistryRoot root, std::string_view key) = 0;
  // Removes the key with everything below it; a missing key is no error.
  virtual void deleteKey(RegistryRoot root, std::string_view key) = 0;

  virtual bool valueExists(RegistryRoot root, std::string_view key, std::string_view name) = 0;
  // The value's text, or nothing when it does not exist. A value that is not a string fails.
  virtual std::optional<std::string> readString(RegistryRoot root, std::string_view key,
                                                std::string_view name) = 0;
  // The value's number, or nothing when it does not exist. A value that is not a DWORD fails.
  virtual std::optional<std::uint32_t> readDword(RegistryRoot root, std::string_view key,
                                                 std::string_view name) = 0;
  virtual void writeString(RegistryRoot root, std::string_view key, std::string_view name,
                           std::string_view text) = 0;
  virtual void writeDword(RegistryRoot root, std::string_view key, std::string_view name,
                          std::uint32_t value) = 0;
  // Removes one value; a missing value is no error.
  virtual void deleteValue(RegistryRoot root, std::string_view key, std::string_view name) = 0;

  // Reads a string value and writes back what `update` makes of it, in one transaction, so
  // that no other writer can slip in between. `update` receives nothing when the value does
  // not exist. A value that is not a string fails without calling `update`.
  virtual void updateString(
      RegistryRoot root, std::string_view key, std::string_view name,
      const std::function<std::string(const std::optional<std::string>&)>& update) = 0;

  // The value's text or number; when the value does not exist, `fallback` is written and
  // returned. The check and the write are one transaction, so a value that another process
  // writes meanwhile is never overwritten by the default. A value of the other type fails.
  virtual std::string readStringOrCreate(RegistryRoot root, std::string_view key,
                                         std::string_view name, std::string_view fallback) = 0;
  virtual std::uint32_t readDwordOrCreate(RegistryRoot root, std::string_view key,
                                          std::string_view name, std::uint32_t fallback) = 0;

  // The names of the keys directly below `key`, and its values, in case-insensitive order.
  virtual std::vector<std::string> subKeys(RegistryRoot root, std::string_view key) = 0;
  virtual std::vector<SettingsValue> values(RegistryRoot root, std::string_view key) = 0;

  // The values of `key` as values() lists them, but each damaged value is left out and added
  // to `damaged` instead, so that a reader can go on with the others and say what it skipped.
  // A store that cannot hold damaged values lists them as values() does.
  virtual std::vector<SettingsValue> readableValues(RegistryRoot root, std::string_view key,
                                                    std::vector<DamagedValue>& damaged) {
    (void)damaged;
    return values(root, key);
  }
};

}  // namespace hmr
