// SPDX-License-Identifier: MIT
#include "platform/FileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <system_error>
#include <thread>
#include <utility>

namespace hmr {
namespace {

[[noreturn]] void fail(int error) { throw std::system_error(error, std::generic_category()); }

// Opens the lock file, creating it with exactly `mode` when missing; -1 with errno set.
// `removedMeanwhile` tells an existing file that its holder removed between the two opens
// (try again) from a missing folder (a failure).
int openLockFile(const std::string& path, mode_t mode, bool& removedMeanwhile) {
  removedMeanwhile = false;
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd >= 0) {
    // Made here: the bits asked for, not those the umask leaves (the other users who save the
    // same data file must be able to open it). A failure leaves the owner's bits, enough for us.
    (void)::fchmod(fd, mode);
    return fd;
  }
  if (errno != EEXIST) return -1;
  fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0 && errno == EACCES) fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0 && errno == ENOENT) removedMeanwhile = true;
  return fd;
}

// Whether `fd` is the file that `path` names now.
bool stillNamed(int fd, const std::string& path) {
  struct stat held {}, named {};
  return ::fstat(fd, &held) == 0 && ::stat(path.c_str(), &named) == 0 &&
         held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

// The process's umask, read without changing it: setting it to read it back would, for that
// moment, give files that other threads create the wrong permissions. 022 when it cannot be read.
mode_t processUmask() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.starts_with("Umask:"))
      return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
  return 022;
}

}  // namespace

FileLock::FileLock(FileLock&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)) {}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
  if (this != &other) {
    release();
    fd_ = std::exchange(other.fd_, -1);
    path_ = std::move(other.path_);
  }
  return *this;
}

FileLock::~FileLock() { release(); }

FileLock FileLock::acquire(const std::string& path, mode_t mode, std::chrono::milliseconds wait) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + wait;
  for (bool first = true;; first = false) {
    if (!first && Clock::now() >= deadline) fail(EWOULDBLOCK);
    bool removedMeanwhile = false;
    const int fd = openLockFile(path, mode, removedMeanwhile);
    if (fd < 0) {
      if (removedMeanwhile) continue;  // by its last holder, between our two opens
      fail(errno);
    }
    auto pause = std::chrono::milliseconds(1);
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int error = errno;
      if (error == EINTR) continue;
      if (error != EWOULDBLOCK || Clock::now() >= deadline) {
        ::close(fd);
        fail(error);
      }
      std::this_thread::sleep_for(
          std::min<Clock::duration>(pause, deadline - Clock::now()));
      pause = std::min(pause * 2, std::chrono::milliseconds(20));
    }
    // The holder we waited for may have removed the file it locked; then the lock we hold is
    // on a file nobody else will open, and the name's own file must be locked instead.
    if (stillNamed(fd, path)) return FileLock(fd, path);
    ::close(fd);
  }
}

void FileLock::removeAndRelease() noexcept {
  if (fd_ < 0) return;
  // Every remover holds the lock, so the name still names our file; checked all the same, so
  // that a file put there by someone who ignores the lock is never removed.
  if (stillNamed(fd_, path_)) ::unlink(path_.c_str());
  release();
}

void FileLock::release() noexcept {
  if (fd_ < 0) return;
  ::close(fd_);  // closing the last descriptor of the open file releases its flock
  fd_ = -1;
}

std::string lockFileBeside(const std::string& path) {
  std::string target = path;
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr),
                                                     &std::free);
    if (real) target = real.get();
  }
  const std::size_t slash = target.rfind('/');
  if (slash == std::string::npos) return "." + target + ".lock";
  return target.substr(0, slash + 1) + "." + target.substr(slash + 1) + ".lock";
}

mode_t lockFileModeFor(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) return (st.st_mode & 0666) | S_IRUSR | S_IWUSR;
  return 0666 & ~processUmask();
}

bool lockHeldByAnyone(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno != ENOENT;
  int result = 0;
  do {
    result = ::flock(fd, LOCK_SH | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  const bool held = result != 0;  // EWOULDBLOCK, or a lock that cannot be tested
  ::close(fd);
  return held;
}

}  // namespace hmr
