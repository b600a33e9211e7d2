// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>

namespace hmr {

// The core's table of message texts. "%S" marks where formatMessage puts its arguments.
inline constexpr std::string_view CannotOpenNotClosed = "Can not open an open project";
inline constexpr std::string_view HMRFileRead = "Error reading HMR file %S : %S";
inline constexpr std::string_view HMRFileSave = "Error saving HMR file %S : %S";
inline constexpr std::string_view HMRFileCorrupted = "HMR file is corrupted";
// A report export that cannot create, write or close its file.
inline constexpr std::string_view ReportFileWrite = "Error writing report file %S : %S";

// Replaces each "%S" of `pattern`, in order, by the next of `args`; a "%S" without an
// argument left is kept as written. Arguments are inserted verbatim (a "%S" inside an
// argument is not expanded again).
std::string formatMessage(std::string_view pattern, std::initializer_list<std::string_view> args);

}  // namespace hmr
