// SPDX-License-Identifier: MIT
// Sessions made and compared by the tests of the data file.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "core/uHMRProject.h"

namespace hmr::test_support {

// A session opened at `open` that lasted `seconds`, with its derived times computed.
inline TSessionData makeSession(TDateTime open, std::int64_t seconds, std::int64_t idle,
                                bool notClosed, std::string user) {
  TSessionData s;
  s.SessionDateTimeOpen = open;
  s.SessionDateTimeClose = open + static_cast<double>(seconds) / 86400.0;
  s.SessionNotClosed = notClosed;
  s.SessionIdleTime = idle;
  s.SessionUserName = std::move(user);
  s.UpdateCalculatedFields();
  return s;
}

// Every stored and derived field of `read` equals that of `written`.
inline void expectSameSession(const TSessionData& written, const TSessionData& read) {
  EXPECT_EQ(read.SessionDateTimeOpen, written.SessionDateTimeOpen);
  EXPECT_EQ(read.SessionDateTimeClose, written.SessionDateTimeClose);
  EXPECT_EQ(read.SessionNotClosed, written.SessionNotClosed);
  EXPECT_EQ(read.SessionIdleTime, written.SessionIdleTime);
  EXPECT_EQ(read.SessionUserName, written.SessionUserName);
  EXPECT_EQ(read.SessionTotalTime, written.SessionTotalTime);
  EXPECT_EQ(read.SessionWorkTime, written.SessionWorkTime);
}

}  // namespace hmr::test_support
