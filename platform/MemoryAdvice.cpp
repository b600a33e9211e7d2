// SPDX-License-Identifier: MIT
#include "platform/MemoryAdvice.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

namespace hmr {

void adviseHugePages(const void* data, std::size_t bytes) noexcept {
#ifdef MADV_HUGEPAGE
  // Huge pages are 2 MiB on the usual machines: a smaller buffer cannot hold one.
  constexpr std::size_t kWorthIt = std::size_t{4} << 20;
  if (data == nullptr || bytes < kWorthIt) return;
  const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  const auto start = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t first = (start + page - 1) / page * page;
  const std::uintptr_t end = (start + bytes) / page * page;
  if (end <= first) return;
  // The kernel may say no (huge pages off, an older kernel); the buffer works all the same.
  (void)::madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
#else
  (void)data;
  (void)bytes;
#endif
}

}  // namespace hmr
