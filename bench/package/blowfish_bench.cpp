// SPDX-License-Identifier: Apache-2.0
#include <benchmark/benchmark.h>
#include <openssl/blowfish.h>
#include <time.h>

#include <cstring>
#include <random>
#include <vector>

#include "package/blowfish.h"

namespace {

// The load is deciphered in 4096-byte chunks, each a separate CBC call from a zero vector.
constexpr size_t kUnit = 4096;
constexpr size_t kUnits = 16;  // 64 KiB of distinct data, resident in L2 like a chunk in flight
const uint8_t kKey[8] = {0x3A, 0x91, 0x5C, 0x07, 0xE4, 0x28, 0xB6, 0x7D};
const uint8_t kZeroIv[8] = {};

std::vector<uint8_t> RandomData() {
    std::mt19937 rng(42);
    std::vector<uint8_t> data(kUnit * kUnits);
    for (auto& b : data) b = static_cast<uint8_t>(rng());
    return data;
}

void OursDecipherUnits(CBlowfish& cipher, const std::vector<uint8_t>& in, std::vector<uint8_t>& out) {
    for (size_t u = 0; u < kUnits; ++u)
        cipher.Decrypt(in.data() + u * kUnit, out.data() + u * kUnit, kUnit, CBlowfish::CBC);
}

void OpenSslDecipherUnits(const BF_KEY& key, const std::vector<uint8_t>& in, std::vector<uint8_t>& out) {
    for (size_t u = 0; u < kUnits; ++u) {
        uint8_t ivec[8] = {};
        BF_cbc_encrypt(in.data() + u * kUnit, out.data() + u * kUnit, kUnit, &key, ivec, BF_DECRYPT);
    }
}

void BM_CbcDecipher_Vexlor(benchmark::State& state) {
    const auto in = RandomData();
    std::vector<uint8_t> out(in.size());
    CBlowfish cipher;
    cipher.Initialize(kKey, sizeof kKey, kZeroIv);
    for (auto _ : state) {
        OursDecipherUnits(cipher, in, out);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
}
BENCHMARK(BM_CbcDecipher_Vexlor);

void BM_CbcDecipher_OpenSsl(benchmark::State& state) {
    const auto in = RandomData();
    std::vector<uint8_t> out(in.size());
    BF_KEY key;
    BF_set_key(&key, sizeof kKey, kKey);
    for (auto _ : state) {
        OpenSslDecipherUnits(key, in, out);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
}
BENCHMARK(BM_CbcDecipher_OpenSsl);

// CPU time of this thread: unlike the wall clock it does not count time the scheduler gives to
// other processes, which a shared build machine does a lot of.
double ThreadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Both implementations timed alternately inside one benchmark, so drifts in clock speed hit both
// alike; reports each throughput and ours / OpenSSL.
void BM_CbcDecipher_Ratio(benchmark::State& state) {
    const auto in = RandomData();
    std::vector<uint8_t> ours(in.size()), theirs(in.size());
    CBlowfish cipher;
    cipher.Initialize(kKey, sizeof kKey, kZeroIv);
    BF_KEY key;
    BF_set_key(&key, sizeof kKey, kKey);
    double oursSeconds = 0, theirsSeconds = 0;
    for (auto _ : state) {
        const double t0 = ThreadSeconds();
        OursDecipherUnits(cipher, in, ours);
        benchmark::ClobberMemory();
        const double t1 = ThreadSeconds();
        OpenSslDecipherUnits(key, in, theirs);
        benchmark::ClobberMemory();
        const double t2 = ThreadSeconds();
        oursSeconds += t1 - t0;
        theirsSeconds += t2 - t1;
    }
    if (std::memcmp(ours.data(), theirs.data(), ours.size()) != 0) state.SkipWithError("results differ");
    const double bytes = static_cast<double>(state.iterations()) * static_cast<double>(in.size());
    state.counters["vexlor_MBps"] = bytes / oursSeconds / 1e6;
    state.counters["openssl_MBps"] = bytes / theirsSeconds / 1e6;
    state.counters["ratio"] = theirsSeconds / oursSeconds;
}
BENCHMARK(BM_CbcDecipher_Ratio)->MinTime(1.0);

void BM_KeySchedule_Vexlor(benchmark::State& state) {
    CBlowfish cipher;
    uint8_t key[8];
    std::memcpy(key, kKey, sizeof key);
    for (auto _ : state) {
        cipher.Initialize(key, sizeof key, kZeroIv);
        benchmark::DoNotOptimize(&cipher);
        ++key[0];
    }
}
BENCHMARK(BM_KeySchedule_Vexlor);

void BM_KeySchedule_OpenSsl(benchmark::State& state) {
    BF_KEY schedule;
    uint8_t key[8];
    std::memcpy(key, kKey, sizeof key);
    for (auto _ : state) {
        BF_set_key(&schedule, sizeof key, key);
        benchmark::DoNotOptimize(&schedule);
        ++key[0];
    }
}
BENCHMARK(BM_KeySchedule_OpenSsl);

}  // namespace

BENCHMARK_MAIN();
