// SPDX-License-Identifier: MIT
// Advisory locks on lock files (flock), between processes of this machine and, where the file
// system passes flock on (NFS maps it onto its own byte-range locks), of others.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>

namespace hmr {

// An exclusive lock on a lock file, held from acquire until release or destruction.
//
// The lock is on the lock file's inode, so the lock file is never replaced by a rename: it is
// created when missing and may be removed by its holder (removeAndRelease). A process that
// waited on a removed lock file notices that its name now names another file, or none, and
// takes the lock again under the name: two holders never hold the lock of one name at once.
// The kernel releases the lock when its holder ends in any way, so a crashed holder leaves at
// most an unlocked lock file behind.
class FileLock {
 public:
  FileLock() = default;
  FileLock(FileLock&& other) noexcept;
  FileLock& operator=(FileLock&& other) noexcept;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  ~FileLock();

  // Takes the lock on `path`, creating the file with the permission bits `mode` (exactly
  // those, whatever the umask) when it is missing, and waiting up to `wait` while another
  // holder has it. The file is opened for writing when it may be, else for reading (enough
  // for flock on a local file system). Throws std::system_error: EWOULDBLOCK when another
  // holder kept the lock for the whole wait, else the system's reason (the folder cannot be
  // written, the file system has no locks, ...).
  static FileLock acquire(const std::string& path, mode_t mode, std::chrono::milliseconds wait);

  bool held() const { return fd_ >= 0; }
  const std::string& path() const { return path_; }
  // Removes the lock file, then releases the lock: the next holder creates it again. A lock
  // file that is gone already is no error. Nothing happens when no lock is held.
  void removeAndRelease() noexcept;
  // Releases the lock and leaves the lock file.
  void release() noexcept;

 private:
  FileLock(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}

  int fd_ = -1;
  std::string path_;
};

// The lock file of the file at `path` (of the file a symbolic link there names, which is the
// one a save replaces): ".<name>.lock" in that file's folder.
std::string lockFileBeside(const std::string& path);

// Permission bits for the lock file of `path`: the read and write bits of `path` (whoever may
// write the file may open its lock for writing, which locks on NFS need), and when `path` is
// missing those a new file gets under the umask.
mode_t lockFileModeFor(const std::string& path);

// True while some process holds an exclusive lock on `path`; false when the file is missing
// or nobody holds it. A lock file that cannot be tested (no permission, no locks on its file
// system) counts as held: its holder may well be alive.
bool lockHeldByAnyone(const std::string& path);

}  // namespace hmr
