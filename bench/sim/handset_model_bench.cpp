// SPDX-License-Identifier: Apache-2.0
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "handset_model.h"
#include "link/frame_bytes.h"
#include "link/packet_packer.h"

namespace {

constexpr uint32_t kBlockStart = 0x200;
constexpr uint32_t kBlockSize = 0x20000;

// One full block as the tool streams it: 256 write packets, each framed in DL form.
std::vector<uint8_t> BlockOnTheLine() {
    std::vector<uint8_t> line;
    for (uint32_t offset = 0; offset < kBlockSize; offset += 512) {
        std::vector<uint8_t> packet(520, 0);
        const uint32_t address = kBlockStart + offset;
        packet[0] = 0x70;
        packet[1] = 0x01;
        for (int i = 0; i < 4; ++i) packet[2 + static_cast<size_t>(i)] = static_cast<uint8_t>(address >> (8 * i));
        packet[7] = 0x02;  // 512 data bytes
        // Every byte value, flag and escape included, so escaping costs what it costs for real.
        for (size_t i = 0; i < 512; ++i) packet[8 + i] = static_cast<uint8_t>(i * 13 + offset);
        const std::vector<uint8_t> frame = PackPacket(packet, FRAME_FLAG, FRAME_FLAG);
        line.insert(line.end(), frame.begin(), frame.end());
    }
    return line;
}

// The simulator reads at most 4096 bytes at a time; the model sees the line in such pieces.
void BM_ModelTakesABlock(benchmark::State& state) {
    const std::vector<uint8_t> line = BlockOnTheLine();
    HandsetConfig config;
    config.startMode = HandsetMode::DL;
    HandsetModel model(config);
    std::vector<uint8_t> reply;
    for (auto _ : state) {
        for (size_t at = 0; at < line.size(); at += 4096) {
            const size_t n = std::min<size_t>(4096, line.size() - at);
            reply.clear();
            model.Receive({line.data() + at, n}, reply);
        }
        benchmark::DoNotOptimize(reply.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(line.size()));
}
BENCHMARK(BM_ModelTakesABlock)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
