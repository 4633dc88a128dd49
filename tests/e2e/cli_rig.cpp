// SPDX-License-Identifier: Apache-2.0
#include "cli_rig.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

void CliDownloadTest::Prepare(uint32_t loadSize, const std::vector<std::string>& simOptions) {
    ASSERT_TRUE(rig.PackLoad(loadSize, VexlorProgram()));
    // The language libraries live in the program's folder.
    const std::filesystem::path built = std::filesystem::path(VexlorProgram()).parent_path();
    for (const char* library : {"VexlorEngRes.so", "VexlorChsRes.so"}) {
        std::filesystem::create_symlink(built / library, rig.Folder().File(library));
    }
    ASSERT_TRUE(rig.StartSimulator(simOptions)) << rig.SimulatorErrors();
    // The test's own look at the ports' locks finds them where its programs keep them.
    setenv("VEXLOR_LOCK_DIR", rig.Folder().File("lock").c_str(), 1);
}

void CliDownloadTest::Launch(const std::vector<std::string>& args, const std::string& timeScale) {
    const std::vector<std::string> run =
        args.empty() ? std::vector<std::string>{"--cli", "--port", DownloadRig::kPort} : args;
    std::vector<std::string> environment =
        rig.ChildEnvironment(timeScale.empty() ? DownloadRig::ChildTimeScale() : timeScale);
    environment.insert(environment.end(), extraEnvironment.begin(), extraEnvironment.end());
    ASSERT_TRUE(vexlor.Start(rig.PackedPath(), run, environment, rig.Folder().File("vexlor.err")));
}

void CliDownloadTest::TearDown() {
    if (HasFailure()) std::fprintf(stderr, "--- the run's diagnostic log ---\n%s\n", rig.LogText().c_str());
}

int CliDownloadTest::Finish(int limitMs) { return vexlor.Wait(limitMs); }

int CliDownloadTest::Run(const std::vector<std::string>& args, const std::string& timeScale) {
    Launch(args, timeScale);
    return Finish();
}

std::vector<uint32_t> CliDownloadTest::PrintedStatuses() const {
    std::vector<uint32_t> statuses;
    const std::string& out = vexlor.Output();
    size_t start = 0;
    while (start < out.size()) {
        size_t end = out.find('\n', start);
        if (end == std::string::npos) end = out.size();
        unsigned code = 0;
        if (out.compare(start, 3, "[0x") == 0 && std::sscanf(out.c_str() + start, "[0x%X]", &code) == 1) {
            statuses.push_back(code);
        }
        start = end + 1;
    }
    return statuses;
}

void CliDownloadTest::ExpectImageIsLoad() {
    ASSERT_EQ(rig.StopSimulator(), 0);
    std::string why;
    EXPECT_TRUE(rig.ImageMatchesLoad(&why)) << why;
}
