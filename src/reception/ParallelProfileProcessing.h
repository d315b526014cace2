// The processing stage of a camera: a pool of point buffers for the frame grabber, a worker pool that
// processes several frames at once, and the delivery to the callbacks in frame order on the calling
// (peak-poller) thread.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <queue>
#include <thread>
#include <vector>

#include "reception/CamProperties.h"
#include "reception/PeakDecoding.h"
#include "reception/PeakPoller.h"

class CInterleaving;
class CProfile;

// A fixed set of workers sharing one FIFO of tasks.
class ThreadPool {
public:
    explicit ThreadPool(int threads);
    // Tasks already queued still run.
    ~ThreadPool();
    ThreadPool(const ThreadPool&) = delete;
    ThreadPool& operator=(const ThreadPool&) = delete;

    template <typename F>
    std::future<std::invoke_result_t<F>> enqueue(F&& task) {
        using R = std::invoke_result_t<F>;
        auto packaged = std::make_shared<std::packaged_task<R()>>(std::forward<F>(task));
        std::future<R> result = packaged->get_future();
        {
            std::lock_guard lock(mutex_);
            if (stop_) throw std::runtime_error("enqueue on stopped ThreadPool");
            tasks_.emplace([packaged] { (*packaged)(); });
        }
        wake_.notify_one();
        return result;
    }

private:
    void Work();

    std::vector<std::thread> workers_;
    std::queue<std::function<void()>> tasks_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
};

// Microseconds on a monotonic clock.
class CPerfomanceCounter {
public:
    CPerfomanceCounter();
    // Microseconds since the start; restarts the counter when `restart` is true.
    int32_t Step(bool restart);
    // The start in microseconds since the first counter of the process.
    int64_t StartInMicroseconds() const;

private:
    std::chrono::steady_clock::time_point start_;
};

// The frame slot of one worker.
struct ParallelData {
    PeakArray array;
    std::atomic<bool> pending{false};
    std::atomic<bool> ready{false};
};

class ParallelProfileProcessing : public FrameSink {
public:
    ParallelProfileProcessing(int cameraIndex, CamProperties* camera, CInterleaving* interleaving);
    ~ParallelProfileProcessing() override;
    ParallelProfileProcessing(const ParallelProfileProcessing&) = delete;
    ParallelProfileProcessing& operator=(const ParallelProfileProcessing&) = delete;

    // Hardware threads, 1 when unknown: the size of the worker pool and of the line processor set.
    static int GetThreadCount();
    // Point buffers for a given number of workers: 2 per worker, at least 10, at most 255.
    static int PointBufferCount(int threads);

    // Grows the point buffers; only while the camera is not grabbing.
    void Reallocate(int points);
    int BufferSize() const { return bufferSize; }
    int PointBufferCount() const { return static_cast<int>(pointBuffers.size()); }

    // A free point buffer of BufferSize() points, or null when all are in flight. Called by the grabber.
    STRUCT_POINT* GetNextPointsBuffer();
    // Returns a buffer to the pool; an unknown pointer is ignored.
    void FreePointsBuffer(STRUCT_POINT* points);

    ParallelData* GetFirstArrayBuffer();
    ParallelData* GetCurrentArrayBuffer();
    std::atomic<int32_t> currentArrayBuffer{0};
    int ArrayBufferCount() const { return static_cast<int>(arrayBuffers.size()); }

    // Processes and delivers one given frame, or with null the currentArrayBuffer filled array buffers.
    void SendPeakData(PeakArray* frame) override;
    // Frees the frame's point buffer when it owns it, else returns it to the pool.
    void ReleasePoints(PeakArray& frame) override;

private:
    CProfile* DoWork(int worker, PeakArray& frame);
    void SendToCallbacks(CamProperties& camera, CProfile* profile, PeakArray& frame);
    void AddTimingLog(int frames, CPerfomanceCounter counter);
    // True when DoWork would change nothing in a frame: then frames need no trip through the pool.
    bool NothingToDo() const;

    std::vector<std::unique_ptr<ParallelData>> arrayBuffers;
    std::vector<std::unique_ptr<STRUCT_POINT[]>> pointBuffers;
    std::unique_ptr<std::atomic<bool>[]> bufferInUse;
    int32_t bufferSize;
    int32_t cameraIndex;
    CamProperties* camera;
    CInterleaving* interleaving;
    std::unique_ptr<ThreadPool> pool;
    int32_t lineCallbackCount = 0;
    int32_t batchCallbackCount = 0;
    bool micrometresEnabled = false;
    std::atomic<bool> stopping{false};
    uint32_t rotation = 0;
    std::vector<std::pair<int, std::future<CProfile*>>> pendingWork;
    std::vector<CProfile*> workResults;
    std::mutex timingMutex;
    int32_t timingFrames = 0;
    int32_t timingCalls = 0;
    int32_t timingMicroseconds = 0;
};
