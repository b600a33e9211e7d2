// SPDX-License-Identifier: MIT
// The project data file (.HMR) as bytes: the layout constants shared by reader and writer,
// and the in-memory decoder and encoder. docs/file-format.md describes the format.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/uHMRProject.h"

namespace hmr {

// The version written, and the older one that is still read (settings and idle times in
// hours, no user names). Any other version value is read with the layout of HMRFileVersion.
inline constexpr std::int32_t HMRFileVersion = 2;
inline constexpr std::int32_t HMRFileVersion1 = 1;

namespace hmrfile {

inline constexpr std::size_t kVersionSize = 4;
inline constexpr std::size_t kSettingSize = 8;   // each of the two settings, both layouts
inline constexpr std::size_t kLengthSize = 4;    // name length, user name length, count
inline constexpr std::size_t kChecksumSize = 4;  // CalculateCRC of every byte before it
// A session record before its user name: open, close, not-closed flag, idle time, and in
// version 2 the user name's length.
inline constexpr std::size_t kRecordSize = 29;
inline constexpr std::size_t kRecordSizeV1 = 25;
inline constexpr std::size_t kOffsetClose = 8;
inline constexpr std::size_t kOffsetNotClosed = 16;
inline constexpr std::size_t kOffsetIdle = 17;
inline constexpr std::size_t kOffsetUserNameLength = 25;
// The largest file read or written: 256 MiB, some six million sessions. The layout itself
// could count up to 2 GiB, but a file that size is no data file of ours and is refused by its
// size before any of it is read.
inline constexpr std::size_t kMaxFileSize = std::size_t{256} << 20;

// Values that nothing in the tracker produces and that the arithmetic on them could not
// hold: date-times outside the years 1 to 9999 (or not numbers) and durations longer than
// that whole span. The reader refuses them as corruption.
inline constexpr double kMinDateTime = -693593.0;   // 0001-01-01
inline constexpr double kMaxDateTime = 2958466.0;   // 10000-01-01, excluded
inline constexpr std::int64_t kMaxSeconds = 3652059LL * 86400;

}  // namespace hmrfile

// What a decode has produced. A field is set once it has been read; after a failed decode
// the fields read before the failure are set and `sessions` holds the complete records read
// so far, each with its derived fields computed.
struct HmrFileContents {
  std::optional<std::int32_t> version;
  std::optional<std::int64_t> timeForIdle;
  std::optional<std::int64_t> minimumWorkTime;
  std::optional<std::string> projectName;
  std::vector<TSessionData> sessions;  // oldest first
};

// Decodes a whole file image into `out`, which should be empty. Fails with HmrError carrying
// the cause (without the file name): "HMR file is corrupted" when the image is shorter than
// its checksum, the checksum differs, or the content does not fit the layout (a length or
// count that is negative or reaches beyond the data, bytes left over after the last record,
// a value out of the ranges above). Never reads outside `image`; allocates from a count only
// after checking it against the bytes that remain.
void decodeHmrFile(std::string_view image, HmrFileContents& out);

// Encodes a version 2 image with its checksum. Fails with HmrError when a length or the
// count does not fit the format (more than 2^31 - 1 of them, or an image beyond
// kMaxFileSize), or when a value is one the decoder refuses (a date-time outside the years 1
// to 9999, a setting or idle time beyond kMaxSeconds): nothing is written that would not
// read back.
std::string encodeHmrFile(std::int64_t timeForIdle, std::int64_t minimumWorkTime,
                          std::string_view projectName,
                          std::span<const TSessionData> sessions);

}  // namespace hmr
