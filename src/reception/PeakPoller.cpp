// The peak poller: takes decoded frames from the peak queue in order, optionally restoring the sensor's
// frame order, and hands them to the processing stage.
#include <algorithm>
#include <chrono>
#include <list>
#include <thread>
#include <vector>

#include "logging/Log.h"
#include "reception/ImageReception.h"
#include "reception/ParallelProfileProcessing.h"
#include "reception/PeakPoller.h"

// ---------------------------------------------------------------- ProfileBuffer

ProfileBuffer::ProfileBuffer(int capacity) : capacity(std::max(capacity, 1)), points(std::make_unique<STRUCT_POINT[]>(this->capacity)) {}

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

// ---------------------------------------------------------------- the poller

namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point t) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

}  // namespace

void DispatchHeldBack(ParallelProfileProcessing& processing, ProfileBuffer& held, uint32_t& last) {
    PeakArray frame;
    held.UsePoints(frame);
    last = frame.header.frameNumber;
    processing.SendPeakData(&frame);
}

void CleanReorderingBuffer(ParallelProfileProcessing& processing, uint32_t& last, bool& gap,
                           std::list<ProfileBuffer>& list) {
    std::vector<uint32_t> numbers;
    for (const ProfileBuffer& held : list) numbers.push_back(held.header.frameNumber);
    std::sort(numbers.begin(), numbers.end());
    for (uint32_t number : numbers) {
        auto it = std::find_if(list.begin(), list.end(),
                               [number](const ProfileBuffer& held) { return held.header.frameNumber == number; });
        if (it != list.end()) {
            DispatchHeldBack(processing, *it, last);
            // A frame number held twice is dispatched once per copy, in list order.
            list.erase(it);
        }
    }
    list.clear();
    gap = false;
}

void CImageReception::PollPeakQueue(int index) {
    CamProperties& cam = cameras[index];
    cam.dataCallbackGate.SetOwner(std::this_thread::get_id());
    ParallelProfileProcessing& processing = *cam.processing;

    int received = 0;
    int logged = 0;
    uint32_t last = 0;
    int seen = 0;
    bool gap = false;
    bool idle = false;
    std::list<ProfileBuffer> held;
    Clock::time_point reorderTimer = Clock::now();
    Clock::time_point lastReceive = reorderTimer;
    Clock::time_point lastLog = reorderTimer;

    auto holdBack = [&](PeakArray& frame) {
        held.emplace_back(frame.count);
        held.back().AddPoints(frame.points, frame.count, frame.header);
        processing.ReleasePoints(frame);
    };

    while (!cam.peakPollerStop) {
        ParallelData* arr = processing.GetFirstArrayBuffer();
        const bool taken = !cam.holdPeakQueue && PopPeaks(&arr->array, index) == 0;
        if (taken) {
            if (received == 0) reorderTimer = lastReceive = lastLog = Clock::now();
            processing.currentArrayBuffer = 1;
            ++received;
            PeakArray& frame = arr->array;
            const uint32_t number = frame.header.frameNumber;
            if (cam.reordering) {
                bool handled = false;
                if (seen == 0) {
                    last = number - 1;
                    if (number > 100 && received <= 99) {
                        processing.ReleasePoints(frame);
                        handled = true;
                    }
                }
                if (!handled) {
                    ++seen;
                    const int32_t diff = static_cast<int32_t>(number - last);
                    if (std::abs(static_cast<int64_t>(diff)) > cam.reordering_deviation) {
                        if (gap) {
                            holdBack(frame);
                        } else {
                            processing.SendPeakData(nullptr);
                            last = number;
                        }
                        if (!held.empty()) {
                            for (ProfileBuffer& h : held) DispatchHeldBack(processing, h, last);
                            held.clear();
                            reorderTimer = Clock::now();
                        }
                        if (gap) last = number;
                        gap = false;
                    } else if (diff == 1) {
                        reorderTimer = Clock::now();
                        last = number;
                        processing.SendPeakData(nullptr);
                    } else {
                        gap = true;
                        holdBack(frame);
                        for (;;) {
                            auto next = std::find_if(held.begin(), held.end(), [&](const ProfileBuffer& h) {
                                return h.header.frameNumber == last + 1;
                            });
                            if (next != held.end()) {
                                DispatchHeldBack(processing, *next, last);
                                gap = false;
                                held.erase(next);
                                continue;
                            }
                            if (MillisecondsSince(reorderTimer) > cam.reordering_span && !held.empty()) {
                                CleanReorderingBuffer(processing, last, gap, held);
                                reorderTimer = Clock::now();
                            }
                            break;
                        }
                    }
                }
            } else {
                last = number;
                if (!cam.noise_removal_sequential) {
                    while (ParallelData* more = processing.GetCurrentArrayBuffer()) {
                        if (PopPeaks(&more->array, index) != 0) break;
                        last = more->array.header.frameNumber;
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

        if (MillisecondsSince(reorderTimer) > cam.reordering_span && !held.empty()) {
            CleanReorderingBuffer(processing, last, gap, held);
        }
        if (received != logged && MillisecondsSince(lastLog) > 1000.0) {
            const double seconds = MillisecondsSince(lastLog) / 1000.0;
            const double fps = (received - logged) / seconds;
            int64_t jitter = static_cast<int64_t>((cam.maxLag.load() - cam.minLag.load()) * 1000.0);
            if (jitter < 0 || jitter > 100000) jitter = 0;
            YLOG(DEBUG) << "Camera#" << index << " frames received " << received << ", fps "
                        << static_cast<long>(fps) << ", min fps " << static_cast<long>(cam.minFrequency.load())
                        << ", max fps " << static_cast<long>(cam.maxFrequency.load()) << ", jitter [ms] " << jitter;
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
        if (idle || otherBusy || cam.family == 2 || MillisecondsSince(lastReceive) > 100.0) {
            cam.peakPollerSpinning = false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            idle = true;
        } else {
            cam.peakPollerSpinning = true;
            std::this_thread::yield();
        }
    }
    // Frames still held back go back to nobody: their storage is ours.
    held.clear();
    cam.peakPollerFinished = true;
}
