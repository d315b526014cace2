// The whole acquisition chain, simulated sensor to peaks callback, at the sensor's fastest mode:
// 2,048 peaks per frame, frames as fast as the chain takes them. Reports frames and points per second,
// frames lost (numbers missing at the callback) and the CPU time per frame of each thread.
#include <benchmark/benchmark.h>
#include <pthread.h>
#include <time.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "TestWorld.h"
#include "api/Globals.h"
#include "reception/ImageReception.h"
#include "yoxa/yoxa.h"

namespace {

std::atomic<uint64_t> frames{0};
std::atomic<uint64_t> points{0};
std::atomic<uint64_t> lost{0};
uint32_t lastFrame = 0;

void OnPeaks(char*, STRUCT_PEAK_DATA*, int* count, int*, double*, unsigned* frameNumber) {
    if (frames > 0 && *frameNumber > lastFrame + 1) lost += *frameNumber - lastFrame - 1;
    lastFrame = *frameNumber;
    points += static_cast<uint64_t>(*count);
    ++frames;
}

double ThreadCpuSeconds(std::thread& thread) {
    clockid_t clock;
    timespec ts{};
    if (pthread_getcpuclockid(thread.native_handle(), &clock) != 0 || clock_gettime(clock, &ts) != 0)
        return 0.0;
    return static_cast<double>(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

void BM_PipelineMaxRate(benchmark::State& state) {
    const double seconds =
        std::getenv("YOXA_BENCH_SECONDS") ? std::atof(std::getenv("YOXA_BENCH_SECONDS")) : 10.0;
    TestWorld world(
        R"json({"sensors": [{"model": "QVCAM_V2", "mac": "00:1f:0a:12:34:05", "ip": "192.168.1.10",
        "firmware": "4.9 (2)", "serial": "QC21000123", "scene": "mirror", "frame_rate": "max",
        "max_width": 2048, "max_height": 1088}]})json");
    int count = -1;
    char** ids = nullptr;
    if (!world.ok() || _Open(&count, &ids, 200) != CS_SUCCESS || count < 1 ||
        _Connect(ids[0], nullptr) != CS_SUCCESS) {
        state.SkipWithError("no simulated sensor");
        _Close();
        return;
    }
    char* id = ids[0];
    CamProperties* cam = dynamic_cast<CImageReception*>(g_ImageReception)->GetCameraProperties(0);
    for (auto _ : state) {
        frames = points = lost = 0;
        _SetPeaksGrabbedCallback(id, OnPeaks);
        _StartGrabbing(id);
        const double grabberStart = ThreadCpuSeconds(cam->frameGrabber);
        const double pollerStart = ThreadCpuSeconds(cam->peakPoller);
        const auto start = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        const uint64_t n = frames;
        const double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double grabberCpu = ThreadCpuSeconds(cam->frameGrabber) - grabberStart;
        const double pollerCpu = ThreadCpuSeconds(cam->peakPoller) - pollerStart;
        _StopGrabbing(id);
        _SetPeaksGrabbedCallback(id, nullptr);
        state.SetIterationTime(elapsed);
        state.counters["frames_per_s"] = static_cast<double>(n) / elapsed;
        state.counters["points_per_s"] = static_cast<double>(points) / elapsed;
        state.counters["frames_lost"] = static_cast<double>(lost);
        state.counters["grabber_us_per_frame"] = n ? grabberCpu / static_cast<double>(n) * 1e6 : 0.0;
        state.counters["poller_us_per_frame"] = n ? pollerCpu / static_cast<double>(n) * 1e6 : 0.0;
    }
    _Close();
}

}  // namespace

BENCHMARK(BM_PipelineMaxRate)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
