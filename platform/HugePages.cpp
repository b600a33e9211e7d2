// SPDX-License-Identifier: MIT
#include "platform/HugePages.h"

#include <sys/mman.h>

#include <cstdint>

namespace hmr {

void adviseHugePages(const void* data, std::size_t bytes) {
  constexpr std::uintptr_t kHugePage = std::uintptr_t{2} << 20;
  const auto start = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
  const std::uintptr_t end = (start + bytes) & ~(kHugePage - 1);
  if (bytes < kHugePage || end <= first) return;
  // The advice is a hint: a kernel without huge pages refuses it, and that is fine.
  (void)::madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
}

}  // namespace hmr
