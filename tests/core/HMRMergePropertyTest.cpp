// SPDX-License-Identifier: MIT
// The merge on random histories: a common one, and two sides made from it by adding, removing
// and changing sessions. Whatever the histories, merging in either order gives the same
// sessions, merging a history with itself changes nothing, and no session is lost that a side
// added or kept.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "core/HMRMerge.h"
#include "core/uHMRGlobal.h"
#include "tests/support/Sessions.h"

namespace hmr {
namespace {

using Random = std::mt19937_64;

// Everything a file stores of a session, comparable.
using Stored = std::tuple<std::int64_t, std::string, std::uint64_t, bool, std::int64_t>;

Stored stored(const TSessionData& s) {
  return {ConvertDateTimeToSeconds(s.SessionDateTimeOpen), s.SessionUserName,
          std::bit_cast<std::uint64_t>(s.SessionDateTimeClose), s.SessionNotClosed,
          s.SessionIdleTime};
}

std::vector<Stored> storedList(const std::vector<TSessionData>& sessions) {
  std::vector<Stored> out;
  for (const auto& s : sessions) out.push_back(stored(s));
  return out;
}

std::vector<Stored> sortedList(const HmrFileContents& c) {
  std::vector<Stored> out = storedList(c.sessions);
  std::sort(out.begin(), out.end());
  return out;
}

// Few users and open times from a small range, so that identities meet often: the same
// session on several sides, sessions sharing an open second.
TSessionData randomSession(Random& random) {
  static const char* const kUsers[] = {"ann", "bob", ""};
  const TDateTime open = encodeDateTime(2026, 12, 7, 9, 0, 0) +
                         static_cast<double>(random() % 8) * 600 / 86400.0;
  const std::int64_t seconds = static_cast<std::int64_t>(random() % 7200);
  const std::int64_t idle = static_cast<std::int64_t>(random() % 600);
  return test_support::makeSession(open, seconds, idle, random() % 4 == 0,
                                   kUsers[random() % 3]);
}

HmrFileContents copyOf(const HmrFileContents& c) {
  HmrFileContents out;
  out.version = c.version;
  out.timeForIdle = c.timeForIdle;
  out.minimumWorkTime = c.minimumWorkTime;
  out.projectName = c.projectName;
  for (const auto& s : c.sessions) out.sessions.push_back(s);
  return out;
}

HmrFileContents randomBase(Random& random) {
  HmrFileContents base;
  base.version = 2;
  base.timeForIdle = 300;
  base.minimumWorkTime = 60;
  base.projectName = "P";
  const int count = static_cast<int>(random() % 12);
  for (int i = 0; i < count; ++i) base.sessions.push_back(randomSession(random));
  std::stable_sort(base.sessions.begin(), base.sessions.end(), [](const auto& a, const auto& b) {
    return a.SessionDateTimeOpen < b.SessionDateTimeOpen;
  });
  return base;
}

// A side grown from `base`: some sessions removed, some closed or lengthened, some added, a
// setting changed now and then.
HmrFileContents randomSide(const HmrFileContents& base, Random& random) {
  HmrFileContents side = copyOf(base);
  std::erase_if(side.sessions, [&](const auto&) { return random() % 4 == 0; });
  for (auto& s : side.sessions) {
    if (random() % 5 != 0) continue;
    s.SessionNotClosed = false;
    s.SessionDateTimeClose += static_cast<double>(random() % 3600) / 86400.0;
    s.UpdateCalculatedFields();
  }
  const int added = static_cast<int>(random() % 5);
  for (int i = 0; i < added; ++i) side.sessions.push_back(randomSession(random));
  if (random() % 6 == 0) side.timeForIdle = 60 * static_cast<std::int64_t>(1 + random() % 3);
  if (random() % 6 == 0) side.minimumWorkTime = 60 * static_cast<std::int64_t>(1 + random() % 3);
  if (random() % 8 == 0) side.projectName = random() % 2 ? "Q" : "R";
  return side;
}

class HMRMergePropertyTest : public ::testing::TestWithParam<std::uint64_t> {};

TEST_P(HMRMergePropertyTest, EitherOrderGivesTheSameSessions) {
  Random random(GetParam());
  for (int round = 0; round < 200; ++round) {
    const HmrFileContents base = random() % 5 == 0 ? HmrFileContents{} : randomBase(random);
    const HmrFileContents a = randomSide(base, random), b = randomSide(base, random);
    const MergedHistory ab = mergeHistories(base, a, b), ba = mergeHistories(base, b, a);
    ASSERT_EQ(storedList(ab.sessions), storedList(ba.sessions)) << "seed " << GetParam()
                                                                << " round " << round;
    ASSERT_EQ(ab.notes.size(), ba.notes.size());
  }
}

TEST_P(HMRMergePropertyTest, MergingAHistoryWithItselfChangesNothing) {
  Random random(GetParam());
  for (int round = 0; round < 200; ++round) {
    const HmrFileContents base = randomBase(random);
    const HmrFileContents side = randomSide(base, random);
    for (const HmrFileContents* from : {&base, &side}) {
      const MergedHistory merged = mergeHistories(*from, side, side);
      ASSERT_EQ(storedList(merged.sessions), sortedList(side)) << "round " << round;
      EXPECT_EQ(merged.timeForIdle, side.timeForIdle);
      EXPECT_EQ(merged.minimumWorkTime, side.minimumWorkTime);
      EXPECT_EQ(merged.projectName, side.projectName);
      EXPECT_TRUE(merged.notes.empty() || from == &base);  // only removals are noted
    }
    // A side that changed nothing takes the other's history whole.
    ASSERT_EQ(storedList(mergeHistories(base, base, side).sessions), sortedList(side));
    ASSERT_EQ(storedList(mergeHistories(base, side, base).sessions), sortedList(side));
  }
}

// Every identity a side added or kept is in the result, and no identity is there twice that
// is once on each side; every identity removed on one side only and left unchanged on the
// other is gone.
TEST_P(HMRMergePropertyTest, NothingAddedOrKeptIsLost) {
  Random random(GetParam());
  using Identity = std::pair<std::int64_t, std::string>;
  const auto identities = [](const std::vector<TSessionData>& sessions) {
    std::multiset<Identity> out;
    for (const auto& s : sessions)
      out.insert({ConvertDateTimeToSeconds(s.SessionDateTimeOpen), s.SessionUserName});
    return out;
  };
  for (int round = 0; round < 200; ++round) {
    const HmrFileContents base = random() % 5 == 0 ? HmrFileContents{} : randomBase(random);
    const HmrFileContents a = randomSide(base, random), b = randomSide(base, random);
    const MergedHistory merged = mergeHistories(base, a, b);
    const auto inBase = identities(base.sessions), inA = identities(a.sessions),
               inB = identities(b.sessions), result = identities(merged.sessions);
    std::set<Identity> all(inA.begin(), inA.end());
    all.insert(inB.begin(), inB.end());
    all.insert(inBase.begin(), inBase.end());
    for (const Identity& id : all) {
      const std::size_t common = inBase.count(id), na = inA.count(id), nb = inB.count(id);
      const auto added = [common](std::size_t n) { return n > common ? n - common : 0; };
      // What one side added beyond the common history is there; never more copies than the
      // side that holds the most, and exactly that many without a common history.
      ASSERT_GE(result.count(id), std::max(added(na), added(nb))) << "round " << round;
      ASSERT_LE(result.count(id), std::max(na, nb)) << "round " << round;
      if (common == 0) {
        ASSERT_EQ(result.count(id), std::max(na, nb));
      }
    }
    // Sessions of the common history that both sides kept unchanged stay.
    for (const auto& s : base.sessions) {
      const auto same = [&](const HmrFileContents& side) {
        return std::any_of(side.sessions.begin(), side.sessions.end(),
                           [&](const auto& x) { return stored(x) == stored(s); });
      };
      if (same(a) && same(b)) {
        ASSERT_TRUE(std::any_of(merged.sessions.begin(), merged.sessions.end(),
                                [&](const auto& x) { return stored(x) == stored(s); }));
      }
    }
    ASSERT_TRUE(std::is_sorted(merged.sessions.begin(), merged.sessions.end(),
                               [](const auto& x, const auto& y) {
                                 return ConvertDateTimeToSeconds(x.SessionDateTimeOpen) <
                                        ConvertDateTimeToSeconds(y.SessionDateTimeOpen);
                               }));
  }
}

INSTANTIATE_TEST_SUITE_P(Seeds, HMRMergePropertyTest, ::testing::Values(1, 2, 3, 20261207));

}  // namespace
}  // namespace hmr
