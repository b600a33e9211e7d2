// SPDX-License-Identifier: MIT
#include "core/InternedName.h"

#include <functional>
#include <mutex>
#include <ostream>
#include <unordered_set>

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
  // Never destroyed: names may be read by anything that outlives static destruction.
  static NamePool* const instance = new NamePool;
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
