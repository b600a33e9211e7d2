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
#include "tests/support/ForwardingStore.h"

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
// key)` is true throw HmrError("injected failure ...") instead.
class FaultyStore final : public ForwardingStore {
 public:
  using Predicate = std::function<bool(std::string_view, RegistryRoot, std::string_view)>;
  FaultyStore(SettingsStore& target, Predicate failsOn)
      : ForwardingStore(target), failsOn_(std::move(failsOn)) {}

 protected:
  void before(std::string_view operation, RegistryRoot root, std::string_view key) override {
    if (failsOn_(operation, root, key))
      throw HmrError("injected failure: " + std::string(operation) + " " + std::string(key));
  }

 private:
  Predicate failsOn_;
};

}  // namespace hmr::test_support
