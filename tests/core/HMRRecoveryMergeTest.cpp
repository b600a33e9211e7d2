// SPDX-License-Identifier: MIT
// Merging recovered sessions into a history: the same result as taking the recovered sessions
// one at a time (the plain rule, kept here as the reference), on random lists of every shape,
// and on histories of 200,000 sessions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "core/HMRRecovery.h"
#include "core/uHMRProject.h"

namespace hmr {
namespace {

using Sessions = std::vector<TSessionData>;

constexpr TDateTime kDay0 = 46000;  // some day in 2025

TDateTime at(std::int64_t seconds) { return kDay0 + static_cast<double>(seconds) / 86400.0; }
std::int64_t secondsOf(TDateTime dt) { return ConvertDateTimeToSeconds(dt); }

// Every label given, by number. A session carries the number of its label in its idle time,
// set after its derived fields: the merge moves sessions whole and neither reads nor
// recomputes that field, so the label tells a session apart whatever its times and user.
std::vector<std::string>& labels() {
  static std::vector<std::string> all;
  return all;
}

const std::string& labelOf(const TSessionData& s) {
  return labels().at(static_cast<std::size_t>(s.SessionIdleTime));
}

// The session `label` of `user` opened at `open` seconds and brought up to date at `close`.
TSessionData session(std::int64_t open, std::int64_t close, std::string label,
                     std::string user = "ann") {
  TSessionData s;
  s.SessionDateTimeOpen = at(open);
  s.SessionDateTimeClose = at(close);
  s.SessionNotClosed = true;
  s.SessionUserName = std::move(user);
  s.UpdateCalculatedFields();
  s.SessionIdleTime = static_cast<std::int64_t>(labels().size());
  labels().push_back(std::move(label));
  return s;
}

// The rule taken literally, one recovered session at a time, each found by a scan.
void mergeOneByOne(Sessions& sessions, Sessions recovered) {
  for (auto& s : recovered) {
    const std::int64_t open = secondsOf(s.SessionDateTimeOpen);
    const auto same = std::find_if(sessions.begin(), sessions.end(), [&](const auto& k) {
      return secondsOf(k.SessionDateTimeOpen) == open &&
             k.SessionUserName == s.SessionUserName;
    });
    if (same != sessions.end()) {
      if (secondsOf(s.SessionDateTimeClose) > secondsOf(same->SessionDateTimeClose))
        *same = std::move(s);
      continue;
    }
    const auto later = std::find_if(sessions.begin(), sessions.end(), [&](const auto& k) {
      return secondsOf(k.SessionDateTimeOpen) > open;
    });
    sessions.insert(later, std::move(s));
  }
}

std::vector<std::string> namesOf(const Sessions& sessions) {
  std::vector<std::string> names;
  for (const auto& s : sessions) names.push_back(labelOf(s));
  return names;
}

// `count` sessions of two users opening at random among `opens` distinct times (so that open
// times repeat, of one user and of both), in open-time order or not, closing a random while
// after.
Sessions randomSessions(std::mt19937_64& random, int count, int opens, bool ordered,
                        const std::string& prefix) {
  Sessions list;
  for (int i = 0; i < count; ++i) {
    const auto open = static_cast<std::int64_t>(random() % static_cast<unsigned>(opens)) * 60;
    const auto close = open + static_cast<std::int64_t>(random() % 5) * 30;
    const char* user = random() % 2 != 0 ? "ann" : "bob";
    list.push_back(session(open, close, prefix + std::to_string(i), user));
  }
  if (ordered) {
    std::stable_sort(list.begin(), list.end(), [](const auto& a, const auto& b) {
      return a.SessionDateTimeOpen < b.SessionDateTimeOpen;
    });
  }
  return list;
}

TEST(RecoveryMergeTest, GivesTheResultOfTakingOneRecoveredSessionAtATime) {
  std::mt19937_64 random(23);
  for (int round = 0; round < 3000; ++round) {
    const int opens = 1 + static_cast<int>(random() % 40);
    const bool ordered = round % 3 != 0;  // some histories out of open-time order
    Sessions history = randomSessions(random, static_cast<int>(random() % 30), opens, ordered,
                                      "h");
    Sessions recovered = randomSessions(random, static_cast<int>(random() % 30), opens,
                                        round % 2 == 0, "r");
    Sessions expected = history;
    mergeOneByOne(expected, recovered);
    mergeRecoveredSessions(history, std::move(recovered));
    ASSERT_EQ(namesOf(history), namesOf(expected)) << "round " << round;
  }
}

// The copy of `sessions` a recovery file would hold, every session relabelled.
Sessions relabelled(const Sessions& sessions, const std::string& prefix) {
  Sessions copy;
  for (const TSessionData& s : sessions) {
    TSessionData twin = s;
    twin.SessionIdleTime = static_cast<std::int64_t>(labels().size());
    labels().push_back(prefix + labelOf(s));
    copy.push_back(twin);
  }
  return copy;
}

// The usual recovery file: the history again, then changed the ways a crash leaves it (later
// closes, sessions the data file never got, a session lost, an open moved by part of a
// second), over histories with repeated open times and out of order.
TEST(RecoveryMergeTest, ARecoveryFileRepeatingTheHistoryGivesTheSameResult) {
  std::mt19937_64 random(2323);
  for (int round = 0; round < 3000; ++round) {
    const int opens = 1 + static_cast<int>(random() % 60);
    Sessions history =
        randomSessions(random, static_cast<int>(random() % 40), opens, round % 4 != 0, "h");
    Sessions recovered = relabelled(history, "r");
    for (TSessionData& s : recovered) {
      switch (random() % 12) {
        case 0:
          s.SessionDateTimeClose += 45 / 86400.0;
          break;
        case 1:
          s.SessionDateTimeClose -= 45 / 86400.0;
          break;
        case 2:
          s.SessionDateTimeOpen += 0.25 / 86400.0;
          break;
        case 3:
          s.SessionUserName = "carla";
          break;
        default:
          break;
      }
    }
    if (!recovered.empty() && random() % 3 == 0)
      recovered.erase(recovered.begin() + static_cast<long>(random() % recovered.size()));
    for (TSessionData& s : randomSessions(random, static_cast<int>(random() % 4), opens, true, "n"))
      recovered.insert(recovered.begin() + static_cast<long>(random() % (recovered.size() + 1)), s);
    Sessions expected = history;
    mergeOneByOne(expected, recovered);
    mergeRecoveredSessions(history, std::move(recovered));
    ASSERT_EQ(namesOf(history), namesOf(expected)) << "round " << round;
  }
}

TEST(RecoveryMergeTest, IntoAnEmptyHistoryRepeatedOpenTimesStillMerge) {
  for (const bool repeated : {false, true}) {
    Sessions recovered;
    recovered.push_back(session(0, 30, "first"));
    recovered.push_back(session(60, 90, "second"));
    recovered.push_back(session(repeated ? 60 : 120, 150, "third"));
    Sessions expected;
    mergeOneByOne(expected, recovered);
    Sessions history;
    mergeRecoveredSessions(history, std::move(recovered));
    EXPECT_EQ(namesOf(history), namesOf(expected));
    EXPECT_EQ(history.size(), repeated ? 2u : 3u);
  }
}

TEST(RecoveryMergeTest, EmptyListsOnEitherSide) {
  Sessions history;
  Sessions recovered;
  recovered.push_back(session(60, 120, "r0"));
  recovered.push_back(session(0, 30, "r1"));
  mergeRecoveredSessions(history, std::move(recovered));
  EXPECT_EQ(namesOf(history), (std::vector<std::string>{"r1", "r0"}));
  mergeRecoveredSessions(history, {});
  EXPECT_EQ(namesOf(history), (std::vector<std::string>{"r1", "r0"}));
}

// A crash after a long history: the recovery file holds every session of the data file, the
// last one brought further, and a few the data file never got.
TEST(RecoveryMergeTest, TwoHundredThousandSessions) {
  constexpr int kSessions = 200000;
  Sessions history;
  Sessions recovered;
  history.reserve(kSessions);
  recovered.reserve(kSessions + 2);
  for (int i = 0; i < kSessions; ++i) {
    const std::int64_t open = std::int64_t{i} * 7200;
    // Every thousandth session is missing from the data file (its save failed).
    if (i % 1000 != 999) history.push_back(session(open, open + 3600, "h" + std::to_string(i)));
    const std::int64_t close = i == kSessions - 1 ? open + 5400 : open + 3600;
    recovered.push_back(session(open, close, "r" + std::to_string(i)));
  }
  recovered.push_back(session(std::int64_t{kSessions} * 7200, std::int64_t{kSessions} * 7200 +
                                                                   60, "new"));
  mergeRecoveredSessions(history, std::move(recovered));
  ASSERT_EQ(history.size(), static_cast<std::size_t>(kSessions + 1));
  for (int i = 0; i < kSessions; ++i) {
    const TSessionData& s = history[static_cast<std::size_t>(i)];
    ASSERT_EQ(secondsOf(s.SessionDateTimeOpen), secondsOf(at(std::int64_t{i} * 7200))) << i;
    // Kept from the data file unless missing there or closed later in the recovery file.
    const bool fromRecovery = i % 1000 == 999 || i == kSessions - 1;
    ASSERT_EQ(labelOf(s), (fromRecovery ? "r" : "h") + std::to_string(i)) << i;
  }
  EXPECT_EQ(labelOf(history.back()), "new");
  EXPECT_EQ(history[kSessions - 1].SessionTotalTime, 5400);
}

}  // namespace
}  // namespace hmr
