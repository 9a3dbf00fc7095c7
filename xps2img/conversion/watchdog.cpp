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
  changed_.notify_all();
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
      changed_.wait(lock);
      continue;
    }
    auto first = waiting_.begin();
    Clock::time_point when = first->first;  // a copy: the entry may go while this waits
    if (Clock::now() < when) {
      changed_.wait_until(lock, when);
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
