// vexlor-pack, run as the real program: what it writes reads back, and what it refuses leaves
// no output behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

#include "package/dl_parameter.h"
#include "package/load_merger.h"
#include "package/package_checks.h"
#include "package/package_layout.h"
#include "package_fixture.h"
#include "platform/read_only_file.h"
#include "process_runner.h"

namespace {

using pkgtest::Bytes;
using pkgtest::ProcessResult;

class VexlorPack : public ::testing::Test {
protected:
    void SetUp() override {
        m_program = m_dir.File("program");
        m_load = m_dir.File("load");
        m_out = m_dir.File("out");
        pkgtest::WriteFile(m_program, pkgtest::RandomBytes(20000, 1));
        pkgtest::WriteFile(m_load, pkgtest::RandomBytes(70000, 2));
    }

    ProcessResult Pack(std::vector<std::string> extra = {}, const std::string& version = "V1") {
        std::vector<std::string> args{"--program", m_program, "--load", m_load, "--version", version, "--out", m_out};
        args.insert(args.end(), extra.begin(), extra.end());
        return pkgtest::RunProcess(VEXLOR_PACK_BINARY, args);
    }

    // The refusal left neither the output nor a temporary file.
    void ExpectNoOutput() {
        EXPECT_FALSE(std::filesystem::exists(m_out));
        for (const auto& entry : std::filesystem::directory_iterator(m_dir.Path()))
            EXPECT_EQ(entry.path().filename().string().rfind("out.", 0), std::string::npos) << entry.path();
    }

    void ExpectRefused(const ProcessResult& result, const std::string& reason) {
        EXPECT_EQ(result.exitStatus, 1) << result.err;
        EXPECT_NE(result.err.find(reason), std::string::npos) << result.err;
        ExpectNoOutput();
    }

