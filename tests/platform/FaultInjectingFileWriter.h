// SPDX-License-Identifier: MIT
// The real Linux file writer with faults injected into its steps, to test what a failing
// disk leaves behind.
#pragma once

#include <cerrno>
#include <cstddef>
#include <string>

#include "platform/LinuxFileWriter.h"

namespace hmr {

// Each fault, once set, makes its step fail with the given errno value; 0 means no fault.
// Steps before the fault run for real, so the temporary file really exists when it fails.
class FaultInjectingFileWriter final : public LinuxFileWriter {
 public:
  explicit FaultInjectingFileWriter(bool syncToDisk = true) : LinuxFileWriter(syncToDisk) {}

  // The data is written up to `bytes` bytes, then every write fails with `error`: a disk
  // that fills up in the middle of the file.
  void failWritesAfter(std::size_t bytes, int error = ENOSPC) {
    writeLimit_ = bytes;
    writeError_ = error;
  }
  void failSync(int error = EIO) { syncError_ = error; }
  void failRename(int error = EIO) { renameError_ = error; }
  void failFolderSync(int error = EIO) { folderSyncError_ = error; }
  // The folder is flushed, then its close fails (the descriptor is closed all the same).
  void failFolderClose(int error = EIO) { folderCloseError_ = error; }

  int renames() const { return renames_; }

 protected:
  int writeSome(int fd, const char* data, std::size_t size, std::size_t& written) override {
    if (writeError_ != 0) {
      if (written_ >= writeLimit_) return writeError_;
      if (size > writeLimit_ - written_) size = writeLimit_ - written_;
    }
    const int error = LinuxFileWriter::writeSome(fd, data, size, written);
    if (error == 0) written_ += written;
    return error;
  }
  int syncFile(int fd) override {
    return syncError_ != 0 ? syncError_ : LinuxFileWriter::syncFile(fd);
  }
  int renameFile(const std::string& from, const std::string& to) override {
    if (renameError_ != 0) return renameError_;
    ++renames_;
    return LinuxFileWriter::renameFile(from, to);
  }
  int syncFolder(const std::string& folder) override {
    return folderSyncError_ != 0 ? folderSyncError_ : LinuxFileWriter::syncFolder(folder);
  }
  int closeFolder(int fd) override {
    const int closed = LinuxFileWriter::closeFolder(fd);
    return folderCloseError_ != 0 ? folderCloseError_ : closed;
  }

 private:
  std::size_t writeLimit_ = 0;
  std::size_t written_ = 0;
  int writeError_ = 0;
  int syncError_ = 0;
  int renameError_ = 0;
  int folderSyncError_ = 0;
  int folderCloseError_ = 0;
  int renames_ = 0;
};

}  // namespace hmr
