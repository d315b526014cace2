#include "Environment.h"

#include <cstdio>

namespace yoxasim {

Notifier::Notifier() : thread_([this] { Run(); }) {}

Notifier::~Notifier() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void Notifier::Post(YoxaConnectionLostCallback callback, int32_t handle) {
    if (callback == nullptr) return;
    {
        std::lock_guard lock(mutex_);
        events_.push_back({callback, handle});
    }
    wake_.notify_one();
}

void Notifier::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stop_ || !events_.empty(); });
        // Events still queued when the library goes away are dropped: their receiver may be gone too.
        if (stop_) return;
        Event event = events_.front();
        events_.pop_front();
        lock.unlock();
        event.callback(event.handle);
        lock.lock();
    }
}

void Environment::Log(const char* format, ...) {
    if (!logging_) return;
    char line[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof(line), format, args);
    va_end(args);
    std::fprintf(stderr, "yoxabase: %s\n", line);
}

}  // namespace yoxasim
