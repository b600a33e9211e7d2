// SPDX-License-Identifier: MIT
// Merging two histories of 100,000 sessions each. Target: < 0.2 s for the merge.
//
// The common history holds 95,000 sessions. OURS removed 1,000 of them (a raised minimum work
// time) and added 6,000 of its user; THEIRS closed the 1,900 not closed and added 5,000 of its
// user: 100,000 sessions each, between the common ones.
// Also: the same two sides without a common history (a union of 200,000 sessions), and the
// whole of `hmr merge` on files (read and decode three files, merge, encode, write without
// the flush to disk).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <random>
#include <string>

#include "core/DataFileMerge.h"
#include "core/HMRFileIO.h"
#include "core/HMRMerge.h"
#include "core/uHMRGlobal.h"
#include "platform/FileWriter.h"
#include "platform/LinuxFileWriter.h"

namespace {

using namespace hmr;

constexpr int kCommon = 95000;
constexpr int kRemoved = 1000;

TSessionData session(TDateTime open, std::int64_t seconds, std::int64_t idle, bool notClosed,
                     const std::string& user) {
  TSessionData s;
  s.SessionDateTimeOpen = open;
  s.SessionDateTimeClose = open + static_cast<double>(seconds) / 86400.0;
  s.SessionNotClosed = notClosed;
  s.SessionIdleTime = idle;
  s.SessionUserName = user;
  s.UpdateCalculatedFields();
  return s;
}

HmrFileContents withSettings() {
  HmrFileContents c;
  c.version = 2;
  c.timeForIdle = 300;
  c.minimumWorkTime = 60;
  c.projectName = "Benchmark";
  return c;
}

HmrFileContents copyOf(const HmrFileContents& from) {
  HmrFileContents c = withSettings();
  c.sessions = from.sessions;
  return c;
}

// Adds `count` sessions of `user`, `offsetHours` after every `stride`-th session of the side.
void addSessions(HmrFileContents& side, const std::string& user, double offsetHours,
                 std::size_t stride, int count) {
  std::vector<TSessionData> merged;
  merged.reserve(side.sessions.size() + static_cast<std::size_t>(count));
  int added = 0;
  for (std::size_t i = 0; i < side.sessions.size(); ++i) {
    const TDateTime open = side.sessions[i].SessionDateTimeOpen;
    merged.push_back(std::move(side.sessions[i]));
    if (i % stride == 0 && added < count) {
      merged.push_back(session(open + offsetHours / 24, 1800, 60, false, user));
      ++added;
    }
  }
  side.sessions = std::move(merged);
}

struct Histories {
  Histories() {
    std::mt19937_64 random(20261207);
    base = withSettings();
    TDateTime open = encodeDateTime(2000, 1, 3, 9, 0, 0);
    for (int i = 0; i < kCommon; ++i) {
      const std::int64_t seconds = 600 + static_cast<std::int64_t>(random() % 14400);
      base.sessions.push_back(session(open, seconds, static_cast<std::int64_t>(random() % 300),
                                      i % 50 == 0, i % 3 == 0 ? "ann" : "bob"));
      open += 1.0 / 3;  // every eight hours
    }
    ours = copyOf(base);
    theirs = copyOf(base);
    // OURS raised the minimum: some common sessions gone. THEIRS closed the running ones.
    for (int i = 0; i < kRemoved; ++i) ours.sessions.erase(ours.sessions.begin() + 37 * i);
    for (auto& s : theirs.sessions) {
      if (!s.SessionNotClosed) continue;
      s.SessionNotClosed = false;
      s.SessionDateTimeClose += 600.0 / 86400;
      s.UpdateCalculatedFields();
    }
    addSessions(ours, "carl", 2, 15, 6000);
    addSessions(theirs, "dora", 3, 19, 5000);
  }

  HmrFileContents base, ours, theirs;
};

const Histories& histories() {
  static const Histories h;
  return h;
}

// What `hmr merge` does, files and all, without the two flushes to disk. It runs first: after
// the others have freed their results, the allocator hands memory back and forth with the
// system and this one, which allocates most, measures that instead.
void BM_MergeDataFilesWithoutSync(benchmark::State& state) {
  const Histories& h = histories();
  char name[] = "/tmp/hmr-bench-merge-XXXXXX";
  const std::string folder = mkdtemp(name);
  const std::string base = folder + "/base.HMR", ours = folder + "/ours.HMR",
                    theirs = folder + "/theirs.HMR";
  LinuxFileWriter writer(false);
  ScopedFileWriter use(writer);
  const auto write = [](const std::string& path, const HmrFileContents& c) {
    writeHmrFile(path, *c.timeForIdle, *c.minimumWorkTime, *c.projectName, c.sessions);
  };
  write(base, h.base);
  write(theirs, h.theirs);
  for (auto _ : state) {
    state.PauseTiming();
    write(ours, h.ours);
    state.ResumeTiming();
    mergeDataFiles(base, ours, theirs);
  }
  for (const std::string& path : {base, ours, theirs}) std::remove(path.c_str());
  rmdir(folder.c_str());
}
BENCHMARK(BM_MergeDataFilesWithoutSync)->Unit(benchmark::kMillisecond);

void BM_MergeTwo100kHistories(benchmark::State& state) {
  const Histories& h = histories();
  std::size_t merged = 0;
  for (auto _ : state) {
    MergedHistory result = mergeHistories(h.base, h.ours, h.theirs);
    merged = result.sessions.size();
    benchmark::DoNotOptimize(result.sessions.data());
    state.PauseTiming();  // freeing the result is not part of merging
    result.sessions.clear();
    state.ResumeTiming();
  }
  state.counters["ours"] = static_cast<double>(h.ours.sessions.size());
  state.counters["theirs"] = static_cast<double>(h.theirs.sessions.size());
  state.counters["merged"] = static_cast<double>(merged);
}
BENCHMARK(BM_MergeTwo100kHistories)->Unit(benchmark::kMillisecond);

void BM_MergeTwo100kHistoriesWithoutBase(benchmark::State& state) {
  const Histories& h = histories();
  const HmrFileContents none;
  for (auto _ : state) {
    MergedHistory result = mergeHistories(none, h.ours, h.theirs);
    benchmark::DoNotOptimize(result.sessions.data());
    state.PauseTiming();
    result.sessions.clear();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_MergeTwo100kHistoriesWithoutBase)->Unit(benchmark::kMillisecond);

}  // namespace
