// SPDX-License-Identifier: MIT
#include "core/TextRanks.h"

#include <algorithm>
#include <numeric>

#include "platform/Locale.h"

namespace hmr {

bool rankTexts(std::span<const std::string_view> texts, std::vector<std::uint32_t>& ranks,
               std::size_t maxTexts) {
  if (texts.size() > maxTexts) return false;
  const Locale& locale = currentLocale();
  const auto sign = [](int v) { return (v > 0) - (v < 0); };
  std::vector<std::size_t> order(texts.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  // A merge sort: it stays inside the range even if the comparison is not consistent.
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return locale.compareText(texts[a], texts[b]) < 0;
  });
  ranks.assign(texts.size(), 0);
  for (std::size_t k = 1; k < order.size(); ++k) {
    const bool tie = locale.compareText(texts[order[k - 1]], texts[order[k]]) == 0;
    ranks[order[k]] = ranks[order[k - 1]] + (tie ? 0 : 1);
  }
  // The ranks stand for the comparison only if every pair agrees.
  for (std::size_t a = 0; a < texts.size(); ++a) {
    for (std::size_t b = a + 1; b < texts.size(); ++b) {
      const int byRank = (ranks[a] > ranks[b]) - (ranks[a] < ranks[b]);
      if (sign(locale.compareText(texts[a], texts[b])) != byRank) return false;
    }
  }
  return true;
}

}  // namespace hmr
