// SPDX-License-Identifier: MIT
// The package's entry points, for a program that links the package in instead of loading
// its library (the in-process tests). The IDE finds them by name (IdeHostServices.h).
#pragma once

#include <cstdint>

namespace hmr {
class IdeHostServices;
}

extern "C" {
int hmrPackageLoad(hmr::IdeHostServices* host, std::int32_t version) noexcept;
void Register() noexcept;
void hmrPackageUnload() noexcept;
}
