// What every simulated device shares with the world: the thread that delivers link-lost callbacks and
// the transport's logging switch.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdarg>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>

#include "yoxasim_transport.h"

namespace yoxasim {

// Calls connection-lost callbacks on a thread of its own: the client may call back into the transport
// from its handler, and the device that dropped its link must not be holding its lock then.
class Notifier {
public:
    Notifier();
    ~Notifier();
    Notifier(const Notifier&) = delete;
    Notifier& operator=(const Notifier&) = delete;

    void Post(YoxaConnectionLostCallback callback, int32_t handle);

private:
    struct Event {
        YoxaConnectionLostCallback callback;
        int32_t handle;
    };
    void Run();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Event> events_;
    bool stop_ = false;
    std::thread thread_;  // last: starts after the members it uses
};

class Environment {
public:
    Notifier& notifier() { return notifier_; }
    void SetLogging(bool on) { logging_ = on; }
    // One line on standard error when the client switched the transport's logging on.
    void Log(const char* format, ...) __attribute__((format(printf, 2, 3)));

private:
    Notifier notifier_;
    std::atomic<bool> logging_{false};
};

}  // namespace yoxasim
