// SPDX-License-Identifier: MIT
// libFuzzer target: the merge of three data files (`hmr merge BASE OURS THEIRS`) on arbitrary
// bytes. The input holds the three files one after the other, separated by kSeparator; a
// missing part is an empty file.
//
// Each input is merged twice: as it is, and with every part's last four bytes replaced by its
// right checksum, so that mutations reach the layout checks and the merge itself. The files go
// to a folder of this process; the result goes to a writer that only records it. What must
// hold: a merge that fails wrote nothing; one that succeeds wrote once, over OURS, a file that
// reads, ordered by open time, holding every session either side added, and the same sessions
// with the sides swapped.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/ByteCoding.h"
#include "core/DataFileMerge.h"
#include "core/HMRFileFormat.h"
#include "core/HMRMerge.h"
#include "core/uHMRGlobal.h"
#include "platform/FileWriter.h"
#include "platform/HmrError.h"

namespace {

constexpr std::string_view kSeparator = "\n--hmr-merge-side--\n";

// Keeps what would have been written, and writes nothing.
class RecordingWriter final : public hmr::FileWriter {
 public:
  void replaceContents(const std::string& path, std::string_view data) override {
    writes.emplace_back(path, std::string(data));
  }
  std::vector<std::pair<std::string, std::string>> writes;
};

// In memory where the system offers it (tmpfs): the files are rewritten at every run.
char folder[] = "/dev/shm/hmr-fuzz-merge-XXXXXX";
char fallback[] = "/tmp/hmr-fuzz-merge-XXXXXX";
char* made = nullptr;

void removeFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(made, ignored);
}

const std::string& folderPath() {
  static const std::string path = [] {
    made = mkdtemp(folder);
    if (!made) made = mkdtemp(fallback);
    if (!made) std::abort();
    std::atexit(removeFolder);
    return std::string(made);
  }();
  return path;
}

// A new file each time: rewriting one in place makes some file systems flush it.
std::string writeFile(const char* name, std::string_view bytes) {
  const std::string path = folderPath() + "/" + name;
  ::unlink(path.c_str());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out.flush()) std::abort();
  return path;
}

std::vector<std::string> split(std::string_view input) {
  std::vector<std::string> parts;
  while (parts.size() < 2) {
    const std::size_t at = input.find(kSeparator);
    if (at == std::string_view::npos) break;
    parts.emplace_back(input.substr(0, at));
    input.remove_prefix(at + kSeparator.size());
  }
  parts.emplace_back(input);
  parts.resize(3);
  return parts;
}

std::string sealed(std::string part) {
  if (part.size() < 4 || part.size() > 0x7FFFFFFF) return part;
  const auto body = static_cast<std::int32_t>(part.size() - 4);
  hmr::encodeInt32(part.data() + body, hmr::CalculateCRC(part.data(), body));
  return part;
}

using Identity = std::pair<std::int64_t, std::string>;

std::map<Identity, std::size_t> identities(const hmr::HmrFileContents& c) {
  std::map<Identity, std::size_t> out;
  for (const auto& s : c.sessions)
    ++out[{hmr::ConvertDateTimeToSeconds(s.SessionDateTimeOpen), s.SessionUserName}];
  return out;
}

hmr::HmrFileContents decoded(const std::string& image) {
  hmr::HmrFileContents c;
  if (!image.empty()) hmr::decodeHmrFile(image, c);  // read by the merge already: no error
  return c;
}

void mergeOnce(const std::vector<std::string>& parts) {
  const std::string base = writeFile("base", parts[0]);
  const std::string ours = writeFile("ours", parts[1]);
  const std::string theirs = writeFile("theirs", parts[2]);
  RecordingWriter writer;
  hmr::ScopedFileWriter use(writer);
  try {
    hmr::mergeDataFiles(base, ours, theirs);
  } catch (const hmr::HmrError&) {
    if (!writer.writes.empty()) std::abort();  // a failed merge must not write
    return;
  }
  if (writer.writes.size() != 1 || writer.writes[0].first != ours) std::abort();

  hmr::HmrFileContents result;
  hmr::decodeHmrFile(writer.writes[0].second, result);  // an error here escapes: reported
  const hmr::HmrFileContents b = decoded(parts[0]), o = decoded(parts[1]), t = decoded(parts[2]);
  const auto inBase = identities(b), inResult = identities(result);
  for (const auto* side : {&o, &t}) {
    for (const auto& [id, count] : identities(*side)) {
      const auto found = inBase.find(id);
      const std::size_t common = found == inBase.end() ? 0 : found->second;
      const std::size_t added = count - std::min(count, common);
      const auto kept = inResult.find(id);
      if (added > 0 && (kept == inResult.end() || kept->second < added)) std::abort();
    }
  }
  if (!std::is_sorted(result.sessions.begin(), result.sessions.end(),
                      [](const auto& x, const auto& y) {
                        return hmr::ConvertDateTimeToSeconds(x.SessionDateTimeOpen) <
                               hmr::ConvertDateTimeToSeconds(y.SessionDateTimeOpen);
                      }))
    std::abort();
  const hmr::MergedHistory swapped = hmr::mergeHistories(b, t, o);
  if (swapped.sessions.size() != result.sessions.size()) std::abort();
  for (std::size_t i = 0; i < result.sessions.size(); ++i) {
    const hmr::TSessionData &x = result.sessions[i], &y = swapped.sessions[i];
    if (x.SessionDateTimeOpen != y.SessionDateTimeOpen ||
        x.SessionDateTimeClose != y.SessionDateTimeClose ||
        x.SessionNotClosed != y.SessionNotClosed || x.SessionIdleTime != y.SessionIdleTime ||
        x.SessionUserName != y.SessionUserName)
      std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::string> parts =
      split(std::string_view(reinterpret_cast<const char*>(data), size));
  mergeOnce(parts);
  std::vector<std::string> fixed;
  for (const std::string& part : parts) fixed.push_back(sealed(part));
  if (fixed != parts) mergeOnce(fixed);
  return 0;
}
