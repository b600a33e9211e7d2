// SPDX-License-Identifier: MIT
#include "platform/RegistryNames.h"

#include <algorithm>
#include <array>

namespace hmr {
namespace {

struct RootNames {
  RegistryRoot root;
  std::string_view name;
  std::string_view abbreviation;
};

constexpr std::array<RootNames, 3> kRoots{{
    {RegistryRoot::LocalMachine, "HKEY_LOCAL_MACHINE", "HKLM"},
    {RegistryRoot::CurrentUser, "HKEY_CURRENT_USER", "HKCU"},
    {RegistryRoot::ClassesRoot, "HKEY_CLASSES_ROOT", "HKCR"},
}};

// ASCII only on purpose: std::tolower would follow the process locale.
char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalIgnoringAsciiCase(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) { return asciiLower(x) == asciiLower(y); });
}

}  // namespace

std::string_view registryRootName(RegistryRoot root) {
  for (const RootNames& r : kRoots)
    if (r.root == root) return r.name;
  return "HKEY_UNKNOWN";
}

std::optional<RegistryRoot> parseRegistryRoot(std::string_view name) {
  for (const RootNames& r : kRoots)
    if (equalIgnoringAsciiCase(name, r.name) || equalIgnoringAsciiCase(name, r.abbreviation))
      return r.root;
  return std::nullopt;
}

std::string_view valueTypeName(ValueType type) {
  return type == ValueType::Dword ? "REG_DWORD" : "REG_SZ";
}

std::string fullKeyName(RegistryRoot root, std::string_view key) {
  std::string name(registryRootName(root));
  while (!key.empty() && key.front() == '\\') key.remove_prefix(1);
  if (!key.empty()) name.append("\\").append(key);
  return name;
}

std::string canonicalKeyPath(std::string_view key) {
  std::string out;
  for (char c : key) {
    if (c == '\\' && (out.empty() || out.back() == '\\')) continue;
    out.push_back(c);
  }
  if (!out.empty() && out.back() == '\\') out.pop_back();
  return out;
}

std::string foldCase(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

}  // namespace hmr
