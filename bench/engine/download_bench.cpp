// Speed of a download's block phase against the handset simulator over a pseudo-terminal.
//
// BM_BlockPhaseAtLineRate: the simulator models a 460800 baud line (10 bits a byte). The ideal
// time is the line time of every byte the tool writes; "line_efficiency" is that ideal time over
// the measured time: the payload rate as a share of the line's raw byte rate divided by the
// framing overhead (flags, escapes, CRC, packet header, the check after each block).
//
// BM_BlockPhaseUnthrottled: a 25 MB load as fast as the pseudo-terminal goes, with the log at
// level 1 and at level 5; "cpu_ms_per_MB" is this process's CPU time (all its threads) per MB.
#include <benchmark/benchmark.h>

#include "block_phase.h"

namespace {

constexpr double kMB = 1024.0 * 1024.0;

void BM_BlockPhaseAtLineRate(benchmark::State& state) {
    constexpr uint32_t kBaud = 460800;
    BlockPhaseBench bench;
    const std::string error = bench.Prepare(2 * 1024 * 1024, {"--throttle", std::to_string(kBaud)}, 1);
    if (!error.empty()) {
        state.SkipWithError(error.c_str());
        return;
    }
    const double lineBytes = static_cast<double>(bench.LineBytesOfBlockPhase());
    const double lineBytesPerSecond = kBaud / 10.0;
    BlockPhaseBench::Result result;
    for (auto _ : state) {
        result = bench.Run();
        if (!result.ok) {
            state.SkipWithError("block phase failed");
            return;
        }
        state.SetIterationTime(result.seconds);
    }
    const double payload = static_cast<double>(result.payloadBytes);
    const double overhead = lineBytes / payload;
    state.counters["payload_B_per_s"] = payload / result.seconds;
    state.counters["line_raw_B_per_s"] = lineBytesPerSecond;
    state.counters["framing_overhead"] = overhead;
    state.counters["payload_limit_B_per_s"] = lineBytesPerSecond / overhead;
    state.counters["line_efficiency"] = (payload / result.seconds) / (lineBytesPerSecond / overhead);
}
BENCHMARK(BM_BlockPhaseAtLineRate)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

void BM_BlockPhaseUnthrottled(benchmark::State& state) {
    const int logLevel = static_cast<int>(state.range(0));
    BlockPhaseBench bench;
    const std::string error = bench.Prepare(25 * 1024 * 1024, {}, logLevel);
    if (!error.empty()) {
        state.SkipWithError(error.c_str());
        return;
    }
    double seconds = 0, cpu = 0, bytes = 0;
    for (auto _ : state) {
        const BlockPhaseBench::Result result = bench.Run();
        if (!result.ok) {
            state.SkipWithError("block phase failed");
            return;
        }
        state.SetIterationTime(result.seconds);
        seconds += result.seconds;
        cpu += result.cpuSeconds;
        bytes += static_cast<double>(result.payloadBytes);
    }
    state.counters["MB_per_s"] = bytes / kMB / seconds;
    state.counters["cpu_ms_per_MB"] = cpu * 1000.0 / (bytes / kMB);
    state.counters["log_level"] = logLevel;
}
BENCHMARK(BM_BlockPhaseUnthrottled)->Arg(1)->Arg(5)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
