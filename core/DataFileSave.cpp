// SPDX-License-Identifier: MIT
#include "core/DataFileSave.h"

#include <cerrno>
#include <cstdio>
#include <system_error>
#include <utility>

#include "core/HMRFileIO.h"
#include "core/uHMRMessages.h"
#include "platform/FileLock.h"
#include "platform/FileRead.h"

namespace hmr {
namespace {

std::chrono::milliseconds& lockWaitSetting() {
  static std::chrono::milliseconds wait = std::chrono::seconds(10);
  return wait;
}

// Takes the lock of the data file `path`. Only another program that keeps it for the whole
// wait is a failure; a lock that cannot be had at all is done without.
FileLock lockDataFile(const std::string& path) {
  const std::string lockFile = dataFileLockPath(path);
  try {
    return FileLock::acquire(lockFile, lockFileModeFor(path), dataFileLockWait());
  } catch (const std::system_error& e) {
    if (e.code().value() != EWOULDBLOCK) return {};
    const auto seconds = std::chrono::duration<double>(dataFileLockWait()).count();
    char shown[32];
    std::snprintf(shown, sizeof shown, "%g", seconds);
    throw HmrSaveFailed(path, formatMessage(DataFileLocked, {lockFile, shown}));
  }
}

// The data file as it is on disk now; none when there is no file. Fails with HmrSaveFailed
// when it cannot be read.
std::optional<std::string> readOnDisk(const std::string& path) {
  try {
    return readWholeFile(path, hmrfile::kMaxFileSize);
  } catch (const std::system_error& e) {
    if (e.code().value() == ENOENT) return std::nullopt;
    throw HmrSaveFailed(path, formatMessage(DataFileUnreadableOnSave, {e.what()}));
  }
}

HmrFileContents decodeOnDisk(const std::string& path, const std::string& image) {
  HmrFileContents contents;
  try {
    decodeHmrFile(image, contents);
  } catch (const std::exception& e) {
    throw HmrSaveFailed(path, formatMessage(DataFileUnreadableOnSave, {e.what()}));
  }
  return contents;
}

HmrFileContents copyOf(const HistoryToSave& history) {
  HmrFileContents contents;
  contents.version = HMRFileVersion;
  contents.timeForIdle = history.timeForIdle;
  contents.minimumWorkTime = history.minimumWorkTime;
  contents.projectName = std::string(history.projectName);
  contents.sessions.assign(history.sessions.begin(), history.sessions.end());
  return contents;
}

// Writes `image` and makes it the base, also when only its flush was not confirmed.
void write(const std::string& path, std::string image, DataFileBase& base) {
  try {
    writeHmrImage(path, image);
  } catch (const HmrSaveNotConfirmed&) {
    base = {path, std::move(image)};
    throw;
  }
  base = {path, std::move(image)};
}

}  // namespace

std::string dataFileLockPath(const std::string& path) { return lockFileBeside(path); }

std::chrono::milliseconds dataFileLockWait() { return lockWaitSetting(); }

std::chrono::milliseconds setDataFileLockWait(std::chrono::milliseconds wait) {
  return std::exchange(lockWaitSetting(), wait);
}

void saveDataFile(const std::string& path, const HistoryToSave& ours, DataFileBase& base,
                  const MergeSideNames& names, std::optional<MergedHistory>& merged) {
  merged.reset();
  // The lock file goes with the lock, whatever happens: it is beside the user's project.
  struct Held {
    FileLock lock;
    ~Held() { lock.removeAndRelease(); }
  } held{lockDataFile(path)};
  const std::optional<std::string> onDisk = readOnDisk(path);
  const bool baseIsOfPath = base.path == path && base.image;
  if (!onDisk || (baseIsOfPath && *onDisk == *base.image)) {
    write(path,
          encodeForSave(path, ours.timeForIdle, ours.minimumWorkTime, ours.projectName,
                        ours.sessions),
          base);
  } else {
    const HmrFileContents theirs = decodeOnDisk(path, *onDisk);
    HmrFileContents common;
    if (baseIsOfPath) {
      try {
        decodeHmrFile(*base.image, common);
      } catch (const std::exception&) {
        common = HmrFileContents();  // it read when it was read; else: no common history
      }
    }
    const MergeRules rules{.sessionsAddedOnBothSidesAreDistinct = true,
                           .noteSessionsRemovedOnOurs = false};
    merged = mergeHistories(common, copyOf(ours), theirs, names, rules);
    write(path,
          encodeForSave(path, merged->timeForIdle, merged->minimumWorkTime, merged->projectName,
                        merged->sessions),
          base);
  }
}

}  // namespace hmr
