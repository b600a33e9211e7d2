// SPDX-License-Identifier: MIT
// Shared ownership of the IDE's reference-counted interface objects: AddRef when a reference
// is taken, Release when it is dropped. The object deletes itself at its last Release.
#pragma once

#include <utility>

namespace hmr {

template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  // Takes a new reference to `object` (which may be null).
  explicit ComPtr(T* object) : p_(object) {
    if (p_) p_->AddRef();
  }
  ComPtr(const ComPtr& other) : ComPtr(other.p_) {}
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  template <class U>
  ComPtr(const ComPtr<U>& other) : ComPtr(static_cast<T*>(other.get())) {}
  ~ComPtr() { reset(); }

  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }

  // Wraps a reference the caller already holds (for example the first one of a new object
  // whose count starts at one), without taking another.
  static ComPtr adopt(T* object) {
    ComPtr result;
    result.p_ = object;
    return result;
  }
  // Gives up the reference without releasing it.
  T* detach() { return std::exchange(p_, nullptr); }

  void reset() {
    if (T* old = std::exchange(p_, nullptr)) old->Release();
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  T& operator*() const { return *p_; }
  explicit operator bool() const { return p_ != nullptr; }
  friend bool operator==(const ComPtr& a, const ComPtr& b) { return a.p_ == b.p_; }

 private:
  T* p_ = nullptr;
};

}  // namespace hmr
