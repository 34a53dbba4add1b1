// SPDX-License-Identifier: MIT
// A queue between one thread that gives and one that takes, holding at most a fixed number of
// items, so that a giver running ahead waits instead of filling memory. Waking a thread costs
// far more than handing over an item, so a side that had to wait is woken only once the
// queue is half empty (for the giver) or half full (for the taker), or closed: the two then
// meet once every few items instead of at every one.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <utility>

namespace varnelo {

template <typename T>
class TBoundedQueue {
  public:
    explicit TBoundedQueue(std::size_t capacity) : capacity_(capacity > 0 ? capacity : 1) {}

    // Waits for room. False when the queue was abandoned: the item is dropped.
    bool Push(T item) {
        std::unique_lock lock(mutex_);
        roomOrAbandoned_.wait(lock, [this] { return abandoned_ || items_.size() < capacity_; });
        if (abandoned_) {
            return false;
        }
        items_.push_back(std::move(item));
        const bool wake = items_.size() >= (capacity_ + 1) / 2;
        lock.unlock();
        if (wake) {
            itemOrEnd_.notify_one();
        }
        return true;
    }

    // Waits for an item. False once the queue is closed and every item taken, or abandoned.
    bool Pop(T& item) {
        std::unique_lock lock(mutex_);
        itemOrEnd_.wait(lock, [this] { return abandoned_ || closed_ || !items_.empty(); });
        if (abandoned_ || items_.empty()) {
            return false;
        }
        item = std::move(items_.front());
        items_.pop_front();
        const bool wake = items_.size() <= capacity_ / 2;
        lock.unlock();
        if (wake) {
            roomOrAbandoned_.notify_one();
        }
        return true;
    }

    // Nothing more will be given; the taker still gets what is queued.
    void Close() {
        {
            const std::lock_guard lock(mutex_);
            closed_ = true;
        }
        itemOrEnd_.notify_all();
    }

    // Either side gives up: what is queued is dropped and both sides stop waiting.
    void Abandon() {
        {
            const std::lock_guard lock(mutex_);
            abandoned_ = true;
            items_.clear();
        }
        itemOrEnd_.notify_all();
        roomOrAbandoned_.notify_all();
    }

  private:
    const std::size_t capacity_;
    std::mutex mutex_;
    std::condition_variable itemOrEnd_;
    std::condition_variable roomOrAbandoned_;
    std::deque<T> items_;
    bool closed_ = false;
    bool abandoned_ = false;
};

}  // namespace varnelo
