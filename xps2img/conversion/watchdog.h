#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

// Runs actions when their time comes, on a thread of its own: the converter's time budget.
class Watchdog {
 public:
  using Clock = std::chrono::steady_clock;
  using Id = std::uint64_t;

  Watchdog();
  ~Watchdog();  // drops the actions still waiting
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

  // Runs `action` at `when`, unless cancelled before.
  Id Watch(Clock::time_point when, std::function<void()> action);
  // Once this returns, the action will not run and is not running.
  void Cancel(Id id);

 private:
  void Loop();

  std::mutex mutex_;
  std::condition_variable changed_;
  std::multimap<Clock::time_point, std::pair<Id, std::function<void()>>> waiting_;
  // When the thread wakes next by itself: it is woken sooner only for an action due before
  // that, so that pages watched and done well within their budget cost it no wake-up.
  Clock::time_point wakeAt_ = Clock::time_point::max();
  Id next_ = 1;
  Id running_ = 0;
  bool ending_ = false;
  std::thread thread_;
};

// Runs an action at a deadline while it lives.
class Watched {
 public:
  Watched(Watchdog& watchdog, Watchdog::Clock::time_point when, std::function<void()> action)
      : watchdog_(watchdog), id_(watchdog.Watch(when, std::move(action))) {}
  ~Watched() { watchdog_.Cancel(id_); }
  Watched(const Watched&) = delete;
  Watched& operator=(const Watched&) = delete;

 private:
  Watchdog& watchdog_;
  Watchdog::Id id_;
};
