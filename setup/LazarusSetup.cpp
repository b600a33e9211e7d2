// SPDX-License-Identifier: MIT
#include "setup/LazarusSetup.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <tuple>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <sstream>

#include "platform/FileWriter.h"
#include "platform/HmrError.h"
#include "setup/FppkgConfiguration.h"
#include "setup/LazarusConfigFiles.h"
#include "setup/LazarusIdePackages.h"
#include "setup/ToolRun.h"

namespace hmr {
namespace {

namespace fs = std::filesystem;

constexpr const char* kPackageFile = "hmrlazarus.lpk";
constexpr const char* kIncludeFile = "hmrtrackerlibrary.inc";
constexpr const char* kLibraryName = "libhmrtracker.so";
constexpr const char* kStampFile = "hmrsetup-lazarus.stamp";
// What the package's main unit (hmrlazarus.pas) registers: how an IDE program shows it has HMR.
const RegisteringPackage kHmrPackage{"hmrlazarus", {"hmrlazarus", "HMRTrackerGlue"}};
// Lazarus's system-wide options on Debian, which lazbuild and the IDE copy into a new
// configuration.
constexpr const char* kSecondaryConfig = "/etc/lazarus";

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool pathExists(const fs::path& path) {
  std::error_code error;
  return fs::exists(fs::symlink_status(path, error));
}

// Replaces `path` with `text` (atomically) unless it holds exactly that; true when written.
bool writeIfDifferent(const fs::path& path, const std::string& text) {
  if (pathExists(path) && readFile(path) == text) return false;
  std::error_code error;
  fs::create_directories(path.parent_path(), error);
  if (error) throw HmrError("cannot create " + path.parent_path().string() + ": " + error.message());
  try {
    currentFileWriter().replaceContents(path.string(), text);
  } catch (const std::system_error& e) {
    throw HmrError("cannot write " + path.string() + ": " + e.what());
  }
  return true;
}

std::string environmentFolder(const char* variable, const std::string& fallback) {
  const char* value = std::getenv(variable);
  return value && *value == '/' ? std::string(value) : fallback;
}

std::string joinNames(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

std::string firstLine(const std::string& text) {
  std::string line = text.substr(0, text.find('\n'));
  while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
  return line;
}

// The last `count` lines of the file `path`.
std::string lastLines(const std::string& path, std::size_t count) {
  std::ifstream in(path);
  std::deque<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    lines.push_back(line);
    if (lines.size() > count) lines.pop_front();
  }
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

bool holdsHmr(const std::set<std::string>& constants) {
  return !packagesIn({kHmrPackage}, constants).empty();
}

std::set<std::string> constantsOf(const std::string& program) {
  return program.empty() ? std::set<std::string>() : programStringConstants(program);
}

// lazbuild as PATH finds it, and the Lazarus directory it lies in.
std::pair<std::string, std::string> findLazbuild() {
  const std::string lazbuild = findProgram("lazbuild");
  if (lazbuild.empty())
    throw HmrError("lazbuild is missing (on Debian: apt-get install lazarus fpc-source-3.2.2 "
                   "make)");
  const std::string tree = fs::path(lazbuild).parent_path().string();
  if (!pathExists(fs::path(tree) / "components"))
    throw HmrError(lazbuild + " does not lie in a Lazarus directory (no components/ beside it)");
  return {lazbuild, tree};
}

std::string primaryConfigFolder(const std::string& home, const std::string& primaryConfig) {
  std::error_code error;
  std::string config = fs::absolute(primaryConfig.empty() ? home + "/.lazarus" : primaryConfig,
                                    error).lexically_normal().string();
  while (config.size() > 1 && config.back() == '/') config.pop_back();
  return config;
}

}  // namespace

struct LazarusSetup::Lazarus {
  std::string lazbuild;
  std::string tree;     // the Lazarus directory
  std::string config;   // the primary configuration
  std::string version;  // as lazbuild reports it
  std::string compiler;
};

HmrLazarusPackage findHmrLazarusPackage(const std::string& installerPath,
                                        const std::string& systemPackageFolder) {
  const fs::path here = fs::path(installerPath).parent_path();
  if (pathExists(here / kLibraryName) && pathExists(here / "lazarus/package" / kPackageFile))
    return {(here / "lazarus/package").string(), (here / kLibraryName).string(), true};
  const fs::path system = (here / systemPackageFolder).lexically_normal();
  if (pathExists(system / kPackageFile)) {
    const std::string library = trackerLibraryOf(readFile(system / kIncludeFile));
    if (library.empty() || !pathExists(library))
      throw HmrError("the HMR package in " + system.string() + " names no tracker library " +
                     "that exists (" + (library.empty() ? "none" : library) + ")");
    return {system.string(), library, false};
  }
  throw HmrError("the HMR package for Lazarus is not beside " + installerPath + " (neither " +
                 (here / "lazarus/package").string() + " with " + kLibraryName + " nor " +
                 system.string() + ")");
}

std::string startedIdeProgram(const std::string& lazarusDirectory,
                              const std::string& primaryConfig) {
  const fs::path rebuilt = fs::path(primaryConfig) / "bin/lazarus";
  const fs::path own = fs::path(lazarusDirectory) / "lazarus";
  std::error_code error;
  const bool hasRebuilt = fs::is_regular_file(rebuilt, error);
  const bool hasOwn = fs::is_regular_file(own, error);
  if (hasRebuilt && hasOwn) {
    const auto rebuiltTime = fs::last_write_time(rebuilt, error);
    const auto ownTime = fs::last_write_time(own, error);
    return fs::canonical(rebuiltTime >= ownTime ? rebuilt : own, error).string();
  }
  if (hasRebuilt || hasOwn) return fs::canonical(hasRebuilt ? rebuilt : own, error).string();
  return {};
}

std::string trackerLibraryInclude(const std::string& library) {
  std::string quoted;
  for (char c : library) {
    if (static_cast<unsigned char>(c) < 32)
      throw HmrError("the tracker library's path holds a control character: " + library);
    quoted += c == '\'' ? std::string("''") : std::string(1, c);
  }
  return "{ Written by HMR's installer: where this copy of the package loads the tracker\n"
         "  library from. }\n"
         "const\n"
         "  TrackerLibraryPath = '" + quoted + "';\n";
}

std::string trackerLibraryOf(const std::string& includeText) {
  const std::size_t name = includeText.find("TrackerLibraryPath");
  if (name == std::string::npos) return {};
  std::size_t at = includeText.find('\'', name);
  if (at == std::string::npos) return {};
  std::string path;
  for (++at; at < includeText.size(); ++at) {
    if (includeText[at] != '\'') {
      path += includeText[at];
    } else if (at + 1 < includeText.size() && includeText[at + 1] == '\'') {
      path += '\'';
      ++at;
    } else {
      return path;
    }
  }
  return {};  // not closed
}

std::string packageSourcesDigest(const std::string& folder) {
  std::vector<fs::path> files;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
    const std::string extension = entry.path().extension().string();
    if (entry.is_regular_file(error) &&
        (extension == ".lpk" || extension == ".pas" || extension == ".pp" || extension == ".inc"))
      files.push_back(entry.path());
  }
  if (error) throw HmrError("cannot read " + folder + ": " + error.message());
  std::sort(files.begin(), files.end());
  // FNV-1a, 64 bits: a change detector, not a seal.
  std::uint64_t hash = 0xcbf29ce484222325ull;
  const auto add = [&](const std::string& bytes) {
    for (unsigned char c : bytes) hash = (hash ^ c) * 0x100000001b3ull;
    hash = (hash ^ 0xffu) * 0x100000001b3ull;  // a separator no text byte run can fake
  };
  for (const fs::path& file : files) {
    add(file.filename().string());
    add(readFile(file));
  }
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
  return text;
}

bool rebuildNeeded(bool ideHoldsHmr, const std::string& stamp, const std::string& packageFile,
                   const std::string& digest) {
  return !ideHoldsHmr || stamp != buildStamp(packageFile, digest);
}

std::string buildStamp(const std::string& packageFile, const std::string& digest) {
  return "package " + packageFile + "\nsources " + digest + "\n";
}

LazarusSetup::LazarusSetup(HmrLazarusPackage package, std::string home, std::ostream& out)
    : package_(std::move(package)), home_(std::move(home)), out_(out) {
  log_ = environmentFolder("XDG_CACHE_HOME", home_ + "/.cache") + "/hmr/hmrsetup-lazarus.log";
}

LazarusSetup::Lazarus LazarusSetup::prepare(const std::string& primaryConfig) {
  if (geteuid() == 0)
    throw HmrError("run hmrsetup-lazarus as the user whose Lazarus gets HMR, not as root: as "
                   "root, lazbuild would rebuild the system's Lazarus itself");
  Lazarus lazarus;
  std::tie(lazarus.lazbuild, lazarus.tree) = findLazbuild();
  for (const char* tool : {"fpc", "make"}) {
    const std::string found = findProgram(tool);
    if (found.empty())
      throw HmrError(std::string(tool) + " is missing (on Debian: apt-get install lazarus "
                     "fpc-source-3.2.2 make)");
    if (std::string(tool) == "fpc") lazarus.compiler = found;
  }
  struct stat tree {};
  if (stat(lazarus.tree.c_str(), &tree) != 0)
    throw HmrError(lazarus.tree + ": " + std::strerror(errno));
  if (access(lazarus.tree.c_str(), W_OK) == 0 && tree.st_uid != geteuid())
    throw HmrError("lazbuild would write into the Lazarus installation " + lazarus.tree +
                   ", which belongs to another account: HMR goes into your own configuration "
                   "only");

  std::error_code error;
  lazarus.config = primaryConfigFolder(home_, primaryConfig);
  fs::create_directories(lazarus.config, error);
  if (error) throw HmrError("cannot create " + lazarus.config + ": " + error.message());
  const std::optional<std::string> version = toolOutput({lazarus.lazbuild, "--version"});
  if (!version || firstLine(*version).empty())
    throw HmrError(lazarus.lazbuild + " --version did not answer");
  lazarus.version = firstLine(*version);

  // The configuration's Lazarus version: another one makes the IDE offer to convert the
  // configuration at its next start, and converting deletes <config>/bin, the IDE built here.
  const fs::path options = fs::path(lazarus.config) / EnvironmentOptionsFile;
  if (!pathExists(options)) {
    const fs::path system = fs::path(kSecondaryConfig) / EnvironmentOptionsFile;
    if (pathExists(system)) {
      writeIfDifferent(options, withLazarusVersion(readFile(system), lazarus.version,
                                                   system.string()));
      out_ << "Made " << options.string() << " from " << system.string() << ", for Lazarus "
           << lazarus.version << ".\n";
    }
  } else {
    const std::string text = readFile(options);
    const std::optional<std::string> recorded = lazarusVersionOf(text);
    if (recorded && *recorded != lazarus.version) {
      if (!sameLazarusRelease(*recorded, lazarus.version))
        throw HmrError(options.string() + " was last used by Lazarus " + *recorded +
                       ": start Lazarus " + lazarus.version + " once so that it converts its "
                       "configuration, then run hmrsetup-lazarus again");
      writeIfDifferent(options, withLazarusVersion(text, lazarus.version, options.string()));
      out_ << "Marked " << options.string() << " as Lazarus " << lazarus.version
           << "'s (it said " << *recorded << ", the same release).\n";
    }
  }
  out_ << "Lazarus " << lazarus.version << " in " << lazarus.tree << ", configuration "
       << lazarus.config << "\n";
  return lazarus;
}

std::string LazarusSetup::placePackage() {
  if (!package_.perUser) return package_.sourceFolder;
  // A build tree goes away or changes: the user's IDE builds from a copy of its own, which
  // loads a copy of the library that a later build of the tree does not change under it.
  const fs::path library = fs::path(home_) / ".local/lib/hmr" / kLibraryName;
  const fs::path folder =
      fs::path(environmentFolder("XDG_DATA_HOME", home_ + "/.local/share")) / "hmr/lazarus";
  if (writeIfDifferent(library, readFile(package_.library)))
    out_ << "Tracker library: " << library.string() << "\n";
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(package_.sourceFolder, error)) {
    const std::string extension = entry.path().extension().string();
    if (entry.is_regular_file(error) &&
        (extension == ".lpk" || extension == ".pas" || extension == ".pp"))
      writeIfDifferent(folder / entry.path().filename(), readFile(entry.path()));
  }
  if (error) throw HmrError("cannot read " + package_.sourceFolder + ": " + error.message());
  writeIfDifferent(folder / kIncludeFile, trackerLibraryInclude(library.string()));
  return folder.string();
}

