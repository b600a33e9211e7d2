// SPDX-License-Identifier: MIT
// One checkpoint of a running project with a 10,000-session history: its whole image written
// to its recovery file through the safe save, with and without the flush to disk. This is
// what the tracker does once per checkpoint interval (5 minutes by default) for each running
// project, worked on or idle.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "core/uHMRGlobal.h"
#include "core/uHMRProject.h"
#include "core/uHMRTimer.h"
#include "platform/Clock.h"
#include "platform/FileWriter.h"
#include "platform/LinuxFileWriter.h"
#include "platform/PeriodicTimer.h"
#include "platform/UserFolders.h"

namespace {

using namespace hmr;

constexpr int kSessions = 10000;

struct Fixture {
  Fixture() : timer(std::make_unique<ManualTimer>()), clock(encodeDateTime(2026, 12, 8, 9, 0, 0)),
              useClock(clock) {
    char folderName[] = "/tmp/hmr-bench-XXXXXX";
    folder = mkdtemp(folderName);
    recovery = std::make_unique<ScopedRecoveryFolder>(folder + "/state");
    project = std::make_unique<THMRProject>();
    project->ProjectOpened(folder + "/Big.dpr", "Benchmark", true);
    // The history before the running session: one session an hour, 8-byte user names.
    const TDateTime start = encodeDateTime(2020, 1, 1, 9, 0, 0);
    for (int i = 0; i < kSessions; ++i) {
      TSessionData s;
      s.SessionDateTimeOpen = start + i / 24.0;
      s.SessionDateTimeClose = s.SessionDateTimeOpen + 1800 / 86400.0;
      s.SessionUserName = "user" + std::to_string(1000 + i % 9000);
      s.UpdateCalculatedFields();
      project->Sessions.insert(project->Sessions.end() - 1, std::move(s));
    }
  }
  ~Fixture() { std::filesystem::remove_all(folder); }

  ScopedTimerGlobal timer;
  VirtualClock clock;
  ScopedClock useClock;
  std::string folder;
  std::unique_ptr<ScopedRecoveryFolder> recovery;
  std::unique_ptr<THMRProject> project;
};

void Checkpoint(benchmark::State& state) {
  Fixture fixture;
  LinuxFileWriter writer(state.range(0) != 0);
  ScopedFileWriter use(writer);
  for (auto _ : state) {
    fixture.project->ActivityDetected();  // something changed since the last checkpoint
    fixture.project->Checkpoint();
  }
  state.SetLabel(state.range(0) != 0 ? "flushed to disk" : "without the flush");
}
BENCHMARK(Checkpoint)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

}  // namespace
