// SPDX-License-Identifier: MIT
// The seam through which data files are written: "replace this file's contents atomically".
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/InstalledService.h"

namespace hmr {

// Replaces whole files so that a reader (or a crash, or a full disk) never meets a mix of old
// and new contents: afterwards the file holds either exactly its previous contents or exactly
// the new ones.
//
// Failure: replaceContents throws std::system_error whose what() is the system's reason
// (strerror text). When it throws, the previous file is left byte for byte as it was and no
// temporary file is left behind -- except for NotDurableError, below.
class FileWriter {
 public:
  // Whether a file name is one this program writes (it decides which leftovers are its own).
  using NameFilter = std::function<bool(std::string_view name)>;

  virtual ~FileWriter() = default;
  // Creates `path` holding `data`, or replaces its contents, keeping its permission bits.
  virtual void replaceContents(const std::string& path, std::string_view data) = 0;
  // Removes from `folder` what replacements of files whose names `ours` accepts left behind
  // when their process was killed half way, and nothing else. Best effort: never fails. A
  // writer that leaves nothing behind has nothing to do.
  virtual void removeLeftovers(const std::string& folder, const NameFilter& ours) {
    (void)folder;
    (void)ours;
  }
};

// The new contents are in place under the file's name, but the system did not confirm that
// the replacement reached the disk (flushing the folder failed): a crash of the machine may
// still bring the old contents back.
class NotDurableError : public std::system_error {
 public:
  using std::system_error::system_error;
};

// The writer in use. Never null: a LinuxFileWriter that syncs to disk until another one is
// installed.
FileWriter& currentFileWriter();

// Installs `writer` (not owned; must outlive its installation) and returns the previous one.
// Passing nullptr restores the default writer.
FileWriter* installFileWriter(FileWriter* writer);

using ScopedFileWriter = ScopedInstall<FileWriter, installFileWriter>;

}  // namespace hmr
