// SPDX-License-Identifier: MIT
#include "core/PathText.h"

namespace hmr {
namespace {

// Position of the dot that starts the extension, or npos.
std::size_t extensionDot(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  const std::size_t dot = path.rfind('.');
  if (dot == std::string_view::npos) return dot;
  if (slash != std::string_view::npos && dot < slash) return std::string_view::npos;
  return dot;
}

bool isTrimmed(char c) { return static_cast<unsigned char>(c) <= 0x20; }

}  // namespace

std::string changeFileExt(std::string_view path, std::string_view ext) {
  const std::size_t dot = extensionDot(path);
  std::string out(dot == std::string_view::npos ? path : path.substr(0, dot));
  out.append(ext);
  return out;
}

std::string extractFileName(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string extractFilePath(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

std::string extractBaseName(std::string_view path) {
  const std::string name = extractFileName(path);
  return changeFileExt(name, "");
}

std::string trimText(std::string_view text) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && isTrimmed(text[begin])) ++begin;
  while (end > begin && isTrimmed(text[end - 1])) --end;
  return std::string(text.substr(begin, end - begin));
}

bool isBlank(std::string_view text) {
  for (char c : text)
    if (!isTrimmed(c)) return false;
  return true;
}

bool sameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

std::string upperCase(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

}  // namespace hmr
