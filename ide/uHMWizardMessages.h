// SPDX-License-Identifier: MIT
// The package's own message texts. "%S" marks where formatMessage puts its arguments.
#pragma once

#include <string_view>

namespace hmr {

inline constexpr std::string_view CannotAddNotifier = "Cannot add notifier";
inline constexpr std::string_view CannotFindMenuItem = "Cannot find menu item, %S";
inline constexpr std::string_view NoMenuParent = "No menu parent for %S";

}  // namespace hmr
