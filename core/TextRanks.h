// SPDX-License-Identifier: MIT
// Ranks of texts in the order of the locale's case-insensitive comparison, so that a sort or a
// fold over many lines with few distinct texts (user names, project names) compares integers
// instead of comparing texts in the locale again and again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace hmr {

// The rank of each of `texts` (distinct byte strings) such that for every pair a and b the
// ranks compare as currentLocale().compareText(a, b) does: equal ranks for texts that compare
// equal. Ranks count from 0 without gaps. False, leaving `ranks` unspecified, when there are
// more than `maxTexts` texts (proving the ranks costs a comparison of every pair) or when no
// ranks can stand for the comparison (it does not order these texts consistently).
bool rankTexts(std::span<const std::string_view> texts, std::vector<std::uint32_t>& ranks,
               std::size_t maxTexts = 512);

}  // namespace hmr
