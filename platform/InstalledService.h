// SPDX-License-Identifier: MIT
// How a platform service is chosen: one default, made on first use, which tests and the
// scripted host replace by installing another instance of their own.
#pragma once

namespace hmr {

// The instance of `Service` in use: `Default` until another one is installed.
template <class Service, class Default>
class InstalledService {
 public:
  constexpr InstalledService() = default;

  Service& current() { return installed_ ? *installed_ : fallback(); }

  // Installs `service` (not owned; must outlive its installation) and returns the previous
  // one. Passing nullptr restores the default.
  Service* install(Service* service) {
    Service* previous = installed_ ? installed_ : &fallback();
    installed_ = service;
    return previous;
  }

 private:
  static Default& fallback() {
    static Default instance;
    return instance;
  }

  Service* installed_ = nullptr;
};

// Installs a service through `Install` for the lifetime of this object, then puts the previous
// one back.
template <class Service, Service* (*Install)(Service*)>
class ScopedInstall {
 public:
  explicit ScopedInstall(Service& service) : previous_(Install(&service)) {}
  ~ScopedInstall() { Install(previous_); }
  ScopedInstall(const ScopedInstall&) = delete;
  ScopedInstall& operator=(const ScopedInstall&) = delete;

 private:
  Service* previous_;
};

}  // namespace hmr
