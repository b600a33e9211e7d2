// SPDX-License-Identifier: MIT
#include "setup/ToolRun.h"

#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <sstream>

extern char** environ;

namespace hmr {
namespace {

// Where the tool's standard output and standard error go: a file opened with `flags`, or the
// write end of a pipe.
struct Outputs {
  std::string file = "/dev/null";
  int flags = O_WRONLY;
  int pipeWrite = -1;  // standard output only; standard error then goes to /dev/null
};

// Starts `argv` and waits for it; `whileRunning` reads the pipe before the wait.
std::string run(const std::vector<std::string>& argv, const Outputs& outputs,
                const std::function<void()>& whileRunning = {}) {
  if (argv.empty()) return "no program to run";
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (outputs.pipeWrite >= 0) {
    posix_spawn_file_actions_adddup2(&actions, outputs.pipeWrite, 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  } else {
    posix_spawn_file_actions_addopen(&actions, 1, outputs.file.c_str(), outputs.flags, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
  }
  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (outputs.pipeWrite >= 0) close(outputs.pipeWrite);
  if (spawned == ENOENT) return argv[0] + " was not found";
  if (spawned != 0) return argv[0] + " could not start: " + std::strerror(spawned);
  if (whileRunning) whileRunning();
  int status = 0;
  while (waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) return argv[0] + " was lost: " + std::strerror(errno);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return {};
  if (WIFEXITED(status) && WEXITSTATUS(status) == 127) return argv[0] + " was not found";
  return argv[0] + (WIFEXITED(status) ? " exited with status " + std::to_string(WEXITSTATUS(status))
                                      : std::string(" was killed"));
}

}  // namespace

std::string runTool(const std::vector<std::string>& argv) { return run(argv, Outputs{}); }

std::string runToolLogged(const std::vector<std::string>& argv, const std::string& logFile) {
  return run(argv, Outputs{logFile, O_WRONLY | O_CREAT | O_APPEND, -1});
}

std::optional<std::string> toolOutput(const std::vector<std::string>& argv) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return std::nullopt;
  std::string output;
  const int readEnd = fds[0];
  const std::string failure = run(argv, Outputs{"", 0, fds[1]}, [&] {
    char buffer[4096];
    for (;;) {
      const ssize_t n = read(readEnd, buffer, sizeof buffer);
      if (n > 0) {
        output.append(buffer, static_cast<std::size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        break;
      }
    }
  });
  close(readEnd);
  if (!failure.empty()) return std::nullopt;
  return output;
}

std::string findProgram(const std::string& program) {
  const auto resolved = [](const std::string& path) -> std::string {
    if (access(path.c_str(), X_OK) != 0) return {};
    char* real = realpath(path.c_str(), nullptr);
    if (!real) return {};
    std::string result(real);
    free(real);
    return result;
  };
  if (program.find('/') != std::string::npos) return resolved(program);
  const char* path = std::getenv("PATH");
  std::istringstream folders(path ? path : "/usr/bin:/bin");
  for (std::string folder; std::getline(folders, folder, ':');) {
    if (folder.empty()) folder = ".";
    if (std::string found = resolved(folder + "/" + program); !found.empty()) return found;
  }
  return {};
}

}  // namespace hmr
