// SPDX-License-Identifier: Apache-2.0
// Start and Stop against a run that outlasts their waits (120 s at the design's timing, scaled
// here to 2.4 s) while one 128 KiB block crawls over a modelled 230400 baud line (about 6 s).
#include "operator_rig.h"

#include "platform/sleep.h"

namespace {

class RecordingSink : public IMessageSink {
public:
    void Show(const char* text) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_texts.emplace_back(text);
    }
    std::vector<std::string> Texts() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_texts;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_texts;
};

TEST_F(OperatorDownloadTest, StartAndStopWhileAWorkerOutlastsTheirWaits) {
    ASSERT_LT(platform::ScaledMs(CDLOperator::THREAD_WAIT_MS), 4000) << "needs VEXLOR_TIME_SCALE=0.02";
    Prepare(0x20200, {"--throttle", "230400"});
    RecordingSink sink;
    op->SetMessageSink(&sink);
    op->Start();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (CountInLog("Start writing block start at 200") == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ASSERT_TRUE(op->IsRunning());

    op->Start();  // waits, then refuses: the worker still runs
    EXPECT_EQ(sink.Texts(), (std::vector<std::string>{
                                "Opeator Thread is still running so that we can not create a new thread."}));
    EXPECT_EQ(CountInLog("CDLOperator::Start\tOpeator Thread is still running so that we can not create a new thread."),
              1);
    EXPECT_TRUE(op->IsRunning());

    op->Stop();  // the block is still on the line: the wait ends first
    ASSERT_EQ(sink.Texts().size(), 2u);
    EXPECT_EQ(sink.Texts()[1], "Can not stop operator thread.");
    EXPECT_TRUE(op->IsRunning());

    // A later Stop finds the worker ended once the block is through (on a loaded machine the
    // modelled line may take a few more waits).
    for (int attempt = 0; attempt < 10 && op->IsRunning(); ++attempt) op->Stop();
    EXPECT_FALSE(op->IsRunning());
    for (size_t i = 1; i < sink.Texts().size(); ++i) EXPECT_EQ(sink.Texts()[i], "Can not stop operator thread.");
    EXPECT_EQ(target.Statuses(), (std::vector<uint32_t>{STATUS_STARTED, STATUS_DIAG_READY}));
    EXPECT_EQ(CountInLog("Use call to stop download thread."), 1);
    EXPECT_FALSE(op->Link().IsPortOpen());

    // And the operator starts again afterwards.
    handset->PowerCycle(SimOptionsOf({}));
    target.Clear();
    EXPECT_EQ(RunToEnd(), STATUS_DONE);
}

}  // namespace
