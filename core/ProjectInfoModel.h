// SPDX-License-Identifier: MIT
// The rules of the tracker dialog's Project Info page: the selected project's idle threshold
// and minimum work time, edited in whole minutes, reach the project only when the page is
// left, another node is selected, the project is closed or the dialog closes. Raising the
// minimum drops the recorded sessions shorter than it, so it is confirmed first.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

namespace hmr {

class THMRProject;

class ProjectInfoModel final {
 public:
  // What the two spin boxes show, in whole minutes.
  struct Minutes {
    std::int32_t idle = 0;
    std::int32_t minimum = 0;
  };
  // Asked before the minimum is raised; true allows it.
  using ConfirmRaise = std::function<bool()>;

  // The spin boxes' range, in minutes.
  static constexpr std::int32_t MinMinutes = 1;
  static constexpr std::int32_t MaxMinutes = 60;

  // A number of seconds as whole minutes, halves to the even neighbour (150 s show as 2),
  // within the spin boxes' range.
  static std::int32_t minutesShown(std::int64_t seconds);
  // What "Restore Default" puts in the spin boxes: 5 and 1.
  static Minutes defaults();

  // The page now edits `project` (not owned; null: none). Returns what its spin boxes show,
  // which is also what a commit leaves alone (null: the spin boxes keep their values).
  std::optional<Minutes> show(THMRProject* project);
  THMRProject* project() const { return project_; }
  // What the spin boxes showed for the project, as far as a commit left it.
  const Minutes& shown() const { return shown_; }

  // A spin box changed (the user's edit, or a value the dialog put there).
  void edited() { changed_ = true; }
  bool changed() const { return changed_; }
  // Nothing counts as changed any more (a new selection has been shown).
  void forgetChanges() { changed_ = false; }
  // The page became the active one, its minimum spin box showing `minimum`.
  void entered(std::int32_t minimum);

  // Commits what the spin boxes show to the project (nothing without one). A spin box still
  // showing what the project gave it changes nothing: its value is the project's own rounded
  // to minutes, and writing it back would change the project (or ask about its minimum)
  // without the user having asked for anything. A change sets the project's Modified flag.
  // A raised minimum is applied only when `confirm` allows it; otherwise the project keeps
  // its minimum, and the minutes the minimum spin box must show again are returned (its
  // value when the page was entered or the project shown, whichever came later).
  std::optional<std::int32_t> commit(Minutes shown, const ConfirmRaise& confirm);

 private:
  THMRProject* project_ = nullptr;
  bool changed_ = false;
  std::int32_t minimumOnEntry_ = 0;
  Minutes shown_;  // what show() put in the spin boxes, or what a commit applied since
};

}  // namespace hmr
