// SPDX-License-Identifier: Apache-2.0
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "link/crc.h"
#include "link/crc_reference.h"

namespace {

std::vector<uint8_t> RandomBytes(size_t count) {
    std::mt19937 rng(42);
    std::vector<uint8_t> bytes(count);
    for (auto& b : bytes) b = static_cast<uint8_t>(rng());
    return bytes;
}

// The package check's shape: a 1 MiB load in 4096-byte chunks.
void BM_Crc30CalcPart_4096Chunks(benchmark::State& state) {
    const std::vector<uint8_t> load = RandomBytes(1 << 20);
    for (auto _ : state) {
        uint32_t crc = 0;
        for (size_t at = 0; at < load.size(); at += 4096) {
            const int phase = at == 0 ? CRC30_FIRST : at + 4096 >= load.size() ? CRC30_LAST : CRC30_MIDDLE;
            crc = Crc30CalcPart(load.data() + at, 4096 * 8, phase);
        }
        benchmark::DoNotOptimize(crc);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(load.size()));
}
BENCHMARK(BM_Crc30CalcPart_4096Chunks);

void BM_Crc30Reference_4096Chunks(benchmark::State& state) {
    const std::vector<uint8_t> load = RandomBytes(1 << 20);
    for (auto _ : state) {
        uint32_t reg = 0x3FFFFFFF;
        for (size_t at = 0; at < load.size(); at += 4096) reg = Crc30ReferenceUpdate(reg, load.data() + at, 4096);
        benchmark::DoNotOptimize(reg);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(load.size()));
}
BENCHMARK(BM_Crc30Reference_4096Chunks);

template <uint16_t (*Crc)(const uint8_t*, uint32_t)>
void BM_Crc16(benchmark::State& state) {
    const std::vector<uint8_t> data = RandomBytes(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(Crc(data.data(), static_cast<uint32_t>(data.size() * 8)));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_Crc16<Crc16Calc>)->Name("BM_Crc16Calc")->Arg(512)->Arg(4096);
BENCHMARK(BM_Crc16<Crc16Reference>)->Name("BM_Crc16Reference")->Arg(512)->Arg(4096);

}  // namespace
