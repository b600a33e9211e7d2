// SPDX-License-Identifier: MIT
#include "lazarus/RealTimeTracker.h"

#include <exception>
#include <iostream>

#include "host/ide/StandInIde.h"
#include "ide/HMExpertPackage.h"
#include "ide/IdeBuild.h"
#include "lazarus/TrackerWindows.h"
#include "platform/HmrError.h"
#include "platform/SettingsStore.h"
#include "platform/SqliteSettingsStore.h"

namespace hmr {
namespace {

// The caption of the wizard's View-menu entry, as the stand-in IDE finds it.
constexpr const char* kTrackerMenuCaption = "Project Revedazl";

}  // namespace

RealTimeTracker::RealTimeTracker()
    : windows_(std::make_unique<TrackerWindows>()), store_(openDefaultSettingsStore()) {
  // The report a windowless tracker dialog prints goes to the IDE's standard output; the
  // errors it displays are collected for the caller.
  ide_ = std::make_unique<StandInIde>(5, *store_, std::cout, errors_);
  const PackageRecord& package = ide_->loadPackage(
      ide_build::PackageFileName, {&hmrPackageLoad, &Register, &hmrPackageUnload});
  if (package.state != PackageState::Registered) {
    const std::string why = package.errorText;
    ide_.reset();
    throw HmrError("The tracker could not start: " + why);
  }
  errors_.str({});
}

RealTimeTracker::~RealTimeTracker() {
  if (!ide_) return;
  try {
    stop();
  } catch (...) {
  }
  // Failures of the last saves can only go to standard error now.
  const std::string left = errors_.str();
  if (!left.empty()) std::cerr << left;
}

void RealTimeTracker::stop() {
  if (!ide_) return;
  // The time up to now counts in the sessions that close, even when catching up fails.
  std::exception_ptr failure;
  try {
    catchUp();
  } catch (...) {
    failure = std::current_exception();
  }
  ide_.reset();
  if (failure) std::rethrow_exception(failure);
}

void RealTimeTracker::catchUp() {
  if (!ide_) throw HmrError("The tracker has stopped");
  ide_->catchUpWith(callTime_ ? *callTime_ : systemClock_.now());
}

void RealTimeTracker::runAt(LocalDateTime when, const std::function<void()>& action) {
  struct Reset {
    std::optional<LocalDateTime>& time;
    ~Reset() { time.reset(); }
  } reset{callTime_};
  callTime_ = when;
  action();
}

void RealTimeTracker::projectOpened(const std::string& path) {
  catchUp();
  ide_->openProject(path);
}

void RealTimeTracker::fileOpened(const std::string& path,
                                 const std::vector<std::string>& owners) {
  catchUp();
  ide_->openFile(path, owners);
}

void RealTimeTracker::fileActivated(const std::string& path) {
  catchUp();
  ide_->activate(path);
}

void RealTimeTracker::sourceEdited(const std::string& path) {
  catchUp();
  ide_->edit(path);
}

void RealTimeTracker::formEdited(const std::string& path) {
  catchUp();
  ide_->editForm(path);
}

void RealTimeTracker::projectRenamed(const std::string& oldPath, const std::string& newPath) {
  catchUp();
  ide_->rename(oldPath, newPath);
}

void RealTimeTracker::fileClosed(const std::string& path) {
  catchUp();
  ide_->closeFile(path);
}

void RealTimeTracker::projectClosed(const std::string& path) {
  catchUp();
  ide_->closeProject(path);
}

void RealTimeTracker::menuChosen() {
  catchUp();
  windows_->start();
  ide_->clickViewMenu(kTrackerMenuCaption);
}

void RealTimeTracker::raiseDialog() { windows_->raiseDialog(); }

void RealTimeTracker::closeDialog() { windows_->closeDialog(); }

void RealTimeTracker::tick() { catchUp(); }

std::string RealTimeTracker::takeMessages() {
  std::string text = errors_.str();
  errors_.str({});
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

}  // namespace hmr
