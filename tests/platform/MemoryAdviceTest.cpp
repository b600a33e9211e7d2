// SPDX-License-Identifier: MIT
#include "platform/MemoryAdvice.h"

#include <gtest/gtest.h>
#include <sys/mman.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

namespace hmr {
namespace {

constexpr std::size_t kMiB = std::size_t{1} << 20;

// The VmFlags line of the mapping of /proc/self/smaps that holds `address`, or "".
std::string vmFlagsAt(const void* address) {
  const auto at = reinterpret_cast<std::uintptr_t>(address);
  std::ifstream smaps("/proc/self/smaps");
  std::string line;
  bool inside = false;
  while (std::getline(smaps, line)) {
    std::uintptr_t from = 0, to = 0;
    char dash = 0;
    std::istringstream head(line);
    if (head >> std::hex >> from >> dash >> to && dash == '-') {
      inside = from <= at && at < to;
    } else if (inside && line.rfind("VmFlags:", 0) == 0) {
      return line;
    }
  }
  return {};
}

bool hugePagesOnRequest() {
  std::ifstream mode("/sys/kernel/mm/transparent_hugepage/enabled");
  std::string text;
  std::getline(mode, text);
  return text.find("[madvise]") != std::string::npos || text.find("[always]") != std::string::npos;
}

class MappedBuffer {
 public:
  explicit MappedBuffer(std::size_t bytes)
      : bytes_(bytes),
        data_(::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1,
                     0)) {}
  ~MappedBuffer() {
    if (data_ != MAP_FAILED) ::munmap(data_, bytes_);
  }
  MappedBuffer(const MappedBuffer&) = delete;
  MappedBuffer& operator=(const MappedBuffer&) = delete;
  char* data() const { return static_cast<char*>(data_); }
  bool ok() const { return data_ != MAP_FAILED; }

 private:
  std::size_t bytes_;
  void* data_;
};

TEST(AdviseHugePages, MarksALargeBufferAndKeepsItsContents) {
  if (!hugePagesOnRequest()) GTEST_SKIP() << "transparent huge pages are off here";
  MappedBuffer buffer(16 * kMiB);
  ASSERT_TRUE(buffer.ok());
  std::memset(buffer.data(), 0x5A, 4096);
  // An unaligned start, as a buffer from the heap has: the whole pages inside still count.
  adviseHugePages(buffer.data() + 16, 16 * kMiB - 16);
  EXPECT_NE(vmFlagsAt(buffer.data() + 8 * kMiB).find(" hg"), std::string::npos);
  EXPECT_EQ(buffer.data()[100], 0x5A);
  std::memset(buffer.data(), 0x33, 16 * kMiB);  // still writable throughout
  EXPECT_EQ(buffer.data()[16 * kMiB - 1], 0x33);
}

TEST(AdviseHugePages, LeavesSmallBuffersAndNullAlone) {
  MappedBuffer buffer(2 * kMiB);
  ASSERT_TRUE(buffer.ok());
  const std::string before = vmFlagsAt(buffer.data());
  adviseHugePages(buffer.data(), 2 * kMiB);  // too small to hold an aligned huge page
  adviseHugePages(nullptr, 64 * kMiB);
  EXPECT_EQ(vmFlagsAt(buffer.data()), before);
  EXPECT_EQ(before.find(" hg"), std::string::npos);
}

}  // namespace
}  // namespace hmr
