// SPDX-License-Identifier: MIT
// A settings store that passes every call on to another one, with a hook before and after each
// call, so that tests can inject failures or another process's writes at an exact point.
#pragma once

#include <string>
#include <string_view>
#include <type_traits>

#include "platform/SettingsStore.h"

namespace hmr::test_support {

// Operations are named after the methods ("keyExists", "createKey", "writeString", ...).
class ForwardingStore : public SettingsStore {
 public:
  explicit ForwardingStore(SettingsStore& target) : target_(target) {}

  bool keyExists(RegistryRoot root, std::string_view key) override {
    return around("keyExists", root, key, [&] { return target_.keyExists(root, key); });
  }
  void createKey(RegistryRoot root, std::string_view key) override {
    around("createKey", root, key, [&] { target_.createKey(root, key); });
  }
  void deleteKey(RegistryRoot root, std::string_view key) override {
    around("deleteKey", root, key, [&] { target_.deleteKey(root, key); });
  }
  bool valueExists(RegistryRoot root, std::string_view key, std::string_view name) override {
    return around("valueExists", root, key, [&] { return target_.valueExists(root, key, name); });
  }
  std::optional<std::string> readString(RegistryRoot root, std::string_view key,
                                        std::string_view name) override {
    return around("readString", root, key, [&] { return target_.readString(root, key, name); });
  }
  std::optional<std::uint32_t> readDword(RegistryRoot root, std::string_view key,
                                         std::string_view name) override {
    return around("readDword", root, key, [&] { return target_.readDword(root, key, name); });
  }
  void writeString(RegistryRoot root, std::string_view key, std::string_view name,
                   std::string_view text) override {
    around("writeString", root, key, [&] { target_.writeString(root, key, name, text); });
  }
  void writeDword(RegistryRoot root, std::string_view key, std::string_view name,
                  std::uint32_t value) override {
    around("writeDword", root, key, [&] { target_.writeDword(root, key, name, value); });
  }
  void deleteValue(RegistryRoot root, std::string_view key, std::string_view name) override {
    around("deleteValue", root, key, [&] { target_.deleteValue(root, key, name); });
  }
  void updateString(
      RegistryRoot root, std::string_view key, std::string_view name,
      const std::function<std::string(const std::optional<std::string>&)>& update) override {
    around("updateString", root, key, [&] { target_.updateString(root, key, name, update); });
  }
  std::string readStringOrCreate(RegistryRoot root, std::string_view key, std::string_view name,
                                 std::string_view fallback) override {
    return around("readStringOrCreate", root, key,
                  [&] { return target_.readStringOrCreate(root, key, name, fallback); });
  }
  std::uint32_t readDwordOrCreate(RegistryRoot root, std::string_view key, std::string_view name,
                                  std::uint32_t fallback) override {
    return around("readDwordOrCreate", root, key,
                  [&] { return target_.readDwordOrCreate(root, key, name, fallback); });
  }
  std::vector<std::string> subKeys(RegistryRoot root, std::string_view key) override {
    return around("subKeys", root, key, [&] { return target_.subKeys(root, key); });
  }
  std::vector<SettingsValue> values(RegistryRoot root, std::string_view key) override {
    return around("values", root, key, [&] { return target_.values(root, key); });
  }

 protected:
  // Called before and after each call that reaches the target (after only when it returned).
  virtual void before(std::string_view /*operation*/, RegistryRoot, std::string_view /*key*/) {}
  virtual void after(std::string_view /*operation*/, RegistryRoot, std::string_view /*key*/) {}

 private:
  template <typename Call>
  auto around(std::string_view operation, RegistryRoot root, std::string_view key, Call call)
      -> decltype(call()) {
    before(operation, root, key);
    if constexpr (std::is_void_v<decltype(call())>) {
      call();
      after(operation, root, key);
    } else {
      auto result = call();
      after(operation, root, key);
      return result;
    }
  }

  SettingsStore& target_;
};

}  // namespace hmr::test_support
