// SPDX-License-Identifier: MIT
// Ranks that stand for the locale's comparison, and the cases where none can.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "core/TextRanks.h"
#include "platform/Locale.h"

namespace hmr {
namespace {

// A comparison that orders no three texts consistently: each text sorts before the next one
// of the circle a < b < c < a.
class CircularLocale final : public Locale {
 public:
  int compareText(std::string_view a, std::string_view b) const override {
    if (a == b) return 0;
    const auto next = [](std::string_view t) { return t == "a" ? "b" : t == "b" ? "c" : "a"; };
    return next(a) == b ? -1 : 1;
  }
  std::string shortDateFormat() const override { return "%m/%d/%y"; }
  std::string longTimeFormat() const override { return "%H:%M:%S"; }
  std::string decimalSeparator() const override { return "."; }
};

TEST(TextRanksTest, RanksCompareAsTheTextsDo) {
  FixedLocale locale;
  ScopedLocale use(locale);
  const std::vector<std::string_view> texts{"bob", "Ann", "", "ann", "carla", "BOB", "b"};
  std::vector<std::uint32_t> ranks;
  ASSERT_TRUE(rankTexts(texts, ranks));
  ASSERT_EQ(ranks.size(), texts.size());
  for (std::size_t a = 0; a < texts.size(); ++a) {
    for (std::size_t b = 0; b < texts.size(); ++b) {
      const int byText = locale.compareText(texts[a], texts[b]);
      EXPECT_EQ((ranks[a] > ranks[b]) - (ranks[a] < ranks[b]), (byText > 0) - (byText < 0))
          << texts[a] << " / " << texts[b];
    }
  }
  // From 0 without gaps: "" < ann = Ann < b < bob = BOB < carla.
  EXPECT_EQ(ranks, (std::vector<std::uint32_t>{3, 1, 0, 1, 4, 3, 2}));
}

TEST(TextRanksTest, NoRanksForTooManyTextsOrAnInconsistentComparison) {
  FixedLocale fixed;
  ScopedLocale useFixed(fixed);
  std::vector<std::string> many;
  for (int i = 0; i < 600; ++i) many.push_back("user" + std::to_string(i));
  const std::vector<std::string_view> views(many.begin(), many.end());
  std::vector<std::uint32_t> ranks;
  EXPECT_FALSE(rankTexts(views, ranks));
  EXPECT_TRUE(rankTexts(views, ranks, views.size()));

  CircularLocale circular;
  ScopedLocale useCircular(circular);
  const std::vector<std::string_view> circle{"a", "b", "c"};
  EXPECT_FALSE(rankTexts(circle, ranks));
  const std::vector<std::string_view> two{"c", "a"};
  ASSERT_TRUE(rankTexts(two, ranks));
  EXPECT_EQ(ranks, (std::vector<std::uint32_t>{0, 1}));
}

}  // namespace
}  // namespace hmr
