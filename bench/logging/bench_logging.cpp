// The cost of a trace statement while trace is off: behind the level gate, and straight into the logging
// library, which looks the logger up under its locks before it finds the level disabled. Trace is off in
// the configuration the library starts with.
#include <benchmark/benchmark.h>

#include "logging/Log.h"

namespace {

void DisabledTraceGated(benchmark::State& state) {
    unsigned frame = 0;
    for (auto _ : state) {
        YLOG(TRACE) << "Camera#0 frame " << ++frame << " decoded";
        benchmark::ClobberMemory();
    }
}
BENCHMARK(DisabledTraceGated)->Threads(1)->Threads(2);

void DisabledTraceUngated(benchmark::State& state) {
    unsigned frame = 0;
    for (auto _ : state) {
        CLOG(TRACE, "default") << "Camera#0 frame " << ++frame << " decoded";
        benchmark::ClobberMemory();
    }
}
BENCHMARK(DisabledTraceUngated)->Threads(1)->Threads(2);

}  // namespace
