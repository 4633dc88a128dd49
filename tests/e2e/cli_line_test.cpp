// SPDX-License-Identifier: Apache-2.0
// What reaches the handset through the real program, byte by byte at the rate it crosses the
// line: a handset that hears one rate only, behind an adapter that holds bytes a moment, for
// each start mode and each rate of the rotation. A command sent just before the port closes,
// reopens at another rate or gets its own settings back must still be heard.
#include <sstream>

#include "cli_rig.h"
#include "engine/dl_status.h"

namespace {

struct LineCase {
    const char* mode;
    const char* rate;
};

void PrintTo(const LineCase& c, std::ostream* os) { *os << c.mode << " at " << c.rate; }

class CliLineRateTest : public CliDownloadTest, public ::testing::WithParamInterface<LineCase> {
protected:
    std::vector<std::string> Trace() const {
        std::vector<std::string> lines;
        std::istringstream text(ReadWholeFile(rig.Folder().File("handset.log")));
        for (std::string line; std::getline(text, line);) lines.push_back(line);
        return lines;
    }
};

TEST_P(CliLineRateTest, EveryCommandIsHeardAtTheRateItWasSentFor) {
    const LineCase& c = GetParam();
    Prepare(0x20300, {"--mode", c.mode, "--only-baud", c.rate, "--line-latency", "30", "--log",
                      rig.Folder().File("handset.log")});
    const bool startsInDl = std::string(c.mode) == "dl";
    // The adapter's 30 ms stay well under the tool's time-outs at this scale, as on a real bench.
    EXPECT_EQ(Run({}, "0.25"), startsInDl ? 1 : 0) << Errors();
    EXPECT_EQ(PrintedStatuses().back(), startsInDl ? STATUS_ERR_NOT_DIAG : STATUS_DONE) << Output();

    int resets = 0;
    for (const std::string& line : Trace()) {
        // Only detection packets at the rotation's other rates go unheard: never a command the
        // handset needed, and never bytes whose rate changed under them.
        if (line.find("garbled:") != std::string::npos) {
            EXPECT_NE(line.find("garbled: 10 bytes at line rate"), std::string::npos) << line;
            EXPECT_EQ(line.find("when they came"), std::string::npos) << line;
        }
        if (line.find(" reset") != std::string::npos) ++resets;
    }
    // The run's last command, written just before the port is given back, restarts the handset.
    EXPECT_EQ(resets, startsInDl ? 0 : 1) << ReadWholeFile(rig.Folder().File("handset.log"));
    if (!startsInDl) ExpectImageIsLoad();
}

INSTANTIATE_TEST_SUITE_P(Modes, CliLineRateTest,
                         ::testing::Values(LineCase{"ds", "115200"}, LineCase{"ds", "230400"}, LineCase{"ds", "460800"},
                                           LineCase{"diag", "115200"}, LineCase{"diag", "230400"},
                                           LineCase{"diag", "460800"}, LineCase{"dl", "115200"},
                                           LineCase{"dl", "230400"}, LineCase{"dl", "460800"}),
                         [](const auto& info) { return std::string(info.param.mode) + "At" + info.param.rate; });

}  // namespace
