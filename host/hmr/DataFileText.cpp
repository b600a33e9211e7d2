// SPDX-License-Identifier: MIT
#include "host/hmr/DataFileText.h"

#include "core/DurationText.h"
#include "core/uHMRGlobal.h"
#include "core/uHMRProject.h"
#include "host/hmr/Json.h"

namespace hmr::cli {

std::string dataFileHeaderText(const HmrFileContents& contents) {
  std::string text = "HMR data file version " + std::to_string(contents.version.value_or(0)) +
                     ", project " + toJsonString(contents.projectName.value_or("")) + "\n";
  text += "idle threshold " + std::to_string(contents.timeForIdle.value_or(DefaultTimeForIdle)) +
          " s, minimum work time " +
          std::to_string(contents.minimumWorkTime.value_or(DefaultMinimumWorkTime)) + " s\n";
  return text;
}

std::string sessionText(const TSessionData& s, std::int64_t minimumWorkTime) {
  std::string line = formatIsoDateTime(s.SessionDateTimeOpen) + " to " +
                     formatIsoDateTime(s.SessionDateTimeClose) + ", work " +
                     formatDuration(s.SessionWorkTime) + ", idle " +
                     formatDuration(s.SessionIdleTime) + ", ";
  appendJsonString(line, s.SessionUserName);
  if (s.SessionNotClosed) line += ", not closed";
  if (s.SessionWorkTime < minimumWorkTime) line += ", below the minimum work time";
  line += "\n";
  return line;
}

}  // namespace hmr::cli
