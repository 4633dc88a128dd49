// SPDX-License-Identifier: Apache-2.0
// The start-up check of a package of the shipped size (6,171 chunks) against OpenSSL's
// single-thread Blowfish CBC decipher of the same load area, in the same run.
#include <benchmark/benchmark.h>
#include <openssl/blowfish.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "package/blowfish.h"
#include "package/dl_parameter.h"
#include "package/image_digest.h"
#include "package/load_merger.h"
#include "package/package_key.h"
#include "package/package_layout.h"
#include "package/siphash.h"
#include "package_bench_file.h"
#include "platform/notify_target.h"
#include "platform/read_only_file.h"

namespace {

constexpr uint32_t kShippedChunks = 6171;
constexpr int64_t kImageSize = 2 << 20;

std::string g_benchDir;

void RemoveBenchFile() {
    std::remove((g_benchDir + "/program").c_str());
    rmdir(g_benchDir.c_str());
}

// Built once per run (about 27 MB in a temporary folder) and removed at exit.
const PackageBenchFile& BenchFile() {
    static const PackageBenchFile file = [] {
        char dir[] = "/tmp/vexlor-pkg-bench-XXXXXX";
        if (!mkdtemp(dir)) std::abort();
        g_benchDir = dir;
        std::atexit(RemoveBenchFile);
        return BuildPackageBenchFile(g_benchDir + "/program", kShippedChunks, kImageSize);
    }();
    return file;
}

double ProcessCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Both benchmarks also report the CPU time of all their threads per run ("cpu_all_threads_ms"):
// on a busy machine the wall-clock figures depend on what else runs, that one much less.
void ReportProcessCpu(benchmark::State& state, double startSeconds) {
    state.counters["cpu_all_threads_ms"] =
        benchmark::Counter((ProcessCpuSeconds() - startSeconds) * 1e3 / static_cast<double>(state.iterations()));
}

// With --benchmark_repetitions, the best run is the one least disturbed by other work.
double Fastest(const std::vector<double>& runs) { return *std::min_element(runs.begin(), runs.end()); }

class CountingTarget : public platform::NotifyTarget {
public:
    void Post(uint32_t, uintptr_t) override { m_count.fetch_add(1, std::memory_order_relaxed); }
    int Count() const { return m_count.load(); }

private:
    std::atomic<int> m_count{0};
};

// Parameter block, load CRC with progress, image self-check: what the program does at start-up.
bool RunStartUpCheck(platform::ReadOnlyFile& file) {
    CDLParameter parameters;
    CountingTarget window;
    const bool passed = parameters.ReadParameterFromFile(file) == 1 &&
                        CLoadMerger::CheckLoadFileCRC(file, parameters.GetLoadSize(), &window) == 1 &&
                        CLoadMerger::CheckExeCRC(file, parameters.GetLoadSize()) == 1;
    benchmark::DoNotOptimize(window.Count());
    return passed;
}

// The baseline's input: the enciphered load area in memory and OpenSSL's key schedule.
struct OpenSslArea {
    std::unique_ptr<uint8_t[]> bytes;
    uint32_t size = 0;
    BF_KEY key{};
};

bool LoadOpenSslArea(const platform::ReadOnlyFile& file, const PackageBenchFile& made, OpenSslArea& area) {
    area.size = made.areaSize;
    area.bytes.reset(new uint8_t[made.areaSize]);
    PackageKey packageKey;
    BF_set_key(&area.key, PackageKey::kLength, packageKey.Bytes());
    return file.ReadAt(made.areaStart, area.bytes.get(), made.areaSize) == made.areaSize;
}

// Chunk by chunk from the zero vector, on one thread, as the package's chunks are enciphered.
void OpenSslDecipherArea(const OpenSslArea& area) {
    uint8_t out[kChunkSize];
    for (uint32_t at = 0; at < area.size; at += kChunkSize) {
        uint8_t iv[8] = {};
        BF_cbc_encrypt(area.bytes.get() + at, out, kChunkSize, &area.key, iv, BF_DECRYPT);
        benchmark::DoNotOptimize(out);
    }
}

// The start-up check as the program runs it.
void BM_PackageStartUpCheck(benchmark::State& state) {
    const auto& made = BenchFile();
    platform::ReadOnlyFile file;
    if (!file.Open(made.path)) state.SkipWithError("cannot open the package");
    const double cpuStart = ProcessCpuSeconds();
    for (auto _ : state) {
        if (!RunStartUpCheck(file)) {
            state.SkipWithError("check failed");
            break;
        }
    }
    ReportProcessCpu(state, cpuStart);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * made.areaSize);
}
BENCHMARK(BM_PackageStartUpCheck)->Unit(benchmark::kMillisecond)->UseRealTime()->ComputeStatistics("min", Fastest);

