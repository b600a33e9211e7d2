// SPDX-License-Identifier: MIT
// Advisory locks on lock files: one holder at a time, a removed lock file taken again under its
// name, failures that say why.
#include "platform/FileLock.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <system_error>
#include <thread>

#include "tests/support/TempFolder.h"

namespace hmr {
namespace {

using testing::TempFolder;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

int errorOf(const std::string& path, std::chrono::milliseconds wait) {
  try {
    FileLock::acquire(path, 0600, wait);
  } catch (const std::system_error& e) {
    return e.code().value();
  }
  return 0;
}

TEST(FileLockTest, OneHolderAtATimeAndTheLockFileGoesWithRemoveAndRelease) {
  TempFolder folder;
  const std::string path = folder.path() + "/.Demo.HMR.lock";
  EXPECT_FALSE(lockHeldByAnyone(path));  // missing
  FileLock lock = FileLock::acquire(path, 0640, std::chrono::milliseconds(0));
  ASSERT_TRUE(lock.held());
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);  // the bits asked for, whatever the umask
  EXPECT_TRUE(lockHeldByAnyone(path));
  // A second open of the file is another holder (flock locks belong to the open file).
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(errorOf(path, std::chrono::milliseconds(50)), EWOULDBLOCK);
  EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(50));
  lock.release();
  EXPECT_FALSE(lockHeldByAnyone(path));
  EXPECT_THAT(folder.names(), ElementsAre(".Demo.HMR.lock"));  // release leaves the file
  lock = FileLock::acquire(path, 0600, std::chrono::milliseconds(0));
  lock.removeAndRelease();
  EXPECT_FALSE(lock.held());
  EXPECT_THAT(folder.names(), IsEmpty());
}

// A waiter whose holder removes the lock file takes the lock of the file the name names then,
// so that a third process that creates it anew never holds the lock at the same time.
TEST(FileLockTest, AWaiterTakesTheLockAgainWhenItsHolderRemovedTheFile) {
  TempFolder folder;
  const std::string path = folder.path() + "/.Demo.HMR.lock";
  FileLock first = FileLock::acquire(path, 0600, std::chrono::milliseconds(0));
  std::atomic<bool> taken{false};
  std::thread waiter([&] {
    FileLock second = FileLock::acquire(path, 0600, std::chrono::seconds(5));
    taken = true;
    EXPECT_TRUE(lockHeldByAnyone(path));  // the lock is on the file the name names
    second.removeAndRelease();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_FALSE(taken);
  first.removeAndRelease();
  waiter.join();
  EXPECT_TRUE(taken);
  EXPECT_THAT(folder.names(), IsEmpty());
}

// A lock that cannot be had at all fails at once with the system's reason, not after the wait
// as if someone held it.
TEST(FileLockTest, AMissingOrUnwritableFolderFailsAtOnceWithItsReason) {
  TempFolder folder;
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(errorOf(folder.path() + "/none/.x.lock", std::chrono::seconds(5)), ENOENT);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1));
  if (::geteuid() != 0) {
    const std::string locked = folder.file("locked/x");
    std::filesystem::remove(locked);
    ::chmod((folder.path() + "/locked").c_str(), 0500);
    EXPECT_EQ(errorOf(folder.path() + "/locked/.x.lock", std::chrono::seconds(5)), EACCES);
  }
}

TEST(FileLockTest, TheLockFileIsBesideTheFileALinkNames) {
  TempFolder folder;
  const std::string real = folder.file("real/Demo.HMR");
  testing::writeBytes(real, "x");
  const std::string link = folder.path() + "/Demo.HMR";
  std::filesystem::create_symlink(real, link);
  const std::string canonical = std::filesystem::canonical(real).parent_path().string();
  EXPECT_EQ(lockFileBeside(link), canonical + "/.Demo.HMR.lock");
  EXPECT_EQ(lockFileBeside(folder.path() + "/other/P.HMR"), folder.path() + "/other/.P.HMR.lock");
  EXPECT_EQ(lockFileBeside("P.HMR"), ".P.HMR.lock");
}

// Whoever may write the data file may open its lock file for writing; a missing data file
// gets the bits a new file would get under the umask (which is read, not changed).
TEST(FileLockTest, TheLockFilesBitsFollowTheDataFile) {
  TempFolder folder;
  const std::string shared = folder.file("Shared.HMR");
  testing::writeBytes(shared, "x");
  ::chmod(shared.c_str(), 0664);
  EXPECT_EQ(lockFileModeFor(shared), 0664u);
  ::chmod(shared.c_str(), 0444);
  EXPECT_EQ(lockFileModeFor(shared), 0644u);  // the owner's write bit, for the lock
  const mode_t previous = ::umask(027);
  EXPECT_EQ(lockFileModeFor(folder.path() + "/New.HMR"), 0640u);
  ::umask(previous);
}

}  // namespace
}  // namespace hmr
