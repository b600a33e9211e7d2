// SPDX-License-Identifier: MIT
// Hints to the kernel about how a large buffer will be used.
#pragma once

#include <cstddef>

namespace hmr {

// Asks for [data, data + bytes) to be backed by huge pages where the system allows it
// (Linux transparent huge pages, which many systems grant only to memory that asks). Call it
// on a fresh buffer of megabytes before filling it: each 4 KiB page touched for the first
// time costs a page fault, and on a virtual machine those faults can take longer than
// writing the data. A hint only: the buffer's contents and behaviour are the same either
// way, and a refusal is ignored. Only the whole pages inside the range are affected.
void adviseHugePages(const void* data, std::size_t bytes) noexcept;

}  // namespace hmr
