// SPDX-License-Identifier: Apache-2.0
// What a technician reads of a station and of a bench of ports, in each language: every line
// comes from the language library (no English word glued in), and a version mismatch says its
// cause in full with advice that can help.
#include <filesystem>
#include <regex>
#include <set>
#include <sstream>

#include "cli_rig.h"

namespace {

class CliLanguageTest : public CliDownloadTest, public ::testing::WithParamInterface<int> {
protected:
    // As Prepare, with the Traditional Chinese library beside the program too.
    void PrepareAll(uint32_t loadSize, const std::vector<std::string>& simOptions) {
        Prepare(loadSize, simOptions);
        const std::filesystem::path built = std::filesystem::path(VexlorProgram()).parent_path();
        std::filesystem::create_symlink(built / "VexlorChtRes.so", rig.Folder().File("VexlorChtRes.so"));
    }
    // The words of three letters or more in the output that are not names: the port names, the
    // devices, the platform the simulator gives and the few the Chinese texts keep.
    std::set<std::string> EnglishWords() const {
        std::string out = Output();
        for (const std::string& port : {"COM9", "COM10"}) {
            const std::string device = rig.TerminalOf(port);
            for (size_t at = out.find(device); !device.empty() && at != std::string::npos; at = out.find(device))
                out.erase(at, device.size());
        }
        static const std::set<std::string> kNames = {"COM", "NAND", "Vexlor", "MSM", "ESN"};
        std::set<std::string> words;
        const std::regex word("[A-Za-z]{3,}");
        for (auto it = std::sregex_iterator(out.begin(), out.end(), word); it != std::sregex_iterator(); ++it) {
            if (kNames.count(it->str()) == 0) words.insert(it->str());
        }
        return words;
    }
};

// A station of two ports (and one named twice): a handset that restarts, one whose NAND write
// fails, one of another version, one that never restarts; the summary and the bench's line.
TEST_P(CliLanguageTest, AStationSaysEverythingInTheChosenLanguage) {
    PrepareAll(0x20300, {"--restart-after", "300", "--unplug-after", "1500", "--swap-time", "1500", "--then",
                         "--fail-nand --unplug-after 700 --swap-time 1500", "--then",
                         "--version-numbers 1,3 --unplug-after 700"});
    ASSERT_TRUE(rig.StartSimulatorOn("COM10", {"--restart-after", "never", "--unplug-after", "700"}));
    Launch({"--cli", "--station", "--port", "COM9,COM10,COM9", "--max-handsets", "4", "--confirm-timeout", "1.5",
            "--gone-after", "0.5", "--lang", std::to_string(GetParam())});
    EXPECT_EQ(Finish(120000), 1) << Errors() << Output();
    EXPECT_EQ(EnglishWords(), std::set<std::string>{}) << Output();
}

// A bench of ports without a station: the lines, the summary table and the reasons under it.
TEST_P(CliLanguageTest, ABenchOfPortsSaysEverythingInTheChosenLanguage) {
    PrepareAll(0x20300, {"--version-numbers", "1,3"});
    ASSERT_TRUE(rig.StartSimulatorOn("COM10", {}));
    EXPECT_EQ(Run({"--cli", "--port", "COM9,COM10,COM9", "--confirm", "--confirm-timeout", "1.5", "--lang",
                   std::to_string(GetParam())}),
              1)
        << Errors() << Output();
    EXPECT_EQ(EnglishWords(), std::set<std::string>{}) << Output();
}

INSTANTIATE_TEST_SUITE_P(Chinese, CliLanguageTest, ::testing::Values(1, 2),
                         [](const auto& info) { return info.param == 1 ? "Traditional" : "Simplified"; });

// The reasons under the summary table give a mismatch in full: both versions, and to use the
// load that fits rather than to switch the handset off and on, which cannot help.
TEST_F(CliDownloadTest, AVersionMismatchsReasonNamesBothVersionsAndTheLoadThatFits) {
    Prepare(0x200, {"--version-numbers", "1,3"});
    ASSERT_TRUE(rig.StartSimulatorOn("COM10", {}));
    EXPECT_EQ(Run({"--cli", "--port", "COM9,COM10"}), 1) << Errors();
    std::string reason;
    std::istringstream lines(Output());
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("COM9: [0xF60] ", 0) == 0) reason = line;
    }
    EXPECT_EQ(reason,
              "COM9: [0xF60] Version mismatch: the handset has software version 13, this firmware load is for "
              "version 12. Use the firmware load made for this handset's version: switching it off and on does not "
              "help.")
        << Output();
}

}  // namespace
