// SPDX-License-Identifier: MIT
#include "core/InternedName.h"

#include <functional>
#include <mutex>
#include <ostream>
#include <unordered_set>

// Under AddressSanitizer the pool is marked as kept on purpose (see pool()).
#if defined(__SANITIZE_ADDRESS__)
#define HMR_LEAK_CHECKED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define HMR_LEAK_CHECKED 1
#endif
#endif
#ifdef HMR_LEAK_CHECKED
#include <sanitizer/lsan_interface.h>
#endif

namespace hmr {
namespace {

// Looked up by std::string_view without making a std::string of it.
struct TextHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const {
    return std::hash<std::string_view>{}(text);
  }
};

class NamePool {
 public:
  // The pooled copy of `text` (not empty), added when missing. The set's nodes never move, so
  // a pointer to one holds for the pool's life.
  const std::string* intern(std::string_view text) {
    const std::lock_guard lock(mutex_);
    if (const auto found = names_.find(text); found != names_.end()) return &*found;
    return &*names_.emplace(text).first;
  }

 private:
  std::mutex mutex_;
  std::unordered_set<std::string, TextHash, std::equal_to<>> names_;
};

NamePool& pool() {
  // Never destroyed: sessions held by other statics (a tracker whose host ends without
  // stopping it saves its projects while statics are destroyed) still read their names.
  static NamePool* const instance = [] {
    auto* created = new NamePool;
#ifdef HMR_LEAK_CHECKED
    // A package unloaded with dlclose takes this pointer with it, and the leak checker would
    // report the pool it leaves behind.
    __lsan_ignore_object(created);
#endif
    return created;
  }();
  return *instance;
}

}  // namespace

InternedName::InternedName(std::string_view text)
    : text_(text.empty() ? nullptr : pool().intern(text)) {}

const std::string& InternedName::none() {
  static const std::string none;
  return none;
}

std::ostream& operator<<(std::ostream& out, const InternedName& name) {
  return out << name.view();
}

namespace {

// FNV-1a: names are short, and the table only needs a spread of its low bits.
std::uint64_t nameHash(std::string_view text) {
  std::uint64_t hash = 14695981039346656037ull;
  for (const char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  return hash;
}

}  // namespace

InternedName InternedNameCache::intern(std::string_view text) {
  if (last_.view() == text) return last_;
  if (text.empty()) return last_ = InternedName();
  if (slots_.empty()) slots_.resize(16);
  const std::uint64_t hash = nameHash(text);
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
    Slot& slot = slots_[i];
    if (slot.name.empty()) {
      slot = {hash, InternedName(text)};
      last_ = slot.name;
      if (++used_ * 2 > slots_.size()) grow();
      return last_;
    }
    if (slot.hash == hash && slot.name.view() == text) return last_ = slot.name;
  }
}

void InternedNameCache::grow() {
  std::vector<Slot> old(slots_.size() * 2);
  old.swap(slots_);
  const std::size_t mask = slots_.size() - 1;
  for (const Slot& slot : old) {
    if (slot.name.empty()) continue;
    std::size_t i = slot.hash & mask;
    while (!slots_[i].name.empty()) i = (i + 1) & mask;
    slots_[i] = slot;
  }
}

}  // namespace hmr
