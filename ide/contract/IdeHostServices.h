// SPDX-License-Identifier: MIT
// What the IDE hands a package that the tools interfaces alone do not carry: the services
// globals (BorlandIDEServices, ToolServices), wizard registration, and the host's clock,
// periodic timer, settings store, error display and the windows it offers. The package is a
// separate shared library with its own copy of the core, so it takes all of these from the
// host instead of reaching for process globals of its own (Qt's among them).
//
// Package lifecycle (each entry point is extern "C" and never lets an exception out):
//   1. hmrPackageLoad(host, version): the unit initialisations (the clock, TimerGlobal).
//      Returns 0 on success; anything else means the package refused to load.
//   2. Register(): creates the package's wizards and hands them to RegisterPackageWizard.
//   3. ... the IDE runs ...
//   4. the IDE releases every wizard the package registered;
//   5. hmrPackageUnload(): the unit finalisations (TimerGlobal destroyed, clock given back).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace hmr {

class Clock;
class IBorlandIDEServices;
class IOTAWizard;
class PeriodicTimer;
class SettingsStore;
class TIToolServices;

// Raised by one whenever the interfaces between IDE and package change.
inline constexpr std::int32_t kIdeHostServicesVersion = 2;

// The windows an IDE offers its packages.
enum class HostWindows : std::uint8_t {
  windowless,  // none: a package writes what a window would show to the IDE's output
  qtWidgets,   // Qt widgets: a QApplication runs on the IDE's thread, with its event loop
};

class IdeHostServices {
 public:
  virtual ~IdeHostServices() = default;

  virtual IBorlandIDEServices* borlandIDEServices() = 0;
  virtual TIToolServices* toolServices() = 0;
  // The IDE takes a reference to the wizard and releases it before it unloads the package.
  virtual void registerPackageWizard(IOTAWizard* wizard) = 0;
  // The IDE's clock; it outlives the package.
  virtual Clock& clock() = 0;
  // A periodic timer driven by the IDE's event loop; its callback runs on the IDE's thread.
  virtual std::unique_ptr<PeriodicTimer> createPeriodicTimer() = 0;
  // The registry; it outlives the package.
  virtual SettingsStore& settingsStore() = 0;
  // The IDE's error display.
  virtual void showError(const std::string& message) = 0;
  // Where a host without windows shows what a window would show (the tracker's report).
  virtual void writeOutput(const std::string& text) = 0;
  // The windows the IDE offers now. An IDE may begin to offer Qt widgets later (one that
  // starts Qt when the user first asks for a window), so a package asks again each time it
  // would show one.
  virtual HostWindows windows() = 0;
};

// The entry points, as the IDE looks them up in the package library.
inline constexpr const char* kPackageLoadEntry = "hmrPackageLoad";
inline constexpr const char* kPackageRegisterEntry = "Register";
inline constexpr const char* kPackageUnloadEntry = "hmrPackageUnload";

using PackageLoadFunction = int (*)(IdeHostServices* host, std::int32_t version);
using PackageRegisterFunction = void (*)();
using PackageUnloadFunction = void (*)();

}  // namespace hmr
