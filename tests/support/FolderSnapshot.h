// SPDX-License-Identifier: MIT
// What a folder holds, to show that a program run wrote nothing there.
#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

namespace hmr::test_support {

// Every entry below `root` by its relative path: its kind, its permissions and, for a regular
// file, its size and (up to 1 MiB) its bytes. Links are recorded, not followed; FIFOs and
// devices are never opened.
inline std::map<std::string, std::string> snapshotFolder(const std::filesystem::path& root) {
  namespace fs = std::filesystem;
  std::map<std::string, std::string> entries;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
       ++it) {
    const fs::path& path = it->path();
    struct stat st {};
    ::lstat(path.c_str(), &st);
    std::string what = std::to_string(st.st_mode) + " ";
    if (S_ISLNK(st.st_mode)) {
      what += "link to " + fs::read_symlink(path).string();
    } else if (S_ISREG(st.st_mode)) {
      what += std::to_string(st.st_size) + " bytes";
      if (st.st_size <= (1 << 20)) {
        std::ifstream in(path, std::ios::binary);
        what += ": " + std::string(std::istreambuf_iterator<char>(in), {});
      }
    }
    entries[fs::relative(path, root).string()] = what;
  }
  return entries;
}

}  // namespace hmr::test_support
