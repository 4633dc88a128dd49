// SPDX-License-Identifier: Apache-2.0
// vexlor-pack, run as the real program: what it writes reads back, and what it refuses leaves
// no output behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

#include "app/program_mark.h"
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

// A stand-in program: random bytes with the vexlor program mark at offset at.
Bytes MarkedProgram(size_t size, size_t at, uint32_t seed = 1) {
    Bytes program = pkgtest::RandomBytes(size, seed);
    const std::string mark = ProgramMark();
    std::copy(mark.begin(), mark.end(), program.begin() + static_cast<long>(at));
    return program;
}

class VexlorPack : public ::testing::Test {
protected:
    void SetUp() override {
        m_program = m_dir.File("program");
        m_load = m_dir.File("load");
        m_out = m_dir.File("out");
        pkgtest::WriteFile(m_program, MarkedProgram(20000, 5000));
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
    for (const char* rule : {"program mark", "at most 47 bytes (UTF-8)", "no control"})
        EXPECT_NE(result.out.find(rule), std::string::npos) << rule;
    EXPECT_EQ(result.out.find("47 characters"), std::string::npos);
}

TEST_F(VexlorPack, RefusesAProgramWithoutTheVexlorProgramMark) {
    const std::string mark = ProgramMark();
    Bytes cutShort = MarkedProgram(9000, 9000 - mark.size());
    cutShort.pop_back();  // the mark's last byte missing, at the end of the file
    Bytes spoiled = MarkedProgram(9000, 100);
    spoiled[100 + mark.size() / 2] ^= 0x01;
    const std::string plain = m_dir.File("plain");
    pkgtest::WriteFile(plain, pkgtest::RandomBytes(30000, 5));
    pkgtest::WriteFile(m_dir.File("cut-short"), cutShort);
    pkgtest::WriteFile(m_dir.File("spoiled"), spoiled);
    // vexlor-pack itself must not pass for a vexlor program.
    for (const std::string& program : {plain, m_dir.File("cut-short"), m_dir.File("spoiled"),
                                       std::string(VEXLOR_PACK_BINARY)}) {
        m_program = program;
        ExpectRefused(Pack(), program + " is not a vexlor program (no vexlor program mark found); --program takes "
                                        "the vexlor program to carry the load");
    }
}

TEST_F(VexlorPack, FindsTheMarkAnywhereInTheProgram) {
    const size_t size = 200000;
    const size_t markSize = ProgramMark().size();
    // At the first byte, split by the 64 KiB read blocks after its first, middle and last byte,
    // just past a block boundary, and as the file's last bytes.
    for (size_t at : {size_t{0}, size_t{65536} - 1, size_t{65536} - markSize / 2, size_t{65536} - markSize + 1,
                      size_t{65536}, size_t{131072} - 3, size - markSize}) {
        pkgtest::WriteFile(m_program, MarkedProgram(size, at, 7));
        const ProcessResult result = Pack();
        EXPECT_EQ(result.exitStatus, 0) << at << ": " << result.err;
    }
}

TEST_F(VexlorPack, RefusesControlCharactersInTheVersionText) {
    const struct {
        std::string version;
        const char* message;
    } cases[] = {
        {"V\t1", "--version: control character 0x09 at byte 2 (counting from 1)"},
        {"\x01", "--version: control character 0x01 at byte 1"},
        {"R1.0\n", "--version: control character 0x0A at byte 5"},
        {"R1.0\x7F", "--version: control character 0x7F at byte 5"},
        {"R\x1F" + std::string(60, 'v'), "control character 0x1F at byte 2"},
    };
    for (const auto& c : cases) ExpectRefused(Pack({}, c.version), c.message);
    // Bytes from 0x80 up are UTF-8 text, not control characters.
    EXPECT_EQ(Pack({}, "R1 \xC2\x80 \xE7\x89\x88").exitStatus, 0);
}

TEST_F(VexlorPack, CountsTheVersionLimitInBytes) {
    std::string twoByte;
    for (int i = 0; i < 23; ++i) twoByte += "\xC3\xA9";  // é
    ExpectRefused(Pack({}, twoByte + "\xC3\xA9"),
                  "--version: the version text is 48 bytes; at most 47 bytes (UTF-8) fit the parameter block");
    // 47 characters, but 94 bytes.
    ExpectRefused(Pack({}, twoByte + twoByte + "\xC3\xA9"), "the version text is 94 bytes; at most 47 bytes (UTF-8)");
    const ProcessResult ascii = Pack({}, std::string(47, 'v'));
    EXPECT_EQ(ascii.exitStatus, 0) << ascii.err;
    const ProcessResult mixed = Pack({}, twoByte + "v");  // 24 characters, 47 bytes
    EXPECT_EQ(mixed.exitStatus, 0) << mixed.err;
}

TEST_F(VexlorPack, TheRealProgramPacksAndPassesItsCheck) {
    m_program = VEXLOR_BINARY;
    const std::string version = "R1.0 \xC3\xA9" "dition";
    const ProcessResult packed = Pack({}, version);
    ASSERT_EQ(packed.exitStatus, 0) << packed.err;
    const ProcessResult verify = pkgtest::RunProcess(
        m_out, {"--cli", "--verify"}, {{"VEXLOR_REGISTRY", m_dir.File("no-settings.reg")}, {"XDG_RUNTIME_DIR", m_dir.Path()}});
    EXPECT_EQ(verify.exitStatus, 0) << verify.out << verify.err;
    EXPECT_NE(verify.out.find("\"" + version + "\", 70000 bytes"), std::string::npos) << verify.out;
}

}  // namespace
