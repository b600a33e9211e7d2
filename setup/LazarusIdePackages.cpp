// SPDX-License-Identifier: MIT
#include "setup/LazarusIdePackages.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/HmrError.h"

namespace hmr {
namespace {

namespace fs = std::filesystem;

char lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool isNameCharacter(unsigned char c) {
  return std::isalnum(c) || c == '_' || c == '.';
}

// The quoted constants passed to every call of `routine` in `text` (its lower-case copy is
// `lowered`), in their order: routine('Name', ...).
std::vector<std::string> constantArguments(const std::string& text, const std::string& lowered,
                                           std::string_view routine) {
  std::vector<std::string> names;
  const std::string call = std::string(routine) + "(";
  for (std::size_t at = lowered.find(call); at != std::string::npos;
       at = lowered.find(call, at + 1)) {
    // A whole word: not the tail of a longer name.
    if (at > 0 && isNameCharacter(static_cast<unsigned char>(lowered[at - 1]))) continue;
    std::size_t p = at + call.size();
    while (p < text.size() && std::isspace(static_cast<unsigned char>(text[p]))) ++p;
    if (p >= text.size() || text[p] != '\'') continue;
    const std::size_t end = text.find('\'', p + 1);
    if (end == std::string::npos || end == p + 1) continue;
    const std::string name = text.substr(p + 1, end - p - 1);
    if (std::all_of(name.begin(), name.end(),
                    [](char c) { return isNameCharacter(static_cast<unsigned char>(c)); }))
      names.push_back(name);
  }
  return names;
}

std::string readSource(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A read-only view of a whole file.
class MappedFile {
 public:
  explicit MappedFile(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) throw HmrError(path + ": " + std::strerror(errno));
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      close(fd);
      throw HmrError(path + ": not a regular file");
    }
    size_ = static_cast<std::size_t>(st.st_size);
    if (size_ > 0) {
      void* data = mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
      if (data == MAP_FAILED) {
        const int error = errno;
        close(fd);
        throw HmrError(path + ": " + std::strerror(error));
      }
      data_ = static_cast<const unsigned char*>(data);
    }
    close(fd);
  }
  ~MappedFile() {
    if (data_) munmap(const_cast<unsigned char*>(data_), size_);
  }
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  const unsigned char* data() const { return data_; }
  std::size_t size() const { return size_; }

 private:
  const unsigned char* data_ = nullptr;
  std::size_t size_ = 0;
};

std::uint64_t readCount(const unsigned char* p, std::size_t width, bool bigEndian) {
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < width; ++i) {
    const std::size_t byte = bigEndian ? i : width - 1 - i;
    value = (value << 8) | p[byte];
  }
  return value;
}

}  // namespace

std::vector<RegisteringPackage> registeringPackages(const std::string& folder) {
  const fs::path components = folder;
  std::error_code error;
  if (!fs::is_directory(components, error))
    throw HmrError(components.string() + ": not a folder of Lazarus packages");
  std::vector<RegisteringPackage> packages;
  std::set<std::string> scannedFolders;
  fs::recursive_directory_iterator it(components,
                                      fs::directory_options::skip_permission_denied, error);
  if (error) throw HmrError(components.string() + ": " + error.message());
  for (; it != fs::recursive_directory_iterator(); it.increment(error)) {
    if (error) throw HmrError(components.string() + ": " + error.message());
    const fs::directory_entry& entry = *it;
    if (entry.is_directory(error)) {
      const std::string name = entry.path().filename().string();
      if (name == "lib" || name == "units") it.disable_recursion_pending();
      continue;
    }
    // A package's main unit lies beside its package file (x.lpk), mostly as x.pas.
    if (entry.path().extension() != ".lpk") continue;
    const fs::path packageFolder = entry.path().parent_path();
    if (!scannedFolders.insert(packageFolder.string()).second) continue;
    for (const fs::directory_entry& file : fs::directory_iterator(packageFolder, error)) {
      const std::string extension = file.path().extension().string();
      if ((extension != ".pas" && extension != ".pp") || !file.is_regular_file(error) ||
          file.file_size(error) > (1u << 20))
        continue;
      const std::string text = readSource(file.path());
      std::string lowered(text.size(), '\0');
      std::transform(text.begin(), text.end(), lowered.begin(), lower);
      if (lowered.find("registerpackage") == std::string::npos) continue;
      const std::vector<std::string> own = constantArguments(text, lowered, "registerpackage");
      if (own.empty()) continue;
      RegisteringPackage package{own.front(), {own.front()}};
      for (std::string& name : constantArguments(text, lowered, "registerunit"))
        package.registeredNames.push_back(std::move(name));
      packages.push_back(std::move(package));
    }
  }
  // The same order on every machine, whatever order the folder lists its files in.
  std::sort(packages.begin(), packages.end(),
            [](const RegisteringPackage& a, const RegisteringPackage& b) {
              return a.name != b.name ? a.name < b.name : a.registeredNames < b.registeredNames;
            });
  return packages;
}

