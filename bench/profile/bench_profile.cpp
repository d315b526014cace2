// The running median per window size, and whole lines through the standalone interface.
#include <benchmark/benchmark.h>
#include <time.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "profile/MedianFilter.h"
#include "profile/ProfileHandler.h"
#include "yoxa/profile.h"

namespace {

constexpr int RUN = 2048;

void BM_RunningMedian(benchmark::State& state) {
    const int window = static_cast<int>(state.range(0));
    std::mt19937 rng(1);
    std::normal_distribution<float> noise(0.0f, 5.0f);
    std::vector<float> src(RUN);
    for (int i = 0; i < RUN; ++i) src[i] = 400.0f + 30.0f * std::sin(i / 80.0f) + noise(rng);
    std::vector<float> dst(RUN);
    MedianFilter filter;
    for (auto _ : state) {
        filter.Filter(src.data(), dst.data(), RUN, window);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    // Seconds per element, shown with its SI prefix (n for nanoseconds).
    state.counters["per_element"] =
        benchmark::Counter(RUN, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_RunningMedian)->Arg(3)->Arg(5)->Arg(9)->Arg(15)->Arg(31)->Arg(101)->Arg(301)->Arg(2047);

// A line of a linear camera: two surfaces over most of the width with jitter and gaps, plus noise.
std::vector<kConfocalPoint> Line(std::mt19937& rng) {
    std::normal_distribution<float> jitter(0.0f, 1.0f);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    std::vector<kConfocalPoint> points;
    for (int c = 0; c < 2048; ++c) {
        const float x = static_cast<float>(c);
        const float top = 700.0f + 40.0f * std::sin(c / 150.0f) + jitter(rng);
        const float bottom = 400.0f + (c > 1024 ? 60.0f : 0.0f) + jitter(rng);
        if (c >= 60 && c < 1990 && unit(rng) > 0.02f) points.push_back({x, top, 120 + 10 * jitter(rng), 0});
        if (unit(rng) > 0.02f) points.push_back({x, bottom, 90 + 10 * jitter(rng), 0});
        if (unit(rng) < 0.03f) points.push_back({x, 1000.0f * unit(rng), 20, 0});
    }
    return points;
}

void Configure(ProfileHandler* handle) {
    ProfileSetNoiseRemoval(handle, true);
    ProfileSetClusteringDistances(handle, 3, 10);
    ProfileSetClusterMinimumLength(handle, 20);
    ProfileSetFillGapXMax(handle, 5);
    ProfileSetMedianFilterSizes(handle, 5, 5);
    ProfileSetAverageFilterSizes(handle, 3, 3);
}

std::vector<std::vector<kConfocalPoint>> Lines() {
    std::mt19937 rng(2);
    std::vector<std::vector<kConfocalPoint>> lines;
    for (int k = 0; k < 16; ++k) lines.push_back(Line(rng));
    return lines;
}

void BM_ProcessLine(benchmark::State& state) {
    ProfileHandler* handle = ProfileCreate(2048, true, 1.0);
    Configure(handle);
    const std::vector<std::vector<kConfocalPoint>> lines = Lines();
    size_t next = 0;
    for (auto _ : state) {
        const std::vector<kConfocalPoint>& line = lines[next++ % lines.size()];
        ProfileProcessPoints(handle, line.data(), static_cast<int>(line.size()), SORT_HEIGHT_DESCENDING, 2,
                             false);
        benchmark::DoNotOptimize(ProfileGetZOutput(handle, 1));
    }
    state.counters["lines/s"] = benchmark::Counter(1, benchmark::Counter::kIsIterationInvariantRate);
    ProfileFree(handle);
}
BENCHMARK(BM_ProcessLine);

// Where a line's time goes: the processor's step hooks, timed.
// Thread CPU time, so that other work on a shared machine does not count.
double CpuNanoseconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e9 + t.tv_nsec;
}

class TimedProcessor : public ProfileHandler_QVSDK {
public:
    static constexpr int STEPS = 9;
    TimedProcessor() : ProfileHandler_QVSDK(1.0, 2048, true) {}
    void StartPerformanceMeasurement() override { last = CpuNanoseconds(); }
    void StepPerformanceMeasurement(int step) override {
        const double now = CpuNanoseconds();
        nanoseconds[step] += now - last;
        last = now;
    }
    double nanoseconds[STEPS] = {};

private:
    double last = 0;
};

void BM_ProcessLineSteps(benchmark::State& state) {
    TimedProcessor processor;
    Configure(&processor);
    const std::vector<std::vector<kConfocalPoint>> lines = Lines();
    size_t next = 0;
    double setPoints = 0;
    for (auto _ : state) {
        const std::vector<kConfocalPoint>& line = lines[next++ % lines.size()];
        const double start = CpuNanoseconds();
        processor.SetPoints(line.data(), static_cast<int>(line.size()), SORT_HEIGHT_DESCENDING, 2, false);
        setPoints += CpuNanoseconds() - start;
        processor.Sort(true);
    }
    const char* names[TimedProcessor::STEPS] = {"order", "offsets", "holes", "cluster", "firstLayer",
                                                "burr",  "collect", "edges", "filter"};
    const double lineCount = static_cast<double>(state.iterations());
    state.counters["setPoints"] = setPoints / lineCount;
    for (int k = 0; k < TimedProcessor::STEPS; ++k) {
        if (processor.nanoseconds[k] / lineCount >= 50)
            state.counters[names[k]] = processor.nanoseconds[k] / lineCount;
    }
}
BENCHMARK(BM_ProcessLineSteps);

}  // namespace
