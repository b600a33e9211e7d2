// SPDX-License-Identifier: MIT
#include "host/ide/StandInIde.h"

#include <csignal>
#include <cstdlib>
#include <ostream>
#include <vector>

#include "core/PathText.h"
#include "platform/SettingsStore.h"

namespace hmr {

IdeDescription delphiIdeDescription(int ideVersion) {
  const bool delphi4 = ideVersion == 4;
  IdeDescription ide;
  ide.name = delphi4 ? "Delphi 4" : "Delphi 5";
  // Both versions name their project interface alike, with an identity of each version's own.
  ide.projectInterface = delphi4 ? IID_IOTAProject_Delphi4 : IID_IOTAProject_Delphi5;
  ide.projectGroupFileName = "ProjectGroup1.bpg";
  ide.mainMenu = {
      {"FileMenu", "&File", {{"FileNewItem", "&New...", {}}, {"FileOpenItem", "&Open...", {}}}},
      {"EditMenu", "&Edit", {}},
      {"SearchMenu", "&Search", {}},
      {ViewsMenuName,
       "&View",
       {{"ViewPrjMgrItem", "Project &Manager", {}},
        {"ViewObjInspItem", "Object &Inspector", {}},
        {"ViewAlignItem", "Alig&nment Palette", {}},
        {"ViewBrowserItem", "&Browser", {}},
        {"ViewCodeExplorerItem", "Code &Explorer", {}},
        {"ViewCompListItem", "&Component List", {}},
        {"ViewWindowListItem", "&Window List...", {}}}},
      {"ProjectMenu", "&Project", {}},
      {"HelpMenu", "&Help", {}},
  };
  return ide;
}

StandInIde::StandInIde(int ideVersion, SettingsStore& store, std::ostream& out,
                       std::ostream& err)
    : IdeHost(delphiIdeDescription(ideVersion), store, out, err),
      version_(ideVersion == 4 ? 4 : 5),
      viewsMenu_(builtMenu(ViewsMenuName)) {}

// The packages go while this persona still answers the host's questions.
StandInIde::~StandInIde() { unloadPackages(); }

std::string StandInIde::versionKey() const {
  return version_ == 4 ? "SOFTWARE\\Borland\\Delphi\\4.0" : "SOFTWARE\\Borland\\Delphi\\5.0";
}

std::string StandInIde::knownPackagesKey() const { return versionKey() + "\\Known Packages"; }

void StandInIde::ensureVersionKey() {
  SettingsStore& store = settingsStore();
  if (!store.keyExists(RegistryRoot::CurrentUser, versionKey()))
    store.createKey(RegistryRoot::CurrentUser, versionKey());
}

void StandInIde::loadKnownPackages() {
  SettingsStore& store = settingsStore();
  if (!store.keyExists(RegistryRoot::CurrentUser, knownPackagesKey())) return;
  // A damaged entry costs only its own package: the IDE says so and starts with the others.
  std::vector<DamagedValue> damaged;
  const std::vector<SettingsValue> listed =
      store.readableValues(RegistryRoot::CurrentUser, knownPackagesKey(), damaged);
  for (const DamagedValue& entry : damaged)
    errorStream() << "Skipped the Known Packages entry " << entry.name << ": " << entry.reason
                  << "\n";
  for (const SettingsValue& value : listed)
    if (!value.name.empty()) loadPackage(value.name);
}

void StandInIde::moduleOpened(IdeModule& module) {
  module.refuseNotifiers = refuseModuleNotifiers;
}

// ---- the script's clock commands ----------------------------------------------------------

void StandInIde::runInRealTime() { time().followRealClock(systemClock_); }

void StandInIde::setClock(TDateTime when) {
  if (inRealTime()) throw IdeActionError("the clock is the system's in a windowed IDE");
  time().setClock(when);
}

void StandInIde::advance(std::int64_t seconds) {
  if (inRealTime()) throw IdeActionError("time passes by itself in a windowed IDE");
  time().advance(seconds);
}

void StandInIde::shiftClock(std::int64_t seconds) {
  if (inRealTime()) throw IdeActionError("the clock is the system's in a windowed IDE");
  time().shiftClock(seconds);
}

void StandInIde::crash() {
  output().flush();
  errorStream().flush();
  std::raise(SIGKILL);
  std::abort();  // not reached: SIGKILL cannot be caught
}

// ---- the menu -----------------------------------------------------------------------------

void StandInIde::clickViewMenu(const std::string& caption) {
  auto plain = [](const std::string& text) {
    std::string result;
    for (char c : text)
      if (c != '&') result += c;
    return result;
  };
  TMenuItem* views = viewsMenu();
  for (std::int32_t i = 0; views && i < views->Count(); ++i) {
    TMenuItem* item = views->Items(i);
    if (sameText(plain(item->Caption), plain(caption))) {
      chooseMenuEntry(*item);
      return;
    }
  }
  throw IdeActionError("no entry \"" + caption + "\" in the View menu");
}

}  // namespace hmr
