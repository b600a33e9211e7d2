// SPDX-License-Identifier: MIT
#include "ide/PackageTrackerUi.h"

#include <utility>

#include "ide/contract/IdeHostServices.h"

#if HMR_PACKAGE_WITH_QT
#include "ui/QtTrackerUi.h"
#endif

namespace hmr {
namespace {

#if HMR_PACKAGE_WITH_QT
constexpr bool kWithQt = true;
#else
constexpr bool kWithQt = false;  // a build without Qt has no Qt windows to show
#endif

}  // namespace

PackageTrackerUi::PackageTrackerUi(IdeHostServices* host, std::unique_ptr<TrackerUi> windowless)
    : host_(host), windowless_(std::move(windowless)) {}

PackageTrackerUi::~PackageTrackerUi() = default;

bool PackageTrackerUi::qtWindowsOffered() const {
  return kWithQt && host_ && host_->windows() == HostWindows::qtWidgets;
}

QtTrackerUi* PackageTrackerUi::qtWindows() const {
#if HMR_PACKAGE_WITH_QT
  return static_cast<QtTrackerUi*>(windows_.get());
#else
  return nullptr;
#endif
}

TrackerUi& PackageTrackerUi::current() {
#if HMR_PACKAGE_WITH_QT
  if (qtWindowsOffered()) {
    if (!windows_) windows_ = std::make_unique<QtTrackerUi>();
    return *windows_;
  }
#endif
  // An IDE that no longer offers windows has the windowless dialogs again.
  return *windowless_;
}

void PackageTrackerUi::showTrackerDialog(THMRProjectGroup& group, bool standAlone,
                                         const std::string& fileToOpen) {
  current().showTrackerDialog(group, standAlone, fileToOpen);
}

void PackageTrackerUi::closeTrackerDialog(THMRProjectGroup& group) {
  current().closeTrackerDialog(group);
}

int PackageTrackerUi::showUserDialog(SettingsStore& store, bool allowNewUser,
                                     const std::string& keyPath, std::string& userName) {
  return current().showUserDialog(store, allowNewUser, keyPath, userName);
}

void PackageTrackerUi::showError(const std::string& message) { current().showError(message); }

}  // namespace hmr
