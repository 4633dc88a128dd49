// SPDX-License-Identifier: Apache-2.0
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "link/packet_packer.h"
#include "link/packet_unpacker.h"

namespace {

// A download write command: a few header bytes and 512 bytes of load.
std::vector<uint8_t> WritePayload() {
    std::mt19937 rng(512);
    std::vector<uint8_t> payload(512 + 7);
    for (auto& b : payload) b = static_cast<uint8_t>(rng());
    return payload;
}

void BM_PackPacket_IntoBuffer(benchmark::State& state) {
    const std::vector<uint8_t> payload = WritePayload();
    std::vector<uint8_t> out(PackedSizeMax(payload.size()));
    for (auto _ : state) {
        benchmark::DoNotOptimize(PackPacket(payload, FRAME_FLAG, FRAME_FLAG, out));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(payload.size()));
}
BENCHMARK(BM_PackPacket_IntoBuffer);

void BM_PackPacket_NewVector(benchmark::State& state) {
    const std::vector<uint8_t> payload = WritePayload();
    for (auto _ : state) benchmark::DoNotOptimize(PackPacket(payload, FRAME_FLAG, FRAME_FLAG));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(payload.size()));
}
BENCHMARK(BM_PackPacket_NewVector);

// 256 DL frames of 519-byte payloads back to back, as the owner feeds them (reset after each).
std::vector<uint8_t> FrameStream(int frames) {
    std::mt19937 rng(7);
    std::vector<uint8_t> stream;
    for (int i = 0; i < frames; ++i) {
        std::vector<uint8_t> payload(519);
        for (auto& b : payload) b = static_cast<uint8_t>(rng());
        payload[0] = 0x02;
        const std::vector<uint8_t> frame = PackPacket(payload, FRAME_FLAG, FRAME_FLAG);
        stream.insert(stream.end(), frame.begin(), frame.end());
    }
    return stream;
}

void BM_Unpack_PutByte(benchmark::State& state) {
    const std::vector<uint8_t> stream = FrameStream(256);
    CPacketUnpacker unpacker;
    unpacker.SetMode(PHONE_MODE_DL);
    for (auto _ : state) {
        int frames = 0;
        for (uint8_t b : stream) {
            if (unpacker.PutByte(b) != 0) {
                ++frames;
                unpacker.Reset();
            }
        }
        benchmark::DoNotOptimize(frames);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(stream.size()));
}
BENCHMARK(BM_Unpack_PutByte);

void BM_Unpack_PutBytes(benchmark::State& state) {
    const std::vector<uint8_t> stream = FrameStream(256);
    CPacketUnpacker unpacker;
    unpacker.SetMode(PHONE_MODE_DL);
    for (auto _ : state) {
        int frames = 0;
        size_t at = 0;
        while (at < stream.size()) {
            size_t taken = 0;
            if (unpacker.PutBytes(stream.data() + at, stream.size() - at, taken) != 0) {
                ++frames;
                unpacker.Reset();
            }
            at += taken;
        }
        benchmark::DoNotOptimize(frames);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(stream.size()));
}
BENCHMARK(BM_Unpack_PutBytes);

}  // namespace
