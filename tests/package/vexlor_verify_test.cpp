// SPDX-License-Identifier: Apache-2.0
// vexlor --cli --verify end to end: the real vexlor binary, packed by the real vexlor-pack.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "package/package_layout.h"
#include "package_fixture.h"
#include "process_runner.h"

namespace {

using pkgtest::ProcessResult;

class VexlorVerify : public ::testing::Test {
protected:
    void SetUp() override {
        m_packed = m_dir.File("vexlor");
        const std::string load = m_dir.File("load");
        pkgtest::WriteFile(load, pkgtest::RandomBytes(300000, 12));
        const ProcessResult packed = pkgtest::RunProcess(
            VEXLOR_PACK_BINARY, {"--program", VEXLOR_BINARY, "--load", load, "--version", "E2E-1", "--out", m_packed});
        ASSERT_EQ(packed.exitStatus, 0) << packed.err;
        m_imageLength = static_cast<int64_t>(std::filesystem::file_size(VEXLOR_BINARY));
    }

    // Runs a copy of the packed program with no settings file and a private runtime folder.
    ProcessResult Verify(const std::string& program, const std::string& registry = "") {
        return pkgtest::RunProcess(program, {"--cli", "--verify"},
                                   {{"VEXLOR_REGISTRY", registry.empty() ? m_dir.File("no-settings.reg") : registry},
                                    {"XDG_RUNTIME_DIR", m_dir.Path()}});
    }

    std::string DamagedCopy(int64_t offset) {
        const std::string copy = m_dir.File("damaged");
        std::filesystem::copy_file(m_packed, copy, std::filesystem::copy_options::overwrite_existing);
        pkgtest::FlipByte(copy, offset, 0x20);
        return copy;
    }

