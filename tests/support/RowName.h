// SPDX-License-Identifier: MIT
// Names the cases of a table test after their `input` field, as GoogleTest wants them.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace hmr::test_support {

// "fifo-as-data-file" becomes "fifo_as_data_file".
template <class Row>
std::string rowName(const ::testing::TestParamInfo<Row>& info) {
  std::string name = info.param.input;
  for (char& c : name)
    if (c == '-') c = '_';
  return name;
}

}  // namespace hmr::test_support
