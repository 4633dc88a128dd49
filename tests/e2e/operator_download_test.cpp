// Whole downloads through CDLOperator in this process, against the handset simulator.
#include "operator_rig.h"

#include "engine/dl_errors.h"

namespace {

using Statuses = std::vector<uint32_t>;

TEST_F(OperatorDownloadTest, DiagStartTwoBlocksArrivesWhole) {
    Prepare(0x20201, {"--mode", "diag"});
    EXPECT_EQ(RunToEnd(), STATUS_DONE);
    EXPECT_EQ(target.Statuses(), (Statuses{STATUS_STARTED, STATUS_DIAG_READY, STATUS_DONE}));
    ExpectProgressShape();
    EXPECT_TRUE(WaitWorkerEnded(5000));
    const std::string log = Log();
    EXPECT_EQ(CountOccurrences(log, "CDLOperator::DownloadFunc\tStart writing block start at 200, block size 20000."), 1);
    EXPECT_EQ(CountOccurrences(log, "CDLOperator::DownloadFunc\tStart writing block start at 20200, block size 1."), 1);
    EXPECT_EQ(CountOccurrences(log, "DIAG to DL change completed."), 1);
    ExpectImageIsLoad();
}

}  // namespace
