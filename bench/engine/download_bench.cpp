// SPDX-License-Identifier: Apache-2.0
// Speed of a download's block phase against the handset simulator over a pseudo-terminal.
//
// BM_BlockPhaseAtLineRate: the simulator models a 460800 baud line (10 bits a byte). The ideal
// time is the line time of every byte the tool writes; "line_efficiency" is that ideal time over
// the measured time: the payload rate as a share of the line's raw byte rate divided by the
// framing overhead (flags, escapes, CRC, packet header, the check after each block).
//
// BM_BlockPhaseUnthrottled: a 25 MB load as fast as the pseudo-terminal goes, with the log at
// level 1 and at level 5; "cpu_ms_per_MB" is this process's CPU time (all its threads) per MB,
// "allocs_per_packet" its heap allocations per write packet; "sim_cpu_ms_per_MB" is the
// simulator's share (the other end of the pseudo-terminal competes for the same cores).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>

#include "block_phase.h"
#include "platform/serial_line.h"

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
    const double lineBytes = static_cast<double>(bench.BlockPhaseLineBytes().size());
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

// The same bytes written raw, as fast as the simulator's modelled 460800 baud line takes them,
// with no protocol waits: the ceiling the simulator itself allows. "simulator_efficiency" is its
// ideal line time over the measured time.
void BM_SimulatorLineCeiling(benchmark::State& state) {
    constexpr uint32_t kBaud = 460800;
    BlockPhaseBench bench;
    const std::string error = bench.Prepare(2 * 1024 * 1024, {"--throttle", std::to_string(kBaud)}, 1, false);
    if (!error.empty()) {
        state.SkipWithError(error.c_str());
        return;
    }
    const std::vector<uint8_t> line = bench.BlockPhaseLineBytes();
    const std::unique_ptr<platform::SerialLine> system = platform::MakeSystemSerialLine();
    platform::SerialLine& port = *system;
    if (!port.Open(bench.Rig().TerminalPath(), kBaud).Ok()) {
        state.SkipWithError("cannot open the simulator's terminal");
        return;
    }
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        size_t written = 0;
        if (port.Write(line.data(), line.size(), &written) != 0) {
            state.SkipWithError("write failed");
            return;
        }
        // The acknowledgement of the last no-operation marks the end of the line's work.
        const uint8_t ack[5] = {0x7E, 0x02, 0x6A, 0xD3, 0x7E};
        uint32_t acks = 0;
        std::vector<uint8_t> received;
        while (acks < bench.Blocks()) {
            uint8_t buffer[256];
            size_t n = 0;
            if (port.Read(buffer, sizeof buffer, &n, 2000, 0) != 0 || n == 0) break;
            received.insert(received.end(), buffer, buffer + n);
            acks = 0;
            for (size_t i = 0; i + sizeof ack <= received.size(); ++i) {
                if (std::equal(ack, ack + sizeof ack, received.begin() + static_cast<long>(i))) ++acks;
            }
        }
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(seconds);
    }
    port.Close(platform::SerialLine::CloseMode::kRestoreSettings);
    const double ideal = static_cast<double>(line.size()) / (kBaud / 10.0);
    state.counters["simulator_efficiency"] = ideal / seconds;
    state.counters["line_B"] = static_cast<double>(line.size());
}
BENCHMARK(BM_SimulatorLineCeiling)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

void BM_BlockPhaseUnthrottled(benchmark::State& state) {
    const int logLevel = static_cast<int>(state.range(0));
    BlockPhaseBench bench;
    const std::string error = bench.Prepare(25 * 1024 * 1024, {}, logLevel);
    if (!error.empty()) {
        state.SkipWithError(error.c_str());
        return;
    }
    double seconds = 0, cpu = 0, simulatorCpu = 0, bytes = 0, allocations = 0, packets = 0;
    for (auto _ : state) {
        const BlockPhaseBench::Result result = bench.Run();
        if (!result.ok) {
            state.SkipWithError("block phase failed");
            return;
        }
        state.SetIterationTime(result.seconds);
        seconds += result.seconds;
        cpu += result.cpuSeconds;
        simulatorCpu += result.simulatorCpuSeconds;
        bytes += static_cast<double>(result.payloadBytes);
        allocations += static_cast<double>(result.allocations);
        packets += static_cast<double>(result.packets);
    }
    state.counters["MB_per_s"] = bytes / kMB / seconds;
    state.counters["cpu_ms_per_MB"] = cpu * 1000.0 / (bytes / kMB);
    state.counters["sim_cpu_ms_per_MB"] = simulatorCpu * 1000.0 / (bytes / kMB);
    state.counters["allocs_per_packet"] = allocations / packets;
    state.counters["log_level"] = logLevel;
}
BENCHMARK(BM_BlockPhaseUnthrottled)->Arg(1)->Arg(5)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
