// SPDX-License-Identifier: MIT
#include "setup/FppkgConfiguration.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "platform/HmrError.h"
#include "setup/ToolRun.h"

namespace hmr {
namespace {

namespace fs = std::filesystem;

bool isFolder(const fs::path& path) {
  std::error_code error;
  return fs::is_directory(path, error);
}

bool holdsPackages(const fs::path& folder) {
  return isFolder(folder / "fpmkinst") && isFolder(folder / "units");
}

// A version such as 3.2.2: three numbers.
bool isVersion(const std::string& name) {
  int numbers = 0;
  std::size_t i = 0;
  while (i < name.size()) {
    const std::size_t start = i;
    while (i < name.size() && std::isdigit(static_cast<unsigned char>(name[i]))) ++i;
    if (i == start) return false;
    ++numbers;
    if (i < name.size() && name[i++] != '.') return false;
  }
  return numbers >= 3 && name.back() != '.';
}

// The folder part of `path` as Free Pascal's ExtractFileDir gives it ("/usr/bin/fpc" ->
// "/usr/bin", "/usr" -> "/").
std::string folderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {};
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The value of `key` in the [Defaults] section of an fppkg.cfg.
std::string defaultsValue(const std::string& text, const std::string& key) {
  std::istringstream lines(text);
  bool inDefaults = false;
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line.front() == '[') {
      inDefaults = line == "[Defaults]";
      continue;
    }
    if (inDefaults && line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
  }
  return {};
}

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos;
       at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

}  // namespace

std::vector<std::string> fppkgPrefixCandidates(const std::string& compiler,
                                               const std::string& targetCpu) {
  std::vector<std::string> candidates;
  const std::string above = folderOf(folderOf(compiler));
  if (!above.empty()) candidates.push_back(above);
  // A compiler inside its own library folder (prefix/lib/fpc/3.2.2/ppcx64).
  if (const std::string further = folderOf(folderOf(above)); !further.empty())
    candidates.push_back(further);
  candidates.insert(candidates.end(), {"/usr/lib/fpc", "/usr/lib64/fpc",
                                       "/usr/lib/" + targetCpu + "-linux-gnu/fpc/default"});
  if (targetCpu == "arm") {
    candidates.push_back("/usr/lib/arm-linux-gnueabi/fpc/default");
    candidates.push_back("/usr/lib/arm-linux-gnueabihf/fpc/default");
  }
  candidates.insert(candidates.end(), {"/usr/local/lib/fpc", "/usr/local/lib64/fpc"});
  return candidates;
}

std::optional<FppkgPrefix> judgeFppkgPrefix(const std::string& prefix) {
  if (prefix.empty() || !isFolder(prefix)) return std::nullopt;
  std::string library = prefix;
  if (library.back() != '/') library += '/';
  if (holdsPackages(library)) return FppkgPrefix{prefix, library};
  std::vector<std::string> below;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(prefix, error))
    if (isFolder(entry.path())) below.push_back(entry.path().filename().string());
  std::sort(below.begin(), below.end());
  for (const std::string& name : below)
    if (holdsPackages(fs::path(prefix) / name))
      return FppkgPrefix{prefix, library + (isVersion(name) ? "{CompilerVersion}" : name) + "/"};
  return std::nullopt;
}

std::string fppkgConfigurationFile(const std::string& home) {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config && *config == '/') return std::string(config) + "/fppkg.cfg";
  return home + "/.config/fppkg.cfg";
}

std::string writeFppkgConfigurationIfMissing(const std::string& configFile,
                                             const std::string& home,
                                             const std::string& compiler,
                                             const std::string& targetCpu) {
  std::error_code error;
  if (fs::exists(fs::symlink_status(configFile, error))) return {};
  std::optional<FppkgPrefix> chosen;
  for (const std::string& candidate : fppkgPrefixCandidates(compiler, targetCpu))
    if ((chosen = judgeFppkgPrefix(candidate))) break;
  if (!chosen)
    throw HmrError("no folder of the compiler's packages was found for " + configFile);
  if (const std::string failure =
          runTool({"fpcmkcfg", "-p", "-3", "-o", configFile, "-d",
                   "globalpath=" + chosen->libraryPath, "-d", "globalprefix=" + chosen->prefix});
      !failure.empty())
    throw HmrError("writing " + configFile + " failed: " + failure);

  // The compiler configuration that the new file names, below the user's home.
  std::ifstream in(configFile);
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const std::string userDir = home + "/";
  const std::string repository =
      replaceAll(defaultsValue(text, "LocalRepository"), "{UserDir}", userDir);
  const std::string folder = replaceAll(
      replaceAll(defaultsValue(text, "CompilerConfigDir"), "{LocalRepository}", repository),
      "{UserDir}", userDir);
  const std::string name = defaultsValue(text, "CompilerConfig");
  std::string sentence = "Wrote the fppkg configuration " + configFile + " for the compiler's "
                         "packages in " + chosen->prefix;
  if (!folder.empty() && !name.empty() && folder.rfind(userDir, 0) == 0 &&
      folder.find('{') == std::string::npos) {
    const std::string compilerConfig = folder + (folder.back() == '/' ? "" : "/") + name;
    if (const std::string failure = runTool({"fpcmkcfg", "-p", "-4", "-o", compilerConfig, "-d",
                                             "fpcbin=" + compiler});
        !failure.empty())
      throw HmrError("writing " + compilerConfig + " failed: " + failure);
    sentence += ", and " + compilerConfig;
  }
  return sentence + ", as Lazarus's \"Restore Fppkg configuration\" does.";
}

}  // namespace hmr
