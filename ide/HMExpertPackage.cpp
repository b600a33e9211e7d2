// SPDX-License-Identifier: MIT
// The package's entry points, the only symbols the package library exports. They run the unit
// initialisations and finalisations and the registration, and let no error out to the IDE.
//
// The package never creates a Qt application, nor looks for one: it asks its IDE. When the IDE
// offers Qt widgets as the package loads, it counts time on a QTimer of the IDE's event loop;
// otherwise on the IDE's own timer. Its dialogs are the Qt ones whenever the IDE offers Qt
// widgets at the time they show (PackageTrackerUi).
#include <memory>

#if HMR_PACKAGE_WITH_QT
#include "ui/QtPeriodicTimer.h"
#endif

#include "core/uHMRTimer.h"
#include "ide/HMExpertPackage.h"
#include "ide/IdeBuild.h"
#include "ide/PackageHost.h"
#include "ide/PackageTrackerUi.h"
#include "ide/WindowlessTrackerDialog.h"
#include "ide/contract/IdeHostServices.h"
#include "ide/uHMWizard.h"
#include "platform/Clock.h"

#define HMR_PACKAGE_ENTRY extern "C" __attribute__((visibility("default")))

namespace {

// What the unit initialisations create, for the finalisations to take down again.
struct PackageUnits {
  hmr::Clock* previousClock = nullptr;
  std::unique_ptr<hmr::PackageTrackerUi> trackerUi;
};

std::unique_ptr<PackageUnits> units;

std::unique_ptr<hmr::PackageTrackerUi> createTrackerUi(hmr::IdeHostServices* host) {
  return std::make_unique<hmr::PackageTrackerUi>(
      host, std::make_unique<hmr::WindowlessTrackerDialog>([](const std::string& text) {
        if (hmr::IdeHostServices* attached = hmr::packageHost()) attached->writeOutput(text);
      }));
}

std::unique_ptr<hmr::PeriodicTimer> createPackageTimer(const hmr::PackageTrackerUi& windows) {
#if HMR_PACKAGE_WITH_QT
  // The timer's errors go to the IDE's error display; the event loop goes on.
  if (windows.qtWindowsOffered())
    return std::make_unique<hmr::QtPeriodicTimer>(
        [](std::exception_ptr error) { hmr::ShowIdeError(error); });
#else
  (void)windows;
#endif
  return hmr::createIdeTimer();
}

void finalizeUnits() noexcept {
  hmr::TimerGlobal.reset();
  if (units) {
    units->trackerUi.reset();
    hmr::installClock(units->previousClock);
    units.reset();
  }
  hmr::setPackageHost(nullptr);
}

}  // namespace

HMR_PACKAGE_ENTRY int hmrPackageLoad(hmr::IdeHostServices* host, std::int32_t version) noexcept {
  if (!host || version != hmr::kIdeHostServicesVersion || units) return 1;
  hmr::setPackageHost(host);
  try {
    units = std::make_unique<PackageUnits>();
    // The package's clock is the IDE's clock: this library has its own copy of the core.
    units->previousClock = hmr::installClock(&host->clock());
    units->trackerUi = createTrackerUi(host);
    hmr::TimerGlobal =
        std::make_unique<hmr::THMRGlobalTimer>(createPackageTimer(*units->trackerUi));
    return 0;
  } catch (...) {
    hmr::ShowIdeError(std::current_exception());
    finalizeUnits();
    return 1;
  }
}

HMR_PACKAGE_ENTRY void Register() noexcept {
  hmr::guardedForIde([] {
    if (units) hmr::RegisterHMWizard(*units->trackerUi);
  });
}

HMR_PACKAGE_ENTRY void hmrPackageUnload() noexcept { finalizeUnits(); }

hmr::PackageBuild hmr::linkedPackageBuild() {
  return {ide_build::PackageFileName, ide_build::IID_IOTAProject};
}

hmr::QtTrackerUi* hmr::linkedPackageQtWindows() {
  return units ? units->trackerUi->qtWindows() : nullptr;
}
