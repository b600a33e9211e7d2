// SPDX-License-Identifier: MIT
#include "platform/FileRead.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "platform/MemoryAdvice.h"

namespace hmr {
namespace {

[[noreturn]] void fail(int error) { throw std::system_error(error, std::generic_category()); }

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() { ::close(fd_); }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

bool pathExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

std::string readWholeFile(const std::string& path, std::size_t maxBytes) {
  // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer. What the
  // descriptor names is then checked on the descriptor itself, so nothing can be swapped in
  // between the check and the read.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) fail(errno);
  Descriptor file(fd);
  struct stat st {};
  if (::fstat(file.get(), &st) != 0) fail(errno);
  if (S_ISDIR(st.st_mode)) fail(EISDIR);
  if (!S_ISREG(st.st_mode)) throw NotRegularFile();
  if (st.st_size < 0 || static_cast<unsigned long long>(st.st_size) > maxBytes) fail(EFBIG);
  // A regular file: reads may block again, as they do for every file.
  const int flags = ::fcntl(file.get(), F_GETFL);
  if (flags < 0 || ::fcntl(file.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) fail(errno);

  // The size is a hint: the loop reads to the end whatever it is, up to the limit.
  std::string data;
  data.reserve(static_cast<std::size_t>(st.st_size));
  adviseHugePages(data.data(), data.capacity());
  data.resize(static_cast<std::size_t>(st.st_size));
  std::size_t done = 0;
  char spare[4096];
  for (;;) {
    const bool inPlace = done < data.size();
    const ssize_t n = inPlace ? ::read(file.get(), data.data() + done, data.size() - done)
                              : ::read(file.get(), spare, sizeof spare);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) fail(errno);
    if (n == 0) break;
    const auto count = static_cast<std::size_t>(n);
    if (!inPlace) {  // the file grew since fstat
      if (data.size() + count > maxBytes) fail(EFBIG);
      data.append(spare, count);
    }
    done += count;
  }
  data.resize(done);
  return data;
}

}  // namespace hmr
