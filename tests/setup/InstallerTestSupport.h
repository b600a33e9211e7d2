// SPDX-License-Identifier: MIT
// Helpers shared by the installer's tests: a recording output and a store that fails on demand.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/HmrError.h"
#include "platform/SettingsStore.h"
#include "setup/InstallerOutput.h"

namespace hmr::test_support {

class RecordingOutput final : public InstallerOutput {
 public:
  void showMessage(std::string_view title, std::string_view text) override {
    messages.emplace_back(std::string(title), std::string(text));
  }
  void reportProblem(std::string_view text) override { problems.emplace_back(text); }

  std::vector<std::pair<std::string, std::string>> messages;  // title, text
  std::vector<std::string> problems;
};

// Passes every call on to another store, except that calls for which `failsOn(operation, root,
// key)` is true throw HmrError("injected failure ...") instead. Operations are named after the
// methods ("keyExists", "createKey", "writeString", ...).
class FaultyStore final : public SettingsStore {
 public:
  using Predicate = std::function<bool(std::string_view, RegistryRoot, std::string_view)>;
  FaultyStore(SettingsStore& target, Predicate failsOn)
      : target_(target), failsOn_(std::move(failsOn)) {}

  bool keyExists(RegistryRoot root, std::string_view key) override {
    check("keyExists", root, key);
    return target_.keyExists(root, key);
  }
  void createKey(RegistryRoot root, std::string_view key) override {
    check("createKey", root, key);
    target_.createKey(root, key);
  }
  void deleteKey(RegistryRoot root, std::string_view key) override {
    check("deleteKey", root, key);
    target_.deleteKey(root, key);
  }
  bool valueExists(RegistryRoot root, std::string_view key, std::string_view name) override {
    check("valueExists", root, key);
    return target_.valueExists(root, key, name);
  }
  std::optional<std::string> readString(RegistryRoot root, std::string_view key,
                                        std::string_view name) override {
    check("readString", root, key);
    return target_.readString(root, key, name);
  }
  std::optional<std::uint32_t> readDword(RegistryRoot root, std::string_view key,
                                         std::string_view name) override {
    check("readDword", root, key);
    return target_.readDword(root, key, name);
  }
  void writeString(RegistryRoot root, std::string_view key, std::string_view name,
                   std::string_view text) override {
    check("writeString", root, key);
    target_.writeString(root, key, name, text);
  }
  void writeDword(RegistryRoot root, std::string_view key, std::string_view name,
                  std::uint32_t value) override {
    check("writeDword", root, key);
    target_.writeDword(root, key, name, value);
  }
  void deleteValue(RegistryRoot root, std::string_view key, std::string_view name) override {
    check("deleteValue", root, key);
    target_.deleteValue(root, key, name);
  }
  void updateString(
      RegistryRoot root, std::string_view key, std::string_view name,
      const std::function<std::string(const std::optional<std::string>&)>& update) override {
    check("updateString", root, key);
    target_.updateString(root, key, name, update);
  }
  std::vector<std::string> subKeys(RegistryRoot root, std::string_view key) override {
    check("subKeys", root, key);
    return target_.subKeys(root, key);
  }
  std::vector<SettingsValue> values(RegistryRoot root, std::string_view key) override {
    check("values", root, key);
    return target_.values(root, key);
  }

 private:
  void check(std::string_view operation, RegistryRoot root, std::string_view key) {
    if (failsOn_(operation, root, key))
      throw HmrError("injected failure: " + std::string(operation) + " " + std::string(key));
  }

  SettingsStore& target_;
  Predicate failsOn_;
};

}  // namespace hmr::test_support