// The reference: OpenSSL deciphering the same area chunk by chunk from the zero vector, on one
// thread, from memory (no file reads, no CRC).
void BM_OpenSslCbcDecipherSameArea(benchmark::State& state) {
    const auto& made = BenchFile();
    platform::ReadOnlyFile file;
    OpenSslArea area;
    if (!file.Open(made.path) || !LoadOpenSslArea(file, made, area)) state.SkipWithError("cannot read the package");
    const double cpuStart = ProcessCpuSeconds();
    for (auto _ : state) OpenSslDecipherArea(area);
    ReportProcessCpu(state, cpuStart);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * made.areaSize);
}
BENCHMARK(BM_OpenSslCbcDecipherSameArea)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->ComputeStatistics("min", Fastest);

// Both of the above in turn within each iteration, so that load from other processes falls on
// both alike; reports each one's wall time and the check's speed-up over OpenSSL.
void BM_CheckSpeedupOverOpenSsl(benchmark::State& state) {
    const auto& made = BenchFile();
    platform::ReadOnlyFile file;
    OpenSslArea area;
    if (!file.Open(made.path) || !LoadOpenSslArea(file, made, area)) state.SkipWithError("cannot read the package");
    double openSslSeconds = 0, checkSeconds = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        OpenSslDecipherArea(area);
        auto middle = std::chrono::steady_clock::now();
        if (!RunStartUpCheck(file)) {
            state.SkipWithError("check failed");
            break;
        }
        auto end = std::chrono::steady_clock::now();
        openSslSeconds += std::chrono::duration<double>(middle - start).count();
        checkSeconds += std::chrono::duration<double>(end - middle).count();
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["openssl_ms"] = openSslSeconds * 1e3 / runs;
    state.counters["check_ms"] = checkSeconds * 1e3 / runs;
    state.counters["speedup"] = checkSeconds > 0 ? openSslSeconds / checkSeconds : 0;
}
BENCHMARK(BM_CheckSpeedupOverOpenSsl)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

// The download's reader: chunk after chunk through ReadLoadChunk (kept key schedule) ...
void BM_ReadLoadChunk(benchmark::State& state) {
    const auto& made = BenchFile();
    platform::ReadOnlyFile file;
    if (!file.Open(made.path)) state.SkipWithError("cannot open the package");
    uint8_t chunk[kChunkSize];
    for (auto _ : state) {
        CLoadMerger::SeekToLoad(file, made.loadSize);
        for (int i = 0; i < 256; ++i) CLoadMerger::ReadLoadChunk(file, chunk);
        benchmark::DoNotOptimize(chunk);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 256 * kChunkSize);
}
BENCHMARK(BM_ReadLoadChunk)->Unit(benchmark::kMicrosecond);

// ... against setting the cipher up afresh for every chunk.
void BM_ReadChunkWithFreshKeySchedule(benchmark::State& state) {
    const auto& made = BenchFile();
    platform::ReadOnlyFile file;
    if (!file.Open(made.path)) state.SkipWithError("cannot open the package");
    uint8_t chunk[kChunkSize];
    const uint8_t zeroVector[8] = {};
    for (auto _ : state) {
        CLoadMerger::SeekToLoad(file, made.loadSize);
        for (int i = 0; i < 256; ++i) {
            file.Read(chunk, kChunkSize);
            PackageKey key;
            CBlowfish cipher;
            cipher.Initialize(key.Bytes(), PackageKey::kLength, zeroVector);
            cipher.Decrypt(chunk, chunk, kChunkSize, CBlowfish::CBC);
        }
        benchmark::DoNotOptimize(chunk);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 256 * kChunkSize);
}
BENCHMARK(BM_ReadChunkWithFreshKeySchedule)->Unit(benchmark::kMicrosecond);

// The image self-check's hash over 1 MiB in memory.
void BM_SipHash24(benchmark::State& state) {
    std::unique_ptr<uint8_t[]> data(new uint8_t[1 << 20]());
    const uint8_t key[16] = {1, 2, 3};
    for (auto _ : state) benchmark::DoNotOptimize(SipHash24::Digest(key, data.get(), 1 << 20));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) << 20);
}
BENCHMARK(BM_SipHash24)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
