// SPDX-License-Identifier: Apache-2.0
// The load transfer in DL mode: which write packets the handset answers, the fault knobs of
// the transfer, and the image it assembles.
#include <gtest/gtest.h>

#include <map>

#include "handset_model.h"
#include "sim_test_bytes.h"

namespace {

constexpr uint32_t kBlock = 0x20000;
const Bytes kOk = DlFrame(Hex("70 00 00"));

HandsetConfig DlConfig() {
    HandsetConfig config;
    config.startMode = HandsetMode::DL;
    return config;
}

// Talks to the model as the download sequence does, packet by packet.
class Tool {
public:
    explicit Tool(HandsetModel& model) : m_model(model) {}

    Bytes Send(const Bytes& payload) { return Feed(m_model, DlFrame(payload), &m_events); }

    // The first packet: always 512 data bytes, zero beyond the load.
    Bytes FirstPacket(const Bytes& load) {
        Bytes data(512, 0);
        std::copy_n(load.begin(), std::min<size_t>(512, load.size()), data.begin());
        return Send(WritePacket(0, data));
    }

    // One block of 512-byte packets from start; returns the answers by packet address.
    std::map<uint32_t, Bytes> Block(const Bytes& load, uint32_t start, uint32_t size) {
        std::map<uint32_t, Bytes> answers;
        for (uint32_t offset = 0; offset < size; offset += 512) {
            const uint32_t address = start + offset;
            const size_t length = std::min<size_t>(512, size - offset);
            const Bytes answer = Send(WritePacket(address, {load.data() + address, length}));
            if (!answer.empty()) answers[address] = answer;
        }
        return answers;
    }

    // The whole sequence after the mode switch; returns the answers of every write packet.
    std::map<uint32_t, Bytes> Download(const Bytes& load, std::vector<Bytes>* checks = nullptr) {
        EXPECT_EQ(ToHex(Send(Hex("70 00"))), ToHex(kOk));
        std::map<uint32_t, Bytes> answers;
        if (Bytes first = FirstPacket(load); !first.empty()) answers[0] = first;
        for (uint32_t address = 0x200; address < load.size(); address += kBlock) {
            const uint32_t size = std::min<uint32_t>(kBlock, static_cast<uint32_t>(load.size()) - address);
            answers.merge(Block(load, address, size));
            const Bytes check = Send(Hex("06"));
            if (checks) checks->push_back(check);
        }
        return answers;
    }

