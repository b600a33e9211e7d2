// SPDX-License-Identifier: MIT
// A text kept once per process, for the user names of sessions: a data file of a million
// sessions holds a handful of users, and each session keeps only a pointer to its name.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace hmr {

// A name in the process's pool of names. Every InternedName of the same bytes points to the
// same pooled copy, so copying one copies a pointer and two usually compare equal by address.
// A name reads like a string: it converts to `const std::string&` and `std::string_view` and
// compares with names and texts byte for byte.
//
// A pooled name lives until the process ends, whatever holds it: names are few (the users of
// a team), and a name never freed is one no session can be left pointing past. Every module
// that links the core (a package the IDE loads, a program) has a pool of its own, so names of
// two pools compare by their bytes. Interning is safe from any thread; it takes the pool's lock
// unless the text is empty.
class InternedName {
 public:
  InternedName() = default;  // the empty name
  explicit InternedName(std::string_view text);
  InternedName& operator=(std::string_view text) { return *this = InternedName(text); }

  const std::string& str() const { return text_ ? *text_ : none(); }
  std::string_view view() const { return str(); }
  operator const std::string&() const { return str(); }
  operator std::string_view() const { return str(); }
  std::size_t size() const { return str().size(); }
  bool empty() const { return text_ == nullptr; }
  const char* data() const { return str().data(); }

  friend bool operator==(const InternedName& a, const InternedName& b) {
    return a.text_ == b.text_ || a.view() == b.view();
  }
  friend std::strong_ordering operator<=>(const InternedName& a, const InternedName& b) {
    if (a.text_ == b.text_) return std::strong_ordering::equal;
    return a.view() <=> b.view();
  }
  friend bool operator==(const InternedName& a, std::string_view b) { return a.view() == b; }
  friend std::strong_ordering operator<=>(const InternedName& a, std::string_view b) {
    return a.view() <=> b;
  }

 private:
  static const std::string& none();

  const std::string* text_ = nullptr;  // in the pool; nullptr for the empty name
};

std::ostream& operator<<(std::ostream& out, const InternedName& name);

// Interns for one thread at a time (one decode): every name it gave is remembered, so that a
// file takes the pool's lock once per distinct user rather than once per session. The name
// given last is tried first: sessions of one user mostly follow each other. The names given
// are kept in one flat table probed in place, so a file of many users costs no chase through
// scattered nodes per session.
class InternedNameCache {
 public:
  InternedName intern(std::string_view text);

 private:
  struct Slot {
    std::uint64_t hash = 0;
    InternedName name;  // empty: the slot is free
  };
  void grow();

  InternedName last_;
  std::vector<Slot> slots_;  // a power of two in size, at most half full
  std::size_t used_ = 0;
};

}  // namespace hmr
