// SPDX-License-Identifier: MIT
// The save of a project's close when another IDE wrote the data file meanwhile: take the lock,
// read and decode the file on disk and the common history, merge, encode and write (without
// the flush to disk), for histories of 10,000 and 100,000 sessions. Beside it, the close that
// finds the file as it read it (compare the bytes, encode, write): the cost a merge adds.
//
// Both IDEs opened the same history of N sessions; the other closed first with one session of
// its user, this one closes with one of its own.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <optional>
#include <string>

#include "core/DataFileSave.h"
#include "core/HMRFileFormat.h"
#include "core/HMRFileIO.h"
#include "core/uHMRGlobal.h"
#include "platform/FileRead.h"
#include "platform/FileWriter.h"
#include "platform/LinuxFileWriter.h"

namespace {

using namespace hmr;

const TDateTime kStart = encodeDateTime(2016, 1, 4, 9, 0, 0);

TSessionData session(TDateTime open, std::int64_t seconds, const std::string& user) {
  TSessionData s;
  s.SessionDateTimeOpen = open;
  s.SessionDateTimeClose = open + static_cast<double>(seconds) / 86400.0;
  s.SessionIdleTime = 60;
  s.SessionUserName = user;
  s.UpdateCalculatedFields();
  return s;
}

// The history both IDEs read: `count` sessions of three users, three hours apart.
std::vector<TSessionData> history(int count) {
  const char* users[] = {"ann", "bob", "cyd"};
  std::vector<TSessionData> sessions;
  sessions.reserve(static_cast<std::size_t>(count) + 1);
  for (int i = 0; i < count; ++i)
    sessions.push_back(session(kStart + i / 8.0, 1800 + i % 3600, users[i % 3]));
  return sessions;
}

class CloseMerge {
 public:
  explicit CloseMerge(int count) {
    char pattern[] = "/tmp/hmr-bench-XXXXXX";
    folder_ = mkdtemp(pattern);
    path_ = folder_ + "/Demo.HMR";
    ours_ = history(count);
    baseImage_ = encodeHmrFile(300, 60, "Demo", ours_);
    auto theirs = history(count);
    theirs.push_back(session(kStart + count / 8.0 + 1, 2400, "bob"));
    theirsImage_ = encodeHmrFile(300, 60, "Demo", theirs);
    ours_.push_back(session(kStart + count / 8.0 + 2, 3000, "ann"));
  }
  ~CloseMerge() {
    ::unlink(path_.c_str());
    ::rmdir(folder_.c_str());
  }

  // Puts the file as the other IDE left it (or as this one read it) and saves this one's.
  void prepare(bool otherWrote) {
    currentFileWriter().replaceContents(path_, otherWrote ? theirsImage_ : baseImage_);
  }
  std::size_t save() {
    DataFileBase base{path_, baseImage_};
    std::optional<MergedHistory> merged;
    saveDataFile(path_, {300, 60, "Demo", ours_}, base, {"this IDE", "the file on disk"},
                 merged);
    return merged ? merged->sessions.size() : ours_.size();
  }

 private:
  std::string folder_, path_;
  std::vector<TSessionData> ours_;
  std::string baseImage_, theirsImage_;
};

void run(benchmark::State& state, bool otherWrote) {
  LinuxFileWriter writer(false);  // no flush to disk: the merge, not the disk, is measured
  ScopedFileWriter useWriter(writer);
  CloseMerge close(static_cast<int>(state.range(0)));
  std::size_t saved = 0;
  for (auto _ : state) {
    state.PauseTiming();
    close.prepare(otherWrote);
    state.ResumeTiming();
    saved = close.save();
  }
  state.counters["sessions"] = static_cast<double>(saved);
}

void BM_CloseMergingAnotherIdesSave(benchmark::State& state) { run(state, true); }
void BM_CloseOfAnUnchangedFile(benchmark::State& state) { run(state, false); }

BENCHMARK(BM_CloseMergingAnotherIdesSave)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CloseOfAnUnchangedFile)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
