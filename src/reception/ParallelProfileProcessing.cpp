#include "reception/ParallelProfileProcessing.h"

#include <algorithm>
#include <cstring>

#include "logging/Log.h"
#include "reception/Interleaving.h"

// ---------------------------------------------------------------- ThreadPool

ThreadPool::ThreadPool(int threads) {
    for (int i = 0; i < threads; ++i) workers_.emplace_back([this] { Work(); });
}

ThreadPool::~ThreadPool() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    for (std::thread& worker : workers_) worker.join();
}

void ThreadPool::Work() {
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stop_ || !tasks_.empty(); });
            if (stop_ && tasks_.empty()) return;
            task = std::move(tasks_.front());
            tasks_.pop();
        }
        task();
    }
}

// ---------------------------------------------------------------- CPerfomanceCounter

namespace {
std::chrono::steady_clock::time_point ProcessEpoch() {
    static const std::chrono::steady_clock::time_point epoch = std::chrono::steady_clock::now();
    return epoch;
}
}  // namespace

CPerfomanceCounter::CPerfomanceCounter() {
    ProcessEpoch();
    start_ = std::chrono::steady_clock::now();
}

int32_t CPerfomanceCounter::Step(bool restart) {
    auto now = std::chrono::steady_clock::now();
    auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(now - start_).count();
    if (restart) start_ = now;
    return static_cast<int32_t>(std::max<int64_t>(elapsed, 0));
}

int64_t CPerfomanceCounter::StartInMicroseconds() const {
    return std::chrono::duration_cast<std::chrono::microseconds>(start_ - ProcessEpoch()).count();
}

// ---------------------------------------------------------------- ParallelProfileProcessing

int ParallelProfileProcessing::GetThreadCount() {
    unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : static_cast<int>(n);
}

int ParallelProfileProcessing::PointBufferCount(int threads) {
    return std::clamp(2 * threads, 10, 255);
}

ParallelProfileProcessing::ParallelProfileProcessing(int cameraIndex, CamProperties* camera,
                                                     CInterleaving* interleaving)
    : bufferSize(std::max<int32_t>(camera->maxPointCount, 1)),
      cameraIndex(cameraIndex),
      camera(camera),
      interleaving(interleaving) {
    const int n = GetThreadCount();
    for (int i = 0; i < n; ++i) arrayBuffers.push_back(std::make_unique<ParallelData>());
    YLOG(DEBUG) << "Buffers allocated to " << bufferSize << " points.";
    const int buffers = PointBufferCount(n);
    bufferInUse = std::make_unique<std::atomic<bool>[]>(buffers);
    for (int i = 0; i < buffers; ++i) {
        pointBuffers.push_back(std::make_unique<STRUCT_POINT[]>(bufferSize));
        bufferInUse[i] = false;
    }
    pool = std::make_unique<ThreadPool>(n);
}

ParallelProfileProcessing::~ParallelProfileProcessing() {
    stopping = true;
    for (auto& data : arrayBuffers) ReleasePoints(data->array);
    pool.reset();
}

void ParallelProfileProcessing::Reallocate(int points) {
    if (points <= bufferSize) return;
    bufferSize = points;
    YLOG(DEBUG) << "Buffers reallocated to " << points << " points.";
    for (auto& buffer : pointBuffers) buffer = std::make_unique<STRUCT_POINT[]>(bufferSize);
}

STRUCT_POINT* ParallelProfileProcessing::GetNextPointsBuffer() {
    for (size_t i = 0; i < pointBuffers.size(); ++i) {
        bool expected = false;
        if (!bufferInUse[i].load(std::memory_order_relaxed) &&
            bufferInUse[i].compare_exchange_strong(expected, true, std::memory_order_acquire)) {
            return pointBuffers[i].get();
        }
    }
    return nullptr;
}

void ParallelProfileProcessing::FreePointsBuffer(STRUCT_POINT* points) {
    for (size_t i = 0; i < pointBuffers.size(); ++i) {
        if (pointBuffers[i].get() == points) {
            bufferInUse[i].store(false, std::memory_order_release);
            return;
        }
    }
}

void ParallelProfileProcessing::ReleasePoints(PeakArray& frame) {
    if (frame.owned) {
        frame.owned.reset();
    } else if (frame.points != nullptr) {
        FreePointsBuffer(frame.points);
    }
    frame.points = nullptr;
    frame.count = 0;
}

ParallelData* ParallelProfileProcessing::GetFirstArrayBuffer() {
    currentArrayBuffer = 0;
    return arrayBuffers.front().get();
}

ParallelData* ParallelProfileProcessing::GetCurrentArrayBuffer() {
    int current = currentArrayBuffer;
    return current < static_cast<int>(arrayBuffers.size()) ? arrayBuffers[current].get() : nullptr;
}

