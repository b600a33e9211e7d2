// SPDX-License-Identifier: MIT
// Whether what a program printed reached its standard output.
#pragma once

namespace hmr {

// Flushes standard output, both the C++ stream and the C stream under it, and tells whether
// every write to it succeeded (a full disk, /dev/full, a closed pipe all fail). On failure it
// prints "<program>: cannot write to standard output" on standard error, with the system's
// reason when it is still known. A program
// calls it last and ends with a non-zero status when it returns false.
bool standardOutputWritten(const char* program);

}  // namespace hmr
