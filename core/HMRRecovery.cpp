// SPDX-License-Identifier: MIT
#include "core/HMRRecovery.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "core/HMRFileIO.h"
#include "core/PathText.h"
#include "core/uHMRMessages.h"
#include "core/uHMRProject.h"
#include "platform/FileRead.h"
#include "platform/HmrError.h"
#include "platform/UserFolders.h"

namespace hmr {
namespace {

std::uint64_t fnv1a(std::string_view text) {
  std::uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : text) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  return hash;
}

// Creates the recovery folder and the folders above it; the last one only for the user.
// Fails naming the folder when it cannot be made or something else stands in its place.
void makeFolder(const std::string& recoveryFile, const std::string& folder) {
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(folder).parent_path(), error);
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
    throw HmrSaveFailed(recoveryFile, "cannot make the folder " + folder + ": " +
                                          std::strerror(errno));
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
    throw HmrSaveFailed(recoveryFile, folder + " is not a folder");
  if (::access(folder.c_str(), W_OK | X_OK) != 0)
    throw HmrSaveFailed(recoveryFile,
                        "the folder " + folder + " cannot be written: " + std::strerror(errno));
}

std::int64_t secondsOf(TDateTime dt) { return ConvertDateTimeToSeconds(dt); }

}  // namespace

std::string recoveryFileFor(const std::string& dataFile) {
  const std::string folder = recoveryFolder();
  if (folder.empty()) return {};
  std::error_code error;
  std::filesystem::path absolute = std::filesystem::absolute(dataFile, error);
  if (error) absolute = dataFile;
  const std::string key = absolute.lexically_normal().string();
  char digits[17];
  std::snprintf(digits, sizeof digits, "%016llx",
                static_cast<unsigned long long>(fnv1a(key)));
  return folder + "/" + extractBaseName(key) + "-" + digits + ".HMR";
}

void writeRecoveryFile(const std::string& dataFile, const THMRProject& project) {
  const std::string path = recoveryFileFor(dataFile);
  if (path.empty())
    throw HmrSaveFailed(dataFile, "no folder for recovery files (no home folder)");
  makeFolder(path, recoveryFolder());
  writeHmrFile(path, project.TimeForIdle, project.MinimumWorkTime, project.ProjectName,
               project.Sessions);
}

bool readRecoveryFile(const std::string& dataFile, HmrFileContents& out) {
  const std::string path = recoveryFileFor(dataFile);
  if (path.empty() || !pathExists(path)) return false;
  readHmrFile(path, out);
  return true;
}

void removeRecoveryFile(const std::string& dataFile) {
  const std::string path = recoveryFileFor(dataFile);
  if (!path.empty()) std::remove(path.c_str());
}

bool moveRecoveryFile(const std::string& from, const std::string& to) {
  const std::string source = recoveryFileFor(from);
  const std::string target = recoveryFileFor(to);
  if (source.empty() || source == target) return !source.empty();
  return std::rename(source.c_str(), target.c_str()) == 0;
}

void mergeRecoveredSessions(std::vector<std::unique_ptr<TSessionData>>& sessions,
                            std::vector<std::unique_ptr<TSessionData>> recovered) {
  for (auto& session : recovered) {
    const std::int64_t open = secondsOf(session->SessionDateTimeOpen);
    const auto same = std::find_if(sessions.begin(), sessions.end(), [&](const auto& s) {
      return secondsOf(s->SessionDateTimeOpen) == open;
    });
    if (same != sessions.end()) {
      if (secondsOf(session->SessionDateTimeClose) > secondsOf((*same)->SessionDateTimeClose))
        *same = std::move(session);
      continue;
    }
    const auto later = std::find_if(sessions.begin(), sessions.end(), [&](const auto& s) {
      return secondsOf(s->SessionDateTimeOpen) > open;
    });
    sessions.insert(later, std::move(session));
  }
}

}  // namespace hmr