bool ParallelProfileProcessing::NothingToDo() const {
    // Without line processors DoWork has nothing to run; intensity correction and unit conversion come
    // with the calibration models.
    return !micrometresEnabled;
}

void ParallelProfileProcessing::SendPeakData(PeakArray* frame) {
    CamProperties& cam = *camera;
    micrometresEnabled = cam.peak_y_unit == 1 || cam.peak_x_unit == 1;
    for (int layer = 0; layer < kMaxLayers; ++layer) {
        if (cam.lineCallbacks[layer].load() != nullptr)
            lineCallbackCount = std::max(lineCallbackCount, layer + 1);
        if (cam.batchCallbacks[layer].load() != nullptr)
            batchCallbackCount = std::max(batchCallbackCount, layer + 1);
    }
    const int k =
        frame != nullptr ? 1 : std::min<int>(currentArrayBuffer, static_cast<int>(arrayBuffers.size()));
    CPerfomanceCounter counter;
    const Interleaving settings = InterleavingSettings(cam);
    const bool sequential = cam.noise_removal_sequential;
    const bool inline_ = NothingToDo();

    // Reused from call to call: this runs once per batch of frames on the poller thread.
    std::vector<std::pair<int, std::future<CProfile*>>>& results = pendingWork;
    std::vector<CProfile*>& profiles = workResults;
    results.clear();
    profiles.assign(static_cast<size_t>(k), nullptr);
    for (int i = k - 1; i >= 0; --i) {
        PeakArray& f = frame != nullptr ? *frame : arrayBuffers[i]->array;
        if (interleaving != nullptr) interleaving->Apply(f, settings);
        arrayBuffers[i]->pending = false;
        if (sequential) {
            CProfile* p = DoWork(-1, f);
            AddTimingLog(k, counter);
            SendToCallbacks(cam, p, f);
            return;
        }
        if (inline_) {
            profiles[i] = DoWork(i, f);
        } else {
            results.emplace_back(i, pool->enqueue([this, i, &f] { return DoWork(i, f); }));
        }
    }
    for (auto& [i, result] : results) profiles[i] = result.get();
    AddTimingLog(k, counter);
    for (int i = 0; i < k; ++i) {
        PeakArray& f = frame != nullptr ? *frame : arrayBuffers[i]->array;
        SendToCallbacks(cam, profiles[i], f);
    }
}

CProfile* ParallelProfileProcessing::DoWork(int /*worker*/, PeakArray& /*frame*/) {
    // Line processors, intensity correction and unit conversion come with their subsystems.
    return nullptr;
}

void ParallelProfileProcessing::SendToCallbacks(CamProperties& cam, CProfile* /*profile*/, PeakArray& frame) {
    int backlog = frame.header.queueBacklog;
    if (frame.count <= 0 || frame.points == nullptr) {
        YLOG(TRACE) << "No data index: " << frame.header.frameNumber << " location: " << frame.header.encoder;
        ReleasePoints(frame);
        return;
    }
    char* id = cam.cameraId;
    {
        GateScope scope(cam.dataCallbackGate);
        ProfileCallback profileCb = cam.profileCallback.load();
        PointCloudCallback cloudCb = cam.pointCloudCallback.load();
        bool anyLayer = lineCallbackCount > 0 || batchCallbackCount > 0;
        if (cam.grabbing && (profileCb != nullptr || cloudCb != nullptr || anyLayer)) {
            if (profileCb != nullptr) {
                profileCb(id, frame.points, &frame.count, &frame.header);
            } else if (cloudCb != nullptr) {
                cloudCb(id, frame.points, &frame.count, &backlog, &frame.header.frequency.frequency,
                        &frame.header.frameNumber);
            }
        } else if (PeaksGrabbedCallback peaksCb = cam.peaksGrabbedCallback.load();
                   peaksCb != nullptr && !micrometresEnabled) {
            // The records keep their place; only x changes its type.
            for (int i = 0; i < frame.count; ++i) {
                const int32_t column = static_cast<int32_t>(frame.points[i].x);
                std::memcpy(&frame.points[i].x, &column, sizeof column);
            }
            auto* peaks = reinterpret_cast<STRUCT_PEAK_DATA*>(frame.points);
            peaksCb(id, peaks, &frame.count, &backlog, &frame.header.frequency.frequency,
                    &frame.header.frameNumber);
        }
    }
    ReleasePoints(frame);
}

void ParallelProfileProcessing::AddTimingLog(int frames, CPerfomanceCounter counter) {
    std::lock_guard lock(timingMutex);
    timingFrames += frames;
    timingCalls += 1;
    timingMicroseconds += counter.Step(false);
    if (timingFrames > 10000 && timingCalls > 0) {
        YLOG(DEBUG) << "Profile timing " << timingMicroseconds / timingFrames << " us, Threads "
                    << timingFrames / timingCalls;
        timingFrames = timingCalls = timingMicroseconds = 0;
    }
}
