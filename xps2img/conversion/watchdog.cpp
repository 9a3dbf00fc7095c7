#include "xps2img/conversion/watchdog.h"

#include <utility>

Watchdog::Watchdog() : thread_([this] { Loop(); }) {}

Watchdog::~Watchdog() {
  {
    std::lock_guard lock(mutex_);
    ending_ = true;
    changed_.notify_all();
  }
  thread_.join();
}

Watchdog::Id Watchdog::Watch(Clock::time_point when, std::function<void()> action) {
  std::lock_guard lock(mutex_);
  Id id = next_++;
  waiting_.emplace(when, std::make_pair(id, std::move(action)));
  if (when < wakeAt_) changed_.notify_all();
  return id;
}

void Watchdog::Cancel(Id id) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return running_ != id; });
  for (auto it = waiting_.begin(); it != waiting_.end(); ++it) {
    if (it->second.first == id) {
      waiting_.erase(it);
      return;
    }
  }
}

void Watchdog::Loop() {
  std::unique_lock lock(mutex_);
  while (!ending_) {
    if (waiting_.empty()) {
      wakeAt_ = Clock::time_point::max();
      changed_.wait(lock);
      continue;
    }
    auto first = waiting_.begin();
    // Cancelled actions are not woken for: the thread may wake at the time of one that has
    // gone, and then waits for the next.
    wakeAt_ = first->first;
    if (Clock::now() < wakeAt_) {
      changed_.wait_until(lock, wakeAt_);
      continue;
    }
    auto [id, action] = std::move(first->second);
    waiting_.erase(first);
    running_ = id;
    lock.unlock();
    action();
    lock.lock();
    running_ = 0;
    changed_.notify_all();
  }
}
