// SPDX-License-Identifier: MIT
#include "ide/PackageTrackerUi.h"

#include <utility>

#if HMR_PACKAGE_WITH_QT
#include <QApplication>

#include "ui/QtTrackerUi.h"
#endif

namespace hmr {

PackageTrackerUi::PackageTrackerUi(std::unique_ptr<TrackerUi> windowless)
    : windowless_(std::move(windowless)) {}

PackageTrackerUi::~PackageTrackerUi() = default;

bool PackageTrackerUi::qtWidgetsRun() {
#if HMR_PACKAGE_WITH_QT
  return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
#else
  return false;
#endif
}

TrackerUi& PackageTrackerUi::current() {
#if HMR_PACKAGE_WITH_QT
  if (!windows_ && qtWidgetsRun()) windows_ = std::make_unique<QtTrackerUi>();
  // A Qt application that has gone again leaves the windowless dialogs.
  if (windows_ && qtWidgetsRun()) return *windows_;
#endif
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