void LazarusSetup::runLazbuild(const Lazarus& lazarus,
                               const std::vector<std::string>& arguments) {
  std::error_code error;
  fs::create_directories(fs::path(log_).parent_path(), error);
  std::vector<std::string> command = {lazarus.lazbuild, "--pcp=" + lazarus.config};
  command.insert(command.end(), arguments.begin(), arguments.end());
  {
    std::ofstream log(log_, std::ios::app);
    log << "\n$";
    for (const std::string& arg : command) log << " " << arg;
    log << "\n";
  }
  if (const std::string failure = runToolLogged(command, log_); !failure.empty())
    throw HmrError(failure + "; the end of its log:\n" + lastLines(log_, 25) +
                   "The whole log is " + log_);
}

void LazarusSetup::install(const std::string& primaryConfig) {
  const Lazarus lazarus = prepare(primaryConfig);
  const std::string fppkg = fppkgConfigurationFile(home_);
  try {
    if (const std::string done = writeFppkgConfigurationIfMissing(
            fppkg, home_, lazarus.compiler, firstLine(toolOutput({"fpc", "-iTP"}).value_or("")));
        !done.empty())
      out_ << done << "\n";
  } catch (const HmrError& e) {
    out_ << "Lazarus will ask about fppkg at its next start: " << e.what() << "\n";
  }

  const std::string folder = placePackage();
  const std::string packageFile = (fs::path(folder) / kPackageFile).string();
  const std::string ide = startedIdeProgram(lazarus.tree, lazarus.config);
  const std::set<std::string> constants = constantsOf(ide);
  const std::string digest = packageSourcesDigest(folder);
  const fs::path stampFile = fs::path(lazarus.config) / kStampFile;
  if (!rebuildNeeded(holdsHmr(constants), pathExists(stampFile) ? readFile(stampFile) : "",
                     packageFile, digest)) {
    out_ << "HMR is in your Lazarus already (" << ide << "), built from this package: "
         << "nothing to rebuild.\n";
    return;
  }

  // The packages of the IDE the user runs now, beyond the base set every build has.
  const std::vector<RegisteringPackage> treePackages =
      registeringPackages(lazarus.tree + "/components");
  std::vector<std::string> kept;
  for (std::string& name : packagesIn(treePackages, constants))
    if (!isBaseIdePackage(name)) kept.push_back(std::move(name));

  const fs::path misc = fs::path(lazarus.config) / MiscellaneousOptionsFile;
  const bool hadMisc = pathExists(misc);
  const std::string miscBefore = hadMisc ? readFile(misc) : std::string();
  try {
    // Lazarus's own way to install a package: on the list, and its file known to Lazarus.
    out_ << "Adding " << packageFile << " to the packages of your IDE.\n";
    runLazbuild(lazarus, {"--add-package", packageFile});
    std::vector<std::string> list = installListOf(readFile(misc), misc.string());
    std::vector<std::string> added;
    for (const std::string& name : kept)
      if (std::none_of(list.begin(), list.end(),
                       [&](const std::string& listed) { return samePackageName(listed, name); }))
        added.push_back(name);
    list.insert(list.end(), added.begin(), added.end());
    if (!added.empty())
      writeIfDifferent(misc, withInstallList(readFile(misc), list, misc.string()));
    out_ << "Keeping the " << kept.size() << " packages of " << (ide.empty() ? "-" : ide)
         << " beyond Lazarus's base set";
    if (!added.empty()) out_ << " (" << added.size() << " of them put on the install list)";
    out_ << ": " << joinNames(kept) << "\n";
    out_ << "Building your Lazarus IDE with HMR (a minute or more; log: " << log_ << ") ..."
         << std::endl;
    const auto started = std::chrono::steady_clock::now();
    runLazbuild(lazarus, {"--build-ide="});
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
                             std::chrono::steady_clock::now() - started).count();
    const std::string rebuilt = startedIdeProgram(lazarus.tree, lazarus.config);
    const std::set<std::string> now = constantsOf(rebuilt);
    if (!holdsHmr(now))
      throw HmrError("lazbuild ended, but " + (rebuilt.empty() ? "no IDE" : rebuilt) +
                     " does not hold HMR; the log is " + log_);
    const std::vector<std::string> built = packagesIn(treePackages, now);
    std::vector<std::string> lost;
    for (const std::string& name : kept)
      if (std::none_of(built.begin(), built.end(),
                       [&](const std::string& n) { return samePackageName(n, name); }))
        lost.push_back(name);
    writeIfDifferent(stampFile, buildStamp(packageFile, digest));
    out_ << "HMR is in your Lazarus: " << rebuilt << ", built in " << seconds << " s.\n";
    if (!lost.empty())
      out_ << "These packages did not make it into the new IDE (see " << log_
           << "): " << joinNames(lost) << "\n";
    out_ << "Start Lazarus as always (startlazarus, or Lazarus in the desktop menu"
         << (primaryConfig.empty() ? "" : ", with --pcp=" + lazarus.config)
         << "); View > Project Revedazl shows the tracker.\n";
  } catch (...) {
    // The configuration as it was: a later rebuild in Lazarus must not trip over our package.
    if (hadMisc) writeIfDifferent(misc, miscBefore);
    throw;
  }
}

