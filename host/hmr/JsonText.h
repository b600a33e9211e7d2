// SPDX-License-Identifier: MIT
// Small pieces of JSON text for the command-line tool's machine-readable output.
#pragma once

#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>

namespace hmr::cli {

// `text` as a JSON string literal, quotes included. Quotes, backslashes and control bytes are
// escaped; other bytes (UTF-8 text) are copied as they are.
inline std::string jsonString(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (byte < 0x20) {
          out += "\\u00";
          out += kHex[byte >> 4];
          out += kHex[byte & 0xF];
        } else {
          out += c;
        }
    }
  }
  out += '"';
  return out;
}

// An integer as JSON, independent of the process locale.
inline std::string jsonNumber(std::int64_t value) {
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

}  // namespace hmr::cli
