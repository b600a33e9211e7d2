// SPDX-License-Identifier: MIT
// One periodic 15-second timer shared by every tracked project, each holding a one-shot
// countdown in seconds identified by an integer handle.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/PeriodicTimer.h"

namespace hmr {

class THMRGlobalTimer;

// Callback of a countdown; the argument is the timer that fires it.
using TTimerCallback = std::function<void(THMRGlobalTimer& Sender)>;

// One countdown. SecondsLeft is -1 when disarmed and positive when armed; nothing else.
class THMRTimerEvent {
 public:
  std::int64_t SecondsLeft = -1;
  TTimerCallback OnTimer;
  std::int32_t Handle = 0;
};

// Counts every armed event down by MasterInterval seconds on each tick of its periodic timer
// and calls those that run out. Handles run 1, 2, 3, ... and are never reused. While no event
// is armed a tick does nothing, and the periodic timer is told so (setQuiet).
//
// Deleting: Delete of a handle that is not in the list does nothing. Delete from inside a
// callback is allowed: the event leaves the list at once for every lookup, but it is destroyed
// only after the tick's dispatch ends, so every other event of the tick is still visited
// exactly once and a callback may delete its own event.
class THMRGlobalTimer final {
 public:
  static constexpr std::int64_t MasterInterval = 15;  // seconds

  // Takes the periodic timer, sets it to 15000 ms and enables it.
  explicit THMRGlobalTimer(std::unique_ptr<PeriodicTimer> timer);
  // Stops the periodic timer first, so that no tick can come after, then frees the events.
  ~THMRGlobalTimer();
  THMRGlobalTimer(const THMRGlobalTimer&) = delete;
  THMRGlobalTimer& operator=(const THMRGlobalTimer&) = delete;

  // A new event, armed with Seconds when Seconds > 0, else disarmed. Returns its handle.
  std::int32_t Add(TTimerCallback OnTimer, std::int64_t Seconds);
  // Arms the event with Seconds (> 0), replacing what remained, or disarms it (<= 0).
  // An unknown handle is ignored.
  void SetSecondsForNextEvent(std::int32_t Handle, std::int64_t Seconds);
  void Delete(std::int32_t Handle);
  std::int32_t NextHandle();
  // The event with that handle and its position in the list, or nullptr and Index = -1.
  THMRTimerEvent* ItemByHandle(std::int32_t Handle, std::int32_t& Index);

  // The tick: disables the timer, visits the events present when it began, disarming each
  // that runs out before calling it, then re-enables the timer whatever happened. An error
  // from a callback ends the dispatch of this tick and goes on to the caller.
  void MasterTimerEvent();

  std::size_t eventCount() const;
  PeriodicTimer& timer() { return *Timer; }

 private:
  void removeDeletedAfterDispatch();
  // Tells the periodic timer whether any event is armed: a tick with none does nothing.
  void updateQuiet();

  std::vector<std::unique_ptr<THMRTimerEvent>> Events;
  std::unique_ptr<PeriodicTimer> Timer;
  std::int32_t LastHandle = 0;
  bool dispatching_ = false;
  // Events deleted during a dispatch, destroyed when it ends.
  std::vector<std::unique_ptr<THMRTimerEvent>> retired_;
};

// The package's one timer service, created when the package is loaded and destroyed when it
// is unloaded. Every tracked project reaches its countdown through it.
extern std::unique_ptr<THMRGlobalTimer> TimerGlobal;

// Creates TimerGlobal on `timer` for the lifetime of this object, then destroys it again.
class ScopedTimerGlobal {
 public:
  explicit ScopedTimerGlobal(std::unique_ptr<PeriodicTimer> timer);
  ~ScopedTimerGlobal();
  ScopedTimerGlobal(const ScopedTimerGlobal&) = delete;
  ScopedTimerGlobal& operator=(const ScopedTimerGlobal&) = delete;
};

}  // namespace hmr