void LazarusSetup::uninstall(const std::string& primaryConfig) {
  // A configuration that is not there holds no HMR: nothing is made for it.
  const std::string config = primaryConfigFolder(home_, primaryConfig);
  if (geteuid() != 0 && !pathExists(config)) {
    out_ << "HMR is not in your Lazarus: there is no configuration " << config << ".\n";
    return;
  }
  const Lazarus lazarus = prepare(primaryConfig);
  const fs::path misc = fs::path(lazarus.config) / MiscellaneousOptionsFile;
  const std::string miscBefore = pathExists(misc) ? readFile(misc) : std::string();
  std::vector<std::string> list = installListOf(miscBefore, misc.string());
  const std::size_t before = list.size();
  list.erase(std::remove_if(list.begin(), list.end(),
                            [](const std::string& name) {
                              return samePackageName(name, kHmrPackage.name);
                            }),
             list.end());
  const bool listChanged = list.size() != before;
  const std::string ide = startedIdeProgram(lazarus.tree, lazarus.config);
  if (!listChanged && !holdsHmr(constantsOf(ide))) {
    out_ << "HMR is not in your Lazarus (" << lazarus.config << "): nothing to rebuild.\n";
    removePerUserFiles(lazarus);
    return;
  }
  try {
    if (listChanged) writeIfDifferent(misc, withInstallList(miscBefore, list, misc.string()));
    out_ << "Building your Lazarus IDE without HMR (a minute or more; log: " << log_ << ") ..."
         << std::endl;
    runLazbuild(lazarus, {"--build-ide="});
    const std::string rebuilt = startedIdeProgram(lazarus.tree, lazarus.config);
    if (holdsHmr(constantsOf(rebuilt)))
      throw HmrError("lazbuild ended, but " + rebuilt + " still holds HMR; the log is " + log_);
    removePerUserFiles(lazarus);
    out_ << "HMR is out of your Lazarus: " << rebuilt << " is built without it. Your options, "
         << "your other packages, the data files (.HMR) and HMR's settings stay.\n";
  } catch (...) {
    if (listChanged) writeIfDifferent(misc, miscBefore);
    throw;
  }
}

