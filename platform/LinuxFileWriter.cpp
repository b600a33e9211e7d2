// SPDX-License-Identifier: MIT
#include "platform/LinuxFileWriter.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string_view>
#include <system_error>
#include <vector>

namespace hmr {
namespace {

[[noreturn]] void fail(int error) { throw std::system_error(error, std::generic_category()); }

// The file a write to `path` must replace: the target of a symbolic link, else `path`.
std::string resolveTarget(const std::string& path) {
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  std::unique_ptr<char, decltype(&std::free)> real(realpath(path.c_str(), nullptr), &std::free);
  return real ? std::string(real.get()) : path;
}

std::string folderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Closes the temporary file and removes it unless released after the rename.
class TemporaryFile {
 public:
  TemporaryFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  ~TemporaryFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  int fd() const { return fd_; }
  const std::string& path() const { return path_; }
  // Closes the descriptor; returns 0 or the errno value of close.
  int close() {
    const int result = ::close(fd_);
    fd_ = -1;
    return result == 0 ? 0 : errno;
  }
  // The file has been renamed into place: nothing left to remove.
  void release() { path_.clear(); }

 private:
  int fd_;
  std::string path_;
};

// The prefix of the temporary files of `target`'s name, up to the writer's process id.
std::string temporaryPrefix(const std::string& name) { return "." + name + ".tmp-"; }

// A temporary file's name taken apart: ".<target>.tmp-<pid>-XXXXXX", XXXXXX the six letters
// and digits that mkostemp puts in. False for any other name.
bool parseTemporaryName(std::string_view file, std::string_view& target, pid_t& pid) {
  constexpr std::string_view kMarker = ".tmp-";
  constexpr std::size_t kUnique = 6;
  if (file.size() < 1 + 1 + kMarker.size() + 1 + 1 + kUnique || file.front() != '.') return false;
  const std::string_view unique = file.substr(file.size() - kUnique);
  for (char c : unique)
    if (!std::isalnum(static_cast<unsigned char>(c))) return false;
  const std::string_view head = file.substr(0, file.size() - kUnique);  // ...<pid>-
  if (head.back() != '-') return false;
  const std::size_t marker = head.rfind(kMarker);
  if (marker == std::string_view::npos || marker < 2) return false;
  const std::string_view digits =
      head.substr(marker + kMarker.size(), head.size() - 1 - marker - kMarker.size());
  if (digits.empty() || digits.size() > 10) return false;
  long long number = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
    number = number * 10 + (c - '0');
  }
  if (number <= 0 || number > INT_MAX) return false;
  target = file.substr(1, marker - 1);
  pid = static_cast<pid_t>(number);
  return true;
}

// Removes the temporaries in `folder` whose target name `ours` accepts, left by writers that
// no longer run: those of running processes (another save at this moment) and every other
// file are left alone. Best effort: a folder that cannot be listed is simply not swept.
void removeStaleTemporaries(const std::string& folder,
                            const std::function<bool(std::string_view)>& ours) {
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return;
  while (const dirent* entry = ::readdir(dir)) {
    std::string_view target;
    pid_t pid = 0;
    if (!parseTemporaryName(entry->d_name, target, pid) || !ours(target)) continue;
    if (::kill(pid, 0) == 0 || errno != ESRCH) continue;  // still running
    ::unlinkat(::dirfd(dir), entry->d_name, 0);
  }
  ::closedir(dir);
}

}  // namespace

void LinuxFileWriter::replaceContents(const std::string& path, std::string_view data) {
  const std::string target = resolveTarget(path);
  const std::string folder = folderOf(target);

  struct stat old {};
  const bool replacing = ::stat(target.c_str(), &old) == 0;
  if (replacing && S_ISDIR(old.st_mode)) fail(EISDIR);

  const std::string targetName = nameOf(target);
  removeStaleTemporaries(folder, [&](std::string_view other) { return other == targetName; });
  std::string pattern = (folder == "/" ? std::string() : folder) + "/" +
                        temporaryPrefix(targetName) + std::to_string(::getpid()) + "-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) fail(errno);
  TemporaryFile temp(fd, std::string(name.data()));

  // mkstemp creates the file with mode 0600; a replaced file keeps its own bits, a new one
  // gets what an ordinary create would give (0666 less the umask).
  mode_t mode = 0;
  if (replacing) {
    mode = old.st_mode & 07777;
    // Only possible for the owner or root; a file saved by someone else becomes theirs.
    if (::fchown(temp.fd(), old.st_uid, old.st_gid) != 0) { /* keep the new owner */ }
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  if (::fchmod(temp.fd(), mode) != 0) fail(errno);

  std::size_t done = 0;
  while (done < data.size()) {
    std::size_t written = 0;
    const int error = writeSome(temp.fd(), data.data() + done, data.size() - done, written);
    if (error == EINTR) continue;
    if (error != 0) fail(error);
    if (written == 0) fail(EIO);  // no progress and no reason: do not spin
    done += written;
  }
  if (syncToDisk_) {
    if (const int error = syncFile(temp.fd()); error != 0) fail(error);
  }
  if (const int error = temp.close(); error != 0) fail(error);
  if (const int error = renameFile(temp.path(), target); error != 0) fail(error);
  temp.release();
  if (syncToDisk_) {
    if (const int error = syncFolder(folder); error != 0)
      throw NotDurableError(error, std::generic_category());
  }
}

void LinuxFileWriter::removeLeftovers(const std::string& folder, const NameFilter& ours) {
  removeStaleTemporaries(folder.empty() ? "." : folder, ours);
}

int LinuxFileWriter::writeSome(int fd, const char* data, std::size_t size,
                               std::size_t& written) {
  // Large blocks are written in pieces that a single write call accepts.
  const ssize_t n = ::write(fd, data, size < SSIZE_MAX ? size : SSIZE_MAX);
  if (n < 0) return errno;
  written = static_cast<std::size_t>(n);
  return 0;
}

int LinuxFileWriter::syncFile(int fd) { return ::fsync(fd) == 0 ? 0 : errno; }

int LinuxFileWriter::renameFile(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int LinuxFileWriter::syncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  int error = ::fsync(fd) == 0 ? 0 : errno;
  // Some file systems cannot sync a folder; the rename is as durable as they make it.
  if (error == EINVAL) error = 0;
  // A close that fails may report a write-back error of the flush: it is told as one.
  const int closed = closeFolder(fd);
  return error != 0 ? error : closed;
}

int LinuxFileWriter::closeFolder(int fd) { return ::close(fd) == 0 ? 0 : errno; }

}  // namespace hmr
