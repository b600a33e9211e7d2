// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>

namespace hmr {

// The data file as a tracker last read it or wrote it: the common history of its next save,
// should another tracker have written the file meanwhile (DataFileSave.h).
struct DataFileBase {
  std::string path;                  // the file these bytes are of; "" for none
  std::optional<std::string> image;  // its bytes; none when there was no file
};

}  // namespace hmr
