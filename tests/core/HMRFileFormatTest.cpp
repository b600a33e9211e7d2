// SPDX-License-Identifier: MIT
#include "core/HMRFileFormat.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "core/ByteCoding.h"
#include "platform/HmrError.h"
#include "tests/support/Sessions.h"

namespace hmr {
namespace {

using namespace hmrfile;
using ::testing::HasSubstr;

// The 36-byte file of a project named Demo with the default settings and no sessions.
const unsigned char kDemo[] = {0x02, 0x00, 0x00, 0x00, 0x2C, 0x01, 0x00, 0x00, 0x00, 0x00,
                               0x00, 0x00, 0x3C, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                               0x04, 0x00, 0x00, 0x00, 0x44, 0x65, 0x6D, 0x6F, 0x00, 0x00,
                               0x00, 0x00, 0xF4, 0x01, 0x00, 0x00};

std::string demoImage() { return std::string(reinterpret_cast<const char*>(kDemo), sizeof kDemo); }

// Little builders for hand-made images.
void putI32(std::string& out, std::int32_t v) {
  char b[4];
  encodeInt32(b, v);
  out.append(b, 4);
}
void putF64(std::string& out, double v) {
  char b[8];
  encodeDouble(b, v);
  out.append(b, 8);
}
std::string sealed(std::string body) {
  putI32(body, CalculateCRC(body.data(), static_cast<std::int32_t>(body.size())));
  return body;
}
// Recomputes the checksum after the body has been tampered with.
std::string resealed(const std::string& image) {
  return sealed(image.substr(0, image.size() - kChecksumSize));
}

const TDateTime kMonday = encodeDateTime(2026, 12, 7, 9, 0, 0);

std::vector<TSessionData> sampleSessions() {
  std::vector<TSessionData> v;
  v.push_back(test_support::makeSession(kMonday, 3600, 600, false, "anna"));
  v.push_back(test_support::makeSession(kMonday + 1, 120, 0, true, ""));
  v.push_back(test_support::makeSession(kMonday + 2, 7200, 7200, false, "J\xC3\xBCrgen M\xC3\xBCller"));
  return v;
}

std::string sampleImage() { return encodeHmrFile(900, 120, "Sample", sampleSessions()); }

// The cause a decode fails with, or "decoded" when it does not fail.
std::string decodeFailure(const std::string& image) {
  HmrFileContents out;
  try {
    decodeHmrFile(image, out);
  } catch (const HmrError& e) {
    return e.what();
  }
  return "decoded";
}

const char kCorrupted[] = "HMR file is corrupted";

// A version 1 image: settings and idle times in hours, 25-byte records, no user names.
struct V1Session {
  double open, close;
  unsigned char notClosed;
  double idleHours;
};
std::string v1Image(double idleHours, double minimumHours, const std::string& name,
                    const std::vector<V1Session>& sessions) {
  std::string b;
  putI32(b, HMRFileVersion1);
  putF64(b, idleHours);
  putF64(b, minimumHours);
  putI32(b, static_cast<std::int32_t>(name.size()));
  b += name;
  putI32(b, static_cast<std::int32_t>(sessions.size()));
  for (const V1Session& s : sessions) {
    putF64(b, s.open);
    putF64(b, s.close);
    b.push_back(static_cast<char>(s.notClosed));
    putF64(b, s.idleHours);
  }
  return sealed(b);
}

TEST(HMRFileFormat, EncodesTheDemoFileByteForByte) {
  EXPECT_EQ(encodeHmrFile(DefaultTimeForIdle, DefaultMinimumWorkTime, "Demo", {}), demoImage());
}

TEST(HMRFileFormat, DecodesTheDemoFile) {
  HmrFileContents out;
  decodeHmrFile(demoImage(), out);
  EXPECT_EQ(out.version, 2);
  EXPECT_EQ(out.timeForIdle, 300);
  EXPECT_EQ(out.minimumWorkTime, 60);
  EXPECT_EQ(out.projectName, "Demo");
  EXPECT_TRUE(out.sessions.empty());
}

TEST(HMRFileFormat, RecordLayoutIsAsDocumented) {
  std::vector<TSessionData> one;
  one.push_back(test_support::makeSession(kMonday, 90, 30, true, "ab"));
  const std::string image = encodeHmrFile(300, 60, "", one);
  ASSERT_EQ(image.size(), 4u + 16 + 4 + 0 + 4 + 29 + 2 + 4);
  const char* record = image.data() + 28;
  EXPECT_EQ(decodeDouble(record), kMonday);
  EXPECT_EQ(decodeDouble(record + 8), one[0].SessionDateTimeClose);
  EXPECT_EQ(record[16], 1);
  EXPECT_EQ(decodeInt64(record + 17), 30);
  EXPECT_EQ(decodeInt32(record + 25), 2);
  EXPECT_EQ(std::string(record + 29, 2), "ab");
}

TEST(HMRFileFormat, RoundTripKeepsEveryStoredField) {
  const auto original = sampleSessions();
  HmrFileContents out;
  decodeHmrFile(encodeHmrFile(900, 120, "Sample \xE2\x82\xAC", original), out);
  EXPECT_EQ(out.timeForIdle, 900);
  EXPECT_EQ(out.minimumWorkTime, 120);
  EXPECT_EQ(out.projectName, "Sample \xE2\x82\xAC");
  ASSERT_EQ(out.sessions.size(), original.size());
  for (std::size_t i = 0; i < original.size(); ++i) {
    const TSessionData& a = original[i];
    const TSessionData& b = out.sessions[i];
    test_support::expectSameSession(a, b);
  }
  EXPECT_EQ(out.sessions[0].SessionWorkTime, 3000);
}

TEST(HMRFileFormat, AnyNonZeroNotClosedByteReadsAsTrue) {
  std::vector<TSessionData> one;
  one.push_back(test_support::makeSession(kMonday, 90, 0, false, ""));
  std::string image = encodeHmrFile(300, 60, "", one);
  image[28 + kOffsetNotClosed] = static_cast<char>(0x7F);
  HmrFileContents out;
  decodeHmrFile(resealed(image), out);
  EXPECT_TRUE(out.sessions[0].SessionNotClosed);
}

TEST(HMRFileFormat, IdleLongerThanTheSessionIsCutToItsTotal) {
  std::vector<TSessionData> one;
  one.push_back(test_support::makeSession(kMonday, 90, 0, false, ""));
  one[0].SessionIdleTime = 5000;  // as a file could hold it
  HmrFileContents out;
  decodeHmrFile(encodeHmrFile(300, 60, "", one), out);
  EXPECT_EQ(out.sessions[0].SessionIdleTime, 90);
  EXPECT_EQ(out.sessions[0].SessionWorkTime, 0);
}

TEST(HMRFileFormat, Version1ConvertsHoursAndHasNoUserNames) {
  const TDateTime open = kMonday;
  const std::string image =
      v1Image(0.0833333, 1.0 / 60, "Old", {{open, open + 1.0 / 24, 0, 0.25}, {open, open, 2, 0}});
  HmrFileContents out;
  decodeHmrFile(image, out);
  EXPECT_EQ(out.version, 1);
  EXPECT_EQ(out.timeForIdle, 300);
  EXPECT_EQ(out.minimumWorkTime, 60);
  EXPECT_EQ(out.projectName, "Old");
  ASSERT_EQ(out.sessions.size(), 2u);
  EXPECT_EQ(out.sessions[0].SessionIdleTime, 900);
  EXPECT_EQ(out.sessions[0].SessionTotalTime, 3600);
  EXPECT_EQ(out.sessions[0].SessionUserName, "");
  EXPECT_FALSE(out.sessions[0].SessionNotClosed);
  EXPECT_TRUE(out.sessions[1].SessionNotClosed);
}

TEST(HMRFileFormat, Version1HoursRoundToNearestTiesToEven) {
  // 0.5 s and 1.5 s: ties go to the even second.
  HmrFileContents a, b;
  decodeHmrFile(v1Image(0.5 / 3600, 1.5 / 3600, "", {}), a);
  EXPECT_EQ(a.timeForIdle, 0);
  EXPECT_EQ(a.minimumWorkTime, 2);
  decodeHmrFile(v1Image(299.6 / 3600, 60.4 / 3600, "", {}), b);
  EXPECT_EQ(b.timeForIdle, 300);
  EXPECT_EQ(b.minimumWorkTime, 60);
}

TEST(HMRFileFormat, OtherVersionValuesUseTheVersion2Layout) {
  std::string image = sampleImage();
  encodeInt32(image.data(), 7);
  HmrFileContents out;
  decodeHmrFile(resealed(image), out);
  EXPECT_EQ(out.version, 7);
  EXPECT_EQ(out.sessions.size(), 3u);
  EXPECT_EQ(out.sessions[2].SessionUserName, "J\xC3\xBCrgen M\xC3\xBCller");
}

TEST(HMRFileFormat, ImagesShorterThanTheChecksumAreCorrupted) {
  for (std::size_t n = 0; n < 4; ++n) EXPECT_EQ(decodeFailure(std::string(n, '\0')), kCorrupted);
}

TEST(HMRFileFormat, ChecksumMismatch) {
  std::string image = demoImage();
  image[image.size() - 4] = static_cast<char>(0xF5);
  EXPECT_EQ(decodeFailure(image), kCorrupted);
}

TEST(HMRFileFormat, ChecksumMismatchReadsNothing) {
  std::string image = sampleImage();
  image[30] ^= 1;
  HmrFileContents out;
  EXPECT_THROW(decodeHmrFile(image, out), HmrError);
  EXPECT_FALSE(out.version || out.timeForIdle || out.projectName);
  EXPECT_TRUE(out.sessions.empty());
}

TEST(HMRFileFormat, EverySingleByteChangeIsRefused) {
  const std::string image = sampleImage();
  for (std::size_t i = 0; i < image.size(); ++i) {
    for (int delta : {0x01, 0x80, 0xFF, 0x10}) {
      std::string changed = image;
      changed[i] = static_cast<char>(changed[i] ^ delta);
      EXPECT_EQ(decodeFailure(changed), kCorrupted) << "byte " << i << " xor " << delta;
    }
  }
}

TEST(HMRFileFormat, EveryTruncationIsRefused) {
  for (const std::string& image : {sampleImage(), demoImage(),
                                   v1Image(0.1, 0.02, "v1", {{kMonday, kMonday + 0.1, 0, 0}})}) {
    for (std::size_t n = 0; n < image.size(); ++n)
      EXPECT_EQ(decodeFailure(image.substr(0, n)), kCorrupted) << "length " << n;
  }
}

TEST(HMRFileFormat, NegativeNameLength) {
  std::string image = demoImage();
  encodeInt32(image.data() + 20, -1);
  EXPECT_EQ(decodeFailure(resealed(image)), kCorrupted);
}

TEST(HMRFileFormat, NameLengthBeyondTheData) {
  std::string image = demoImage();
  encodeInt32(image.data() + 20, 9);
  EXPECT_EQ(decodeFailure(resealed(image)), kCorrupted);
  encodeInt32(image.data() + 20, std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(decodeFailure(resealed(image)), kCorrupted);
}

TEST(HMRFileFormat, NegativeSessionCount) {
  std::string image = demoImage();
  encodeInt32(image.data() + 28, -3);
  EXPECT_EQ(decodeFailure(resealed(image)), kCorrupted);
}

TEST(HMRFileFormat, HugeSessionCountFailsBeforeAnySessionIsRead) {
  std::string image = sampleImage();
  const std::size_t countAt = 24 + 6;
  ASSERT_EQ(decodeInt32(image.data() + countAt), 3);
  encodeInt32(image.data() + countAt, std::numeric_limits<std::int32_t>::max());
  HmrFileContents out;
  EXPECT_THROW(decodeHmrFile(resealed(image), out), HmrError);
  EXPECT_TRUE(out.sessions.empty());
  EXPECT_EQ(out.sessions.capacity(), 0u);  // nothing reserved from the forged count
}

TEST(HMRFileFormat, SessionCountOneTooHigh) {
  std::string image = sampleImage();
  encodeInt32(image.data() + 30, 4);
  EXPECT_EQ(decodeFailure(resealed(image)), kCorrupted);
}

TEST(HMRFileFormat, NegativeUserNameLength) {
  std::string image = sampleImage();
  encodeInt32(image.data() + 34 + kOffsetUserNameLength, -4);
  EXPECT_EQ(decodeFailure(resealed(image)), kCorrupted);
}

TEST(HMRFileFormat, UserNameBeyondTheData) {
  std::string image = sampleImage();
  encodeInt32(image.data() + 34 + kOffsetUserNameLength, 0x10000);
  EXPECT_EQ(decodeFailure(resealed(image)), kCorrupted);
}

TEST(HMRFileFormat, BytesLeftOverAfterTheLastRecord) {
  std::string body = demoImage().substr(0, 32);
  body.push_back('x');
  EXPECT_EQ(decodeFailure(sealed(body)), kCorrupted);
}

TEST(HMRFileFormat, DateTimesThatAreNotNumbersOrOutOfRange) {
  for (double bad : {std::nan(""), std::numeric_limits<double>::infinity(), 1e300, -1e18,
                     kMaxDateTime, kMinDateTime - 1}) {
    std::string image = sampleImage();
    encodeDouble(image.data() + 34 + kOffsetClose, bad);
    EXPECT_EQ(decodeFailure(resealed(image)), kCorrupted) << bad;
  }
  std::string edge = sampleImage();
  encodeDouble(edge.data() + 34, kMinDateTime);
  EXPECT_EQ(decodeFailure(resealed(edge)), "decoded");
}

TEST(HMRFileFormat, DurationsOutOfRange) {
  std::string idle = sampleImage();
  encodeInt64(idle.data() + 34 + kOffsetIdle, std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(decodeFailure(resealed(idle)), kCorrupted);
  std::string setting = sampleImage();
  encodeInt64(setting.data() + 4, kMaxSeconds + 1);
  EXPECT_EQ(decodeFailure(resealed(setting)), kCorrupted);
  EXPECT_EQ(decodeFailure(v1Image(std::nan(""), 0, "", {})), kCorrupted);
  EXPECT_EQ(decodeFailure(v1Image(0.1, 1e300, "", {})), kCorrupted);
  EXPECT_EQ(decodeFailure(v1Image(0.1, 0.1, "", {{kMonday, kMonday, 0, -1e20}})), kCorrupted);
}

TEST(HMRFileFormat, AFailedDecodeKeepsWhatWasReadBeforeIt) {
  std::string image = sampleImage();
  // Third record: its user name length reaches past the data.
  const std::size_t third = 34 + 29 + 4 + 29;
  encodeInt32(image.data() + third + kOffsetUserNameLength, 1000);
  HmrFileContents out;
  EXPECT_THROW(decodeHmrFile(resealed(image), out), HmrError);
  EXPECT_EQ(out.timeForIdle, 900);
  EXPECT_EQ(out.minimumWorkTime, 120);
  EXPECT_EQ(out.projectName, "Sample");
  ASSERT_EQ(out.sessions.size(), 2u);
  EXPECT_EQ(out.sessions[0].SessionUserName, "anna");
  EXPECT_EQ(out.sessions[1].SessionTotalTime, 120);
}

TEST(HMRFileFormat, EmptyNameAndNoSessions) {
  HmrFileContents out;
  decodeHmrFile(encodeHmrFile(60, 3600, "", {}), out);
  EXPECT_EQ(out.projectName, "");
  EXPECT_EQ(out.minimumWorkTime, 3600);
}

// The message of the HmrError that encoding these values throws ("encoded" when none).
std::string encodeFailure(std::int64_t timeForIdle, std::int64_t minimum,
                          std::vector<TSessionData> sessions) {
  try {
    encodeHmrFile(timeForIdle, minimum, "", sessions);
  } catch (const HmrError& e) {
    return e.what();
  }
  return "encoded";
}

TEST(HMRFileFormat, TheEncoderRefusesEveryValueTheDecoderRefuses) {
  // Stored fields only: the derived ones are never computed from such values.
  auto sessionAt = [](TDateTime open, TDateTime close, std::int64_t idle) {
    std::vector<TSessionData> v;
    v.emplace_back();
    v.back().SessionDateTimeOpen = open;
    v.back().SessionDateTimeClose = close;
    v.back().SessionIdleTime = idle;
    return v;
  };
  const std::string outside = "outside the years 1 to 9999";
  for (double bad : {kMaxDateTime, kMinDateTime - 1, std::nan(""), 1e300}) {
    EXPECT_THAT(encodeFailure(300, 60, sessionAt(kMonday, bad, 0)), HasSubstr(outside)) << bad;
    EXPECT_THAT(encodeFailure(300, 60, sessionAt(bad, kMonday, 0)), HasSubstr(outside)) << bad;
  }
  EXPECT_THAT(encodeFailure(300, 60, sessionAt(kMonday, kMonday, kMaxSeconds + 1)),
              HasSubstr("idle time"));
  EXPECT_THAT(encodeFailure(kMaxSeconds + 1, 60, {}), HasSubstr("time for idle"));
  EXPECT_THAT(encodeFailure(300, -kMaxSeconds - 1, {}), HasSubstr("minimum work time"));
  // The last moment of the year 9999 and the first of the year 1 are kept, and read back.
  const TDateTime last = encodeDateTime(9999, 12, 31, 23, 59, 59);
  HmrFileContents out;
  decodeHmrFile(encodeHmrFile(300, 60, "", sessionAt(kMinDateTime, last, 0)), out);
  ASSERT_EQ(out.sessions.size(), 1u);
  EXPECT_EQ(out.sessions[0].SessionDateTimeClose, last);
}

TEST(HMRFileFormat, ImagesBeyondTheSizeLimitAreRefused) {
  EXPECT_EQ(decodeFailure(std::string(kMaxFileSize + 1, '\0')), kCorrupted);
}

}  // namespace
}  // namespace hmr
