// SPDX-License-Identifier: MIT
// Runs one of our programs from a test and collects what it printed and how it ended.
#pragma once

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace hmr::test_support {

struct ProgramRun {
  int status = -1;  // the exit status; -1 when the program did not end normally
  std::string out;  // standard output
  std::string err;  // standard error
  bool timedOut = false;  // killed for running past its time limit
};

inline std::string readWholeFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct RunOptions {
  // The program is killed when it has not ended by then (0: no limit), so that a test of a
  // program that hangs fails instead of hanging itself.
  std::chrono::milliseconds limit{0};
  // Where standard output goes instead of being collected, e.g. "/dev/full".
  std::string standardOutput;
  // Runs the program as this account (user and group id) instead of the test's own; only a
  // test running as root can (see otherAccount). -1: as the test's own.
  uid_t user = static_cast<uid_t>(-1);
  gid_t group = static_cast<gid_t>(-1);
};

// The account a test running as root lends its programs to play another user ("nobody");
// false when the test does not run as root or there is no such account.
inline bool otherAccount(uid_t& user, gid_t& group) {
  if (geteuid() != 0) return false;
  const passwd* account = getpwnam("nobody");
  if (!account || account->pw_uid == 0) return false;
  user = account->pw_uid;
  group = account->pw_gid;
  return true;
}

// Runs `program` with `args` in the test's environment, its output going to files in `scratch`
// (which must exist). Standard input is /dev/null.
inline ProgramRun runProgram(const std::string& program, const std::vector<std::string>& args,
                             const std::filesystem::path& scratch,
                             const RunOptions& options = {}) {
  const std::string outFile = options.standardOutput.empty()
                                  ? (scratch / "run.out").string()
                                  : options.standardOutput;
  const std::string errFile = (scratch / "run.err").string();
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    const int in = open("/dev/null", O_RDONLY);
    const int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0)
      _exit(126);
    if (options.user != static_cast<uid_t>(-1) &&
        (setgroups(0, nullptr) != 0 || setgid(options.group) != 0 || setuid(options.user) != 0))
      _exit(125);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  ProgramRun run;
  int status = 0;
  pid_t ended = -1;
  if (pid > 0 && options.limit.count() == 0) {
    ended = waitpid(pid, &status, 0);
  } else if (pid > 0) {
    const auto deadline = std::chrono::steady_clock::now() + options.limit;
    while ((ended = waitpid(pid, &status, WNOHANG)) == 0) {
      if (std::chrono::steady_clock::now() >= deadline) {
        run.timedOut = true;
        kill(pid, SIGKILL);
        ended = waitpid(pid, &status, 0);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  if (ended == pid && WIFEXITED(status) && !run.timedOut) run.status = WEXITSTATUS(status);
  if (options.standardOutput.empty()) run.out = readWholeFile(outFile);
  run.err = readWholeFile(errFile);
  return run;
}

}  // namespace hmr::test_support
