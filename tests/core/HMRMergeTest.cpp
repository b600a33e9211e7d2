// SPDX-License-Identifier: MIT
// The three-way merge of histories, rule by rule (docs/team.md).
#include "core/HMRMerge.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/uHMRGlobal.h"
#include "tests/support/Sessions.h"

namespace hmr {
namespace {

using test_support::makeSession;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

const TDateTime kMonday = encodeDateTime(2026, 12, 7, 9, 0, 0);

TDateTime at(int day, int hour, int minute = 0) {
  return kMonday + day + hour / 24.0 + minute / 1440.0 - 9 / 24.0;
}

// A session as a line, for comparing lists: open, length, idle, closed or not, user.
std::string line(const TSessionData& s) {
  return formatIsoDateTime(s.SessionDateTimeOpen) + " " + std::to_string(s.SessionTotalTime) +
         " " + std::to_string(s.SessionIdleTime) + (s.SessionNotClosed ? " open " : " closed ") +
         s.SessionUserName.str();
}

std::vector<std::string> lines(const std::vector<TSessionData>& sessions) {
  std::vector<std::string> out;
  for (const auto& s : sessions) out.push_back(line(s));
  return out;
}

struct History {
  std::int64_t idle = 300, minimum = 60;
  std::string name = "Demo";
  std::vector<TSessionData> sessions;

  History() = default;
  History(const History& other) : idle(other.idle), minimum(other.minimum), name(other.name) {
    for (const auto& s : other.sessions) sessions.push_back(s);
  }

