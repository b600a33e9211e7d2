// SPDX-License-Identifier: MIT
// Reopening a project after a crash, at 100,000 and 200,000 sessions: the recovery file holds
// the whole history of the data file (every checkpoint writes it), the last session brought
// further. Goal: reopening costs at most twice one read of the data file, which is about what
// reading the two files costs, so the merge itself must cost next to nothing. Each benchmark
// prints its ratio to one read (read and decode) of the data file, timed in the same
// iterations.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>

#include "bench/Yardstick.h"
#include "core/HMRFileIO.h"
#include "core/HMRRecovery.h"
#include "core/uHMRProject.h"
#include "core/uHMRTimer.h"
#include "platform/FileWriter.h"
#include "platform/LinuxFileWriter.h"
#include "platform/PeriodicTimer.h"

namespace {

using namespace hmr;

// A data file of `count` sessions in a scratch folder, and its recovery file (in a state
// folder of its own) holding the same sessions with the last one brought 30 minutes further.
struct CrashedProject {
  explicit CrashedProject(int count) {
    std::string name =
        (std::filesystem::temp_directory_path() / "hmr-bench-recovery-XXXXXX").string();
    if (mkdtemp(name.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    folder = name;
    // One state folder for the whole run: the recovery files of every size stay findable.
    static const std::string state = folder + "-state";
    setenv("XDG_STATE_HOME", state.c_str(), 1);
    dataFile = folder + "/Crashed" + std::to_string(count) + ".HMR";
    ScopedTimerGlobal timer(std::make_unique<ManualTimer>());
    THMRProject project;
    project.ProjectName = "Crashed";
    const TDateTime start = encodeDateTime(2000, 1, 1, 9, 0, 0);
    for (int i = 0; i < count; ++i) {
      TSessionData s;
      s.SessionDateTimeOpen = start + i / 8.0;
      s.SessionDateTimeClose = s.SessionDateTimeOpen + (600 + i % 3000) / 86400.0;
      s.SessionIdleTime = i % 5 * 60;
      s.SessionUserName = i % 3 == 0 ? "ann" : "bob";
      s.UpdateCalculatedFields();
      project.Sessions.push_back(std::move(s));
    }
    project.Sessions.back().SessionNotClosed = true;
    LinuxFileWriter writer(false);
    ScopedFileWriter use(writer);
    project.SaveFile(dataFile);
    project.Sessions.back().SessionDateTimeClose += 1800 / 86400.0;
    project.Sessions.back().UpdateCalculatedFields();
    writeRecoveryFile(dataFile, project);
    lastTotal = project.Sessions.back().SessionTotalTime;
  }
  ~CrashedProject() {
    std::filesystem::remove_all(folder);
    if (const char* state = std::getenv("XDG_STATE_HOME")) std::filesystem::remove_all(state);
  }

  std::string folder;
  std::string dataFile;
  std::int64_t lastTotal = 0;  // of the last session as the recovery file holds it
};

CrashedProject& crashed(int count) {
  static std::map<int, std::unique_ptr<CrashedProject>> made;
  auto& entry = made[count];
  if (!entry) entry = std::make_unique<CrashedProject>(count);
  return *entry;
}

void readDataFile(const CrashedProject& p) {
  HmrFileContents contents;
  readHmrFile(p.dataFile, contents);
  benchmark::DoNotOptimize(contents.sessions.data());
}

// The merge alone, of the two lists as read from the two files.
void BM_RecoveryMerge(benchmark::State& state) {
  const CrashedProject& p = crashed(static_cast<int>(state.range(0)));
  HmrFileContents history;
  RecoveredHistory recovered;
  bench::timeAgainstYardstick(
      state,
      [&] {
        history = HmrFileContents{};
        readHmrFile(p.dataFile, history);
        recovered = readRecoveryFiles(p.dataFile, false);
      },
      [&] {
        mergeRecoveredSessions(history.sessions, std::move(recovered.contents.sessions));
        benchmark::DoNotOptimize(history.sessions.data());
      },
      [&] { readDataFile(p); });
}
BENCHMARK(BM_RecoveryMerge)->Arg(100000)->Arg(200000)->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// What the IDE does at a project's open after a crash: read the data file, read the recovery
// file, merge, drop the short sessions, total.
void BM_ReopenAfterCrash(benchmark::State& state) {
  const CrashedProject& p = crashed(static_cast<int>(state.range(0)));
  ScopedTimerGlobal timer(std::make_unique<ManualTimer>());
  std::unique_ptr<THMRProject> project;
  std::int32_t sessions = 0;
  bench::timeAgainstYardstick(
      state, [&] { project = std::make_unique<THMRProject>(); },
      [&] {
        project->DataFileOpened(p.dataFile);
        sessions = project->getSessionCount();
      },
      [&] { readDataFile(p); });
  state.counters["sessions"] = sessions;
  // 1 when the last session came back from the recovery file, 30 minutes longer.
  state.counters["recovered"] = project->getSessionData(sessions - 1)->SessionNotClosed &&
                                project->TotalTime > 0 &&
                                project->getSessionData(sessions - 1)->SessionTotalTime ==
                                    crashed(static_cast<int>(state.range(0))).lastTotal;
}
BENCHMARK(BM_ReopenAfterCrash)->Arg(100000)->Arg(200000)->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
