// SPDX-License-Identifier: MIT
// `hmr dump` and `hmr check`, run as the real program on files in a temporary folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <limits>
#include <string>
#include <vector>

#include "core/HMRFileFormat.h"
#include "core/uHMRGlobal.h"
#include "host/hmr/Json.h"
#include "tests/support/TempFolder.h"
#include "tests/support/RunProgram.h"
#include "tests/support/Sessions.h"

namespace hmr {
namespace {

using test_support::ProgramRun;
using testing::TempFolder;
using testing::writeBytes;

const TDateTime kStart = encodeDateTime(2026, 12, 7, 9, 0, 0);

class DumpCheckTest : public ::testing::Test {
 protected:
  ProgramRun hmr(const std::vector<std::string>& args) {
    return test_support::runProgram(HMR_CLI_PATH, args, scratch_);
  }

  // A file with a long session, a 30-second one (below the minimum of 60) and a running one.
  std::string sampleFile() {
    std::vector<TSessionData> sessions;
    sessions.push_back(test_support::makeSession(kStart, 3600, 600, false, "anna"));
    sessions.push_back(test_support::makeSession(kStart + 1, 30, 0, false, "bert"));
    sessions.push_back(test_support::makeSession(kStart + 2, 120, 0, true, "J\xC3\xBCrgen \"JJ\"\\"));
    const std::string path = folder_.file("Demo.HMR");
    writeBytes(path, encodeHmrFile(300, 60, "Demo\tproject", sessions));
    return path;
  }

  TempFolder folder_;
  TempFolder scratchFolder_;
  std::filesystem::path scratch_ = scratchFolder_.path();
};

TEST_F(DumpCheckTest, DumpPrintsTheFileAsTheTrackerReadsIt) {
  const std::string path = sampleFile();
  const ProgramRun run = hmr({"dump", path});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out,
            "{\n  \"file\": " + cli::toJsonString(path) +
                ",\n  \"version\": 2,\n  \"time_for_idle\": 300,\n  \"minimum_work_time\": 60,"
                "\n  \"project_name\": \"Demo\\tproject\",\n  \"sessions\": [\n"
                "    {\"open\": \"2026-12-07T09:00:00\", \"close\": \"2026-12-07T10:00:00\", "
                "\"not_closed\": false, \"idle\": 600, \"total\": 3600, \"work\": 3000, "
                "\"user\": \"anna\"},\n"
                "    {\"open\": \"2026-12-09T09:00:00\", \"close\": \"2026-12-09T09:02:00\", "
                "\"not_closed\": true, \"idle\": 0, \"total\": 120, \"work\": 120, "
                "\"user\": \"J\xC3\xBCrgen \\\"JJ\\\"\\\\\"}\n  ]\n}\n");
}

TEST_F(DumpCheckTest, DumpRawShowsEveryStoredSession) {
  const ProgramRun run = hmr({"dump", "--raw", sampleFile()});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("\"user\": \"bert\""), std::string::npos);
  EXPECT_NE(run.out.find("\"total\": 30, \"work\": 30"), std::string::npos);
  const ProgramRun kept = hmr({"dump", sampleFile()});
  EXPECT_EQ(kept.out.find("bert"), std::string::npos);
}

TEST_F(DumpCheckTest, DumpOfAnEmptyFileListHasAnEmptyArray) {
  const std::string path = folder_.file("Empty.HMR");
  writeBytes(path, encodeHmrFile(120, 600, "", {}));
  const ProgramRun run = hmr({"dump", path});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("\"time_for_idle\": 120,\n  \"minimum_work_time\": 600,\n"
                         "  \"project_name\": \"\",\n  \"sessions\": []\n}\n"),
            std::string::npos);
}

TEST_F(DumpCheckTest, DumpOfACorruptedFileGivesTheReadMessageAndStatus1) {
  std::string bytes = encodeHmrFile(300, 60, "Demo", {});
  bytes[25] ^= 0x01;
  const std::string path = folder_.file("Bad.HMR");
  writeBytes(path, bytes);
  const ProgramRun run = hmr({"dump", path});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "Error reading HMR file " + path + " : HMR file is corrupted\n");
}

TEST_F(DumpCheckTest, DumpOfAMissingFileGivesTheSystemsReason) {
  const std::string path = folder_.path() + "/None.HMR";
  const ProgramRun run = hmr({"dump", path});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "Error reading HMR file " + path + " : No such file or directory\n");
}

TEST_F(DumpCheckTest, DumpTextPrintsOneLinePerSessionAsTheTrackerReadsIt) {
  const std::string path = sampleFile();
  const ProgramRun run = hmr({"dump", "--text", path});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out,
            "HMR data file version 2, project \"Demo\\tproject\"\n"
            "idle threshold 300 s, minimum work time 60 s\n"
            "2026-12-07T09:00:00 to 2026-12-07T10:00:00, work 0:50:00, idle 0:10:00, "
            "\"anna\"\n"
            "2026-12-09T09:00:00 to 2026-12-09T09:02:00, work 0:02:00, idle 0:00:00, "
            "\"J\xC3\xBCrgen \\\"JJ\\\"\\\\\", not closed\n");
  // --raw keeps the short session, marked; --textconv is the same text.
  const ProgramRun raw = hmr({"dump", "--text", "--raw", path});
  const std::string shortLine =
      "2026-12-08T09:00:00 to 2026-12-08T09:00:30, work 0:00:30, idle 0:00:00, \"bert\", "
      "below the minimum work time\n";
  EXPECT_NE(raw.out.find("\"anna\"\n" + shortLine + "2026-12-09"), std::string::npos);
  EXPECT_EQ(hmr({"dump", "--textconv", path}).out, raw.out);
}