  History& add(TDateTime open, std::int64_t seconds, std::string user, bool notClosed = false,
               std::int64_t idleSeconds = 0) {
    sessions.push_back(makeSession(open, seconds, idleSeconds, notClosed, std::move(user)));
    return *this;
  }
  // What reading its file gives.
  HmrFileContents contents() const {
    HmrFileContents c;
    c.version = 2;
    c.timeForIdle = idle;
    c.minimumWorkTime = minimum;
    c.projectName = name;
    for (const auto& s : sessions) c.sessions.push_back(s);
    return c;
  }
};

MergedHistory merge(const History& base, const History& ours, const History& theirs) {
  return mergeHistories(base.contents(), ours.contents(), theirs.contents());
}

// Yesterday's work of ann, shared by every side of the tests below.
History yesterday() {
  History h;
  h.add(at(0, 9), 3600, "ann").add(at(0, 14), 1800, "ann");
  return h;
}

TEST(HMRMergeTest, SessionsAddedOnEitherSideAreAllKeptInOrderOfOpening) {
  History ours = yesterday(), theirs = yesterday();
  ours.add(at(1, 10), 7200, "ann");
  theirs.add(at(1, 9), 5400, "bob").add(at(1, 15), 600, "bob");
  const MergedHistory merged = merge(yesterday(), ours, theirs);
  EXPECT_THAT(lines(merged.sessions),
              ElementsAre("2026-12-07T09:00:00 3600 0 closed ann",
                          "2026-12-07T14:00:00 1800 0 closed ann",
                          "2026-12-08T09:00:00 5400 0 closed bob",
                          "2026-12-08T10:00:00 7200 0 closed ann",
                          "2026-12-08T15:00:00 600 0 closed bob"));
  EXPECT_THAT(merged.notes, IsEmpty());
  EXPECT_EQ(merged.projectName, "Demo");
}

TEST(HMRMergeTest, OneIdentityIsTheOpenSecondAndTheUserName) {
  History ours, theirs;
  ours.add(at(1, 9), 600, "ann");
  theirs.add(at(1, 9), 900, "bob");  // the same second, another user
  theirs.add(at(1, 9) + 1.0 / 86400, 1200, "ann");  // the same user, one second later
  const MergedHistory merged = merge(History{}, ours, theirs);
  EXPECT_THAT(lines(merged.sessions), ElementsAre("2026-12-08T09:00:00 600 0 closed ann",
                                                  "2026-12-08T09:00:00 900 0 closed bob",
                                                  "2026-12-08T09:00:01 1200 0 closed ann"));
  EXPECT_THAT(merged.notes, IsEmpty());
}

TEST(HMRMergeTest, UserNamesAreComparedByteForByte) {
  History ours, theirs;
  ours.add(at(1, 9), 600, "Ann");
  theirs.add(at(1, 9), 900, "ann");
  EXPECT_EQ(merge(History{}, ours, theirs).sessions.size(), 2u);  // kept apart, none lost
}

TEST(HMRMergeTest, ASessionRemovedOnOneSideIsLeftOutAndTheNoteSaysSo) {
  History theirs = yesterday();
  theirs.sessions.erase(theirs.sessions.begin() + 1);  // THEIRS raised the minimum work time
  theirs.minimum = 2400;
  const MergedHistory merged = merge(yesterday(), yesterday(), theirs);
  EXPECT_THAT(lines(merged.sessions), ElementsAre("2026-12-07T09:00:00 3600 0 closed ann"));
  EXPECT_EQ(merged.minimumWorkTime, 2400);
  EXPECT_THAT(merged.notes, ElementsAre("Left out 1 session that THEIRS removed (the first: "
                                        "\"ann\", opened 2026-12-07T14:00:00)"));
}

TEST(HMRMergeTest, RemovalsAreCountedPerSide) {
  History base = yesterday();
  base.add(at(0, 16), 60, "bob");
  History ours = yesterday(), theirs = base;  // OURS removed bob's
  theirs.sessions.erase(theirs.sessions.begin());  // THEIRS removed ann's first
  const MergedHistory merged = merge(base, ours, theirs);
  EXPECT_THAT(lines(merged.sessions), ElementsAre("2026-12-07T14:00:00 1800 0 closed ann"));
  EXPECT_THAT(merged.notes,
              ElementsAre(HasSubstr("Left out 1 session that OURS removed (the first: \"bob\""),
                          HasSubstr("Left out 1 session that THEIRS removed (the first: "
                                    "\"ann\", opened 2026-12-07T09:00:00)")));
}

TEST(HMRMergeTest, ASessionRemovedOnBothSidesGoesWithoutANote) {
  History both = yesterday();
  both.sessions.pop_back();
  const MergedHistory merged = merge(yesterday(), both, both);
  EXPECT_EQ(merged.sessions.size(), 1u);
  EXPECT_THAT(merged.notes, IsEmpty());
}

TEST(HMRMergeTest, ASessionRemovedOnOneSideButChangedOnTheOtherIsKept) {
  History base;
  base.add(at(0, 9), 600, "ann", true);  // not closed: the IDE went away
  History ours;
  ours.add(at(0, 9), 3600, "ann");  // closed later, from a recovery file
  const MergedHistory merged = merge(base, ours, History{});
  EXPECT_THAT(lines(merged.sessions), ElementsAre("2026-12-07T09:00:00 3600 0 closed ann"));
  EXPECT_THAT(merged.notes,
              ElementsAre("The session of \"ann\" opened 2026-12-07T09:00:00 was removed on "
                          "THEIRS but changed on OURS: it is kept"));
}

TEST(HMRMergeTest, AChangeOnOneSideIsTakenWhateverItIs) {
  History base;
  base.add(at(0, 9), 3600, "ann");
  History theirs;
  theirs.add(at(0, 9), 1800, "ann", false, 300);
  const MergedHistory merged = merge(base, base, theirs);
  EXPECT_THAT(lines(merged.sessions), ElementsAre("2026-12-07T09:00:00 1800 300 closed ann"));
  EXPECT_THAT(merged.notes, IsEmpty());
  // And the same with the sides swapped.
  EXPECT_THAT(lines(merge(base, theirs, base).sessions),
              ElementsAre("2026-12-07T09:00:00 1800 300 closed ann"));
}

TEST(HMRMergeTest, TheSameChangeOnBothSidesGivesOneCopy) {
  History base, changed;
  base.add(at(0, 9), 600, "ann", true);
  changed.add(at(0, 9), 3600, "ann");
  const MergedHistory merged = merge(base, changed, changed);
  EXPECT_THAT(lines(merged.sessions), ElementsAre("2026-12-07T09:00:00 3600 0 closed ann"));
  EXPECT_THAT(merged.notes, IsEmpty());
}

TEST(HMRMergeTest, ChangedDifferentlyOnBothSidesTheClosedVersionWinsOverTheLonger) {
  History base, ours, theirs;
  base.add(at(0, 9), 600, "ann", true);
  ours.add(at(0, 9), 7200, "ann", true);  // longer, but still not closed
  theirs.add(at(0, 9), 3600, "ann");     // closed
  for (const MergedHistory& merged : {merge(base, ours, theirs), merge(base, theirs, ours)}) {
    EXPECT_THAT(lines(merged.sessions), ElementsAre("2026-12-07T09:00:00 3600 0 closed ann"));
    ASSERT_EQ(merged.notes.size(), 1u);
  }
  EXPECT_EQ(merge(base, ours, theirs).notes[0],
            "The session of \"ann\" opened 2026-12-07T09:00:00 differs on both sides: THEIRS's "
            "version (closed, 1:00:00 long) is kept, OURS's (not closed, 2:00:00 long) is left "
            "out");
}

TEST(HMRMergeTest, ChangedDifferentlyOnBothSidesThenTheLongerThenMoreWorkWins) {
  History base, ours, theirs;
  base.add(at(0, 9), 600, "ann", true);
  ours.add(at(0, 9), 3600, "ann");
  theirs.add(at(0, 9), 5400, "ann");
  EXPECT_THAT(lines(merge(base, ours, theirs).sessions),
              ElementsAre("2026-12-07T09:00:00 5400 0 closed ann"));
  History lessWork;
  lessWork.add(at(0, 9), 5400, "ann", false, 600);
  for (const MergedHistory& merged : {merge(base, lessWork, theirs), merge(base, theirs, lessWork)})
    EXPECT_THAT(lines(merged.sessions), ElementsAre("2026-12-07T09:00:00 5400 0 closed ann"));
}

TEST(HMRMergeTest, ASettingChangedOnOneSideWins) {
  History ours = yesterday(), theirs = yesterday();
  ours.idle = 600;
  theirs.minimum = 120;
  theirs.name = "Invoicing";
  const MergedHistory merged = merge(yesterday(), ours, theirs);
  EXPECT_EQ(merged.timeForIdle, 600);
  EXPECT_EQ(merged.minimumWorkTime, 120);
  EXPECT_EQ(merged.projectName, "Invoicing");
  EXPECT_THAT(merged.notes, IsEmpty());
}

TEST(HMRMergeTest, ASettingChangedDifferentlyOnBothSidesKeepsOursAndSaysSo) {
  History ours = yesterday(), theirs = yesterday();
  ours.idle = 600;
  theirs.idle = 900;
  ours.name = "Billing";
  theirs.name = "Invoicing";
  const MergedHistory merged = merge(yesterday(), ours, theirs);
  EXPECT_EQ(merged.timeForIdle, 600);
  EXPECT_EQ(merged.projectName, "Billing");
  EXPECT_THAT(merged.notes,
              ElementsAre("The idle threshold was changed on both sides (OURS 600 s, THEIRS "
                          "900 s, before 300 s): OURS's value is kept",
                          "The project name was changed on both sides (OURS \"Billing\", THEIRS "
                          "\"Invoicing\", before \"Demo\"): OURS's value is kept"));
  EXPECT_EQ(merged.sessions.size(), 2u);
}

TEST(HMRMergeTest, WithoutACommonHistoryTheSidesMergeAsAUnion) {
  History ours = yesterday(), theirs = yesterday();  // the file was added on both branches
  ours.add(at(1, 9), 600, "ann");
  theirs.add(at(1, 10), 600, "bob");
  theirs.minimum = 120;
  const MergedHistory merged = mergeHistories(HmrFileContents{}, ours.contents(),
                                              theirs.contents());
  EXPECT_EQ(merged.sessions.size(), 4u);  // the two shared sessions once each
  EXPECT_EQ(merged.minimumWorkTime, 60);
  EXPECT_THAT(merged.notes, ElementsAre("The minimum work time was changed on both sides (OURS "
                                        "60 s, THEIRS 120 s, no common history): OURS's value "
                                        "is kept"));
}

TEST(HMRMergeTest, ShortSessionsAreMergedAsStoredForTheReadRuleToDrop) {
  History ours = yesterday();
  ours.add(at(1, 9), 10, "ann");  // below the minimum: the tracker drops it when reading
  const MergedHistory merged = merge(yesterday(), ours, yesterday());
  ASSERT_EQ(merged.sessions.size(), 3u);
  EXPECT_EQ(merged.sessions[2].SessionWorkTime, 10);
}

TEST(HMRMergeTest, TheResultIsInOrderOfOpeningWhateverTheSidesOrder) {
  History ours;
  ours.add(at(2, 9), 600, "ann").add(at(0, 9), 600, "ann");  // a clock set back
  History theirs;
  theirs.add(at(1, 9), 600, "bob");
  EXPECT_THAT(lines(merge(History{}, ours, theirs).sessions),
              ElementsAre(HasSubstr("2026-12-07"), HasSubstr("2026-12-08"),
                          HasSubstr("2026-12-09")));
}

TEST(HMRMergeTest, SessionsSharingAnIdentityOnOneSideArePairedByContentsFirst) {
  // Two sessions of one second and user (opened and closed within it, then again), the
  // longer one first, as a clock set back can leave them.
  History base;
  base.add(at(0, 9), 5, "ann").add(at(0, 9), 0, "ann");
  History ours;
  ours.add(at(0, 9), 0, "ann");  // dropped the longer one
  History theirs;
  theirs.add(at(0, 9), 0, "ann").add(at(0, 9), 60, "ann");  // lengthened it
  for (const MergedHistory& merged : {merge(base, ours, theirs), merge(base, theirs, ours)}) {
    EXPECT_THAT(lines(merged.sessions), ElementsAre("2026-12-07T09:00:00 0 0 closed ann",
                                                    "2026-12-07T09:00:00 60 0 closed ann"));
    EXPECT_THAT(merged.notes, ElementsAre(HasSubstr("was removed on")));
  }
  // Dropped on one side and left alone on the other, it goes.
  const MergedHistory dropped = merge(base, ours, base);
  EXPECT_THAT(lines(dropped.sessions), ElementsAre("2026-12-07T09:00:00 0 0 closed ann"));
  EXPECT_THAT(dropped.notes, ElementsAre(HasSubstr("Left out 1 session that OURS")));
}

TEST(HMRMergeTest, SessionsAddedOnBothSidesWithOneIdentityAreKeptOnce) {
  History ours, theirs;
  ours.add(at(1, 9), 600, "ann", true);
  theirs.add(at(1, 9), 1200, "ann");
  const MergedHistory merged = merge(History{}, ours, theirs);
  EXPECT_THAT(lines(merged.sessions), ElementsAre("2026-12-08T09:00:00 1200 0 closed ann"));
  EXPECT_THAT(merged.notes, ElementsAre(HasSubstr("differs on both sides: THEIRS's version")));
}

TEST(HMRMergeTest, TheNotesUseTheNamesGiven) {
  History ours = yesterday(), theirs;
  ours.idle = 600;
  theirs.idle = 900;
  const MergedHistory merged =
      mergeHistories(yesterday().contents(), ours.contents(), theirs.contents(),
                     MergeSideNames{"this IDE", "the file on disk"});
  EXPECT_THAT(merged.notes,
              ElementsAre(HasSubstr("(this IDE 600 s, the file on disk 900 s, before 300 s): "
                                    "this IDE's value is kept"),
                          HasSubstr("that the file on disk removed")));
}

TEST(HMRMergeTest, TheMergedSessionsAreCopiesWithTheirDerivedTimes) {
  History ours;
  ours.add(at(0, 9), 3600, "ann", false, 600);
  const HmrFileContents base, theirs;
  HmrFileContents oursContents = ours.contents();
  const MergedHistory merged = mergeHistories(base, oursContents, theirs);
  oursContents.sessions.clear();  // the result does not point into its inputs
  ASSERT_EQ(merged.sessions.size(), 1u);
  EXPECT_EQ(merged.sessions[0].SessionTotalTime, 3600);
  EXPECT_EQ(merged.sessions[0].SessionWorkTime, 3000);
  EXPECT_EQ(merged.sessions[0].SessionUserName, "ann");
}

}  // namespace
}  // namespace hmr
