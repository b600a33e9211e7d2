// SPDX-License-Identifier: MIT
// The settings store's cost per call: a committed write (one transaction, synced to disk),
// a read, and listing a key. Run from a Release build; the file lives in the temp folder.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/SqliteSettingsStore.h"

namespace {

namespace fs = std::filesystem;

class TempStore {
 public:
  TempStore() {
    std::string pattern = (fs::temp_directory_path() / "hmr-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp");
    dir_ = pattern;
    store = std::make_unique<hmr::SqliteSettingsStore>((dir_ / "registry.db").string());
  }
  ~TempStore() {
    store.reset();
    fs::remove_all(dir_);
  }
  std::unique_ptr<hmr::SqliteSettingsStore> store;

 private:
  fs::path dir_;
};

constexpr auto kRoot = hmr::RegistryRoot::LocalMachine;
constexpr const char* kKey = "SOFTWARE\\CorvaneSW\\HMR\\2.0\\Delphi5";

void BM_WriteString(benchmark::State& state) {
  TempStore temp;
  int i = 0;
  for (auto _ : state) temp.store->writeString(kRoot, kKey, "Users", std::to_string(i++));
}
BENCHMARK(BM_WriteString)->Unit(benchmark::kMicrosecond);

void BM_UpdateString(benchmark::State& state) {
  TempStore temp;
  for (auto _ : state)
    temp.store->updateString(kRoot, kKey, "Users", [](const std::optional<std::string>& s) {
      return s ? *s + "x" : std::string("x");
    });
}
BENCHMARK(BM_UpdateString)->Unit(benchmark::kMicrosecond);

void BM_ReadDword(benchmark::State& state) {
  TempStore temp;
  temp.store->writeDword(kRoot, kKey, "ShowDialog", 1);
  for (auto _ : state) benchmark::DoNotOptimize(temp.store->readDword(kRoot, kKey, "showdialog"));
}
BENCHMARK(BM_ReadDword)->Unit(benchmark::kMicrosecond);

void BM_ListHundredValues(benchmark::State& state) {
  TempStore temp;
  for (int i = 0; i < 100; ++i) temp.store->writeDword(kRoot, kKey, std::to_string(i), i);
  for (auto _ : state) benchmark::DoNotOptimize(temp.store->values(kRoot, kKey));
}
BENCHMARK(BM_ListHundredValues)->Unit(benchmark::kMicrosecond);

}  // namespace
