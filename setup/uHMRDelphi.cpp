// SPDX-License-Identifier: MIT
#include "setup/uHMRDelphi.h"

#include <initializer_list>

#include "platform/HmrError.h"
#include "platform/SystemFacts.h"

namespace hmr {
namespace {

constexpr std::string_view CRLF = "\r\n";
constexpr std::string_view DataFileExtKey = ".hmr";
constexpr std::string_view DataFileTypeKey = "hmrfile";

// The default value of a key has the empty name.
constexpr std::string_view DefaultValue = "";

// Runs one store operation; a failure is reported and gives false.
template <typename Action>
bool attempt(InstallerOutput& output, Action&& action) {
  try {
    action();
    return true;
  } catch (const HmrError& e) {
    output.reportProblem(e.what());
    return false;
  }
}

std::string concat(std::initializer_list<std::string_view> parts) {
  std::string text;
  for (std::string_view part : parts) text += part;
  return text;
}

// The values that the IDE version selects.
struct HostVersion {
  std::string_view packageName;
  std::string_view ideKey;
  std::string_view versionText;
};

HostVersion hostVersion(int Version) {
  if (Version == 4) return {"HMExpert40", DelphiKey4, "4.0"};
  return {"HMExpert50", DelphiKey5, "5.0"};
}

}  // namespace

std::string NotInstalledMessage(int Version) {
  return concat({"It seems Delphi ", hostVersion(Version).versionText, " is not installed.", CRLF,
                 "Install aborted!"});
}

std::string FolderOfPath(std::string_view Path) {
  const auto end = Path.find_last_of("/:");
  return end == std::string_view::npos ? std::string() : std::string(Path.substr(0, end + 1));
}

std::string GetInstallerPath() { return currentSystemFacts().executablePath(); }

void RegisterDataFileType(SettingsStore& store, InstallerOutput& output) {
  const RegistryRoot root = RegistryRoot::ClassesRoot;
  if (attempt(output, [&] { store.createKey(root, DataFileExtKey); }))
    attempt(output,
            [&] { store.writeString(root, DataFileExtKey, DefaultValue, DataFileTypeKey); });

  if (!attempt(output, [&] { store.createKey(root, DataFileTypeKey); })) return;
  attempt(output,
          [&] { store.writeString(root, DataFileTypeKey, DefaultValue, "HMR Data File"); });
  const std::string viewer = FolderOfPath(GetInstallerPath()) + std::string(ViewerName);
  const std::string iconKey = concat({DataFileTypeKey, "\\", "DefaultIcon"});
  if (attempt(output, [&] { store.createKey(root, iconKey); }))
    attempt(output, [&] { store.writeString(root, iconKey, DefaultValue, viewer + ",0"); });
  // The file name is quoted, so that a name with blanks reaches the viewer whole; the program
  // path is written as it is.
  const std::string commandKey = concat({DataFileTypeKey, "\\", "Shell\\open\\command"});
  if (attempt(output, [&] { store.createKey(root, commandKey); }))
    attempt(output,
            [&] { store.writeString(root, commandKey, DefaultValue, viewer + " \"%1\""); });
}

bool InstallPackage(int Version, SettingsStore& store, InstallerOutput& output,
                    DesktopAssociation* desktop) {
  const auto [packageName, ideKeyName, versionText] = hostVersion(Version);
  const std::string_view ideKey = ideKeyName;  // a lambda may not capture a structured binding

  // The IDE counts as present when its key can be opened under either root. A store that
  // cannot be read counts as a key that cannot be opened.
  const auto canOpen = [&](RegistryRoot root) {
    bool exists = false;
    attempt(output, [&] { exists = store.keyExists(root, ideKey); });
    return exists;
  };
  const bool hostPresent =
      canOpen(RegistryRoot::LocalMachine) || canOpen(RegistryRoot::CurrentUser);
  const std::string path = GetInstallerPath();
  if (path.empty()) output.reportProblem("cannot find the installer's own path");
  if (!hostPresent || path.empty()) {
    output.showMessage(InstallMessageTitle, NotInstalledMessage(Version));
    return false;
  }

  // The entry goes under HKEY_CURRENT_USER also when only HKEY_LOCAL_MACHINE has the IDE key.
  const std::string packagesKey = concat({ideKey, "\\Known Packages"});
  const std::string packageFile = concat({FolderOfPath(path), packageName, ".bpl"});
  const bool written = attempt(output, [&] {
    store.createKey(RegistryRoot::CurrentUser, packagesKey);
    store.writeString(RegistryRoot::CurrentUser, packagesKey, packageFile, PackageDescription);
  });
  if (!written) {
    output.showMessage(InstallMessageTitle, concat({"Error while writing on ", packageFile,
                                                    " file.", CRLF, "Install aborted!"}));
    return false;
  }
  RegisterDataFileType(store, output);
  std::string message = concat({"HMR for Delphi ", versionText, " was successfully installed.",
                                CRLF, CRLF, "Delphi needs to be initialized in order to ", CRLF,
                                "installation of HMR has effect."});
  if (desktop) {
    const std::string viewer = FolderOfPath(path) + std::string(ViewerName);
    message += concat({CRLF, CRLF, desktop->associate(viewer, output)});
  }
  output.showMessage(InstallMessageTitle, message);
  return true;
}

}  // namespace hmr
