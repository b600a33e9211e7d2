// SPDX-License-Identifier: MIT
// Atomic file replacement on Linux: temporary file in the same folder, fsync, rename, fsync
// of the folder.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/FileWriter.h"

namespace hmr {

// Writes the new contents to a temporary file beside the target (".<name>.tmp-<pid>-XXXXXX",
// the writer's process id in its name), gives it the target's permission bits (and, where
// allowed, its owner), flushes it to disk, renames it over the target and flushes the folder,
// so that the rename itself is durable. A symbolic link as the target is followed: the file
// it points to is replaced.
//
// Every failure before the rename removes the temporary file and leaves the target as it
// was. A failure after the rename (opening, flushing or closing the folder to flush it)
// throws NotDurableError: the target then already holds the new contents, only their
// durability is not confirmed.
//
// A process killed in the middle of a save cannot remove its temporary file; each save
// therefore first removes the temporaries of the same target whose writing process no longer
// runs on this machine, and removeLeftovers removes those of every target a filter accepts.
//
// The individual system calls are protected virtual steps so that tests can inject faults
// (a full disk, a failing rename) into the real sequence; each returns 0 or an errno value.
class LinuxFileWriter : public FileWriter {
 public:
  // Without `syncToDisk` the two fsync steps are skipped (benchmarks, scratch files).
  explicit LinuxFileWriter(bool syncToDisk = true) : syncToDisk_(syncToDisk) {}

  void replaceContents(const std::string& path, std::string_view data) final;
  // Removes the temporaries ".<name>.tmp-<pid>-XXXXXX" in `folder` whose <name> `ours`
  // accepts and whose process <pid> no longer runs on this machine. Temporaries of running
  // writers and every file of another name stay; a folder that cannot be listed is left.
  void removeLeftovers(const std::string& folder, const NameFilter& ours) final;

 protected:
  // Writes up to `size` bytes; `written` receives how many were written.
  virtual int writeSome(int fd, const char* data, std::size_t size, std::size_t& written);
  virtual int syncFile(int fd);
  virtual int renameFile(const std::string& from, const std::string& to);
  // Opens the folder, flushes it and closes it again (closeFolder).
  virtual int syncFolder(const std::string& folder);
  virtual int closeFolder(int fd);

 private:
  bool syncToDisk_;
};

}  // namespace hmr
