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

InternedName InternedNameCache::intern(std::string_view text) {
  if (last_.view() == text) return last_;
  if (const auto found = known_.find(text); found != known_.end()) return last_ = found->second;
  last_ = InternedName(text);
  known_.emplace(last_.view(), last_);
  return last_;
}

}  // namespace hmr
