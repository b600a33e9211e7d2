// SPDX-License-Identifier: MIT
// Keeps the programs a test runs away from the user's settings.
#pragma once

#include <string>

#include "platform/ScopedEnvironment.h"

namespace hmr::test_support {

// Points HMR_REGISTRY at `storePath` and HOME at `home`, and unsets XDG_CONFIG_HOME,
// XDG_STATE_HOME and XDG_DATA_HOME (so that recovery files and the desktop's association go
// below `home` too), for the lifetime of this object; then puts them back as they were.
class StoreEnvironment {
 public:
  StoreEnvironment(const std::string& storePath, const std::string& home)
      : registry_("HMR_REGISTRY", storePath.c_str()), home_("HOME", home.c_str()) {}

 private:
  ScopedEnvironment registry_;
  ScopedEnvironment home_;
  ScopedEnvironment config_{"XDG_CONFIG_HOME", nullptr};
  ScopedEnvironment state_{"XDG_STATE_HOME", nullptr};
  ScopedEnvironment data_{"XDG_DATA_HOME", nullptr};
};

}  // namespace hmr::test_support