    pkgtest::TempDir m_dir;
    std::string m_program, m_load, m_out;
};

TEST_F(VexlorPack, WritesAnExecutableCopyWhosePackageReadsBack) {
    const ProcessResult result = Pack({"--value16", "0x1234", "--value32a", "7", "--value32b=0xFFFFFFFF",
                                       "--value32c", "4000000000"},
                                      "Load 3.1.4");
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_TRUE(result.err.empty());
    struct stat st {};
    ASSERT_EQ(stat(m_out.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0100, 0100u);

    const Bytes program = pkgtest::ReadFile(m_program);
    const Bytes out = pkgtest::ReadFile(m_out);
    ASSERT_EQ(out.size(), program.size() + 8 + EncipheredAreaSize(70000) + 512);
    EXPECT_TRUE(std::equal(program.begin(), program.end(), out.begin()));

    platform::ReadOnlyFile file;
    ASSERT_TRUE(file.Open(m_out));
    CDLParameter parameters;
    ASSERT_EQ(RunPackageChecks(file, parameters, nullptr), 1);
    EXPECT_EQ(parameters.GetVersion(), "Load 3.1.4");
    EXPECT_EQ(parameters.GetValue16(), 0x1234);
    EXPECT_EQ(parameters.GetLoadSize(), 70000u);
    EXPECT_EQ(parameters.GetValue32A(), 7u);
    EXPECT_EQ(parameters.GetValue32B(), 0xFFFFFFFFu);
    EXPECT_EQ(parameters.GetValue32C(), 4000000000u);

    const Bytes load = pkgtest::ReadFile(m_load);
    ASSERT_EQ(CLoadMerger::SeekToLoad(file, 70000), 1);
    uint8_t chunk[kChunkSize];
    for (size_t at = 0; at < load.size(); at += kChunkSize) {
        ASSERT_EQ(CLoadMerger::ReadLoadChunk(file, chunk), 1);
        const size_t n = std::min<size_t>(kChunkSize, load.size() - at);
        ASSERT_TRUE(std::equal(chunk, chunk + n, load.begin() + static_cast<long>(at))) << "at " << at;
    }
}

TEST_F(VexlorPack, AcceptsTheBoundaryLoadSizesAndVersionLengths) {
    for (size_t size : {size_t{1}, size_t{4092}, size_t{4096}, size_t{8188}}) {
        pkgtest::WriteFile(m_load, pkgtest::RandomBytes(size, 3));
        const ProcessResult result = Pack({}, std::string(47, 'v'));
        ASSERT_EQ(result.exitStatus, 0) << size << ": " << result.err;
        platform::ReadOnlyFile file;
        ASSERT_TRUE(file.Open(m_out));
        CDLParameter parameters;
        EXPECT_EQ(RunPackageChecks(file, parameters, nullptr), 1) << size;
        EXPECT_EQ(parameters.GetVersion(), std::string(47, 'v'));
    }
    // An empty version text is allowed.
    EXPECT_EQ(Pack({}, "").exitStatus, 0);
}

TEST_F(VexlorPack, RefusesAnEmptyLoad) {
    pkgtest::WriteFile(m_load, {});
    ExpectRefused(Pack(), "the load is empty");
}

TEST_F(VexlorPack, RefusesAVersionTextOver47Characters) {
    ExpectRefused(Pack({}, std::string(48, 'v')), "at most 47");
}

TEST_F(VexlorPack, RefusesLoadSizesWhoseCrcWouldStraddleTwoChunks) {
    for (size_t size : {size_t{4093}, size_t{4094}, size_t{4095}, size_t{3 * 4096 + 4095}}) {
        pkgtest::WriteFile(m_load, pkgtest::RandomBytes(size, 4));
        ExpectRefused(Pack(), "cross two chunks");
    }
}

TEST_F(VexlorPack, RefusesALoadTooLargeForThePackage) {
    // Sparse files: the size is refused before a byte is read.
    for (uintmax_t size : {uintmax_t{kMaxLoadSize} + 1, uintmax_t{1} << 32, (uintmax_t{1} << 32) + 5}) {
        std::filesystem::resize_file(m_load, size);
        ExpectRefused(Pack(), "too large");
    }
}

TEST_F(VexlorPack, RefusesAProgramThatAlreadyCarriesAPackage) {
    ASSERT_EQ(Pack().exitStatus, 0);
    const std::string packed = m_dir.File("packed");
    std::filesystem::rename(m_out, packed);
    m_program = packed;
    ExpectRefused(Pack(), "already carries a package");
}

TEST_F(VexlorPack, RefusesMissingOrUnusableFiles) {
    const std::string program = m_program;
    m_program = m_dir.File("missing");
    ExpectRefused(Pack(), "cannot open the program");
    m_program = program;
    m_load = m_dir.File("missing");
    ExpectRefused(Pack(), "cannot open the load");
    m_load = m_dir.Path();
    ExpectRefused(Pack(), "is not a regular file");
    m_load = m_dir.File("load");
    m_out = m_dir.File("no-such-folder/out");
    const ProcessResult result = Pack();
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.err.find("cannot create"), std::string::npos) << result.err;
}

TEST_F(VexlorPack, ARefusalLeavesAnExistingOutputUntouched) {
    pkgtest::WriteFile(m_out, Bytes{1, 2, 3});
    pkgtest::WriteFile(m_load, {});
    EXPECT_EQ(Pack().exitStatus, 1);
    EXPECT_EQ(pkgtest::ReadFile(m_out), (Bytes{1, 2, 3}));
}

TEST_F(VexlorPack, RejectsBadCommandLines) {
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"--program", m_program, "--load", m_load, "--version", "x"},                  // no --out
        {"--program", m_program, "--load", m_load, "--out", m_out},                    // no --version
        {"--program", m_program, "--load", m_load, "--version", "x", "--out"},         // value missing
        {"--program", m_program, "--program", m_program, "--load", m_load, "--version", "x", "--out", m_out},
        {"--program", m_program, "--load", m_load, "--version", "x", "--out", m_out, "--frobnicate"},
        {"--program", m_program, "--load", m_load, "--version", "x", "--out", m_out, "--value16", "65536"},
        {"--program", m_program, "--load", m_load, "--version", "x", "--out", m_out, "--value32a", "-1"},
        {"--program", m_program, "--load", m_load, "--version", "x", "--out", m_out, "--value32b", "0x100000000"},
        {"--program", m_program, "--load", m_load, "--version", "x", "--out", m_out, "--value32c", "12abc"},
        {"--program", "", "--load", m_load, "--version", "x", "--out", m_out},
    };
    for (const auto& args : bad) {
        const ProcessResult result = pkgtest::RunProcess(VEXLOR_PACK_BINARY, args);
        std::string line;
        for (const auto& a : args) line += a + " ";
        EXPECT_EQ(result.exitStatus, 2) << line << "\n" << result.err;
        EXPECT_NE(result.err.find("vexlor-pack: "), std::string::npos) << line;
        ExpectNoOutput();
    }
}

TEST_F(VexlorPack, HelpDescribesEveryOption) {
    const ProcessResult result = pkgtest::RunProcess(VEXLOR_PACK_BINARY, {"--help"});
    EXPECT_EQ(result.exitStatus, 0);
    for (const char* option : {"--program", "--load", "--version", "--out", "--value16", "--value32a", "--value32b",
                               "--value32c"})
        EXPECT_NE(result.out.find(option), std::string::npos) << option;
}

}  // namespace
