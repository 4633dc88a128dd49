// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>
#include <vector>

#include "link/packet_packer.h"
#include "link/packet_unpacker.h"

namespace {

// The owner sets the mode from the worker thread while the listener thread decodes. Switching
// among the modes that all decode the DIAG form must never disturb a frame in progress.
TEST(CPacketUnpackerThreads, ModeSetWhileDecodingOnAnotherThread) {
    std::mt19937 rng(5);
    std::vector<std::vector<uint8_t>> payloads;
    std::vector<uint8_t> stream;
    for (int i = 0; i < 2000; ++i) {
        std::vector<uint8_t> payload(1 + rng() % 100);
        for (auto& b : payload) b = static_cast<uint8_t>(rng());
        const std::vector<uint8_t> frame = PackPacket(payload, FRAME_NO_LEAD, FRAME_FLAG);
        stream.insert(stream.end(), frame.begin(), frame.end());
        payloads.push_back(std::move(payload));
    }

    CPacketUnpacker unpacker;
    unpacker.SetMode(PHONE_MODE_DIAG);
    std::atomic<bool> done{false};
    std::thread worker([&] {
        const int32_t modes[] = {PHONE_MODE_DIAG, PHONE_MODE_DS, PHONE_MODE_UNKNOWN, PHONE_MODE_NONE};
        for (unsigned i = 0; !done.load(); ++i) unpacker.SetMode(modes[i % 4]);
    });

    size_t frame = 0;
    for (uint8_t b : stream) {
        const int32_t result = unpacker.PutByte(b);
        if (result == 0) continue;
        if (frame >= payloads.size()) {
            ADD_FAILURE() << "more frames than were sent";
            break;
        }
        EXPECT_EQ(result, static_cast<int32_t>(payloads[frame].size()));
        EXPECT_TRUE(std::equal(payloads[frame].begin(), payloads[frame].end(), unpacker.GetBuffer()));
        unpacker.Reset();
        ++frame;
    }
    done.store(true);
    worker.join();
    EXPECT_EQ(frame, payloads.size());
}

}  // namespace
