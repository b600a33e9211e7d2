// SPDX-License-Identifier: MIT
// `hmr git-setup [--global] [--check] [DIR]`: teaches git to merge data files with `hmr merge`
// and to show them as text with `hmr dump --textconv`: the attribute lines in .gitattributes
// (or the user's global attributes file) and the driver's config (repository or global).
#include <array>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "host/hmr/Commands.h"
#include "host/hmr/GitProgram.h"
#include "platform/FileRead.h"
#include "platform/FileWriter.h"
#include "platform/HmrError.h"
#include "platform/SystemFacts.h"

namespace hmr::cli {
namespace {

namespace fs = std::filesystem;

struct GitSetupOptions {
  bool global = false;
  bool check = false;
  std::string dir = ".";
};

// The attribute lines, one per extension a data file may have.
constexpr std::array<std::string_view, 2> kPatterns = {"*.HMR", "*.hmr"};
constexpr std::string_view kAttributes = "merge=hmr diff=hmr";
// An attributes file larger than this is no attributes file of a repository.
constexpr std::size_t kMaxAttributesFile = std::size_t{16} << 20;

struct ConfigValue {
  std::string key;
  std::string value;
  bool checked;  // --check reports it when missing (the name is a description only)
};

// The config that makes git use this very program, named by its absolute path.
std::vector<ConfigValue> wantedConfig() {
  const std::string self = currentSystemFacts().executablePath();
  if (self.empty()) throw HmrError("cannot tell where this hmr program lies (/proc/self/exe)");
  const std::string hmr = shellQuoted(self);
  return {{"merge.hmr.name", "HMR data files: the sessions of both sides", false},
          {"merge.hmr.driver", hmr + " merge %O %A %B --path %P", true},
          {"diff.hmr.textconv", hmr + " dump --textconv", true}};
}

[[noreturn]] void gitFailed(const std::string& what, const GitRun& run) {
  throw HmrError(what + ": " + (run.err.empty() ? "git ended with status " +
                                                       std::to_string(run.status)
                                                 : firstLine(run.err)));
}

// Where the settings go: the repository around DIR, or the user's global ones.
class Target {
 public:
  explicit Target(const GitSetupOptions& options) : options_(options) {
    if (options.global) {
      configArgs_ = {"config", "--global"};
      const GitRun file = runGit({"config", "--global", "--type=path", "--get",
                               "core.attributesFile"});
      attributesFile_ = file.status == 0 && !firstLine(file.out).empty()
                            ? firstLine(file.out)
                            : defaultGlobalAttributesFile();
      return;
    }
    const GitRun top = runGit({"-C", options.dir, "rev-parse", "--show-toplevel"});
    if (top.status != 0 || firstLine(top.out).empty())
      gitFailed(options.dir + " is not in a git work tree", top);
    attributesFile_ = firstLine(top.out) + "/.gitattributes";
    configArgs_ = {"-C", options.dir, "config", "--local"};
  }

  const std::string& attributesFile() const { return attributesFile_; }
  bool global() const { return options_.global; }
  const char* scope() const { return options_.global ? "global" : "repository"; }

  // The value of `key` in this scope (or, for `effective`, as git in DIR sees it); empty when
  // it is not set.
  std::string get(const std::string& key, bool effective = false) const {
    std::vector<std::string> args = configArgs_;
    if (effective && !options_.global) args = {"-C", options_.dir, "config"};
    args.insert(args.end(), {"--get", key});
    const GitRun run = runGit(args);
    if (run.status == 1) return {};  // not set
    if (run.status != 0) gitFailed("cannot read " + key, run);
    return firstLine(run.out);
  }

  void set(const ConfigValue& value) const {
    std::vector<std::string> args = configArgs_;
    args.insert(args.end(), {value.key, value.value});
    const GitRun run = runGit(args);
    if (run.status != 0) gitFailed("cannot set " + value.key, run);
  }

  // Whether git gives data files our attributes in DIR (from any attributes file). The
  // global scope has no repository to ask and reads its attributes file instead.
  bool hasAttributes(std::string_view pattern) const {
    if (options_.global) return fileHasLine(readAttributes(), pattern);
    const std::string probe = "probe" + std::string(pattern.substr(1));
    const GitRun run = runGit({"-C", options_.dir, "check-attr", "merge", "diff", "--", probe});
    if (run.status != 0) gitFailed("cannot ask git for the attributes of " + probe, run);
    return run.out.find(probe + ": merge: hmr\n") != std::string::npos &&
           run.out.find(probe + ": diff: hmr\n") != std::string::npos;
  }

  // The attributes file's text ("" when it does not exist).
  std::string readAttributes() const {
    if (!pathExists(attributesFile_)) return {};
    try {
      return readWholeFile(attributesFile_, kMaxAttributesFile);
    } catch (const std::exception& e) {
      throw HmrError("cannot read " + attributesFile_ + " : " + e.what());
    }
  }

