// SPDX-License-Identifier: MIT
// libFuzzer target: the stand-in IDE's script reader on arbitrary text, with the Delphi 5
// package loaded, so that every line a script may hold reaches the IDE and the tracker.
//
// The data files the tracker would save are handed to a writer that keeps nothing, and the
// settings store lives in memory: an input never changes a file (recovery folders are made
// in a temporary folder). Scripts that install a package or crash the IDE are skipped. Any
// exception other than the reader's own ScriptError escapes, and the fuzzer reports it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>

#include "core/uHMRGlobal.h"
#include "host/ide/IdeScript.h"
#include "host/ide/StandInIde.h"
#include "ide/HMExpertPackage.h"
#include "platform/FileWriter.h"
#include "platform/MemorySettingsStore.h"

namespace {

class DiscardingWriter final : public hmr::FileWriter {
 public:
  void replaceContents(const std::string&, std::string_view) override {}
};

char stateFolder[] = "/tmp/hmr-fuzz-state-XXXXXX";

void removeStateFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(stateFolder, ignored);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static DiscardingWriter writer;
  static const bool installed = [] {
    hmr::installFileWriter(&writer);
    // Recovery files go through the writer too, but their folder would be made in the
    // user's state folder: make it in one of our own, removed when the fuzzer ends.
    if (!mkdtemp(stateFolder) || setenv("XDG_STATE_HOME", stateFolder, 1) != 0) std::abort();
    std::atexit(removeStateFolder);
    return true;
  }();
  (void)installed;

  const std::string text(reinterpret_cast<const char*>(data), size);
  // A script that installs a package would load any library it names; one that crashes the
  // IDE would end the fuzzer itself.
  if (text.find("install-package") != std::string::npos) return 0;
  if (text.find("crash") != std::string::npos) return 0;
  hmr::MemorySettingsStore store;
  std::ostringstream out;
  std::ostringstream err;
  {
    hmr::StandInIde ide(5, store, out, err);
    ide.setClock(hmr::encodeDateTime(2026, 3, 2, 9, 0, 0));
    ide.loadPackage("HMExpert50.bpl", {&hmrPackageLoad, &Register, &hmrPackageUnload});
    std::istringstream script(text);
    try {
      hmr::runIdeScript(ide, script);
    } catch (const hmr::ScriptError&) {
      // refused with the line named, as it should be for most inputs
    }
    // Leaving the scope unloads the package, which closes and saves every project.
  }
  return 0;
}
