// SPDX-License-Identifier: MIT
// libFuzzer target: the data file decoder on arbitrary bytes.
//
// Each input is decoded twice: as it is (almost every mutation then fails the checksum) and
// with its last four bytes replaced by the right checksum, so that mutations reach the
// layout checks behind it. A file that decodes must survive encoding and decoding again with
// every stored field unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/ByteCoding.h"
#include "core/HMRFileFormat.h"
#include "core/uHMRGlobal.h"
#include "platform/HmrError.h"

namespace {

using hmr::HmrFileContents;

bool sameSession(const hmr::TSessionData& a, const hmr::TSessionData& b) {
  return a.SessionDateTimeOpen == b.SessionDateTimeOpen &&
         a.SessionDateTimeClose == b.SessionDateTimeClose &&
         a.SessionNotClosed == b.SessionNotClosed && a.SessionIdleTime == b.SessionIdleTime &&
         a.SessionUserName == b.SessionUserName && a.SessionTotalTime == b.SessionTotalTime &&
         a.SessionWorkTime == b.SessionWorkTime;
}

void decodeAndRoundTrip(std::string_view image) {
  HmrFileContents first;
  try {
    hmr::decodeHmrFile(image, first);
  } catch (const hmr::HmrError&) {
    return;  // refused, as it should be for most inputs
  }
  if (!first.timeForIdle || !first.minimumWorkTime || !first.projectName) std::abort();
  const std::string again = hmr::encodeHmrFile(*first.timeForIdle, *first.minimumWorkTime,
                                               *first.projectName, first.sessions);
  HmrFileContents second;
  hmr::decodeHmrFile(again, second);  // an error here escapes: the fuzzer reports it
  if (second.timeForIdle != first.timeForIdle ||
      second.minimumWorkTime != first.minimumWorkTime ||
      second.projectName != first.projectName ||
      second.sessions.size() != first.sessions.size())
    std::abort();
  for (std::size_t i = 0; i < first.sessions.size(); ++i)
    if (!sameSession(first.sessions[i], second.sessions[i])) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  decodeAndRoundTrip(input);
  if (size >= 4 && size <= 0x7FFFFFFF) {
    std::string sealed(input);
    const auto body = static_cast<std::int32_t>(size - 4);
    hmr::encodeInt32(sealed.data() + body, hmr::CalculateCRC(sealed.data(), body));
    decodeAndRoundTrip(sealed);
  }
  return 0;
}