  // True when a line of `text` gives `pattern` both of our attributes.
  static bool fileHasLine(const std::string& text, std::string_view pattern) {
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
      std::istringstream words(line);
      std::string first, word;
      if (!(words >> first) || first != pattern) continue;
      bool merge = false, diff = false;
      while (words >> word) {
        merge = merge || word == "merge=hmr";
        diff = diff || word == "diff=hmr";
      }
      if (merge && diff) return true;
    }
    return false;
  }

 private:
  // git's own default: $XDG_CONFIG_HOME/git/attributes, else ~/.config/git/attributes.
  static std::string defaultGlobalAttributesFile() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg) return std::string(xdg) + "/git/attributes";
    const char* home = std::getenv("HOME");
    if (!home || !*home) throw HmrError("no HOME, so no global git attributes file");
    return std::string(home) + "/.config/git/attributes";
  }

  const GitSetupOptions& options_;
  std::vector<std::string> configArgs_;
  std::string attributesFile_;
};

int check(const Target& target) {
  bool complete = true;
  const auto report = [&](bool ok, const std::string& what) {
    std::cout << (ok ? "ok: " : "missing: ") << what << "\n";
    complete = complete && ok;
  };
  for (std::string_view pattern : kPatterns)
    report(target.hasAttributes(pattern),
           "attributes \"" + std::string(pattern) + " " + std::string(kAttributes) + "\"" +
               (target.global() ? " in " + target.attributesFile() : ""));
  for (const ConfigValue& wanted : wantedConfig()) {
    if (!wanted.checked) continue;
    const std::string value = target.get(wanted.key, true);
    if (value == wanted.value) {
      report(true, wanted.key);
    } else {
      report(false, wanted.key + " = " + wanted.value +
                        (value.empty() ? "" : " (it is " + value + ")"));
    }
  }
  std::cout.flush();
  return complete ? 0 : 1;
}

int setup(const Target& target) {
  const std::string file = target.attributesFile();
  std::string text = target.readAttributes();
  const std::size_t before = text.size();
  for (std::string_view pattern : kPatterns) {
    if (Target::fileHasLine(text, pattern)) continue;
    if (!text.empty() && text.back() != '\n') text += '\n';
    const std::string line = std::string(pattern) + " " + std::string(kAttributes);
    text += line + "\n";
    std::cout << file << ": added \"" << line << "\"\n";
  }
  if (text.size() != before) {
    try {
      std::error_code ignored;
      fs::create_directories(fs::path(file).parent_path(), ignored);
      currentFileWriter().replaceContents(file, text);
    } catch (const std::exception& e) {
      throw HmrError("cannot write " + file + " : " + e.what());
    }
  }
  bool changed = text.size() != before;
  for (const ConfigValue& wanted : wantedConfig()) {
    if (target.get(wanted.key) == wanted.value) continue;
    target.set(wanted);
    std::cout << "git config (" << target.scope() << "): " << wanted.key << " = "
              << wanted.value << "\n";
    changed = true;
  }
  if (!changed) {
    std::cout << "Nothing to do: git already merges and shows data files with this hmr.\n";
  } else if (text.size() != before && !target.global()) {
    std::cout << "Commit " << file << " so that every clone marks data files; the config is "
              << "not committed: each clone runs `hmr git-setup` once (or each user `hmr "
              << "git-setup --global`).\n";
  }
  std::cout.flush();
  return 0;
}

int gitSetup(const GitSetupOptions& options) {
  try {
    const Target target(options);
    return options.check ? check(target) : setup(target);
  } catch (const HmrError& e) {
    std::cerr << "hmr git-setup: " << e.what() << "\n";
    return 1;
  }
}

}  // namespace

void addGitSetupCommand(CLI::App& app, int& status) {
  auto options = std::make_shared<GitSetupOptions>();
  CLI::App* cmd = app.add_subcommand(
      "git-setup",
      "Teach git to merge data files (.HMR, .hmr) with `hmr merge` and to show them as lines of "
      "text with `hmr dump --textconv` in git diff, git log -p and git show: adds the lines "
      "\"*.HMR merge=hmr diff=hmr\" and \"*.hmr merge=hmr diff=hmr\" to the .gitattributes at "
      "the top of the repository around DIR (default: the current folder) and sets "
      "merge.hmr.driver, merge.hmr.name and diff.hmr.textconv in its config, naming this hmr "
      "by its absolute path. With --global the user's global git config and attributes file "
      "(core.attributesFile, else $XDG_CONFIG_HOME/git/attributes or "
      "~/.config/git/attributes) instead. Running it again changes nothing; other lines of the "
      "attributes file are kept.");
  cmd->add_flag("--global", options->global, "the user's global git config and attributes");
  cmd->add_flag("--check", options->check,
                "change nothing; say what is set and what is missing (exit status 1 when "
                "something is)");
  cmd->add_option("DIR", options->dir, "a folder in the repository (default: .)")
      ->excludes("--global");
  cmd->callback([&status, options] { status = gitSetup(*options); });
}

}  // namespace hmr::cli
