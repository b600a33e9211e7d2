// SPDX-License-Identifier: MIT
#include "platform/MemorySettingsStore.h"

#include <algorithm>

#include "platform/HmrError.h"
#include "platform/RegistryNames.h"

namespace hmr {
namespace {

[[noreturn]] void wrongType(std::string_view key, std::string_view name, ValueType expected,
                            ValueType actual) {
  throw HmrError("Value \"" + std::string(name) + "\" of key \"" + std::string(key) + "\" is " +
                 std::string(valueTypeName(actual)) + ", not " + std::string(valueTypeName(expected)));
}

}  // namespace

MemorySettingsStore::Key* MemorySettingsStore::find(RegistryRoot root, std::string_view key) {
  auto it = keys_.find({root, foldCase(canonicalKeyPath(key))});
  return it == keys_.end() ? nullptr : &it->second;
}

MemorySettingsStore::Key& MemorySettingsStore::make(RegistryRoot root, std::string_view key) {
  const std::string path = canonicalKeyPath(key);
  Key* made = nullptr;
  // Every key above the new one exists too.
  for (std::size_t end = 0; end != std::string::npos;) {
    end = path.find('\\', end + 1);
    const std::string part = path.substr(0, end);
    auto [it, inserted] = keys_.try_emplace({root, foldCase(part)});
    if (inserted) it->second.path = part;
    made = &it->second;
    if (end == std::string::npos) break;
  }
  return *made;
}

const SettingsValue* MemorySettingsStore::value(RegistryRoot root, std::string_view key,
                                                std::string_view name) {
  Key* k = find(root, key);
  if (!k) return nullptr;
  auto it = k->values.find(foldCase(name));
  return it == k->values.end() ? nullptr : &it->second;
}

bool MemorySettingsStore::keyExists(RegistryRoot root, std::string_view key) {
  return canonicalKeyPath(key).empty() || find(root, key) != nullptr;
}

void MemorySettingsStore::createKey(RegistryRoot root, std::string_view key) {
  if (!canonicalKeyPath(key).empty()) make(root, key);  // an existing key is left as it is
}

void MemorySettingsStore::deleteKey(RegistryRoot root, std::string_view key) {
  const std::string folded = foldCase(canonicalKeyPath(key));
  std::erase_if(keys_, [&](const auto& entry) {
    const std::string& p = entry.first.second;
    return entry.first.first == root &&
           (p == folded || (p.size() > folded.size() && p.compare(0, folded.size(), folded) == 0 &&
                            p[folded.size()] == '\\'));
  });
}

bool MemorySettingsStore::valueExists(RegistryRoot root, std::string_view key,
                                      std::string_view name) {
  return value(root, key, name) != nullptr;
}

std::optional<std::string> MemorySettingsStore::readString(RegistryRoot root,
                                                           std::string_view key,
                                                           std::string_view name) {
  const SettingsValue* v = value(root, key, name);
  if (!v) return std::nullopt;
  if (v->type != ValueType::String) wrongType(key, name, ValueType::String, v->type);
  return v->text;
}

std::optional<std::uint32_t> MemorySettingsStore::readDword(RegistryRoot root,
                                                            std::string_view key,
                                                            std::string_view name) {
  const SettingsValue* v = value(root, key, name);
  if (!v) return std::nullopt;
  if (v->type != ValueType::Dword) wrongType(key, name, ValueType::Dword, v->type);
  return v->dword;
}

void MemorySettingsStore::writeString(RegistryRoot root, std::string_view key,
                                      std::string_view name, std::string_view text) {
  SettingsValue& v = make(root, key).values[foldCase(name)];
  if (v.name.empty()) v.name = name;
  v.type = ValueType::String;
  v.text = text;
}

void MemorySettingsStore::writeDword(RegistryRoot root, std::string_view key,
                                     std::string_view name, std::uint32_t value) {
  SettingsValue& v = make(root, key).values[foldCase(name)];
  if (v.name.empty()) v.name = name;
  v.type = ValueType::Dword;
  v.text.clear();
  v.dword = value;
}

void MemorySettingsStore::deleteValue(RegistryRoot root, std::string_view key,
                                      std::string_view name) {
  if (Key* k = find(root, key)) k->values.erase(foldCase(name));
}

void MemorySettingsStore::updateString(
    RegistryRoot root, std::string_view key, std::string_view name,
    const std::function<std::string(const std::optional<std::string>&)>& update) {
  const std::optional<std::string> current = readString(root, key, name);
  writeString(root, key, name, update(current));
}

std::string MemorySettingsStore::readStringOrCreate(RegistryRoot root, std::string_view key,
                                                    std::string_view name,
                                                    std::string_view fallback) {
  if (std::optional<std::string> current = readString(root, key, name)) return *current;
  writeString(root, key, name, fallback);
  return std::string(fallback);
}

std::uint32_t MemorySettingsStore::readDwordOrCreate(RegistryRoot root, std::string_view key,
                                                     std::string_view name,
                                                     std::uint32_t fallback) {
  if (std::optional<std::uint32_t> current = readDword(root, key, name)) return *current;
  writeDword(root, key, name, fallback);
  return fallback;
}

std::vector<std::string> MemorySettingsStore::subKeys(RegistryRoot root, std::string_view key) {
  const std::string folded = foldCase(canonicalKeyPath(key));
  std::vector<std::string> names;
  for (const auto& [id, k] : keys_) {
    if (id.first != root) continue;
    const std::string& p = id.second;
    std::string_view rest = p;
    if (!folded.empty()) {
      if (p.size() <= folded.size() + 1 || p.compare(0, folded.size(), folded) != 0 ||
          p[folded.size()] != '\\')
        continue;
      rest = std::string_view(p).substr(folded.size() + 1);
    }
    if (rest.empty() || rest.find('\\') != std::string_view::npos) continue;
    names.push_back(k.path.substr(k.path.size() - rest.size()));
  }
  std::sort(names.begin(), names.end(),
            [](const std::string& a, const std::string& b) { return foldCase(a) < foldCase(b); });
  return names;
}

std::vector<SettingsValue> MemorySettingsStore::values(RegistryRoot root, std::string_view key) {
  std::vector<SettingsValue> out;
  if (Key* k = find(root, key))
    for (const auto& [folded, v] : k->values) out.push_back(v);
  return out;
}

}  // namespace hmr
