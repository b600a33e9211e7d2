// SPDX-License-Identifier: MIT
// Where the installer tells the person who runs it how the installation went.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <utility>

namespace hmr {

class InstallerOutput {
 public:
  virtual ~InstallerOutput() = default;
  // The message box: one message with its title, shown once at the end of a run.
  virtual void showMessage(std::string_view title, std::string_view text) = 0;
  // A cause that the message does not tell (a settings store's error, for one).
  virtual void reportProblem(std::string_view text) = 0;
};

// A program without windows shows the message box on its standard output: the title on a line
// of its own, then the text as it is (its line breaks are CR LF), then a newline. Problems go
// to standard error, one per line after the program's name and ": ".
class ConsoleInstallerOutput final : public InstallerOutput {
 public:
  ConsoleInstallerOutput(std::ostream& out, std::ostream& err, std::string program)
      : out_(out), err_(err), program_(std::move(program)) {}
  void showMessage(std::string_view title, std::string_view text) override;
  void reportProblem(std::string_view text) override;

 private:
  std::ostream& out_;
  std::ostream& err_;
  std::string program_;
};

}  // namespace hmr
