// SPDX-License-Identifier: MIT
// Writing JSON text by hand: strings and numbers for the subcommands that print JSON.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace hmr::cli {

// Appends `text` as a JSON string literal, quotes included. Quote, backslash and control
// characters are escaped; valid UTF-8 sequences are passed through as they are, and every
// byte that is not part of one becomes U+FFFD, so the output is always valid UTF-8.
void appendJsonString(std::string& out, std::string_view text);

// `text` as a JSON string literal.
std::string toJsonString(std::string_view text);

// Appends an integer as a JSON number: plain decimal digits, a minus sign when negative,
// whatever the process locale.
void appendJsonNumber(std::string& out, std::int64_t value);

}  // namespace hmr::cli