std::set<std::string> programStringConstants(const std::string& programPath) {
  const MappedFile program(programPath);
  const unsigned char* data = program.data();
  const std::size_t size = program.size();
  static constexpr std::array<unsigned char, 4> elf = {0x7f, 'E', 'L', 'F'};
  if (size < 16 || !std::equal(elf.begin(), elf.end(), data))
    throw HmrError(programPath + ": not a program (no ELF header)");
  // A pointer's width and the byte order, from the ELF identification.
  const std::size_t width = data[4] == 2 ? 8 : 4;
  const bool bigEndian = data[5] == 2;

  std::set<std::string> constants;
  std::size_t i = 0;
  while (i < size) {
    const void* found = std::memchr(data + i, 0xff, size - i);
    if (!found) break;
    i = static_cast<std::size_t>(static_cast<const unsigned char*>(found) - data);
    std::size_t run = 0;
    while (i + run < size && data[i + run] == 0xff) ++run;
    // The last `width` bytes of the run are a reference count of -1; the length follows.
    const std::size_t lengthAt = i + run;
    i += run;
    if (run < width || lengthAt + width > size) continue;
    const std::uint64_t length = readCount(data + lengthAt, width, bigEndian);
    const std::size_t textAt = lengthAt + width;
    if (length == 0 || length > 255 || textAt + length >= size || data[textAt + length] != 0)
      continue;
    if (!std::all_of(data + textAt, data + textAt + length, isNameCharacter)) continue;
    constants.emplace(reinterpret_cast<const char*>(data + textAt), length);
  }
  return constants;
}

std::vector<std::string> packagesIn(const std::vector<RegisteringPackage>& packages,
                                    const std::set<std::string>& constants) {
  std::vector<std::string> names;
  for (const RegisteringPackage& package : packages) {
    const bool compiledIn =
        std::all_of(package.registeredNames.begin(), package.registeredNames.end(),
                    [&](const std::string& name) { return constants.count(name) > 0; });
    const bool listed = std::any_of(names.begin(), names.end(), [&](const std::string& name) {
      return samePackageName(name, package.name);
    });
    if (compiledIn && !listed) names.push_back(package.name);
  }
  return names;
}

bool samePackageName(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lower(x) == lower(y); });
}

bool isBaseIdePackage(std::string_view name) {
  static constexpr std::array<std::string_view, 12> base = {
      "FCL",       "LazUtils",     "LCLBase",          "LCL",
      "SynEdit",   "BuildIntf",    "IDEIntf",          "DebuggerIntf",
      "LazDebuggerGdbmi", "LazControls", "CodeTools", "LazControlDsgn"};
  return std::any_of(base.begin(), base.end(),
                     [&](std::string_view b) { return samePackageName(b, name); });
}

}  // namespace hmr
