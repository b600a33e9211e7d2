// SPDX-License-Identifier: MIT
// Asking the kernel to back a large buffer with 2 MiB pages.
#pragma once

#include <cstddef>

namespace hmr {

// Advises the kernel to back the whole 2 MiB pages inside [data, data + bytes) with huge
// pages, before they are first written. Filling a fresh buffer of tens of megabytes (the
// bytes of a large data file, its decoded sessions) otherwise takes a page fault per 4 KiB,
// which costs more than the filling itself. Only a hint: nothing changes for a buffer smaller
// than one huge page, a kernel without them, or memory the kernel will not advise; never
// fails.
void adviseHugePages(const void* data, std::size_t bytes);

}  // namespace hmr
