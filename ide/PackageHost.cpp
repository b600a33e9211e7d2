// SPDX-License-Identifier: MIT
#include "ide/PackageHost.h"

#include <cstdio>

#include "platform/PeriodicTimer.h"

namespace hmr {
namespace {

IdeHostServices* attached = nullptr;

// Forwards to the IDE's timer, wrapping the callback so that its errors are shown and stop
// there.
class IdeTimer final : public PeriodicTimer {
 public:
  explicit IdeTimer(std::unique_ptr<PeriodicTimer> inner) : inner_(std::move(inner)) {}

  void setCallback(Callback callback) override {
    if (!callback) {
      inner_->setCallback(nullptr);
      return;
    }
    inner_->setCallback(
        [callback = std::move(callback)]() noexcept { guardedForIde(callback); });
  }
  void setIntervalMs(int milliseconds) override { inner_->setIntervalMs(milliseconds); }
  int intervalMs() const override { return inner_->intervalMs(); }
  void setEnabled(bool enabled) override { inner_->setEnabled(enabled); }
  bool enabled() const override { return inner_->enabled(); }
  void setQuiet(bool quiet) override { inner_->setQuiet(quiet); }

 private:
  std::unique_ptr<PeriodicTimer> inner_;
};

}  // namespace

IdeHostServices* packageHost() { return attached; }

IdeHostServices* setPackageHost(IdeHostServices* host) { return std::exchange(attached, host); }

IBorlandIDEServices* BorlandIDEServices() {
  return attached ? attached->borlandIDEServices() : nullptr;
}

TIToolServices* ToolServices() { return attached ? attached->toolServices() : nullptr; }

void RegisterPackageWizard(IOTAWizard* wizard) {
  if (attached) attached->registerPackageWizard(wizard);
}

std::string describeError(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "Unknown error";
  }
}

void ShowIdeError(std::exception_ptr error) {
  const std::string message = describeError(error);
  try {
    if (attached) {
      attached->showError(message);
      return;
    }
  } catch (...) {
    // The display itself failed: fall back to standard error below.
  }
  std::fprintf(stderr, "%s\n", message.c_str());
}

std::unique_ptr<PeriodicTimer> createIdeTimer() {
  if (!attached) return std::make_unique<ManualTimer>();
  return std::make_unique<IdeTimer>(attached->createPeriodicTimer());
}

}  // namespace hmr
