// SPDX-License-Identifier: MIT
#include "setup/DesktopAssociation.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/UserFolders.h"
#include "setup/ToolRun.h"

namespace hmr {
namespace {

namespace fs = std::filesystem;

constexpr const char* kMimePackage = R"(<?xml version="1.0" encoding="UTF-8"?>
<mime-info xmlns="http://www.freedesktop.org/standards/shared-mime-info">
  <mime-type type="application/x-hmr-data">
    <comment>HMR data file</comment>
    <generic-icon name="hmr-viewer"/>
    <glob pattern="*.HMR" case-sensitive="true"/>
    <glob pattern="*.hmr" case-sensitive="true"/>
  </mime-type>
</mime-info>
)";

// The product's picture: a clock face over a document, in the product's blue.
constexpr const char* kIcon = R"(<?xml version="1.0" encoding="UTF-8"?>
<svg xmlns="http://www.w3.org/2000/svg" width="64" height="64" viewBox="0 0 64 64">
  <path d="M12 4h28l12 12v44H12z" fill="#f4f6fa" stroke="#2a4f8f" stroke-width="3"/>
  <path d="M40 4v12h12" fill="none" stroke="#2a4f8f" stroke-width="3"/>
  <circle cx="32" cy="38" r="14" fill="#2a6fd6" stroke="#1c3f7a" stroke-width="2"/>
  <path d="M32 28v10l7 5" fill="none" stroke="#ffffff" stroke-width="3" stroke-linecap="round"/>
</svg>
)";

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::string defaultDataHome() {
  if (std::string data = environment("XDG_DATA_HOME"); !data.empty() && data.front() == '/')
    return data;
  const std::string home = userHomeFolder();
  return home.empty() ? std::string() : home + "/.local/share";
}

// Writes `text` to `path` (creating its folders) unless it already holds exactly that.
// Returns "" or why it failed.
std::string writeFile(const fs::path& path, const std::string& text) {
  std::error_code error;
  fs::create_directories(path.parent_path(), error);
  if (error) return "cannot create " + path.parent_path().string() + ": " + error.message();
  {
    std::ifstream in(path, std::ios::binary);
    const std::string old{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.good() || in.eof())
      if (old == text) return {};
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) return "cannot write " + path.string() + ": " + std::strerror(errno);
  return {};
}

// A desktop entry's string value: backslashes doubled.
std::string escapeValue(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\') out += '\\';
    out += c;
  }
  return out;
}

std::string desktopEntry(const std::string& viewerPath) {
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=HMR Viewer\n"
         "GenericName=Time tracking history\n"
         "Comment=Show the work sessions recorded in an HMR data file\n"
         "Exec=" + escapeValue(desktopExecProgram(viewerPath)) + " %f\n"
         "Icon=hmr-viewer\n"
         "Terminal=false\n"
         "MimeType=" + std::string(HmrMimeType) + ";\n"
         "Categories=Development;\n";
}

}  // namespace

std::vector<DesktopFile> desktopFiles(const std::string& viewerPath) {
  return {{"mime/packages/hmr.xml", kMimePackage},
          {std::string("applications/") + ViewerDesktopEntry, desktopEntry(viewerPath)},
          {"icons/hicolor/scalable/apps/hmr-viewer.svg", kIcon}};
}

std::string desktopExecProgram(const std::string& path) {
  static constexpr std::string_view reserved = " \t\n\"'\\><~|&;$*?#()`";
  if (path.find_first_of(reserved) == std::string::npos) return path;
  std::string quoted = "\"";
  for (char c : path) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

FreedesktopAssociation::FreedesktopAssociation(std::string dataHome)
    : dataHome_(dataHome.empty() ? defaultDataHome() : std::move(dataHome)) {}

std::string FreedesktopAssociation::associate(const std::string& viewerPath,
                                              InstallerOutput& output) {
  if (dataHome_.empty()) {
    output.reportProblem("no data folder for the desktop (neither XDG_DATA_HOME nor HOME)");
    return "HMR data files are not associated with the viewer on this desktop: there is no "
           "data folder.";
  }
  const fs::path data = dataHome_;
  std::vector<std::string> failures;
  const auto note = [&](const std::string& failure) {
    if (failure.empty()) return;
    output.reportProblem(failure);
    failures.push_back(failure);
  };
  for (const DesktopFile& file : desktopFiles(viewerPath))
    note(writeFile(data / file.path, file.text));
  note(runTool({"update-mime-database", (data / "mime").string()}));
  note(runTool({"update-desktop-database", (data / "applications").string()}));
  note(runTool({"xdg-mime", "default", ViewerDesktopEntry, HmrMimeType}));
  if (failures.empty())
    return "HMR data files (.HMR) now open with " + viewerPath + " on this desktop.";
  std::string sentence = "HMR data files are only partly associated with the viewer on this "
                         "desktop: ";
  for (std::size_t i = 0; i < failures.size(); ++i)
    sentence += (i == 0 ? "" : "; ") + failures[i];
  return sentence + ".";
}

}  // namespace hmr
