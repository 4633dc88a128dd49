// SPDX-License-Identifier: Apache-2.0
// What a log line costs: filtered out (the level test only: no formatting, no allocation)
// against one that is formatted and written to the day's file.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "allocation_counter.h"
#include "log/log.h"

namespace {

// A private folder with a settings file; the log is opened with the given level.
class BenchLog {
public:
    explicit BenchLog(int32_t level) {
        std::string pattern = (std::filesystem::temp_directory_path() / "vexlor-logbench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) std::abort();
        m_dir = pattern;
        std::string settings = (m_dir / "registry.reg").string();
        char text[512];
        std::snprintf(text, sizeof text,
                      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vexlor]\n\"Level\"=dword:%08X\n\"App\"=\"%s/bench\"\n",
                      static_cast<uint32_t>(level), m_dir.c_str());
        std::ofstream(settings) << text;
        setenv("VEXLOR_REGISTRY", settings.c_str(), 1);
        m_opened = LogOpen("SOFTWARE\\Vexlor") == 1;
    }
    ~BenchLog() {
        LogClose();
        std::filesystem::remove_all(m_dir);
    }
    bool Opened() const { return m_opened; }

private:
    std::filesystem::path m_dir;
    bool m_opened = false;
};

// Runs the loop and reports heap allocations per call as a counter.
template <typename Body>
void Measure(benchmark::State& state, Body body) {
    size_t before = allocation_counter::Count();
    int64_t written = 0;
    for (auto _ : state) written += body();
    size_t allocations = allocation_counter::Count() - before;
    state.counters["allocs_per_call"] =
        benchmark::Counter(static_cast<double>(allocations) / static_cast<double>(state.iterations()));
    state.counters["written_per_call"] =
        benchmark::Counter(static_cast<double>(written) / static_cast<double>(state.iterations()));
}

const unsigned char kFrame[64] = {0x7E, 0x01, 0x02, 0x7D, 0x5E, 0xAB, 0xCD, 0xEF};

void BM_LogWriteSrc_Filtered(benchmark::State& state) {
    BenchLog log(LOG_WRN);
    if (!log.Opened()) return state.SkipWithError("log did not open");
    int block = 0;
    Measure(state, [&] {
        return LogWriteSrc(LOG_DBG, "CDLOperator::DownloadFunc", "Block %d of %d sent, %s.", ++block, 512, "awaiting");
    });
}
BENCHMARK(BM_LogWriteSrc_Filtered);

void BM_LogDump_Filtered(benchmark::State& state) {
    BenchLog log(LOG_WRN);
    if (!log.Opened()) return state.SkipWithError("log did not open");
    Measure(state, [&] { return LogDump(LOG_DBG, kFrame, sizeof kFrame); });
}
BENCHMARK(BM_LogDump_Filtered);

void BM_LogWriteSrc_Closed(benchmark::State& state) {
    Measure(state, [&] { return LogWriteSrc(LOG_DBG, "CDLOperator::DownloadFunc", "Block %d.", 1); });
}
BENCHMARK(BM_LogWriteSrc_Closed);

void BM_LogWriteSrc_Written(benchmark::State& state) {
    BenchLog log(LOG_DBG);
    if (!log.Opened()) return state.SkipWithError("log did not open");
    int block = 0;
    Measure(state, [&] {
        return LogWriteSrc(LOG_DBG, "CDLOperator::DownloadFunc", "Block %d of %d sent, %s.", ++block, 512, "awaiting");
    });
}
BENCHMARK(BM_LogWriteSrc_Written);

void BM_LogDump_Written(benchmark::State& state) {
    BenchLog log(LOG_DBG);
    if (!log.Opened()) return state.SkipWithError("log did not open");
    Measure(state, [&] { return LogDump(LOG_DBG, kFrame, sizeof kFrame); });
}
BENCHMARK(BM_LogDump_Written);

// LOG_ER lines go to disk at once: the flush dominates.
void BM_LogWriteSrc_ErrorFlushed(benchmark::State& state) {
    BenchLog log(LOG_DBG);
    if (!log.Opened()) return state.SkipWithError("log did not open");
    Measure(state, [&] {
        return LogWriteSrc(LOG_ER, "CSerCOMLibrary::TxRx", "TxRx failed with error code %X.", 0xF0000301u);
    });
}
BENCHMARK(BM_LogWriteSrc_ErrorFlushed);

// Formatting the same text alone, for scale: what a filtered line avoids.
void BM_FormatOnly(benchmark::State& state) {
    char buffer[4096];
    int block = 0;
    Measure(state, [&] {
        return std::snprintf(buffer, sizeof buffer, "%s\t %s Block %d of %d sent, %s.", "<DBG>",
                             "CDLOperator::DownloadFunc", ++block, 512, "awaiting") > 0;
    });
}
BENCHMARK(BM_FormatOnly);

// The same text into a std::string: shows the counter does see allocations (one per call).
void BM_FormatToString(benchmark::State& state) {
    int block = 0;
    Measure(state, [&] {
        std::string text(256, '\0');
        int n = std::snprintf(text.data(), text.size(), "%s\t %s Block %d of %d sent, %s.", "<DBG>",
                              "CDLOperator::DownloadFunc", ++block, 512, "awaiting");
        benchmark::DoNotOptimize(text.data());
        return n > 0;
    });
}
BENCHMARK(BM_FormatToString);

}  // namespace

BENCHMARK_MAIN();
