// SPDX-License-Identifier: MIT
// hmr-demo: one tracked project on a virtual clock, from opening to closing, with the
// figures HMR records for its session.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>

#include "core/uHMRGlobal.h"
#include "core/uHMRProject.h"
#include "core/uHMRTimer.h"
#include "platform/Clock.h"
#include "platform/PeriodicTimer.h"
#include "platform/VirtualTime.h"

namespace {

using namespace hmr;

const char* stateName(THMRState s) {
  switch (s) {
    case hmClosed: return "closed";
    case hmOpen: return "open";
    case hmIdle: return "idle";
  }
  return "?";
}

void printSession(const TSessionData& s) {
  std::printf("  open %s  close %s  idle %lld s  total %lld s  work %lld s%s\n",
              formatIsoDateTime(s.SessionDateTimeOpen).c_str(),
              formatIsoDateTime(s.SessionDateTimeClose).c_str(),
              static_cast<long long>(s.SessionIdleTime),
              static_cast<long long>(s.SessionTotalTime),
              static_cast<long long>(s.SessionWorkTime),
              s.SessionNotClosed ? "  (running)" : "");
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "hmr-demo: follows one project on a virtual clock (opened, edited, left idle past its "
      "threshold, edited again, closed) and prints the session HMR records"};
  std::string folder;
  app.add_option("--folder", folder, "Folder for the demo project (default: a temporary one)");
  CLI11_PARSE(app, argc, argv);

  namespace fs = std::filesystem;
  if (folder.empty()) {
    std::string pattern = (fs::temp_directory_path() / "hmr-demo-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
      std::perror("hmr-demo: cannot create a temporary folder");
      return 1;
    }
    folder = pattern;
  }
  const std::string projectFile = (fs::path(folder) / "Demo.dpr").string();

  const TDateTime start = encodeDateTime(2026, 12, 7, 9, 0, 0);
  VirtualClock clock(start);
  ScopedClock useClock(clock);
  auto timer = std::make_unique<ManualTimer>();
  ManualTimer& ticks = *timer;
  ScopedTimerGlobal timerService(std::move(timer));
  VirtualTime time(clock, ticks, start);

  try {
    THMRProject project;
    auto say = [&](const char* what) {
      std::printf("%s  %-44s state: %s\n", formatIsoDateTime(nowTrunc()).c_str(), what,
                  stateName(project.State));
    };
    project.ProjectOpened(projectFile, "Demo", true);
    project.SetCurrentUserName("demo");
    say("project Demo opened (idle threshold 300 s)");
    for (int minute = 0; minute < 10; ++minute) {
      time.advance(60);
      project.ActivityDetected();
    }
    say("edited once a minute for 10 minutes");
    time.advance(20 * 60);
    say("20 minutes without an edit");
    project.ActivityDetected();
    say("edited again");
    time.advance(4 * 60);
    project.ActivityDetected();
    time.advance(60);
    project.UpdateProject(false);
    say("the session as it stands before closing:");
    printSession(*project.getSessionData(project.getSessionCount() - 1));
    project.ProjectClosed();
    say("project closed");

    std::printf("\nData file: %s\n", (fs::path(folder) / "Demo.HMR").c_str());
    THMRProject reread;
    reread.ProjectOpened(projectFile, "", false);
    std::printf("Sessions read back from it: %d\n", reread.getSessionCount());
    for (int i = 0; i < reread.getSessionCount(); ++i) printSession(*reread.getSessionData(i));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "hmr-demo: %s\n", e.what());
    return 1;
  }
  return 0;
}
