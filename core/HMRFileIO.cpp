// SPDX-License-Identifier: MIT
#include "core/HMRFileIO.h"

#include <exception>
#include <utility>
#include <vector>

#include "core/uHMRMessages.h"
#include "platform/FileRead.h"
#include "platform/FileWriter.h"
#include "platform/HmrError.h"

namespace hmr {

void readHmrFile(const std::string& path, HmrFileContents& out, std::string* image) {
  try {
    std::string bytes = readWholeFile(path, hmrfile::kMaxFileSize);
    decodeHmrFile(bytes, out);
    if (image) *image = std::move(bytes);
  } catch (const std::exception& e) {
    throw HmrError(formatMessage(HMRFileRead, {path, e.what()}));
  }
}

void dropShortSessions(HmrFileContents& contents) {
  const std::int64_t minimum = contents.minimumWorkTime.value_or(DefaultMinimumWorkTime);
  std::erase_if(contents.sessions, [minimum](const TSessionData& s) {
    return DroppedAsShort(s, minimum);
  });
}

HmrSaveFailed::HmrSaveFailed(const std::string& path, std::string cause)
    : HmrError(formatMessage(HMRFileSave, {path, cause})), cause_(std::move(cause)) {}

void writeHmrFile(const std::string& path, std::int64_t timeForIdle,
                  std::int64_t minimumWorkTime, std::string_view projectName,
                  std::span<const TSessionData> sessions) {
  writeHmrImage(path, encodeForSave(path, timeForIdle, minimumWorkTime, projectName, sessions));
}

std::string encodeForSave(const std::string& path, std::int64_t timeForIdle,
                          std::int64_t minimumWorkTime, std::string_view projectName,
                          std::span<const TSessionData> sessions) {
  try {
    return encodeHmrFile(timeForIdle, minimumWorkTime, projectName, sessions);
  } catch (const std::exception& e) {
    throw HmrSaveFailed(path, e.what());
  }
}

void writeHmrImage(const std::string& path, std::string_view image) {
  try {
    currentFileWriter().replaceContents(path, image);
  } catch (const NotDurableError& e) {
    throw HmrSaveNotConfirmed(formatMessage(HMRFileNotConfirmed, {path, e.what()}));
  } catch (const std::exception& e) {
    throw HmrSaveFailed(path, e.what());
  }
}

}  // namespace hmr