    const HandsetEvents& Events() const { return m_events; }

private:
    HandsetModel& m_model;
    HandsetEvents m_events;
};

std::vector<uint32_t> Keys(const std::map<uint32_t, Bytes>& answers) {
    std::vector<uint32_t> keys;
    for (const auto& [address, answer] : answers) keys.push_back(address);
    return keys;
}

TEST(HandsetDownload, OnlyTheFirstPacketAndEachCompletedBlockAreAnswered) {
    HandsetModel model(DlConfig());
    Tool tool(model);
    // Two full blocks and a last block of one byte.
    const Bytes load = MakeLoad(0x200 + 2 * kBlock + 1);
    std::vector<Bytes> checks;
    const auto answers = tool.Download(load, &checks);
    EXPECT_EQ(Keys(answers), (std::vector<uint32_t>{0, 0x20000, 0x40000}));
    for (const auto& [address, answer] : answers) EXPECT_EQ(ToHex(answer), ToHex(kOk)) << address;
    ASSERT_EQ(checks.size(), 3u);
    for (const Bytes& check : checks) EXPECT_EQ(ToHex(check), "7E 02 6A D3 7E");

    EXPECT_EQ(ToHex(tool.Send(Hex("70 02"))), ToHex(kOk));
    EXPECT_EQ(ToHex(tool.Send(Hex("70 04"))), ToHex(kOk));
    EXPECT_TRUE(tool.Events().nandWrite);
    EXPECT_TRUE(model.Image().Bytes() == load);
    EXPECT_EQ(model.Image().HoleBytes(), 0u);
}

TEST(HandsetDownload, ALoadShorterThanOnePacketComesBackPaddedTo512Bytes) {
    HandsetModel model(DlConfig());
    Tool tool(model);
    const Bytes load = MakeLoad(100);
    const auto answers = tool.Download(load);
    EXPECT_EQ(Keys(answers), (std::vector<uint32_t>{0}));
    const Bytes& image = model.Image().Bytes();
    ASSERT_EQ(image.size(), 512u);
    EXPECT_TRUE(std::equal(load.begin(), load.end(), image.begin()));
    EXPECT_TRUE(std::all_of(image.begin() + 100, image.end(), [](uint8_t b) { return b == 0; }));
}

TEST(HandsetDownload, PacketsLandByAddressWhateverTheirOrderAndRepeatsOverwrite) {
    HandsetModel model(DlConfig());
    Tool tool(model);
    const Bytes load = MakeLoad(0x1000);
    tool.Send(Hex("70 00"));
    for (uint32_t address = 0x1000 - 512;; address -= 512) {
        tool.Send(WritePacket(address, {load.data() + address, 512}));
        if (address == 0) break;
    }
    // A packet sent again (a retry) carries the same bytes: nothing changes but the count.
    tool.Send(WritePacket(0x400, {load.data() + 0x400, 512}));
    EXPECT_TRUE(model.Image().Bytes() == load);
    EXPECT_EQ(model.Image().ReceivedBytes(), 0x1000u + 512u);
    EXPECT_EQ(model.Image().HoleBytes(), 0u);
}

TEST(HandsetDownload, BytesNoPacketWroteAreZeroAndCounted) {
    HandsetModel model(DlConfig());
    Tool tool(model);
    const Bytes load = MakeLoad(0x1200);
    tool.Send(WritePacket(0, {load.data(), 512}));
    tool.Send(WritePacket(0x1000, {load.data() + 0x1000, 0x200}));
    const Bytes& image = model.Image().Bytes();
    ASSERT_EQ(image.size(), 0x1200u);
    EXPECT_EQ(model.Image().HoleBytes(), 0x1000u - 0x200u);
    EXPECT_TRUE(std::all_of(image.begin() + 0x200, image.begin() + 0x1000, [](uint8_t b) { return b == 0; }));
}

TEST(HandsetDownload, StartOfDownloadBeginsANewImage) {
    HandsetModel model(DlConfig());
    Tool tool(model);
    tool.Download(MakeLoad(0x600));
    const Bytes second = MakeLoad(0x300);
    tool.Download(second);
    EXPECT_EQ(model.Image().Bytes().size(), 0x300u);
    EXPECT_TRUE(model.Image().Bytes() == second);
}

TEST(HandsetDownload, MalformedWritePacketsAreRefusedAndNotStored) {
    HandsetModel model(DlConfig());
    Tool tool(model);
    const Bytes refused = DlFrame(Hex("70 02 00"));
    const Bytes data(512, 0x55);
    Bytes noLength = WritePacket(0x200, data);
    noLength[6] = noLength[7] = 0;
    Bytes tooLong = WritePacket(0x200, data);
    tooLong[6] = 0x01;
    tooLong[7] = 0x02;  // 513
    Bytes dirtyPadding = WritePacket(0x200, {data.data(), 100});
    dirtyPadding[519] = 1;
    Bytes shortPacket = WritePacket(0x200, data);
    shortPacket.pop_back();
    const Bytes farAway = WritePacket(static_cast<uint32_t>(LoadImage::MAX_BYTES - 100), data);
    const std::vector<const Bytes*> packets = {&noLength, &tooLong, &dirtyPadding, &shortPacket, &farAway};
    for (const Bytes* packet : packets) {
        EXPECT_EQ(ToHex(tool.Send(*packet)), ToHex(refused));
    }
    EXPECT_TRUE(model.Image().Bytes().empty());
    EXPECT_EQ(model.Image().ReceivedBytes(), 0u);
}

TEST(HandsetDownloadFaults, BadBlockStatusFailsOnlyThatBlocksAwaitedPacket) {
    HandsetConfig config = DlConfig();
    config.badBlockStatus = 2;
    HandsetModel model(config);
    Tool tool(model);
    const auto answers = tool.Download(MakeLoad(0x200 + 3 * kBlock));
    ASSERT_EQ(Keys(answers), (std::vector<uint32_t>{0, 0x20000, 0x40000, 0x60000}));
    EXPECT_EQ(ToHex(answers.at(0x20000)), ToHex(kOk));
    EXPECT_EQ(ToHex(answers.at(0x40000)), ToHex(DlFrame(Hex("70 01 00"))));
    EXPECT_EQ(ToHex(answers.at(0x60000)), ToHex(kOk));
}

TEST(HandsetDownloadFaults, BadCheckAfterBlockRefusesOnlyTheNoOperationAfterThatBlock) {
    HandsetConfig config = DlConfig();
    config.badCheckAfterBlock = 1;
    HandsetModel model(config);
    Tool tool(model);
    // The no-operation before any packet is answered normally.
    EXPECT_EQ(ToHex(tool.Send(Hex("06"))), "7E 02 6A D3 7E");
    std::vector<Bytes> checks;
    tool.Download(MakeLoad(0x200 + kBlock + 0x400), &checks);
    ASSERT_EQ(checks.size(), 2u);
    EXPECT_EQ(ToHex(checks[0]), ToHex(DlFrame(Hex("03 00 01"))));
    EXPECT_EQ(ToHex(checks[1]), "7E 02 6A D3 7E");
}

TEST(HandsetDownloadFaults, UnaskedResponseFollowsTheFirstPacketOfThatBlockOnce) {
    HandsetConfig config = DlConfig();
    config.unaskedResponseInBlock = 2;
    HandsetModel model(config);
    Tool tool(model);
    const Bytes load = MakeLoad(0x200 + 2 * kBlock);
    const auto answers = tool.Download(load);
    EXPECT_EQ(Keys(answers), (std::vector<uint32_t>{0, 0x20000, 0x20200, 0x40000}));
    EXPECT_EQ(ToHex(answers.at(0x20200)), ToHex(kOk));
    // The block sent again after the failure gets no second surprise.
    EXPECT_EQ(Keys(tool.Block(load, 0x20200, kBlock)), (std::vector<uint32_t>{0x40000}));
    EXPECT_TRUE(model.Image().Bytes() == load);
}

TEST(HandsetDownloadFaults, DisconnectComesWithThePacketThatReachesTheCountAndStopsTheRead) {
    HandsetConfig config = DlConfig();
    config.disconnectAfterBytes = 1536;
    HandsetModel model(config);
    const Bytes load = MakeLoad(0x1000);
    HandsetEvents events;
    EXPECT_EQ(ToHex(Feed(model, DlFrame(WritePacket(0, {load.data(), 512})), &events)), ToHex(kOk));
    EXPECT_FALSE(events.disconnect);
    EXPECT_TRUE(Feed(model, DlFrame(WritePacket(0x200, {load.data() + 0x200, 512})), &events).empty());
    EXPECT_FALSE(events.disconnect);
    // The packet that reaches 1536 bytes and one more in the same read.
    Bytes input = DlFrame(WritePacket(0x400, {load.data() + 0x400, 512}));
    const Bytes next = DlFrame(WritePacket(0x600, {load.data() + 0x600, 512}));
    input.insert(input.end(), next.begin(), next.end());
    EXPECT_TRUE(Feed(model, input, &events).empty());
    EXPECT_TRUE(events.disconnect);
    EXPECT_EQ(model.Image().Bytes().size(), 0x600u);
    EXPECT_EQ(model.Image().ReceivedBytes(), 1536u);
}

}  // namespace
