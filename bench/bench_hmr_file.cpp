// SPDX-License-Identifier: MIT
// Reading and writing a data file of a million sessions with 8-byte user names (10,000
// distinct ones), against one CalculateCRC pass over the same bytes. Decoding and opening
// print their ratio to that pass, timed in the same run. Targets: decoding <= 3x the checksum
// pass, opening <= 3.5x, building and writing (without the flush to disk) <= 4x.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>

#include "bench/Yardstick.h"
#include "core/HMRFileFormat.h"
#include "core/uHMRGlobal.h"
#include "core/uHMRProject.h"
#include "core/uHMRTimer.h"
#include "platform/FileWriter.h"
#include "platform/LinuxFileWriter.h"
#include "platform/PeriodicTimer.h"

namespace {

using namespace hmr;

constexpr int kSessions = 1000000;

// One project of a million sessions, its file image, and that image on disk.
struct Fixture {
  Fixture() : timer(std::make_unique<ManualTimer>()) {
    char folderName[] = "/tmp/hmr-bench-XXXXXX";
    folder = mkdtemp(folderName);
    path = folder + "/Big.HMR";
    project = std::make_unique<THMRProject>();
    project->ProjectName = "Benchmark";
    const TDateTime start = encodeDateTime(2000, 1, 1, 9, 0, 0);
    char user[9];
    for (int i = 0; i < kSessions; ++i) {
      const TDateTime open = start + i / 24.0;
      // Every tenth session has less work than the minimum and is dropped on reading.
      const int seconds = i % 10 == 0 ? 30 : 1800 + i % 3600;
      TSessionData s;
      s.SessionDateTimeOpen = open;
      s.SessionDateTimeClose = open + seconds / 86400.0;
      s.SessionIdleTime = i % 7 * 10;
      std::snprintf(user, sizeof user, "user%04d", i % 10000);
      s.SessionUserName = user;
      s.UpdateCalculatedFields();
      project->Sessions.push_back(std::move(s));
    }
    image = encodeHmrFile(project->TimeForIdle, project->MinimumWorkTime, project->ProjectName,
                          project->Sessions);
    LinuxFileWriter(false).replaceContents(path, image);
  }
  ~Fixture() {
    std::remove(path.c_str());
    std::remove((folder + "/Saved.HMR").c_str());
    rmdir(folder.c_str());
  }

  ScopedTimerGlobal timer;
  std::string folder, path, image;
  std::unique_ptr<THMRProject> project;
};

Fixture& fixture() {
  static Fixture f;
  return f;
}

void BM_CalculateCRC(benchmark::State& state) {
  const std::string& image = fixture().image;
  for (auto _ : state)
    benchmark::DoNotOptimize(CalculateCRC(image.data(), static_cast<std::int32_t>(image.size())));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(image.size()));
}
BENCHMARK(BM_CalculateCRC)->Unit(benchmark::kMillisecond);

void checksumPass(const std::string& image) {
  benchmark::DoNotOptimize(CalculateCRC(image.data(), static_cast<std::int32_t>(image.size())));
}

// Decoding the image in memory: checksum, layout checks, a million sessions built.
void BM_DecodeFromMemory(benchmark::State& state) {
  const std::string& image = fixture().image;
  HmrFileContents contents;
  bench::timeAgainstYardstick(
      state, [&] { contents = HmrFileContents{}; },  // freeing is not part of reading
      [&] {
        decodeHmrFile(image, contents);
        benchmark::DoNotOptimize(contents.sessions.data());
      },
      [&] { checksumPass(image); });
}
BENCHMARK(BM_DecodeFromMemory)->Unit(benchmark::kMillisecond)->UseManualTime();

// What the tracker does when a project is opened: read the file, decode it, drop the short
// sessions, total the rest.
void BM_OpenFile(benchmark::State& state) {
  Fixture& f = fixture();
  THMRProject reader;
  std::int32_t kept = 0;
  bench::timeAgainstYardstick(
      state, [&] { reader.ClearSessions(); },
      [&] {
        reader.OpenFile(f.path);
        benchmark::DoNotOptimize(reader.TotalWorkTime);
        kept = reader.getSessionCount();
      },
      [&] { checksumPass(f.image); });
  state.counters["sessions_kept"] = kept;
}
BENCHMARK(BM_OpenFile)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_EncodeToMemory(benchmark::State& state) {
  THMRProject& p = *fixture().project;
  for (auto _ : state) {
    std::string image = encodeHmrFile(p.TimeForIdle, p.MinimumWorkTime, p.ProjectName,
                                      p.Sessions);
    benchmark::DoNotOptimize(image.data());
  }
}
BENCHMARK(BM_EncodeToMemory)->Unit(benchmark::kMillisecond);

// SaveFile through the real writer (temporary file and rename) without the two fsyncs.
void BM_SaveFileWithoutSync(benchmark::State& state) {
  Fixture& f = fixture();
  LinuxFileWriter writer(false);
  ScopedFileWriter use(writer);
  for (auto _ : state) f.project->SaveFile(f.folder + "/Saved.HMR");
}
BENCHMARK(BM_SaveFileWithoutSync)->Unit(benchmark::kMillisecond);

// The same with the flush to disk, for information.
void BM_SaveFileWithSync(benchmark::State& state) {
  Fixture& f = fixture();
  for (auto _ : state) f.project->SaveFile(f.folder + "/Saved.HMR");
}
BENCHMARK(BM_SaveFileWithSync)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
