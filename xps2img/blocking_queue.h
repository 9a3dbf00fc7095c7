#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>

// A queue between threads. Push blocks while `capacity` items wait; Pop blocks until an item
// arrives or the queue is closed and empty.
template <typename T>
class BlockingQueue {
 public:
  explicit BlockingQueue(std::size_t capacity) : capacity_(capacity) {}

  void Push(T item) {
    std::unique_lock lock(mutex_);
    notFull_.wait(lock, [this] { return items_.size() < capacity_; });
    items_.push_back(std::move(item));
    notEmpty_.notify_one();
  }

  std::optional<T> Pop() {
    std::unique_lock lock(mutex_);
    notEmpty_.wait(lock, [this] { return !items_.empty() || closed_; });
    return TakeFront();
  }

  // Takes an item only if one is waiting.
  std::optional<T> TryPop() {
    std::lock_guard lock(mutex_);
    return TakeFront();
  }

  // No more items will come: Pop returns nothing once the queue is empty.
  void Close() {
    std::lock_guard lock(mutex_);
    closed_ = true;
    notEmpty_.notify_all();
  }

 private:
  std::optional<T> TakeFront() {
    if (items_.empty()) return std::nullopt;
    T item = std::move(items_.front());
    items_.pop_front();
    notFull_.notify_one();
    return item;
  }

  std::mutex mutex_;
  std::condition_variable notFull_, notEmpty_;
  std::deque<T> items_;
  std::size_t capacity_;
  bool closed_ = false;
};
