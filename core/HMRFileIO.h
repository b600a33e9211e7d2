// SPDX-License-Identifier: MIT
// Reading and writing whole data files, every failure wrapped in the read or save message
// with the file name.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "core/HMRFileFormat.h"
#include "platform/HmrError.h"

namespace hmr {

// Reads and decodes `path` into `out` (which should be empty). Fails with HmrError
// "Error reading HMR file <path> : <cause>", the cause being the system's reason or the
// decoder's; `out` then holds what was decoded before the failure (nothing when the file
// could not be read or its checksum differs). With `image`, the file's bytes go there too.
void readHmrFile(const std::string& path, HmrFileContents& out, std::string* image = nullptr);

// Drops what the tracker drops after reading a file: every closed session with less work
// than the file's minimum work time (the default minimum when the file gave none).
void dropShortSessions(HmrFileContents& contents);

// A save that failed: what() is the save message naming the file, cause() the reason alone.
class HmrSaveFailed : public HmrError {
 public:
  HmrSaveFailed(const std::string& path, std::string cause);
  const std::string& cause() const { return cause_; }

 private:
  std::string cause_;
};

// A save whose new file is in place under its name, but not confirmed to be on the disk.
class HmrSaveNotConfirmed : public HmrError {
 public:
  using HmrError::HmrError;
};

// Encodes a version 2 image and has the installed FileWriter replace `path` with it. Fails
// with HmrSaveFailed "Error saving HMR file <path> : <cause>"; the file on disk is then as it
// was.
// When only the confirmation that the new file reached the disk failed, it fails with
// HmrSaveNotConfirmed instead: the file then holds the new contents.
void writeHmrFile(const std::string& path, std::int64_t timeForIdle,
                  std::int64_t minimumWorkTime, std::string_view projectName,
                  std::span<const TSessionData> sessions);

// The two steps of writeHmrFile: the image of a save to `path` (failing with HmrSaveFailed
// when a value does not fit the format), and the replacement of `path` by an image (failing
// as writeHmrFile does).
std::string encodeForSave(const std::string& path, std::int64_t timeForIdle,
                          std::int64_t minimumWorkTime, std::string_view projectName,
                          std::span<const TSessionData> sessions);
void writeHmrImage(const std::string& path, std::string_view image);

}  // namespace hmr