TEST_F(DumpCheckTest, TextconvOfAFileThatDoesNotReadSaysSoAndSucceeds) {
  std::string bytes = encodeHmrFile(300, 60, "Demo", {});
  bytes[25] ^= 0x01;
  const std::string path = folder_.file("Bad.HMR");
  writeBytes(path, bytes);
  // For git: a failing text view would stop `git log -p` at this file.
  const ProgramRun textconv = hmr({"dump", "--textconv", path});
  EXPECT_EQ(textconv.status, 0);
  EXPECT_EQ(textconv.out, "not a readable HMR data file: Error reading HMR file " + path +
                              " : HMR file is corrupted\n");
  // For a person, it is an error.
  const ProgramRun text = hmr({"dump", "--text", path});
  EXPECT_EQ(text.status, 1);
  EXPECT_EQ(text.out, "");
  EXPECT_EQ(text.err, "Error reading HMR file " + path + " : HMR file is corrupted\n");
}

TEST_F(DumpCheckTest, CheckReportsEveryFileAndFailsWhenOneDoesNotRead) {
  const std::string good = sampleFile();
  const std::string bad = folder_.file("Short.HMR");
  writeBytes(bad, std::string("\x02\0\0", 3));
  ProgramRun run = hmr({"check", good, bad, good});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, good + ": ok, 2 sessions\n" + good + ": ok, 2 sessions\n");
  EXPECT_EQ(run.err, "Error reading HMR file " + bad + " : HMR file is corrupted\n");
  run = hmr({"check", good});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
}

TEST_F(DumpCheckTest, UsageErrorsExit2AndHelpIsOffered) {
  EXPECT_EQ(hmr({"dump"}).status, 2);
  EXPECT_EQ(hmr({"check"}).status, 2);
  EXPECT_EQ(hmr({"dump", "--bogus", "x"}).status, 2);
  for (const char* command : {"dump", "check"}) {
    const ProgramRun help = hmr({command, "--help"});
    EXPECT_EQ(help.status, 0) << command;
    EXPECT_NE(help.out.find("Usage:"), std::string::npos) << command;
  }
  EXPECT_NE(hmr({"--help"}).out.find("dump"), std::string::npos);
}

TEST(JsonString, EscapesAndKeepsTheOutputValidUtf8) {
  EXPECT_EQ(cli::toJsonString("a\"b\\c\n\x01\x1f\x7f"), "\"a\\\"b\\\\c\\n\\u0001\\u001f\x7f\"");
  EXPECT_EQ(cli::toJsonString("\xE2\x82\xAC \xF0\x9F\x98\x80"),
            "\"\xE2\x82\xAC \xF0\x9F\x98\x80\"");
  // A Latin-1 byte, a cut-off sequence, an overlong form and a surrogate are replaced.
  EXPECT_EQ(cli::toJsonString("M\xFCller"), "\"M\xEF\xBF\xBDller\"");
  EXPECT_EQ(cli::toJsonString("\xE2\x82"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\"");
  EXPECT_EQ(cli::toJsonString("\xC0\xAF"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\"");
  EXPECT_EQ(cli::toJsonString("\xED\xA0\x80"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"");
}

TEST(JsonString, PlainRunsBetweenEscapesStayWhole) {
  EXPECT_EQ(cli::toJsonString(""), "\"\"");
  EXPECT_EQ(cli::toJsonString("\"plain text\"\n"), "\"\\\"plain text\\\"\\n\"");
  EXPECT_EQ(cli::toJsonString("ann \xC3\xA9\tbob\x7f"), "\"ann \xC3\xA9\\tbob\x7f\"");
  const std::string longName(300, 'n');
  EXPECT_EQ(cli::toJsonString(longName + "\\" + longName),
            "\"" + longName + "\\\\" + longName + "\"");
  std::string out = "{\"user\": ";
  cli::appendJsonString(out, "x");
  EXPECT_EQ(out, "{\"user\": \"x\"");
}

TEST(JsonNumber, DecimalDigitsWithSignAtTheEdges) {
  std::string out = "[";
  for (const std::int64_t value : {std::int64_t{0}, std::int64_t{-1}, std::int64_t{86400},
                                   std::numeric_limits<std::int64_t>::max(),
                                   std::numeric_limits<std::int64_t>::min()}) {
    cli::appendJsonNumber(out, value);
    out += ',';
  }
  EXPECT_EQ(out, "[0,-1,86400,9223372036854775807,-9223372036854775808,");
}

}  // namespace
}  // namespace hmr
