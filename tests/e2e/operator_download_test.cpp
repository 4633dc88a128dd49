// SPDX-License-Identifier: Apache-2.0
// Whole downloads through CDLOperator in this process, against the handset model on an
// in-process line: start modes, load sizes, every failure the handset can show, and Stop at
// each stage.
#include "engine/dl_errors.h"
#include "operator_rig.h"

namespace {

using Statuses = std::vector<uint32_t>;
const Statuses kDone = {STATUS_STARTED, STATUS_DIAG_READY, STATUS_DONE};

// --- Start modes ---------------------------------------------------------------------------

TEST_F(OperatorDownloadTest, DiagStartTwoBlocksArrivesWhole) {
    Prepare(0x20201, {"--mode", "diag"});
    EXPECT_EQ(RunToEnd(), STATUS_DONE);
    EXPECT_EQ(target.Statuses(), kDone);
    ExpectProgressShape();
    EXPECT_TRUE(WaitWorkerEnded(5000));
    const std::string log = Log();
    EXPECT_EQ(CountOccurrences(log, "CDLOperator::DownloadFunc\tStart writing block start at 200, block size 20000."),
              1);
    EXPECT_EQ(CountOccurrences(log, "CDLOperator::DownloadFunc\tStart writing block start at 20200, block size 1."), 1);
    EXPECT_EQ(CountOccurrences(log, "DIAG to DL change completed."), 1);
    EXPECT_EQ(CountOccurrences(log, "CDLOperator::DownloadFunc\tStart target download process"), 1);
    EXPECT_FALSE(op->Link().IsPortOpen());
    ExpectImageIsLoad();
}

TEST_F(OperatorDownloadTest, DsStartIsSwitchedToDiagThenDownloads) {
    Prepare(0x20200, {"--mode", "ds"});
    EXPECT_EQ(RunToEnd(), STATUS_DONE);
    EXPECT_EQ(target.Statuses(), kDone);
    EXPECT_GE(CountInLog("Start change mode DS to DIAG"), 1);
    ExpectImageIsLoad();
}

TEST_F(OperatorDownloadTest, DlStartIsRefusedAsNotDiag) {
    Prepare(0x1000, {"--mode", "dl"});
    EXPECT_EQ(RunToEnd(), STATUS_ERR_NOT_DIAG);
    EXPECT_EQ(target.Statuses(), (Statuses{STATUS_STARTED, STATUS_ERR_NOT_DIAG}));
    EXPECT_TRUE(target.Percentages().empty());
    const std::string log = Log();
    EXPECT_EQ(CountOccurrences(log, "Mobile current mode is DL, can not change to DIAG."), 1);
    EXPECT_EQ(CountOccurrences(log, "CDLOperator::DownloadFunc\tCOM port is not in DIAG mode."), 1);
    // Detection's failure line comes before the port is closed.
    EXPECT_NE(log.find("Try to close COM", log.find("COM port is not in DIAG mode.")), std::string::npos);
    EXPECT_TRUE(WaitWorkerEnded(5000));
    EXPECT_FALSE(op->Link().IsPortOpen());
}

// --- Load sizes ----------------------------------------------------------------------------

struct LoadCase {
    uint32_t size;
    int fullBlocks;   // blocks of 0x20000 bytes
    bool shortBlock;  // a last, shorter block
};

class LoadSizeTest : public OperatorDownloadTest, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(LoadSizeTest, ArrivesWholeInTheRightBlocks) {
    const LoadCase load = GetParam();
    Prepare(load.size, {});
    EXPECT_EQ(RunToEnd(), STATUS_DONE);
    EXPECT_EQ(target.Statuses(), kDone);
    ExpectProgressShape();
    const std::string log = Log();
    EXPECT_EQ(CountOccurrences(log, "block size 20000."), load.fullBlocks);
    EXPECT_EQ(CountOccurrences(log, "Start writing block"), load.fullBlocks + (load.shortBlock ? 1 : 0));
    ExpectImageIsLoad();
}

INSTANTIATE_TEST_SUITE_P(Sizes, LoadSizeTest,
                         ::testing::Values(LoadCase{100, 0, false}, LoadCase{0x200, 0, false},
                                           LoadCase{0x20200, 1, false}, LoadCase{0x20201, 1, true},
                                           LoadCase{3 * 1024 * 1024 + 777, 24, true}),
                         [](const auto& info) { return "Load" + std::to_string(info.param.size); });

// --- Refusals and failures -----------------------------------------------------------------

TEST_F(OperatorDownloadTest, AccRefusalOfTheStart) {
    Prepare(0x1000, {"--refuse-start", "0x1002"});
    EXPECT_EQ(RunToEnd(), STATUS_ERR_ACC);
    EXPECT_EQ(target.Statuses(), (Statuses{STATUS_STARTED, STATUS_DIAG_READY, STATUS_ERR_ACC}));
    const std::string log = Log();
    EXPECT_EQ(CountOccurrences(log, "Return response error code is 70 - 1002."), 1);
    EXPECT_EQ(CountOccurrences(log, "Download initialization failed with error code F0010105."), 1);
    EXPECT_EQ(CountOccurrences(log, "ACC failed with error code F0010105."), 1);
    // The port is closed first, then both lines are written.
    EXPECT_LT(log.find("Download initialization failed"), log.find("ACC failed"));
    EXPECT_EQ(log.find("Try to close COM", log.find("Download initialization failed")), std::string::npos);
    EXPECT_FALSE(op->Link().IsPortOpen());
}

TEST_F(OperatorDownloadTest, OtherRefusalOfTheStart) {
    Prepare(0x1000, {"--refuse-start", "0x0001"});
    EXPECT_EQ(RunToEnd(), STATUS_ERR_MODE);
    EXPECT_EQ(target.Statuses(), (Statuses{STATUS_STARTED, STATUS_DIAG_READY, STATUS_ERR_MODE}));
    const std::string log = Log();
    EXPECT_EQ(CountOccurrences(log, "Download initialization failed with error code F0010101."), 1);
    EXPECT_EQ(CountOccurrences(log, "ACC failed"), 0);
}

TEST_F(OperatorDownloadTest, BadStatusOnABlock) {
    Prepare(0x40300, {"--bad-block-status", "2"});
    EXPECT_EQ(RunToEnd(), STATUS_ERR_WRITE);
    const std::string log = Log();
    EXPECT_EQ(CountOccurrences(log, "CDLOperator::WriteBlockPacket\tReturn response error code is 70 - 1."), 1);
    EXPECT_EQ(CountOccurrences(log, "write packet failed with error code F0010101."), 1);
    EXPECT_EQ(CountOccurrences(log, "Start writing block"), 2);
    EXPECT_FALSE(op->Link().IsPortOpen());
}

TEST_F(OperatorDownloadTest, BadAnswerToTheCheckAfterABlock) {
    Prepare(0x40300, {"--bad-check-after-block", "1"});
    EXPECT_EQ(RunToEnd(), STATUS_ERR_WRITE);
    const std::string log = Log();
    EXPECT_EQ(CountOccurrences(log, "CDLOperator::CheckWriteBlockPacketError\tThere is error in Block packet writing."),
              1);
    EXPECT_EQ(CountOccurrences(log, "write packet failed with error code F0010104."), 1);
    EXPECT_EQ(CountOccurrences(log, "Start writing block"), 1);
}

TEST_F(OperatorDownloadTest, UnaskedResponseWhileStreaming) {
    Prepare(0x40300, {"--unasked-response-in-block", "2"});
    EXPECT_EQ(RunToEnd(), STATUS_ERR_WRITE);
    const std::string log = Log();
    EXPECT_EQ(CountOccurrences(log, "CDLOperator::WriteBlockPacket\tDLSend failed with ret 0."), 1);
    EXPECT_EQ(CountOccurrences(log, "write packet failed with error code F0010103."), 1);
    // The pending count also holds the awaited answers taken earlier: a wait that times out.
    EXPECT_EQ(CountOccurrences(log, "CSerCOMLibrary::ReadReturnPacket\tTime out in OnRecv."), 1);
}

TEST_F(OperatorDownloadTest, EndOfDownloadFails) {
    Prepare(0x20201, {"--fail-final"});
    EXPECT_EQ(RunToEnd(), STATUS_ERR_FINAL);
    EXPECT_EQ(CountInLog("CDLOperator::DownloadFunc\tReset with error code F0010101."), 1);
    EXPECT_EQ(CountInLog("CDLOperator::FinalDownload\tReturn response error code is 70 - 1."), 1);
    for (uint32_t percent : target.Percentages()) EXPECT_LT(percent, 100u);
}

TEST_F(OperatorDownloadTest, NandWriteFails) {
    Prepare(0x20201, {"--fail-nand"});
    EXPECT_EQ(RunToEnd(), STATUS_ERR_NAND);
    EXPECT_EQ(CountInLog("CDLOperator::DownloadFunc\tReset with error code F0010101."), 1);
    EXPECT_EQ(CountInLog("CDLOperator::WriteToNand\tReturn response error code is 70 - 1."), 1);
    for (uint32_t percent : target.Percentages()) EXPECT_LT(percent, 100u);
}

TEST_F(OperatorDownloadTest, PlatformWithoutOfflineStep) {
    Prepare(0x20201, {"--platform", "CORVANE1", "--no-status-reply"});
    EXPECT_EQ(RunToEnd(), STATUS_DONE);
    EXPECT_EQ(CountInLog("Can't get phone status, Maybe it is a Corvane handset"), 1);
    EXPECT_EQ(CountInLog("Set mobile offline."), 0);
    ExpectImageIsLoad();
}

TEST_F(OperatorDownloadTest, OfflineNeverReached) {
    Prepare(0x1000, {"--offline-after", "never"});
    EXPECT_EQ(RunToEnd(), STATUS_ERR_MODE);
    EXPECT_EQ(target.Statuses(), (Statuses{STATUS_STARTED, STATUS_DIAG_READY, STATUS_ERR_MODE}));
    const std::string log = Log();
    EXPECT_EQ(CountOccurrences(log, "Change to offline fails."), 1);
    EXPECT_EQ(CountOccurrences(log, "CSerCOMLibrary::IsDLConnected\tDIAG to DL failed."), 1);
    EXPECT_EQ(CountOccurrences(log, "Change to download mode failed with error code F0000312."), 1);
    EXPECT_EQ(CountOccurrences(log, "Current RF mode is"), 20);
}

TEST_F(OperatorDownloadTest, SilentHandsetIsAPortFailure) {
    Prepare(0x1000, {"--silent"});
    EXPECT_EQ(RunToEnd(), STATUS_ERR_PORT);
    EXPECT_EQ(target.Statuses(), (Statuses{STATUS_STARTED, STATUS_ERR_PORT}));
    const std::string log = Log();
    EXPECT_EQ(CountOccurrences(log, "Can not determine phone mode, so wait a moment."), 30);
    EXPECT_EQ(CountOccurrences(log, "CDLOperator::DownloadFunc\tCOM port is not in DIAG mode."), 1);
    EXPECT_TRUE(WaitWorkerEnded(5000));
    EXPECT_FALSE(op->Link().IsListenerRunning());
}

TEST_F(OperatorDownloadTest, DisconnectInTheMiddleFailsInBoundedTime) {
    Prepare(1024 * 1024, {"--disconnect-after", "300000"});
    const auto start = std::chrono::steady_clock::now();
    const uint32_t status = RunToEnd(30000);
    EXPECT_EQ(status, STATUS_ERR_WRITE);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_EQ(CountInLog("write packet failed with error code"), 1);
    EXPECT_TRUE(WaitWorkerEnded(5000));
    EXPECT_FALSE(op->Link().IsListenerRunning());
    // Not a block the handset refused: the device itself went, with the system's own error.
    const RunFailure failure = op->LastFailure();
    EXPECT_EQ(failure.port.kind, PortFailure::Kind::kGone);
    EXPECT_TRUE(platform::IsDeviceGone(failure.port.error)) << failure.port.error;
}

// --- Stop ----------------------------------------------------------------------------------

// Raises the stop request as soon as the run reports that it has started (before the port).
class StopOnStart : public RecordingTarget {
public:
    explicit StopOnStart(CDLOperator& op) : m_op(op) {}
    void Post(uint32_t message, uintptr_t value) override {
        RecordingTarget::Post(message, value);
        if (message == WM_DL_STATUS && value == STATUS_STARTED) m_op.RequestStop();
    }

private:
    CDLOperator& m_op;
};

TEST_F(OperatorDownloadTest, StopBeforeThePortOpens) {
    Prepare(0x1000, {});
    StopOnStart stopper(*op);
    op->SetNotifyTarget(&stopper);
    op->Start();
    ASSERT_TRUE(WaitWorkerEnded(5000));
    op->Stop();
    EXPECT_EQ(stopper.Statuses(), (Statuses{STATUS_STARTED}));
    const std::string log = Log();
    EXPECT_EQ(CountOccurrences(log, "CDLOperator::DownloadFunc\tUse call to stop download thread."), 1);
    EXPECT_EQ(CountOccurrences(log, "Start listener."), 0);
    EXPECT_FALSE(op->Link().IsPortOpen());
}

TEST_F(OperatorDownloadTest, StopDuringDetection) {
    Prepare(0x1000, {"--silent"});
    op->Start();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (CountInLog("Can not determine phone mode, so wait a moment.") < 3 &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const auto start = std::chrono::steady_clock::now();
    op->Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    EXPECT_FALSE(op->IsRunning());
    EXPECT_EQ(target.Statuses(), (Statuses{STATUS_STARTED}));
    EXPECT_LT(CountInLog("Can not determine phone mode, so wait a moment."), 30);
    EXPECT_EQ(CountInLog("Use call to stop download thread."), 1);
    EXPECT_FALSE(op->Link().IsPortOpen());
    EXPECT_FALSE(op->Link().IsListenerRunning());
}

TEST_F(OperatorDownloadTest, StopDuringTheBlocks) {
    Prepare(4 * 1024 * 1024, {"--throttle", "4000000"});
    op->Start();
    ASSERT_TRUE(target.WaitForStatus([](uint32_t s) { return s == STATUS_DIAG_READY; }, 20000));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (CountInLog("Start writing block") < 2 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    op->Stop();
    EXPECT_FALSE(op->IsRunning());
    EXPECT_EQ(target.Statuses(), (Statuses{STATUS_STARTED, STATUS_DIAG_READY}));
    EXPECT_EQ(CountInLog("Use call to stop download thread."), 1);
    EXPECT_EQ(CountInLog("FinalDownload"), 0);
    EXPECT_FALSE(op->Link().IsPortOpen());
    EXPECT_FALSE(op->Link().IsListenerRunning());
    // Nothing comes after the stop: the worker, the only poster of statuses, has ended.
    EXPECT_EQ(target.Statuses().size(), 2u);
}

TEST_F(OperatorDownloadTest, StartAfterARunEndedStartsANewOne) {
    Prepare(0x200, {});
    EXPECT_EQ(RunToEnd(), STATUS_DONE);
    ASSERT_TRUE(WaitWorkerEnded(5000));
    target.Clear();
    EXPECT_EQ(RunToEnd(), STATUS_DONE);
    EXPECT_EQ(target.Statuses(), kDone);
}

}  // namespace
