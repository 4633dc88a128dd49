// SPDX-License-Identifier: Apache-2.0
// The hand-over of frames between the listener and the worker: streaming after an awaited
// answer with a slow listener, the pending count, and what ends a blocked listener.
#include "engine/dl_packets.h"
#include "sercom_fixture.h"

namespace {

const Bytes kNop = {0x06};

std::vector<Reply> AnswerNops(const Bytes& request) {
    if (request == kNop) return {{ScriptedHandset::DlFrame({0x02}), 0}};
    return {};
}

TEST_F(SerComTest, StreamingRightAfterAnAnswerNeverSeesTheTakenFrameWithASlowListener) {
    StartHandset(ScriptedHandset::Answer::Dl);
    handset->SetHandler(AnswerNops);
    OpenAndDetect(PHONE_MODE_DL);
    // The listener lingers after each hand-over, as on a loaded machine.
    link->SetListenerDelayForTest(300);

    uint8_t packet[dlpacket::WRITE_PACKET_SIZE] = {0x70, 0x01};
    uint8_t response[dlpacket::RESPONSE_BLOCK] = {};
    for (int round = 0; round < 4; ++round) {
        // The next answer is decoded only once the lingering listener is back: wait long enough.
        ASSERT_EQ(link->DLTxRx(kNop.data(), 1, response, 10, 20000), 1) << round;
        ASSERT_EQ(response[0], 0x02);
        for (int i = 0; i < 3; ++i) {
            ASSERT_EQ(link->DLSend(packet, sizeof packet), 0);
            const auto start = std::chrono::steady_clock::now();
            ASSERT_EQ(link->ReadReturnPacket(response, sizeof response), 0) << round << "/" << i;
            EXPECT_LT(MillisecondsSince(start), 150);  // no pause, no wait for a frame
        }
    }
    EXPECT_EQ(CountOccurrences(LogText(), "Time out in OnRecv."), 0);
    EXPECT_TRUE(WaitFor([&] { return handset->Requests().size() == 16; }, 2000));
}

TEST_F(SerComTest, ReadReturnPacketWithNothingReadyReturnsAtOnce) {
    StartHandset(ScriptedHandset::Answer::Dl);
    handset->SetHandler(AnswerNops);
    OpenAndDetect(PHONE_MODE_DL);
    uint8_t response[10] = {};
    ASSERT_EQ(link->DLTxRx(kNop.data(), 1, response, sizeof response, 10000), 1);
    EXPECT_EQ(link->PendingResponses(), 1);  // TxRx's frames are counted too
    uint8_t buffer[4096];
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(link->ReadReturnPacket(buffer, sizeof buffer), 0);
    EXPECT_LT(MillisecondsSince(start), 20);
    EXPECT_EQ(link->PendingResponses(), 1);
}

TEST_F(SerComTest, UnaskedFrameWithTwoPendingIsTakenThenTimesOutAndClearsTheCount) {
    StartHandset(ScriptedHandset::Answer::Dl);
    handset->SetHandler(AnswerNops);
    OpenAndDetect(PHONE_MODE_DL);
    uint8_t response[10] = {};
    ASSERT_EQ(link->DLTxRx(kNop.data(), 1, response, sizeof response, 10000), 1);
    handset->Send(ScriptedHandset::DlFrame({0x70, 0x00, 0x00}));
    ASSERT_TRUE(WaitFor([&] { return link->ResponseLength() == 3; }, 2000));
    EXPECT_EQ(link->PendingResponses(), 2);

    uint8_t buffer[8193];
    EXPECT_EQ(link->ReadReturnPacket(buffer, sizeof buffer), SERCOM_ERR_TIMEOUT);
    EXPECT_EQ(buffer[0], 0x70);
    EXPECT_EQ(link->PendingResponses(), 0);
    EXPECT_EQ(CountOccurrences(LogText(), "CSerCOMLibrary::ReadReturnPacket\tTime out in OnRecv."), 1);
    // The listener runs on: the next exchange works.
    ASSERT_EQ(link->DLTxRx(kNop.data(), 1, response, sizeof response, 10000), 1);
}

TEST_F(SerComTest, OversizedAnswerIsDroppedAndTheListenerGoesOn) {
    StartHandset(ScriptedHandset::Answer::Dl);
    const Bytes kInit = {0x70, 0x00};
    handset->SetHandler([=](const Bytes& request) -> std::vector<Reply> {
        if (request == kInit) return {{ScriptedHandset::DlFrame({0x70, 0x00, 0x00, 0x00}), 0}};
        return AnswerNops(request);
    });
    OpenAndDetect(PHONE_MODE_DL);
    uint8_t response[10] = {};
    EXPECT_EQ(link->DLTxRx(kInit.data(), 2, response, 3, 10000), SERCOM_ERR_TIMEOUT);
    EXPECT_EQ(CountOccurrences(LogText(), "CSerCOMLibrary::TxRx\tBuffer overflow."), 1);
    EXPECT_EQ(link->ResponseLength(), 0);
    ASSERT_EQ(link->DLTxRx(kNop.data(), 1, response, sizeof response, 10000), 1);
    EXPECT_EQ(response[0], 0x02);
}

TEST_F(SerComTest, OversizedUnaskedFrameInReadReturnPacketIsDroppedAndTheListenerGoesOn) {
    StartHandset(ScriptedHandset::Answer::Dl);
    handset->SetHandler(AnswerNops);
    OpenAndDetect(PHONE_MODE_DL);
    handset->Send(ScriptedHandset::DlFrame(Bytes(40, 0x33)));
    ASSERT_TRUE(WaitFor([&] { return link->ResponseLength() == 40; }, 2000));
    uint8_t small[16];
    EXPECT_EQ(link->ReadReturnPacket(small, sizeof small), SERCOM_ERR_TIMEOUT);
    EXPECT_EQ(CountOccurrences(LogText(), "CSerCOMLibrary::ReadReturnPacket\tBuffer overflow."), 1);
    uint8_t response[10] = {};
    ASSERT_EQ(link->DLTxRx(kNop.data(), 1, response, sizeof response, 10000), 1);
    EXPECT_EQ(response[0], 0x02);
}

TEST_F(SerComTest, ClosingWhileAFrameIsInHandOverEndsTheListenerAndForgetsTheFrame) {
    StartHandset(ScriptedHandset::Answer::Diag);
    const Bytes kStatus = {0x0C};
    handset->SetHandler([=](const Bytes& request) -> std::vector<Reply> {
        if (request == kStatus) return {{ScriptedHandset::DiagFrame({0x0C, 0x42}), 0}};
        return {};
    });
    OpenAndDetect(PHONE_MODE_DIAG);
    handset->Send(ScriptedHandset::DiagFrame({0x99, 0x98, 0x97}));
    ASSERT_TRUE(WaitFor([&] { return link->ResponseLength() == 3; }, 2000));

    const auto start = std::chrono::steady_clock::now();
    link->CloseCOMPort();
    EXPECT_LT(MillisecondsSince(start), 2000);
    EXPECT_FALSE(link->IsListenerRunning());
    EXPECT_FALSE(link->IsPortOpen());
    EXPECT_EQ(link->ResponseLength(), 0);

    // Reopened, the next exchange gets its own answer, not the withdrawn frame.
    OpenAndDetect(PHONE_MODE_DIAG);
    uint8_t response[91] = {};
    ASSERT_EQ(link->DIAGTxRx(kStatus.data(), 1, response, sizeof response, 10000), 2);
    EXPECT_EQ(response[1], 0x42);
}

TEST_F(SerComTest, DestroyingWhileAFrameIsInHandOverEndsTheListener) {
    StartHandset(ScriptedHandset::Answer::Diag);
    OpenAndDetect(PHONE_MODE_DIAG);
    handset->Send(ScriptedHandset::DiagFrame({0x99, 0x98}));
    ASSERT_TRUE(WaitFor([&] { return link->ResponseLength() == 2; }, 2000));
    const auto start = std::chrono::steady_clock::now();
    link.reset();
    EXPECT_LT(MillisecondsSince(start), 2000);
}

}  // namespace
