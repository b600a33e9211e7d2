// SPDX-License-Identifier: MIT
#include "core/ProjectInfoModel.h"

#include <algorithm>

#include "core/uHMRGlobal.h"
#include "core/uHMRProject.h"

namespace hmr {

std::int32_t ProjectInfoModel::minutesShown(std::int64_t seconds) {
  const std::int64_t minutes = roundHalfEven(static_cast<double>(seconds) / 60.0);
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(minutes, MinMinutes, MaxMinutes));
}

ProjectInfoModel::Minutes ProjectInfoModel::defaults() {
  return {minutesShown(DefaultTimeForIdle), minutesShown(DefaultMinimumWorkTime)};
}

std::optional<ProjectInfoModel::Minutes> ProjectInfoModel::show(THMRProject* project) {
  project_ = project;
  if (!project) return std::nullopt;
  shown_ = {minutesShown(project->TimeForIdle), minutesShown(project->MinimumWorkTime)};
  minimumOnEntry_ = shown_.minimum;
  return shown_;
}

void ProjectInfoModel::entered(std::int32_t minimum) {
  changed_ = false;
  minimumOnEntry_ = minimum;
}

std::optional<std::int32_t> ProjectInfoModel::commit(Minutes shown, const ConfirmRaise& confirm) {
  THMRProject* project = project_;
  if (!project) return std::nullopt;
  if (shown.idle != shown_.idle) {
    const std::int64_t idle = std::int64_t{shown.idle} * 60;
    if (idle != project->TimeForIdle) {
      project->SetTimeForIdle(idle);
      project->Modified = true;
    }
    shown_.idle = shown.idle;
  }
  if (shown.minimum == shown_.minimum) return std::nullopt;
  const std::int64_t minimum = std::int64_t{shown.minimum} * 60;
  // Raising the minimum drops the recorded sessions shorter than it: ask first.
  if (minimum > project->MinimumWorkTime && !(confirm && confirm())) return minimumOnEntry_;
  if (minimum != project->MinimumWorkTime) {
    project->SetMinimumWorkTime(minimum);
    project->Modified = true;
  }
  shown_.minimum = shown.minimum;
  return std::nullopt;
}

}  // namespace hmr
