// The two queues between a camera's frame grabber and its pollers, and the gate that lets a callback
// be replaced safely while a poller may be calling it.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "yoxa/yoxa.h"

// One raw image waiting for the image poller: a copy of the payload without the transport header.
struct Image {
    std::unique_ptr<unsigned char[]> data;
    int32_t size = 0;
    HEADER header{};
};

// An unbounded FIFO with its own mutex, held only for one operation.
template <typename T>
class SyncQueue {
public:
    void Push(T&& item) {
        std::lock_guard lock(mutex_);
        items_.push_back(std::move(item));
    }
    // Moves the oldest item out; false when empty. `remaining` receives the length after the pop.
    bool Pop(T& out, size_t* remaining = nullptr) {
        std::lock_guard lock(mutex_);
        if (items_.empty()) return false;
        out = std::move(items_.front());
        items_.pop_front();
        if (remaining != nullptr) *remaining = items_.size();
        return true;
    }
    size_t Size() const {
        std::lock_guard lock(mutex_);
        return items_.size();
    }
    bool Empty() const { return Size() == 0; }
    // Hands every waiting item to `dispose` (under the lock) and empties the queue.
    template <typename F>
    void Clear(F&& dispose) {
        std::lock_guard lock(mutex_);
        for (T& item : items_) dispose(item);
        items_.clear();
    }

private:
    mutable std::mutex mutex_;
    std::deque<T> items_;
};

// Tells a thread that replaces a callback pointer when no call of the old pointer can still be running.
//
// The delivering thread brackets every call with Enter/Leave; Enter is ordered before the pointer is read.
// After storing a new pointer, Quiesce waits while a call that began before the store is running. From
// the delivering thread itself (a callback replacing a callback) it returns at once.
class CallbackGate {
public:
    void SetOwner(std::thread::id owner) { owner_.store(owner); }
    void Enter() { state_.fetch_add(1, std::memory_order_seq_cst); }
    void Leave() { state_.fetch_add(1, std::memory_order_release); }
    void Quiesce() const {
        if (std::this_thread::get_id() == owner_.load()) return;
        const uint64_t state = state_.load(std::memory_order_seq_cst);
        if (state % 2 == 0) return;
        while (state_.load(std::memory_order_acquire) == state) std::this_thread::yield();
    }

private:
    std::atomic<uint64_t> state_{0};  // odd while a call is running
    std::atomic<std::thread::id> owner_{};
};

// Enter/Leave for one delivery.
class GateScope {
public:
    explicit GateScope(CallbackGate& gate) : gate_(gate) { gate_.Enter(); }
    ~GateScope() { gate_.Leave(); }
    GateScope(const GateScope&) = delete;
    GateScope& operator=(const GateScope&) = delete;

private:
    CallbackGate& gate_;
};
