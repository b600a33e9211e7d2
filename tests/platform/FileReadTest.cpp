// SPDX-License-Identifier: MIT
#include "platform/FileRead.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <system_error>

#include "tests/support/TempFolder.h"

namespace hmr {
namespace {

using testing::TempFolder;
using testing::writeBytes;

std::string failureOf(const std::string& path, std::size_t maxBytes) {
  try {
    readWholeFile(path, maxBytes);
  } catch (const std::system_error& e) {
    return e.what();
  }
  return "no failure";
}

TEST(FileRead, ReadsEveryByte) {
  TempFolder folder;
  const std::string path = folder.file("a.bin");
  std::string data(70000, '\0');
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7);
  writeBytes(path, data);
  EXPECT_EQ(readWholeFile(path, data.size()), data);
  writeBytes(path, "");
  EXPECT_EQ(readWholeFile(path, 10), "");
}

TEST(FileRead, MissingFileGivesTheSystemsReason) {
  TempFolder folder;
  EXPECT_EQ(failureOf(folder.path() + "/none", 100), "No such file or directory");
}

TEST(FileRead, AFolderIsNotRead) {
  TempFolder folder;
  EXPECT_EQ(failureOf(folder.path(), 100), "Is a directory");
}

TEST(FileRead, AFileBeyondTheLimitIsRefusedBeforeReading) {
  TempFolder folder;
  const std::string path = folder.file("big");
  writeBytes(path, std::string(101, 'x'));
  EXPECT_EQ(failureOf(path, 100), "File too large");
  EXPECT_EQ(readWholeFile(path, 101).size(), 101u);
}

TEST(FileRead, ExistsForAnythingByThatName) {
  TempFolder folder;
  const std::string path = folder.file("f");
  EXPECT_FALSE(pathExists(path));
  writeBytes(path, "x");
  EXPECT_TRUE(pathExists(path));
  EXPECT_TRUE(pathExists(folder.path()));
}

TEST(FileRead, AFifoIsRefusedWithoutWaitingForAWriter) {
  TempFolder folder;
  const std::string path = folder.file("f.HMR");
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  EXPECT_EQ(failureOf(path, 100), "Not a regular file");
}

TEST(FileRead, ADeviceIsRefusedBeforeReadingAnyOfIt) {
  EXPECT_EQ(failureOf("/dev/zero", std::size_t{1} << 40), "Not a regular file");
}

TEST(FileRead, ASparseFileBeyondTheLimitIsRefusedBySize) {
  TempFolder folder;
  const std::string path = folder.file("big");
  writeBytes(path, "");
  ASSERT_EQ(truncate(path.c_str(), off_t{2} << 30), 0);
  EXPECT_EQ(failureOf(path, std::size_t{256} << 20), "File too large");
}

}  // namespace
}  // namespace hmr