    pkgtest::TempDir m_dir;
    std::string m_packed;
    int64_t m_imageLength = 0;
};

TEST_F(VexlorVerify, APackedCopyPassesAndShowsItsProgress) {
    const ProcessResult result = Verify(m_packed);
    ASSERT_EQ(result.exitStatus, 0) << result.out << result.err;
    EXPECT_TRUE(result.err.empty()) << result.err;
    // Not a terminal: one plain line per percentage, 0 first and 100 last.
    const size_t first = result.out.find("Checking the package: 0%\n");
    const size_t last = result.out.find("Checking the package: 100%\n");
    ASSERT_NE(first, std::string::npos) << result.out;
    ASSERT_NE(last, std::string::npos) << result.out;
    EXPECT_LT(first, last);
    EXPECT_EQ(result.out.find("Checking the package:", last + 1), std::string::npos);
    EXPECT_NE(result.out.find("\"E2E-1\", 300000 bytes"), std::string::npos) << result.out;
}

TEST_F(VexlorVerify, EachDamageFailsWithItsStepsMessage) {
    const int64_t length = static_cast<int64_t>(std::filesystem::file_size(m_packed));
    const struct {
        int64_t offset;
        const char* message;
    } cases[] = {
        {100, "Check Load Exe failed."},
        {m_imageLength - 1, "Check Load Exe failed."},
        {m_imageLength + 8 + 5000, "Check Load CRC failed."},
        {length - 200, "Load download parameter failed."},
    };
    for (const auto& c : cases) {
        const ProcessResult result = Verify(DamagedCopy(c.offset));
        EXPECT_EQ(result.exitStatus, 7) << c.offset;  // the status --help gives a damaged load
        EXPECT_NE(result.err.find(c.message), std::string::npos) << c.offset << ": " << result.err;
    }
}

TEST_F(VexlorVerify, ATruncatedCopyAndTheBareProgramFail) {
    const std::string copy = m_dir.File("truncated");
    std::filesystem::copy_file(m_packed, copy);
    std::filesystem::resize_file(copy, std::filesystem::file_size(copy) - 1);
    const ProcessResult truncated = Verify(copy);
    EXPECT_EQ(truncated.exitStatus, 7);
    EXPECT_NE(truncated.err.find("Load download parameter failed."), std::string::npos) << truncated.err;
    // A copy cut short is a damaged program to copy again, never one that carries no load.
    EXPECT_EQ(truncated.err.find("carries no firmware load"), std::string::npos) << truncated.err;
    EXPECT_NE(truncated.err.find("Copy it again"), std::string::npos) << truncated.err;
    // Cut anywhere: in the load area, right after the program image, inside the image.
    for (const int64_t length : {m_imageLength + 8 + 4096, m_imageLength + 8, m_imageLength - 100}) {
        std::filesystem::resize_file(copy, static_cast<uintmax_t>(length));
        const ProcessResult cut = Verify(copy);
        EXPECT_EQ(cut.exitStatus, 7) << length;
        EXPECT_NE(cut.err.find("Copy it again"), std::string::npos) << length << ": " << cut.err;
    }

    const ProcessResult bare = Verify(VEXLOR_BINARY);
    EXPECT_EQ(bare.exitStatus, 7);
    EXPECT_NE(bare.err.find("Load download parameter failed."), std::string::npos) << bare.err;
    // The bare program is told apart from a damaged one, in words that name the way out.
    EXPECT_NE(bare.err.find("This copy of Vexlor carries no firmware load yet."), std::string::npos) << bare.err;
    // The command that packs one, with the vexlor-pack beside the program, paths quoted.
    const std::string folder = std::filesystem::path(VEXLOR_BINARY).parent_path().string();
    EXPECT_NE(bare.err.find("\"" + folder + "/vexlor-pack\" --program \"" + folder + "/vexlor\" --load "),
              std::string::npos)
        << bare.err;
    EXPECT_EQ(Verify(DamagedCopy(m_imageLength + 8 + 5000)).err.find("carries no firmware load"), std::string::npos);
}

TEST_F(VexlorVerify, ALogThatWasAskedForAndCannotBeWrittenIsTold) {
    const std::string missing = m_dir.File("no-such-folder");
    const ProcessResult result = pkgtest::RunProcess(m_packed, {"--cli", "--verify", "--log-dir", missing},
                                                     {{"VEXLOR_REGISTRY", m_dir.File("none.reg")}});
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_NE(result.err.find("vexlor: cannot write the log file " + missing + "/"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find(".log: No such file or directory; going on without a log"), std::string::npos);
}

TEST_F(VexlorVerify, AFileSizeLimitEndsNoCheck) {
    // The log at level 5 outgrows the limit; the check goes on and its lines still come.
    pkgtest::ProcessLimits limits;
    limits.fileSizeLimit = 2048;
    const ProcessResult result =
        pkgtest::RunProcess(m_packed, {"--cli", "--verify", "--log-dir", m_dir.Path(), "--log-level", "5"},
                            {{"VEXLOR_REGISTRY", m_dir.File("none.reg")}}, limits);
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_NE(result.out.find("The package is sound"), std::string::npos) << result.out;
}

TEST_F(VexlorVerify, WritesTheFailingStepToTheDiagnosticLog) {
    const std::string registry = m_dir.File("settings.reg");
    std::ofstream(registry) << "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vexlor]\n\"Level\"=dword:00000005\n\"App\"=\""
                            << m_dir.File("log-") << "\"\n";
    const ProcessResult result = Verify(DamagedCopy(m_imageLength + 8 + 100), registry);
    EXPECT_EQ(result.exitStatus, 7);
    std::string text;
    for (const auto& entry : std::filesystem::directory_iterator(m_dir.Path())) {
        if (entry.path().extension() == ".log") {
            const auto bytes = pkgtest::ReadFile(entry.path().string());
            text.assign(bytes.begin(), bytes.end());
        }
    }
    EXPECT_NE(text.find("CDLOperator::SetLoad\t Check Load CRC failed."), std::string::npos) << text;
    EXPECT_NE(text.find("The current pos is 0"), std::string::npos);
}

TEST(VexlorCommandLine, HelpVersionAndBadArguments) {
    const ProcessResult help = pkgtest::RunProcess(VEXLOR_BINARY, {"--help"});
    EXPECT_EQ(help.exitStatus, 0);
    EXPECT_NE(help.out.find("--cli --verify"), std::string::npos);
    const ProcessResult version = pkgtest::RunProcess(VEXLOR_BINARY, {"--version"});
    EXPECT_EQ(version.exitStatus, 0);
    EXPECT_EQ(version.out.rfind("vexlor ", 0), 0u) << version.out;
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--verify"}, {"--cli"}, {"--cli", "--verify", "--bogus"}}) {
        const ProcessResult bad = pkgtest::RunProcess(VEXLOR_BINARY, args);
        EXPECT_EQ(bad.exitStatus, 2) << args.size();
        EXPECT_NE(bad.err.find("vexlor: "), std::string::npos);
    }
}

}  // namespace
