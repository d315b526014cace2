// Decode cost per record of full 2,048-record frames, one benchmark per payload format, and the cost
// of the interleaving filters on such a frame.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "PeakEncoder.h"
#include "reception/CamProperties.h"
#include "reception/Interleaving.h"
#include "reception/PeakDecoding.h"

namespace {

using namespace peak_encoder;

constexpr int kRecords = 2048;

enum class Kind { A, B, BDoubleRow, W, QvTarn, Dual };

// About one record in sixteen carries no peak, so that the dropping is exercised too.
std::vector<uint8_t> Frame(Kind kind) {
    std::mt19937 random(42);
    std::uniform_int_distribution<int> u(0, 1 << 30);
    std::vector<Record> records;
    for (int k = 0; k < kRecords; ++k) {
        const int i = (u(random) % 16 == 0) ? 0 : 1 + u(random) % 4095;
        const int row = u(random) % 2048, column = k % 2048;
        switch (kind) {
            case Kind::A:
                records.push_back(FormatA(u(random) % 32768, u(random) % 16384, i, row, column));
                break;
            case Kind::B:
            case Kind::BDoubleRow:
                records.push_back(
                    FormatB(u(random) % 256, u(random) % 2048, u(random) % 2048, i, row, column));
                break;
            case Kind::W:
            case Kind::QvTarn:
                records.push_back(FormatW(u(random) % (1 << 24), column * 512 + u(random) % 512, i * 16));
                break;
            case Kind::Dual:
                records.push_back(Dual(i == 0 ? 0 : u(random) % (1 << 20), column, u(random) % 4096, i));
                break;
        }
    }
    return Payload(records);
}

void Configure(CamProperties& slot, Kind kind) {
    slot.familyIndex = slot.family = kind == Kind::QvTarn ? 2 : kind == Kind::A ? 0 : 1;
    slot.fwMajor = kind == Kind::W ? 3 : 2;
    slot.fwMinor = 6;
    slot.interleave = kind == Kind::BDoubleRow ? 2.0f : 1.0f;
    slot.firLength = 8;
    slot.offsetAdjustY = 20;
    slot.supportsSignalDetectionFilterLength = kind == Kind::Dual;
}

void BM_ProcessPeaks(benchmark::State& state, Kind kind) {
    const std::vector<uint8_t> payload = Frame(kind);
    CamProperties slot;
    Configure(slot, kind);
    std::vector<STRUCT_POINT> points(kRecords);
    for (auto _ : state) {
        slot.numPoints = kRecords;
        ProcessPeaks(payload.data(), static_cast<int>(payload.size()), slot, points.data());
        benchmark::DoNotOptimize(points.data());
        benchmark::ClobberMemory();
    }
    state.counters["s/record"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kRecords,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["kept"] = slot.numPoints;
}

BENCHMARK_CAPTURE(BM_ProcessPeaks, A, Kind::A);
BENCHMARK_CAPTURE(BM_ProcessPeaks, B, Kind::B);
BENCHMARK_CAPTURE(BM_ProcessPeaks, BDoubleRow, Kind::BDoubleRow);
BENCHMARK_CAPTURE(BM_ProcessPeaks, W, Kind::W);
BENCHMARK_CAPTURE(BM_ProcessPeaks, QvTarn, Kind::QvTarn);
BENCHMARK_CAPTURE(BM_ProcessPeaks, DualIntensity, Kind::Dual);

// An interleaved frame: 1,024 columns with a short and a long candidate each, half of them twins.
std::vector<STRUCT_POINT> InterleavedFrame() {
    std::vector<STRUCT_POINT> points;
    for (int c = 0; c < kRecords / 2; ++c) {
        const float z = static_cast<float>(c % 500);
        points.push_back({static_cast<float>(c * 2), z, 200.0f, 0});
        points.push_back({static_cast<float>(c * 2), z + (c % 2 == 0 ? 2.0f : 40.0f), 120.0f, 1});
    }
    return points;
}

void BM_Interleaving(benchmark::State& state, int filterKind) {
    const std::vector<STRUCT_POINT> frame = InterleavedFrame();
    std::vector<STRUCT_POINT> buffer(frame.size());
    CInterleaving filter(10000);
    const Interleaving settings{2.0f, filterKind, 128.0f, 5.0f};
    for (auto _ : state) {
        std::copy(frame.begin(), frame.end(), buffer.begin());
        PeakArray array = PeakArray::Borrowing(buffer.data());
        array.count = static_cast<int32_t>(frame.size());
        filter.Apply(array, settings);
        benchmark::DoNotOptimize(array.count);
    }
    state.counters["s/point"] = benchmark::Counter(static_cast<double>(state.iterations()) * kRecords,
                                                   benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

BENCHMARK_CAPTURE(BM_Interleaving, TargetIntensity, INTERLEAVE_FILTER_TARGET_INTENSITY);
BENCHMARK_CAPTURE(BM_Interleaving, OpaqueSurface, INTERLEAVE_FILTER_OPAQUE_SURFACE);

}  // namespace
