// SPDX-License-Identifier: MIT
#include "core/DataFileMerge.h"

#include <filesystem>

#include "core/HMRFileIO.h"
#include "core/uHMRMessages.h"
#include "platform/HmrError.h"

namespace hmr {
namespace {

// git passes an empty file for a common history that does not exist.
bool isEmptyFile(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error) &&
         std::filesystem::file_size(path, error) == 0 && !error;
}

void readSide(const std::string& path, const std::string& side, HmrFileContents& out) {
  try {
    readHmrFile(path, out);
  } catch (const HmrError& e) {
    throw HmrError(formatMessage(MergeSideUnreadable, {side, e.what()}));
  }
}

}  // namespace

std::vector<std::string> mergeDataFiles(const std::string& base, const std::string& ours,
                                        const std::string& theirs,
                                        const MergeSideNames& names) {
  HmrFileContents baseContents, oursContents, theirsContents;
  if (!isEmptyFile(base)) readSide(base, "BASE", baseContents);
  readSide(ours, names.ours, oursContents);
  readSide(theirs, names.theirs, theirsContents);
  MergedHistory merged = mergeHistories(baseContents, oursContents, theirsContents, names);
  writeHmrFile(ours, merged.timeForIdle, merged.minimumWorkTime, merged.projectName,
               merged.sessions);
  return std::move(merged.notes);
}

}  // namespace hmr