void LazarusSetup::listPackages(const std::string& primaryConfig) {
  const auto [lazbuild, tree] = findLazbuild();
  const std::string config = primaryConfigFolder(home_, primaryConfig);
  const std::string ide = startedIdeProgram(tree, config);
  if (ide.empty()) throw HmrError("no Lazarus IDE program in " + tree + " nor " + config + "/bin");
  const std::set<std::string> constants = programStringConstants(ide);
  out_ << "# " << ide << "\n";
  for (const std::string& name : packagesIn(registeringPackages(tree + "/components"), constants))
    if (!isBaseIdePackage(name)) out_ << name << "\n";
  if (holdsHmr(constants)) out_ << kHmrPackage.name << "\n";
}

void LazarusSetup::removePerUserFiles(const Lazarus& lazarus) {
  std::error_code error;
  fs::remove(fs::path(lazarus.config) / kStampFile, error);
  // The units lazbuild compiled for a package it could not write beside (a system one).
  fs::remove_all(fs::path(lazarus.config) / "lib" / kHmrPackage.name, error);
  const fs::path folder =
      fs::path(environmentFolder("XDG_DATA_HOME", home_ + "/.local/share")) / "hmr/lazarus";
  if (pathExists(folder / kPackageFile)) fs::remove_all(folder, error);
  fs::remove(folder.parent_path(), error);  // only when empty
  const fs::path library = fs::path(home_) / ".local/lib/hmr" / kLibraryName;
  fs::remove(library, error);
  fs::remove(library.parent_path(), error);  // only when empty
}

}  // namespace hmr
