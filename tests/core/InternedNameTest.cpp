// SPDX-License-Identifier: MIT
// Interned names: one pooled copy per text, read and compared as the text itself, from any
// number of threads at once (the files of a report are decoded on several).
#include "core/InternedName.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

namespace hmr {
namespace {

using namespace std::string_literals;

TEST(InternedNameTest, EqualTextsShareOnePooledCopy) {
  const InternedName a("ann");
  const InternedName b(std::string("an") + "n");
  InternedName c;
  c = "Ann";
  EXPECT_EQ(a, b);
  EXPECT_EQ(a.data(), b.data());
  EXPECT_NE(a, c);
  EXPECT_EQ(c.str(), "Ann");
  EXPECT_EQ(a.size(), 3u);

  const InternedName none;
  EXPECT_TRUE(none.empty());
  EXPECT_EQ(none, InternedName(""));
  EXPECT_EQ(none.str(), "");
  EXPECT_FALSE(a.empty());
}

TEST(InternedNameTest, ComparesAndOrdersAsItsBytes) {
  const std::vector<std::string> texts = {"bob", "", "a", "ab", "\xC3\xBC", "a\0b"s, "B", "a\0"s};
  std::vector<InternedName> names;
  for (const std::string& t : texts) names.emplace_back(t);
  std::vector<std::string> sortedTexts = texts;
  std::sort(sortedTexts.begin(), sortedTexts.end());
  std::sort(names.begin(), names.end());
  ASSERT_EQ(names.size(), sortedTexts.size());
  for (std::size_t i = 0; i < names.size(); ++i) {
    EXPECT_EQ(names[i].str(), sortedTexts[i]) << i;
    EXPECT_EQ(names[i], std::string_view(sortedTexts[i]));
    EXPECT_EQ(std::string_view(sortedTexts[i]), names[i]);
    EXPECT_EQ(names[i] <=> std::string_view(sortedTexts[i]), std::strong_ordering::equal);
  }
  EXPECT_LT(InternedName("a"), InternedName("a\0"s));
  EXPECT_GT(InternedName("b"), std::string_view("a\0b"s));
  EXPECT_NE(InternedName("a\0b"s), "a");  // the text as given, not as a C string
}

TEST(InternedNameTest, ThreadsInterningTheSameNamesGetTheSameCopies) {
  constexpr int kThreads = 4;
  constexpr int kNames = 400;
  const auto text = [](int i) { return "user" + std::to_string(i) + "-threads"; };
  std::vector<std::vector<InternedName>> got(kThreads, std::vector<InternedName>(kNames));
  {
    std::vector<std::jthread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] {
        InternedNameCache cache;
        // Each thread in its own order (steps prime to kNames reach every name), half
        // through a cache and half without.
        constexpr int kSteps[kThreads] = {1, 3, 7, 9};
        for (int k = 0; k < kNames; ++k) {
          const int i = (k * kSteps[t] + t * 37) % kNames;
          got[t][i] = t % 2 ? cache.intern(text(i)) : InternedName(text(i));
        }
      });
    }
  }
  for (int i = 0; i < kNames; ++i) {
    EXPECT_EQ(got[0][i].str(), text(i));
    for (int t = 1; t < kThreads; ++t) EXPECT_EQ(got[t][i].data(), got[0][i].data()) << i;
  }
}

TEST(InternedNameTest, ACacheGivesTheNameAskedForBeyondTheNamesItRemembers) {
  InternedNameCache cache;
  for (int round = 0; round < 3; ++round) {
    for (int i = 0; i < 20; ++i) {
      const std::string text = "cached" + std::to_string(i % (round + 5) * 7);
      const InternedName name = cache.intern(text);
      EXPECT_EQ(name.str(), text);
      EXPECT_EQ(name, InternedName(text));
    }
  }
  EXPECT_TRUE(cache.intern("").empty());
}

// A file of many users: the cache's table grows many times and still gives each its own name,
// including names that differ only past a shared beginning or by an embedded NUL byte.
TEST(InternedNameTest, ACacheOfThousandsOfNamesGivesEachItsOwn) {
  InternedNameCache cache;
  std::vector<std::string> texts;
  for (int i = 0; i < 5000; ++i)
    texts.push_back("user-with-a-long-shared-start-" + std::to_string(i));
  texts.push_back(std::string("nul\0a", 5));
  texts.push_back(std::string("nul\0b", 5));
  for (int round = 0; round < 2; ++round) {
    for (const std::string& text : texts) {
      const InternedName name = cache.intern(text);
      ASSERT_EQ(name.str(), text);
      ASSERT_EQ(name.data(), InternedName(text).data());
    }
  }
}

}  // namespace
}  // namespace hmr
