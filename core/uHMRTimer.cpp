// SPDX-License-Identifier: MIT
#include "core/uHMRTimer.h"

#include <algorithm>
#include <cassert>

namespace hmr {

std::unique_ptr<THMRGlobalTimer> TimerGlobal;

THMRGlobalTimer::THMRGlobalTimer(std::unique_ptr<PeriodicTimer> timer) : Timer(std::move(timer)) {
  assert(Timer);
  Timer->setIntervalMs(static_cast<int>(MasterInterval * 1000));
  Timer->setCallback([this] { MasterTimerEvent(); });
  Timer->setEnabled(true);
  updateQuiet();
}

void THMRGlobalTimer::updateQuiet() {
  const bool armed = std::any_of(Events.begin(), Events.end(), [](const auto& e) {
    return e != nullptr && e->SecondsLeft != -1;
  });
  if (Timer) Timer->setQuiet(!armed);
}

THMRGlobalTimer::~THMRGlobalTimer() {
  Timer->setEnabled(false);
  Timer->setCallback(nullptr);
  Timer.reset();
  Events.clear();
}

std::int32_t THMRGlobalTimer::NextHandle() { return ++LastHandle; }

THMRTimerEvent* THMRGlobalTimer::ItemByHandle(std::int32_t Handle, std::int32_t& Index) {
  Index = -1;
  for (std::size_t i = 0; i < Events.size(); ++i) {
    if (Events[i] && Events[i]->Handle == Handle) {
      Index = static_cast<std::int32_t>(i);
      return Events[i].get();
    }
  }
  return nullptr;
}

std::int32_t THMRGlobalTimer::Add(TTimerCallback OnTimer, std::int64_t Seconds) {
  auto event = std::make_unique<THMRTimerEvent>();
  event->Handle = NextHandle();
  event->SecondsLeft = Seconds > 0 ? Seconds : -1;
  event->OnTimer = std::move(OnTimer);
  const std::int32_t handle = event->Handle;
  Events.push_back(std::move(event));
  updateQuiet();
  return handle;
}

void THMRGlobalTimer::SetSecondsForNextEvent(std::int32_t Handle, std::int64_t Seconds) {
  std::int32_t index;
  if (THMRTimerEvent* event = ItemByHandle(Handle, index)) {
    event->SecondsLeft = Seconds > 0 ? Seconds : -1;
    updateQuiet();
  }
}

void THMRGlobalTimer::Delete(std::int32_t Handle) {
  std::int32_t index;
  if (!ItemByHandle(Handle, index)) return;
  if (dispatching_) {
    // Keep positions stable for the running dispatch; the slot is dropped when it ends.
    retired_.push_back(std::move(Events[static_cast<std::size_t>(index)]));
  } else {
    Events.erase(Events.begin() + index);
  }
  updateQuiet();
}

std::size_t THMRGlobalTimer::eventCount() const {
  return static_cast<std::size_t>(
      std::count_if(Events.begin(), Events.end(), [](const auto& e) { return e != nullptr; }));
}

void THMRGlobalTimer::removeDeletedAfterDispatch() {
  std::erase(Events, nullptr);
  retired_.clear();
}

void THMRGlobalTimer::MasterTimerEvent() {
  Timer->setEnabled(false);
  dispatching_ = true;
  // Re-enable the timer and settle deletions whatever the callbacks do.
  struct EndOfDispatch {
    THMRGlobalTimer& self;
    ~EndOfDispatch() {
      self.dispatching_ = false;
      self.removeDeletedAfterDispatch();
      self.updateQuiet();
      if (self.Timer) self.Timer->setEnabled(true);
    }
  } end{*this};

  const std::size_t count = Events.size();
  for (std::size_t i = 0; i < count; ++i) {
    THMRTimerEvent* event = Events[i].get();
    if (!event || event->SecondsLeft == -1) continue;
    if (event->SecondsLeft - MasterInterval > 0) {
      event->SecondsLeft -= MasterInterval;
      continue;
    }
    event->SecondsLeft = -1;
    if (event->OnTimer) event->OnTimer(*this);
  }
}

ScopedTimerGlobal::ScopedTimerGlobal(std::unique_ptr<PeriodicTimer> timer) {
  TimerGlobal = std::make_unique<THMRGlobalTimer>(std::move(timer));
}

ScopedTimerGlobal::~ScopedTimerGlobal() { TimerGlobal.reset(); }

}  // namespace hmr
