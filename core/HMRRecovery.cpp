// SPDX-License-Identifier: MIT
#include "core/HMRRecovery.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>

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
  // Taken one recovered session at a time, the rule is: a session with the same open time
  // as the first such session in the list replaces it when it closes later; a new one goes
  // before the first session that opens after it. The same result comes from whole lists:
  // the first session that opens after a time is always one that opens after every session
  // before it (a "leader"), and a new session, opening after every session before that
  // leader and at no known time, becomes a leader itself. So the new sessions, sorted by
  // open time, go before the first leader that opens after them, and the list is walked once.
  const std::size_t n = sessions.size();
  std::vector<std::int64_t> opens(n);
  for (std::size_t i = 0; i < n; ++i) opens[i] = secondsOf(sessions[i]->SessionDateTimeOpen);

  // The first session of each open time. A list in open-time order (the usual one) is its
  // own index; any other order gets a sorted copy.
  struct Known {
    std::int64_t open;
    std::size_t index;
  };
  std::vector<Known> byOpen;
  const bool inOrder = std::is_sorted(opens.begin(), opens.end());
  if (!inOrder) {
    byOpen.reserve(n);
    for (std::size_t i = 0; i < n; ++i) byOpen.push_back({opens[i], i});
    std::sort(byOpen.begin(), byOpen.end(), [](const Known& a, const Known& b) {
      return a.open != b.open ? a.open < b.open : a.index < b.index;
    });
  }
  const auto firstWithOpen = [&](std::int64_t open) -> std::optional<std::size_t> {
    if (inOrder) {
      const auto at = std::lower_bound(opens.begin(), opens.end(), open);
      if (at == opens.end() || *at != open) return std::nullopt;
      return static_cast<std::size_t>(at - opens.begin());
    }
    const auto at = std::lower_bound(byOpen.begin(), byOpen.end(), open,
                                     [](const Known& k, std::int64_t v) { return k.open < v; });
    if (at == byOpen.end() || at->open != open) return std::nullopt;
    return at->index;
  };

  // The recovered sessions by open time, in their own order among equal ones: of those, the
  // first with the latest close is the one that the rule keeps.
  struct Candidate {
    std::int64_t open;
    std::int64_t close;
    std::size_t index;
  };
  std::vector<Candidate> candidates;
  candidates.reserve(recovered.size());
  for (std::size_t i = 0; i < recovered.size(); ++i) {
    candidates.push_back({secondsOf(recovered[i]->SessionDateTimeOpen),
                          secondsOf(recovered[i]->SessionDateTimeClose), i});
  }
  std::sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
    return a.open != b.open ? a.open < b.open : a.index < b.index;
  });

  std::vector<std::unique_ptr<TSessionData>> added;  // new sessions, by open time
  for (std::size_t k = 0; k < candidates.size();) {
    const Candidate* kept = &candidates[k];
    for (++k; k < candidates.size() && candidates[k].open == kept->open; ++k) {
      if (candidates[k].close > kept->close) kept = &candidates[k];
    }
    std::unique_ptr<TSessionData>& session = recovered[kept->index];
    if (const auto same = firstWithOpen(kept->open)) {
      if (kept->close > secondsOf(sessions[*same]->SessionDateTimeClose))
        sessions[*same] = std::move(session);
    } else {
      added.push_back(std::move(session));
    }
  }
  if (added.empty()) return;

  std::vector<std::unique_ptr<TSessionData>> merged;
  merged.reserve(n + added.size());
  auto next = added.begin();
  for (std::size_t i = 0; i < n; ++i) {
    if (i == 0 || opens[i] > opens[i - 1]) {
      // Possibly a leader: every new session that opens before it goes first. A session
      // that opens after the one before it but not after an earlier one finds no new
      // session left that opens before it, so the test need not track the leaders exactly.
      for (; next != added.end() && secondsOf((*next)->SessionDateTimeOpen) < opens[i]; ++next)
        merged.push_back(std::move(*next));
    }
    merged.push_back(std::move(sessions[i]));
  }
  for (; next != added.end(); ++next) merged.push_back(std::move(*next));
  sessions = std::move(merged);
}

}  // namespace hmr
