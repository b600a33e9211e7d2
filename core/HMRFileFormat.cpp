// SPDX-License-Identifier: MIT
#include "core/HMRFileFormat.h"

#include <cassert>
#include <cmath>
#include <limits>

#include "core/ByteCoding.h"
#include "core/uHMRMessages.h"
#include "platform/HmrError.h"
#include "platform/MemoryAdvice.h"

namespace hmr {
namespace {

using namespace hmrfile;

[[noreturn]] void corrupted() { throw HmrError(std::string(HMRFileCorrupted)); }

// A cursor over the bytes before the checksum. Every take checks what remains first.
class Input {
 public:
  explicit Input(std::string_view data) : data_(data) {}

  std::size_t remaining() const { return data_.size() - pos_; }

  // The next `n` bytes; fails when fewer remain.
  const char* take(std::size_t n) {
    if (n > remaining()) corrupted();
    const char* at = data_.data() + pos_;
    pos_ += n;
    return at;
  }

  // A length or count: fails when negative.
  std::size_t takeCount() {
    const std::int32_t value = decodeInt32(take(kLengthSize));
    if (value < 0) corrupted();
    return static_cast<std::size_t>(value);
  }

 private:
  std::string_view data_;
  std::size_t pos_ = 0;
};

bool validDateTime(double value) {
  return value >= kMinDateTime && value < kMaxDateTime;  // false for NaN
}

std::int64_t checkedSeconds(std::int64_t seconds) {
  if (seconds < -kMaxSeconds || seconds > kMaxSeconds) corrupted();
  return seconds;
}

// Hours of a version 1 file as whole seconds, rounded to the nearest, ties to even.
std::int64_t secondsFromHours(double hours) {
  const double seconds = hours * 3600;
  if (!(std::fabs(seconds) <= static_cast<double>(kMaxSeconds))) corrupted();  // NaN too
  return roundHalfEven(seconds);
}

// Lengths, the count and the checksummed size are signed 32-bit in the format.
void checkFits(std::size_t n, const char* what) {
  if (n > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
    throw HmrError("Too large for an HMR file: " + std::to_string(n) + " " + what);
}

// The decoder's ranges, checked before anything is encoded.
void checkEncodable(std::int64_t seconds, const char* what) {
  if (seconds < -kMaxSeconds || seconds > kMaxSeconds)
    throw HmrError(std::string("Cannot store ") + what + " of " + std::to_string(seconds) +
                   " seconds: beyond the 9999 years an HMR file can hold");
}

void checkEncodable(const TSessionData& s) {
  if (!validDateTime(s.SessionDateTimeOpen) || !validDateTime(s.SessionDateTimeClose))
    throw HmrError("Cannot store a session that opens or closes outside the years 1 to 9999");
  checkEncodable(s.SessionIdleTime, "an idle time");
}

}  // namespace

void decodeHmrFile(std::string_view image, HmrFileContents& out) {
  if (image.size() < kChecksumSize || image.size() > kMaxFileSize) corrupted();
  const std::size_t bodySize = image.size() - kChecksumSize;
  const std::int32_t stored = decodeInt32(image.data() + bodySize);
  if (CalculateCRC(image.data(), static_cast<std::int32_t>(bodySize)) != stored) corrupted();

  Input in(image.substr(0, bodySize));
  const std::int32_t version = decodeInt32(in.take(kVersionSize));
  out.version = version;
  const bool v1 = version == HMRFileVersion1;
  if (v1) {
    out.timeForIdle = secondsFromHours(decodeDouble(in.take(kSettingSize)));
    out.minimumWorkTime = secondsFromHours(decodeDouble(in.take(kSettingSize)));
  } else {
    out.timeForIdle = checkedSeconds(decodeInt64(in.take(kSettingSize)));
    out.minimumWorkTime = checkedSeconds(decodeInt64(in.take(kSettingSize)));
  }
  const std::size_t nameLength = in.takeCount();
  const char* name = in.take(nameLength);
  out.projectName.emplace(name, nameLength);

  const std::size_t count = in.takeCount();
  const std::size_t recordSize = v1 ? kRecordSizeV1 : kRecordSize;
  // Checked before reserving, so a forged count cannot make us allocate beyond the data.
  if (count > in.remaining() / recordSize) corrupted();
  out.sessions.reserve(out.sessions.size() + count);
  adviseHugePages(out.sessions.data(), out.sessions.capacity() * sizeof(TSessionData));
  InternedNameCache users;
  for (std::size_t i = 0; i < count; ++i) {
    const char* record = in.take(recordSize);
    TSessionData session;
    session.SessionDateTimeOpen = decodeDouble(record);
    session.SessionDateTimeClose = decodeDouble(record + kOffsetClose);
    if (!validDateTime(session.SessionDateTimeOpen) ||
        !validDateTime(session.SessionDateTimeClose))
      corrupted();
    session.SessionNotClosed = record[kOffsetNotClosed] != 0;
    if (v1) {
      session.SessionIdleTime = secondsFromHours(decodeDouble(record + kOffsetIdle));
    } else {
      session.SessionIdleTime = checkedSeconds(decodeInt64(record + kOffsetIdle));
      const std::int32_t userLength = decodeInt32(record + kOffsetUserNameLength);
      if (userLength < 0) corrupted();
      const char* user = in.take(static_cast<std::size_t>(userLength));
      session.SessionUserName = users.intern({user, static_cast<std::size_t>(userLength)});
    }
    session.UpdateCalculatedFields();
    out.sessions.push_back(std::move(session));
  }
  // The writer ends the records right at the checksum; anything between is not ours.
  if (in.remaining() != 0) corrupted();
}

std::string encodeHmrFile(std::int64_t timeForIdle, std::int64_t minimumWorkTime,
                          std::string_view projectName,
                          std::span<const TSessionData> sessions) {
  checkEncodable(timeForIdle, "a time for idle");
  checkEncodable(minimumWorkTime, "a minimum work time");
  checkFits(projectName.size(), "bytes of project name");
  checkFits(sessions.size(), "sessions");
  std::size_t size = kVersionSize + 2 * kSettingSize + kLengthSize + projectName.size() +
                     kLengthSize + kChecksumSize;
  for (const auto& s : sessions) {
    checkEncodable(s);
    checkFits(s.SessionUserName.size(), "bytes of user name");
    size += kRecordSize + s.SessionUserName.size();
  }
  if (size > kMaxFileSize) throw HmrError("Too large for an HMR file: " + std::to_string(size) +
                                          " bytes (at most " + std::to_string(kMaxFileSize) + ")");

  std::string image(size, '\0');
  char* at = image.data();
  encodeInt32(at, HMRFileVersion);
  encodeInt64(at + kVersionSize, timeForIdle);
  encodeInt64(at + kVersionSize + kSettingSize, minimumWorkTime);
  at += kVersionSize + 2 * kSettingSize;
  encodeInt32(at, static_cast<std::int32_t>(projectName.size()));
  at += kLengthSize;
  projectName.copy(at, projectName.size());
  at += projectName.size();
  encodeInt32(at, static_cast<std::int32_t>(sessions.size()));
  at += kLengthSize;
  for (const auto& s : sessions) {
    encodeDouble(at, s.SessionDateTimeOpen);
    encodeDouble(at + kOffsetClose, s.SessionDateTimeClose);
    at[kOffsetNotClosed] = s.SessionNotClosed ? 1 : 0;
    encodeInt64(at + kOffsetIdle, s.SessionIdleTime);
    const std::string_view user = s.SessionUserName;
    encodeInt32(at + kOffsetUserNameLength, static_cast<std::int32_t>(user.size()));
    at += kRecordSize;
    user.copy(at, user.size());
    at += user.size();
  }
  const std::size_t bodySize = size - kChecksumSize;
  assert(at == image.data() + bodySize);
  encodeInt32(at, CalculateCRC(image.data(), static_cast<std::int32_t>(bodySize)));
  return image;
}

}  // namespace hmr
