// Restoring the sensor's frame order in the peak poller.
#pragma once

#include <chrono>
#include <cstdint>
#include <list>
#include <memory>

#include "reception/PeakDecoding.h"

// A frame held back while an earlier one is missing.
struct ProfileBuffer {
    explicit ProfileBuffer(int capacity);
    // Copies n points and the header; grows the storage to n + 500 points when it is too small.
    void AddPoints(const STRUCT_POINT* points, int n, const HEADER& header);
    // Lends the storage to `out` (not owned by it); valid while this buffer lives.
    void UsePoints(PeakArray& out);
    const HEADER& Header() const { return header; }
    void ClearProfilePoints() { count = 0; }

    int32_t capacity;
    HEADER header{};
    int32_t count = 0;
    std::unique_ptr<STRUCT_POINT[]> points;
};

// Where ordered frames go: the processing stage.
class FrameSink {
public:
    virtual ~FrameSink() = default;
    // Null: the frames in the stage's filled array buffers; otherwise this frame.
    virtual void SendPeakData(PeakArray* frame) = 0;
    // Frees or returns a frame's point buffer.
    virtual void ReleasePoints(PeakArray& frame) = 0;
};

// The reordering state of one peak poller: frames that arrive early wait until the missing frame comes
// or the span passes; a jump beyond the deviation (a counter restart) is passed on at once.
class PeakReorderer {
public:
    using Clock = std::chrono::steady_clock;

    explicit PeakReorderer(FrameSink& sink) : sink_(sink) {}

    // A frame taken from the queue into the stage's first array buffer `current`, with reordering on.
    // `received` counts the frames taken so far, this one included.
    void Take(PeakArray& current, int received, int spanMs, int deviation);
    // Nothing was taken: held-back frames older than the span are passed on in order.
    void Idle(int spanMs);
    // Passes every held-back frame on in ascending frame number order.
    void CleanReorderingBuffer();

    // Grabbing stopped: frames still held back are passed on in order and the next run is ordered on its
    // own, since a sensor may count its frames anew when acquisition restarts.
    void Restart() {
        CleanReorderingBuffer();
        seen_ = 0;
    }

    void StartTimer() { timer_ = Clock::now(); }
    bool Holding() const { return !held_.empty(); }

private:
    void HoldBack(PeakArray& frame);
    void Dispatch(ProfileBuffer& held);
    bool SpanPassed(int spanMs) const;

    FrameSink& sink_;
    uint32_t last_ = 0;
    int seen_ = 0;
    bool gap_ = false;
    std::list<ProfileBuffer> held_;
    Clock::time_point timer_ = Clock::now();
};
