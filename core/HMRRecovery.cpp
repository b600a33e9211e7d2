// SPDX-License-Identifier: MIT
#include "core/HMRRecovery.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string_view>

#include "core/HMRFileIO.h"
#include "core/PathText.h"
#include "core/uHMRMessages.h"
#include "core/uHMRProject.h"
#include "platform/FileLock.h"
#include "platform/FileRead.h"
#include "platform/HmrError.h"
#include "platform/UserFolders.h"

namespace hmr {
namespace {

constexpr std::string_view kExtension = ".HMR";
constexpr std::string_view kLockPrefix = "tracker-";
constexpr std::string_view kLockSuffix = ".lock";

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

bool opensRiseStrictly(const std::vector<TSessionData>& sessions) {
  std::int64_t previous = std::numeric_limits<std::int64_t>::min();
  for (const TSessionData& s : sessions) {
    const std::int64_t open = secondsOf(s.SessionDateTimeOpen);
    if (open <= previous) return false;
    previous = open;
  }
  return true;
}

// The same open and close date-times and the same user: the same seconds, and one replaces
// the other with no gain.
bool sameTimesAndUser(const TSessionData& a, const TSessionData& b) {
  return a.SessionDateTimeOpen == b.SessionDateTimeOpen &&
         a.SessionDateTimeClose == b.SessionDateTimeClose && a.SessionUserName == b.SessionUserName;
}

// "<base name>-<16 hex digits>": what the names of every recovery file of `dataFile` begin
// with.
std::string namePrefixFor(const std::string& dataFile) {
  std::error_code error;
  std::filesystem::path absolute = std::filesystem::absolute(dataFile, error);
  if (error) absolute = dataFile;
  const std::string key = absolute.lexically_normal().string();
  char digits[17];
  std::snprintf(digits, sizeof digits, "%016llx",
                static_cast<unsigned long long>(fnv1a(key)));
  return extractBaseName(key) + "-" + digits;
}

bool isOwnerName(std::string_view text) {
  const std::size_t dash = text.find('-');
  if (dash == 0 || dash == std::string_view::npos || text.size() - dash - 1 != 8) return false;
  const auto all = [](std::string_view part, const char* allowed) {
    return part.find_first_not_of(allowed) == std::string_view::npos;
  };
  return all(text.substr(0, dash), "0123456789") &&
         all(text.substr(dash + 1), "0123456789abcdef");
}

// A recovery file's name after the prefix of its data file: ".HMR" (the older naming, no
// owner), ".<owner>.HMR" (an owner's own file) or ".<owner>.<tag>.HMR" (a file the owner took
// over). Sets `owner` ("" for the older naming); false for any other name.
bool parseRecoveryName(std::string_view rest, std::string& owner) {
  if (rest == kExtension) {
    owner.clear();
    return true;
  }
  if (rest.size() <= 1 + kExtension.size() || rest.front() != '.' ||
      rest.substr(rest.size() - kExtension.size()) != kExtension)
    return false;
  const std::string_view middle = rest.substr(1, rest.size() - 1 - kExtension.size());
  const std::size_t dot = middle.find('.');
  const std::string_view name = middle.substr(0, dot);
  if (!isOwnerName(name) || (dot != std::string_view::npos && dot + 1 == middle.size()))
    return false;
  owner = name;
  return true;
}

std::string ownerLockFile(const std::string& folder, std::string_view owner) {
  return folder + "/" + std::string(kLockPrefix) + std::string(owner) + std::string(kLockSuffix);
}

// The owner name of an owner lock file's name, or "".
std::string ownerOfLockName(std::string_view name) {
  if (!name.starts_with(kLockPrefix) || !name.ends_with(kLockSuffix)) return {};
  const std::string_view owner =
      name.substr(kLockPrefix.size(), name.size() - kLockPrefix.size() - kLockSuffix.size());
  return isOwnerName(owner) ? std::string(owner) : std::string();
}

std::vector<std::string> folderEntries(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return names;
  while (const dirent* entry = ::readdir(dir)) names.emplace_back(entry->d_name);
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

// This process as an owner: its name, the owner lock it holds in each recovery folder where it
// has files, and those files. Reset in a forked child, which is another owner.
class Ownership {
 public:
  static Ownership& get() {
    static Ownership ownership;
    if (ownership.pid_ != ::getpid()) ownership.startAs(::getpid());
    return ownership;
  }

  const std::string& owner() const { return owner_; }

  // Holds the owner lock in `folder` (taking it if this process holds none there yet).
  // Fails with HmrSaveFailed for `file`.
  void hold(const std::string& folder, const std::string& file) {
    Folder& held = folders_[folder];
    if (held.lock.held()) return;
    const std::string lockFile = ownerLockFile(folder, owner_);
    try {
      // Nobody waits on a live owner's lock; a process that tests it right now lets go at once.
      held.lock = FileLock::acquire(lockFile, 0600, std::chrono::seconds(1));
    } catch (const std::exception& e) {
      folders_.erase(folder);
      throw HmrSaveFailed(file, "cannot lock " + lockFile + ": " + e.what());
    }
  }
  void add(const std::string& folder, const std::string& file) {
    folders_[folder].files.insert(file);
  }
  void remove(const std::string& folder, const std::string& file) {
    const auto found = folders_.find(folder);
    if (found == folders_.end()) return;
    found->second.files.erase(file);
    letGoIfUnused(folder);
  }
  // Releases the owner lock of `folder`, and removes its file, when this process has no
  // recovery file there any more.
  void letGoIfUnused(const std::string& folder) {
    const auto found = folders_.find(folder);
    if (found == folders_.end() || !found->second.files.empty()) return;
    found->second.lock.removeAndRelease();
    folders_.erase(found);
  }
  // A name for a file taken over, unique within this process.
  std::string takenOverTag() { return std::to_string(++takenOver_); }

 private:
  struct Folder {
    FileLock lock;
    std::set<std::string> files;
  };

  void startAs(pid_t pid) {
    // A child shares its parent's lock descriptors: it lets them go without removing anything.
    for (auto& entry : folders_) entry.second.lock.release();
    folders_.clear();
    pid_ = pid;
    std::random_device random;
    char digits[9];
    std::snprintf(digits, sizeof digits, "%08x", static_cast<unsigned>(random()));
    owner_ = std::to_string(pid) + "-" + digits;
    takenOver_ = 0;
  }

  pid_t pid_ = 0;
  std::string owner_;
  std::map<std::string, Folder> folders_;
  unsigned takenOver_ = 0;
};

// A recovery file of one data file found in the recovery folder.
struct FoundFile {
  std::string path;
  std::string owner;  // "" for the older naming
};

std::vector<FoundFile> recoveryFilesOf(const std::string& folder, const std::string& prefix,
                                       const std::vector<std::string>& entries) {
  std::vector<FoundFile> found;
  for (const std::string& name : entries) {
    if (!name.starts_with(prefix)) continue;
    std::string owner;
    if (parseRecoveryName(std::string_view(name).substr(prefix.size()), owner))
      found.push_back({folder + "/" + name, owner});
  }
  return found;
}

// Whether `name` is a recovery file of `owner` (of any data file).
bool belongsTo(const std::string& name, const std::string& owner) {
  const std::string mark = "." + owner + ".";
  const std::size_t at = name.rfind(mark, name.size() - kExtension.size());
  return at != std::string::npos && name.ends_with(kExtension);
}

// Removes the owner lock files in `folder` of owners that ended and have no recovery file
// left. Taking the lock first means a live owner's file is never removed; one that is taking
// its lock right now finds its name gone and makes it again (FileLock).
void removeEndedOwnersLocks(const std::string& folder, const std::vector<std::string>& entries,
                            const std::string& self) {
  for (const std::string& name : entries) {
    const std::string owner = ownerOfLockName(name);
    if (owner.empty() || owner == self) continue;
    const bool hasFiles = std::any_of(entries.begin(), entries.end(), [&](const auto& other) {
      return other != name && belongsTo(other, owner);
    });
    if (hasFiles) continue;
    try {
      FileLock::acquire(folder + "/" + name, 0600, std::chrono::milliseconds(0))
          .removeAndRelease();
    } catch (const std::exception&) {
      // Held: that owner still runs (or is taking its lock again).
    }
  }
}

bool readable(const std::string& path, HmrFileContents& out, std::vector<std::string>& problems) {
  try {
    readHmrFile(path, out);
    return true;
  } catch (const std::exception& e) {
    problems.push_back(e.what());
    return false;
  }
}

std::filesystem::file_time_type modified(const std::string& path) {
  std::error_code error;
  const auto time = std::filesystem::last_write_time(path, error);
  return error ? std::filesystem::file_time_type::min() : time;
}

}  // namespace

std::string recoveryOwner() { return Ownership::get().owner(); }

std::string recoveryFileFor(const std::string& dataFile) {
  const std::string folder = recoveryFolder();
  if (folder.empty()) return {};
  return folder + "/" + namePrefixFor(dataFile) + "." + recoveryOwner() + std::string(kExtension);
}

void writeRecoveryFile(const std::string& dataFile, const THMRProject& project) {
  const std::string path = recoveryFileFor(dataFile);
  if (path.empty())
    throw HmrSaveFailed(dataFile, "no folder for recovery files (no home folder)");
  const std::string folder = recoveryFolder();
  makeFolder(path, folder);
  Ownership& ownership = Ownership::get();
  ownership.hold(folder, path);
  try {
    writeHmrFile(path, project.TimeForIdle, project.MinimumWorkTime, project.ProjectName,
                 project.Sessions);
  } catch (const HmrSaveNotConfirmed&) {
    ownership.add(folder, path);  // in place all the same
    throw;
  } catch (...) {
    ownership.letGoIfUnused(folder);
    throw;
  }
  ownership.add(folder, path);
}

RecoveredHistory readRecoveryFiles(const std::string& dataFile, bool takeOver) {
  RecoveredHistory recovered;
  const std::string folder = recoveryFolder();
  if (folder.empty()) return recovered;
  Ownership& ownership = Ownership::get();
  const std::string prefix = namePrefixFor(dataFile);
  const std::vector<std::string> entries = folderEntries(folder);
  std::vector<std::string> toRead;
  for (const FoundFile& file : recoveryFilesOf(folder, prefix, entries)) {
    if (file.owner == ownership.owner()) {
      toRead.push_back(file.path);
      continue;
    }
    if (!file.owner.empty() && lockHeldByAnyone(ownerLockFile(folder, file.owner)))
      continue;  // a tracker that runs keeps it
    if (!takeOver) {
      toRead.push_back(file.path);
      continue;
    }
    const std::string mine = folder + "/" + prefix + "." + ownership.owner() + "." +
                             ownership.takenOverTag() + std::string(kExtension);
    try {
      ownership.hold(folder, mine);
    } catch (const std::exception& e) {
      recovered.problems.push_back(e.what());
      break;  // nothing can be taken over here now; the next opening tries again
    }
    // Only one process wins the rename; the others find the file gone.
    if (std::rename(file.path.c_str(), mine.c_str()) != 0) continue;
    ownership.add(folder, mine);
    toRead.push_back(mine);
  }
  if (takeOver) {
    removeEndedOwnersLocks(folder, folderEntries(folder), ownership.owner());
    ownership.letGoIfUnused(folder);
  }

  std::filesystem::file_time_type newest = std::filesystem::file_time_type::min();
  for (const std::string& path : toRead) {
    HmrFileContents contents;
    if (!readable(path, contents, recovered.problems)) continue;
    const auto time = modified(path);
    if (!recovered.found || time > newest) {
      newest = time;
      recovered.contents.version = contents.version;
      recovered.contents.timeForIdle = contents.timeForIdle;
      recovered.contents.minimumWorkTime = contents.minimumWorkTime;
      recovered.contents.projectName = contents.projectName;
    }
    recovered.found = true;
    mergeRecoveredSessions(recovered.contents.sessions, std::move(contents.sessions));
  }
  return recovered;
}

void removeRecoveryFile(const std::string& dataFile) {
  const std::string folder = recoveryFolder();
  if (folder.empty()) return;
  Ownership& ownership = Ownership::get();
  const std::string prefix = namePrefixFor(dataFile);
  std::vector<std::string> mine = {recoveryFileFor(dataFile)};
  for (const FoundFile& file : recoveryFilesOf(folder, prefix, folderEntries(folder)))
    if (file.owner == ownership.owner() && file.path != mine.front()) mine.push_back(file.path);
  for (const std::string& path : mine) {
    std::remove(path.c_str());
    ownership.remove(folder, path);
  }
}

bool moveRecoveryFile(const std::string& from, const std::string& to) {
  const std::string folder = recoveryFolder();
  if (folder.empty()) return false;
  Ownership& ownership = Ownership::get();
  const std::string source = namePrefixFor(from);
  const std::string target = namePrefixFor(to);
  if (source == target) return true;
  bool moved = true;
  for (const FoundFile& file : recoveryFilesOf(folder, source, folderEntries(folder))) {
    if (file.owner != ownership.owner()) continue;
    const std::string renamed =
        folder + "/" + target + file.path.substr(folder.size() + 1 + source.size());
    if (std::rename(file.path.c_str(), renamed.c_str()) != 0) {
      moved = false;
      continue;
    }
    ownership.add(folder, renamed);
    ownership.remove(folder, file.path);
  }
  return moved;
}

void mergeRecoveredSessions(std::vector<TSessionData>& sessions,
                            std::vector<TSessionData> recovered) {
  // Taken one recovered session at a time, the rule is: a session with the same open time and
  // user as the first such session in the list replaces it when it closes later; a new one
  // goes before the first session that opens after it. The same result comes from whole
  // lists: the first session that opens after a time is always one that opens after every
  // session before it (a "leader"), and a new session, opening after every session before
  // that leader, becomes a leader itself. So the new sessions, sorted by open time (in their
  // own order among equal ones), go before the first leader that opens after them, and the
  // list is walked once.
  // Into an empty list (the first recovery file read), sessions that each open after the one
  // before them go as they are: none finds another of its open time, and each goes last.
  if (sessions.empty() && opensRiseStrictly(recovered)) {
    sessions = std::move(recovered);
    return;
  }
  const std::size_t n = sessions.size();
  std::vector<std::int64_t> opens(n);
  for (std::size_t i = 0; i < n; ++i) opens[i] = secondsOf(sessions[i].SessionDateTimeOpen);

  // The first session of an open time and user. A list in open-time order (the usual one) is
  // its own index; any other order gets a sorted copy. Sessions of one second are few, so
  // those are scanned for the user.
  std::vector<std::size_t> byOpen;
  const bool inOrder = std::is_sorted(opens.begin(), opens.end());
  if (!inOrder) {
    byOpen.resize(n);
    for (std::size_t i = 0; i < n; ++i) byOpen[i] = i;
    std::stable_sort(byOpen.begin(), byOpen.end(),
                     [&](std::size_t a, std::size_t b) { return opens[a] < opens[b]; });
  }
  const auto firstOf = [&](std::int64_t open,
                           const InternedName& user) -> std::optional<std::size_t> {
    if (inOrder) {
      for (auto at = std::lower_bound(opens.begin(), opens.end(), open);
           at != opens.end() && *at == open; ++at) {
        const auto i = static_cast<std::size_t>(at - opens.begin());
        if (sessions[i].SessionUserName == user) return i;
      }
      return std::nullopt;
    }
    for (auto at = std::lower_bound(byOpen.begin(), byOpen.end(), open,
                                    [&](std::size_t i, std::int64_t v) { return opens[i] < v; });
         at != byOpen.end() && opens[*at] == open; ++at) {
      if (sessions[*at].SessionUserName == user) return *at;
    }
    return std::nullopt;
  };

  // A recovery file holds the data file's history with its last sessions brought further, so
  // its sessions mostly repeat the list's, one for one, from the start. Such a session changes
  // nothing while the list's opens rise strictly up to it: the list's first session of that
  // open time and user is its twin, which it does not close after. That prefix is skipped.
  std::size_t twins = 0;
  while (twins < n && twins < recovered.size() &&
         (twins == 0 || opens[twins] > opens[twins - 1]) &&
         sameTimesAndUser(recovered[twins], sessions[twins]))
    ++twins;

  // The recovered sessions by open time and user, in their own order among equal ones: of
  // those, the first with the latest close is the one that the rule keeps, at the place of
  // the first.
  struct Candidate {
    std::int64_t open;
    std::int64_t close;
    std::size_t index;
  };
  std::vector<Candidate> candidates;
  candidates.reserve(recovered.size() - twins);
  for (std::size_t i = twins; i < recovered.size(); ++i) {
    candidates.push_back({secondsOf(recovered[i].SessionDateTimeOpen),
                          secondsOf(recovered[i].SessionDateTimeClose), i});
  }
  const auto userOf = [&](const Candidate& c) -> const InternedName& {
    return recovered[c.index].SessionUserName;
  };
  std::sort(candidates.begin(), candidates.end(), [&](const Candidate& a, const Candidate& b) {
    if (a.open != b.open) return a.open < b.open;
    if (const auto order = userOf(a) <=> userOf(b); order != 0) return order < 0;
    return a.index < b.index;
  });

  struct Added {
    std::size_t place;  // the index of the first recovered session of its open time and user
    std::int64_t open;
    TSessionData* session;  // in `recovered`
  };
  std::vector<Added> added;
  for (std::size_t k = 0; k < candidates.size();) {
    const Candidate& first = candidates[k];
    const Candidate* kept = &first;
    for (++k; k < candidates.size() && candidates[k].open == first.open &&
              userOf(candidates[k]) == userOf(first);
         ++k) {
      if (candidates[k].close > kept->close) kept = &candidates[k];
    }
    TSessionData& session = recovered[kept->index];
    if (const auto same = firstOf(kept->open, session.SessionUserName)) {
      if (kept->close > secondsOf(sessions[*same].SessionDateTimeClose))
        sessions[*same] = std::move(session);
    } else {
      added.push_back({first.index, kept->open, &session});
    }
  }
  if (added.empty()) return;
  // By open time, then in the order the recovered list had them.
  std::sort(added.begin(), added.end(), [](const Added& a, const Added& b) {
    return a.open != b.open ? a.open < b.open : a.place < b.place;
  });

  std::vector<TSessionData> merged;
  merged.reserve(n + added.size());
  auto next = added.begin();
  for (std::size_t i = 0; i < n; ++i) {
    if (i == 0 || opens[i] > opens[i - 1]) {
      // Possibly a leader: every new session that opens before it goes first. A session
      // that opens after the one before it but not after an earlier one finds no new
      // session left that opens before it, so the test need not track the leaders exactly.
      for (; next != added.end() && next->open < opens[i]; ++next)
        merged.push_back(std::move(*next->session));
    }
    merged.push_back(std::move(sessions[i]));
  }
  for (; next != added.end(); ++next) merged.push_back(std::move(*next->session));
  sessions = std::move(merged);
}

}  // namespace hmr
