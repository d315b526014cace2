// The peak poller: takes decoded frames from the peak queue in order, optionally restoring the sensor's
// frame order, and hands them to the processing stage.
#include "reception/PeakPoller.h"

#include <algorithm>
#include <chrono>
#include <list>
#include <thread>
#include <vector>

#include "logging/Log.h"
#include "reception/ImageReception.h"
#include "reception/ParallelProfileProcessing.h"

// ---------------------------------------------------------------- ProfileBuffer

ProfileBuffer::ProfileBuffer(int capacity)
    : capacity(std::max(capacity, 1)), points(std::make_unique<STRUCT_POINT[]>(this->capacity)) {}

void ProfileBuffer::AddPoints(const STRUCT_POINT* source, int n, const HEADER& frameHeader) {
    if (n > capacity) {
        capacity = n + 500;
        points = std::make_unique<STRUCT_POINT[]>(capacity);
    }
    if (n > 0) std::copy(source, source + n, points.get());
    header = frameHeader;
    count = std::max(n, 0);
}

void ProfileBuffer::UsePoints(PeakArray& out) {
    out.owned.reset();
    out.header = header;
    out.count = count;
    out.points = points.get();
}

// ---------------------------------------------------------------- reordering

bool PeakReorderer::SpanPassed(int spanMs) const {
    return std::chrono::duration<double, std::milli>(Clock::now() - timer_).count() > spanMs;
}

void PeakReorderer::HoldBack(PeakArray& frame) {
    held_.emplace_back(frame.count);
    held_.back().AddPoints(frame.points, frame.count, frame.header);
    // The copy is ours now: the frame's buffer goes back where it came from.
    sink_.ReleasePoints(frame);
}

void PeakReorderer::Dispatch(ProfileBuffer& held) {
    PeakArray frame;
    held.UsePoints(frame);
    last_ = frame.header.frameNumber;
    sink_.SendPeakData(&frame);
}

void PeakReorderer::CleanReorderingBuffer() {
    std::vector<uint32_t> numbers;
    for (const ProfileBuffer& held : held_) numbers.push_back(held.header.frameNumber);
    std::sort(numbers.begin(), numbers.end());
    for (uint32_t number : numbers) {
        auto it = std::find_if(held_.begin(), held_.end(), [number](const ProfileBuffer& held) {
            return held.header.frameNumber == number;
        });
        if (it != held_.end()) {
            Dispatch(*it);
            held_.erase(it);
        }
    }
    held_.clear();
    gap_ = false;
}

void PeakReorderer::Take(PeakArray& current, int received, int spanMs, int deviation) {
    const uint32_t number = current.header.frameNumber;
    if (seen_ == 0) {
        last_ = number - 1;
        // A queue that starts with high numbers holds stale frames from before: skip up to 99 of them.
        if (number > 100 && received <= 99) {
            sink_.ReleasePoints(current);
            return;
        }
    }
    ++seen_;
    const int32_t diff = static_cast<int32_t>(number - last_);
    if (std::abs(static_cast<int64_t>(diff)) > deviation) {
        if (gap_) {
            HoldBack(current);
        } else {
            sink_.SendPeakData(nullptr);
            last_ = number;
        }
        if (!held_.empty()) {
            for (ProfileBuffer& held : held_) Dispatch(held);
            held_.clear();
            timer_ = Clock::now();
        }
        if (gap_) last_ = number;
        gap_ = false;
        return;
    }
    if (diff == 1) {
        timer_ = Clock::now();
        last_ = number;
        sink_.SendPeakData(nullptr);
        // Frames held back for this one follow it at once instead of after the span.
        if (held_.empty()) return;
    } else {
        gap_ = true;
        HoldBack(current);
    }
    for (;;) {
        auto next = std::find_if(held_.begin(), held_.end(), [this](const ProfileBuffer& h) {
            return h.header.frameNumber == last_ + 1;
        });
        if (next == held_.end()) break;
        Dispatch(*next);
        gap_ = false;
        held_.erase(next);
    }
    if (SpanPassed(spanMs) && !held_.empty()) {
        CleanReorderingBuffer();
        timer_ = Clock::now();
    }
}

void PeakReorderer::Idle(int spanMs) {
    if (SpanPassed(spanMs) && !held_.empty()) CleanReorderingBuffer();
}

// ---------------------------------------------------------------- the poller

namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point t) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

}  // namespace

void CImageReception::PollPeakQueue(int index) {
    CamProperties& cam = cameras[index];
    cam.dataCallbackGate.SetOwner(std::this_thread::get_id());
    ParallelProfileProcessing& processing = *cam.processing;

    int received = 0;
    int logged = 0;
    bool idle = false;
    PeakReorderer reorderer(processing);
    Clock::time_point lastReceive = Clock::now();
    Clock::time_point lastLog = lastReceive;

    while (!cam.peakPollerStop) {
        if (cam.reorderRestart.exchange(false)) reorderer.Restart();
        ParallelData* arr = processing.GetFirstArrayBuffer();
        const bool taken = !cam.holdPeakQueue && PopPeaks(&arr->array, index) == 0;
        if (taken) {
            if (received == 0) {
                reorderer.StartTimer();
                lastReceive = lastLog = Clock::now();
            }
            processing.currentArrayBuffer = 1;
            ++received;
            if (cam.reordering) {
                reorderer.Take(arr->array, received, cam.reordering_span, cam.reordering_deviation);
            } else {
                if (!cam.noise_removal_sequential) {
                    while (ParallelData* more = processing.GetCurrentArrayBuffer()) {
                        if (PopPeaks(&more->array, index) != 0) break;
                        ++processing.currentArrayBuffer;
                        ++received;
                    }
                }
                processing.SendPeakData(nullptr);
            }
            lastReceive = Clock::now();
            idle = false;
            continue;
        }

        reorderer.Idle(cam.reordering_span);
        if (received != logged && MillisecondsSince(lastLog) > 1000.0) {
            const double seconds = MillisecondsSince(lastLog) / 1000.0;
            const double fps = (received - logged) / seconds;
            int64_t jitter = static_cast<int64_t>((cam.maxLag.load() - cam.minLag.load()) * 1000.0);
            if (jitter < 0 || jitter > 100000) jitter = 0;
            YLOG(DEBUG) << "Camera#" << index << " frames received " << received << ", fps "
                        << static_cast<long>(fps) << ", min fps "
                        << static_cast<long>(cam.minFrequency.load()) << ", max fps "
                        << static_cast<long>(cam.maxFrequency.load()) << ", jitter [ms] " << jitter;
            logged = received;
            cam.maxFrequency = 0.0;
            cam.minFrequency = 0.0;
            lastLog = Clock::now();
        }
        bool otherBusy = false;
        for (int other = 0; other < kMaxCameras && !otherBusy; ++other) {
            const CamProperties& o = cameras[other];
            otherBusy = other != index && o.connected && o.grabbing && o.peakPollerSpinning;
        }
        if (idle || otherBusy || cam.family == FAMILY_QVTARN || MillisecondsSince(lastReceive) > 100.0) {
            cam.peakPollerSpinning = false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            idle = true;
        } else {
            cam.peakPollerSpinning = true;
            std::this_thread::yield();
        }
    }
    cam.peakPollerFinished = true;
}
