// SPDX-License-Identifier: Apache-2.0
// One command and its response over a real serial channel: framing on the line, response
// assembly, zero fill, mode guards, stale and doubled frames.
#include "sercom_fixture.h"

namespace {

const Bytes kVersionQuery = {0x4B, 0x00, 0x01, 0x00};
const Bytes kNop = {0x06};

TEST_F(SerComTest, DiagCommandIsFramedWithoutLeadAndAnswerCopiedWithZeroFill) {
    StartHandset(ScriptedHandset::Answer::Diag);
    handset->SetHandler([](const Bytes& request) -> std::vector<Reply> {
        if (request == kVersionQuery) return {{ScriptedHandset::DiagFrame({0x4B, 0x7E, 0x7D}), 0}};
        return {};
    });
    OpenAndDetect(PHONE_MODE_DIAG);

    uint8_t response[16];
    std::fill(std::begin(response), std::end(response), 0xAA);
    ASSERT_EQ(link->DIAGTxRx(kVersionQuery.data(), 4, response, sizeof response, 10000), 3);
    EXPECT_EQ(response[0], 0x4B);
    EXPECT_EQ(response[1], 0x7E);  // escaped on the line, restored here
    EXPECT_EQ(response[2], 0x7D);
    for (size_t i = 3; i < sizeof response; ++i) EXPECT_EQ(response[i], 0) << i;
    EXPECT_EQ(handset->Received(), (Bytes{0x4B, 0x00, 0x01, 0x00, 0xA4, 0x33, 0x7E}));
    EXPECT_EQ(link->ResponseLength(), 0);
}

TEST_F(SerComTest, DlCommandIsFramedBetweenFlags) {
    StartHandset(ScriptedHandset::Answer::Dl);
    handset->SetHandler([](const Bytes& request) -> std::vector<Reply> {
        if (request == kNop) return {{ScriptedHandset::DlFrame({0x02}), 0}};
        return {};
    });
    OpenAndDetect(PHONE_MODE_DL);
    uint8_t response[10] = {};
    ASSERT_EQ(link->DLTxRx(kNop.data(), 1, response, sizeof response, 10000), 1);
    EXPECT_EQ(response[0], 0x02);
    EXPECT_EQ(handset->Received(), (Bytes{0x7E, 0x06, 0x4E, 0x95, 0x7E}));
}

TEST_F(SerComTest, WrongModeSendsNothing) {
    StartHandset(ScriptedHandset::Answer::Dl);
    OpenAndDetect(PHONE_MODE_DL);
    uint8_t response[91] = {};
    EXPECT_EQ(link->DIAGTxRx(kVersionQuery.data(), 4, response, sizeof response, 10000), SERCOM_ERR_WRONG_MODE);
    link->CloseCOMPort();

    StartHandset(ScriptedHandset::Answer::Diag);
    OpenAndDetect(PHONE_MODE_DIAG);
    EXPECT_EQ(link->DLTxRx(kNop.data(), 1, response, sizeof response, 10000), SERCOM_ERR_WRONG_MODE);
    // The next request in the right mode is the first thing the handset hears: the writes of
    // the line happen in order, so anything the refused call had sent would come before it.
    handset->SetHandler([](const std::vector<uint8_t>&) {
        return std::vector<ScriptedHandset::Reply>{{ScriptedHandset::DiagFrame({0x4B, 0x00, 0x01, 0x00}), 0}};
    });
    EXPECT_GE(link->DIAGTxRx(kVersionQuery.data(), 4, response, sizeof response, 10000), 0);
    EXPECT_EQ(handset->Received(), ScriptedHandset::DiagFrame(kVersionQuery));
}

TEST_F(SerComTest, ResponseSplitOverTwoNotificationsIsOneFrame) {
    StartHandset(ScriptedHandset::Answer::Diag);
    const Bytes frame = ScriptedHandset::DiagFrame({0x4B, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    handset->SetHandler([=](const Bytes&) -> std::vector<Reply> {
        return {{Bytes(frame.begin(), frame.begin() + 5), 0}, {Bytes(frame.begin() + 5, frame.end()), 150}};
    });
    OpenAndDetect(PHONE_MODE_DIAG);
    uint8_t response[91] = {};
    ASSERT_EQ(link->DIAGTxRx(kVersionQuery.data(), 4, response, sizeof response, 5000), 10);
    EXPECT_EQ(response[9], 9);
    EXPECT_GE(CountOccurrences(LogText(), "The original received buffer is"), 2);
}

TEST_F(SerComTest, SecondFrameOfABatchWaitsForTheFirstToBeTakenThenGoesToTheNextCaller) {
    StartHandset(ScriptedHandset::Answer::Diag);
    handset->SetHandler([](const Bytes& request) -> std::vector<Reply> {
        if (request != kVersionQuery) return {};
        Bytes both = ScriptedHandset::DiagFrame({0x11, 0x01});
        const Bytes second = ScriptedHandset::DiagFrame({0x22, 0x02, 0x03});
        both.insert(both.end(), second.begin(), second.end());
        return {{both, 0}};
    });
    OpenAndDetect(PHONE_MODE_DIAG);
    uint8_t response[91] = {};
    ASSERT_EQ(link->DIAGTxRx(kVersionQuery.data(), 4, response, sizeof response, 10000), 2);
    EXPECT_EQ(response[0], 0x11);
    // The second frame is decoded only now, and waits in the hand-over.
    ASSERT_TRUE(WaitFor([&] { return link->ResponseLength() == 3; }, 2000));
    EXPECT_EQ(link->PendingResponses(), 2);
    const Bytes unanswered = {0x0C};
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(link->DIAGTxRx(unanswered.data(), 1, response, sizeof response, 10000), 3);
    EXPECT_LT(MillisecondsSince(start), 250);
    EXPECT_EQ(response[0], 0x22);
    EXPECT_EQ(response[2], 0x03);
}

TEST_F(SerComTest, LateResponseTimesOutThenIsHandedToTheNextCaller) {
    StartHandset(ScriptedHandset::Answer::Diag);
    handset->SetHandler([](const Bytes& request) -> std::vector<Reply> {
        if (request == kVersionQuery) return {{ScriptedHandset::DiagFrame({0x4B, 0x55}), 400}};
        return {};
    });
    OpenAndDetect(PHONE_MODE_DIAG);
    uint8_t response[91] = {};
    EXPECT_EQ(link->DIAGTxRx(kVersionQuery.data(), 4, response, sizeof response, 1000), SERCOM_ERR_TIMEOUT);
    EXPECT_EQ(CountOccurrences(LogText(), "CSerCOMLibrary::TxRx\tTime out in OnRecv."), 1);
    ASSERT_TRUE(WaitFor([&] { return link->ResponseLength() > 0; }, 2000));
    const Bytes unanswered = {0x0C};
    ASSERT_EQ(link->DIAGTxRx(unanswered.data(), 1, response, sizeof response, 10000), 2);
    EXPECT_EQ(response[1], 0x55);
}

TEST_F(SerComTest, BadFrameIsLoggedAndDroppedAndTheNextAnswerStillArrives) {
    StartHandset(ScriptedHandset::Answer::Diag);
    handset->SetHandler([](const Bytes& request) -> std::vector<Reply> {
        if (request == kVersionQuery) return {{ScriptedHandset::DiagFrame({0x4B, 0x01}), 0}};
        return {};
    });
    OpenAndDetect(PHONE_MODE_DIAG);
    Bytes corrupt = ScriptedHandset::DiagFrame({0x4B, 0x02});
    corrupt[1] ^= 0x01;
    handset->Send(corrupt);
    ASSERT_TRUE(
        WaitFor([&] { return CountOccurrences(LogText(), "Packet check fails with error code -3") == 1; }, 2000));
    uint8_t response[91] = {};
    ASSERT_EQ(link->DIAGTxRx(kVersionQuery.data(), 4, response, sizeof response, 10000), 2);
    EXPECT_EQ(response[1], 0x01);
}

TEST_F(SerComTest, OpenWithoutLabelOrPortTouchesNothing) {
    StartHandset(ScriptedHandset::Answer::Diag);
    EXPECT_EQ(link->OpenComport(nullptr, kPort), SERCOM_ERR_PARAM);
    EXPECT_EQ(link->OpenComport("Target download", nullptr), SERCOM_ERR_PARAM);
    EXPECT_FALSE(link->IsListenerRunning());
    EXPECT_EQ(CountOccurrences(LogText(), "CSerCOMLibrary::OpenComport\t Function parameters contain null."), 2);
}

TEST_F(SerComTest, OpenOnAnOpenChannelFails) {
    StartHandset(ScriptedHandset::Answer::Diag);
    OpenAndDetect(PHONE_MODE_DIAG);
    EXPECT_EQ(link->OpenComport("Target download", kPort), SERCOM_ERR_OPEN);
}

}  // namespace
