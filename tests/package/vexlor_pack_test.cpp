// SPDX-License-Identifier: Apache-2.0
// vexlor-pack, run as the real program: what it writes reads back, and what it refuses leaves
// no output behind.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>

#include "app/program_mark.h"
#include "child_process.h"
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
    const ProcessResult result = Pack(
        {"--value16", "0x1234", "--value32a", "7", "--value32b=0xFFFFFFFF", "--value32c", "4000000000"}, "Load 3.1.4");
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
    // An empty version text gives the version check nothing to compare.
    std::filesystem::remove(m_out);
    ExpectRefused(Pack({}, ""), "--version: the version text is empty");
}

TEST_F(VexlorPack, RefusesAnEmptyLoad) {
    pkgtest::WriteFile(m_load, {});
    ExpectRefused(Pack(), "the load is empty");
}

// --sign checks its settings before anything is written: an output that cannot be signed is
// not left behind unsigned.
TEST_F(VexlorPack, SignRefusesMissingOrUnreadableCertificatesBeforeWriting) {
    std::vector<std::string> args{"--program", m_program, "--load", m_load,  "--version",
                                  "V1",        "--out",   m_out,    "--sign"};
    ProcessResult result = pkgtest::RunProcess(VEXLOR_PACK_BINARY, args, {{"VEXLOR_SIGN_PKCS12", ""}});
    ExpectRefused(result, "--sign needs VEXLOR_SIGN_PKCS12");
    result = pkgtest::RunProcess(VEXLOR_PACK_BINARY, args, {{"VEXLOR_SIGN_PKCS12", m_dir.File("missing.p12")}});
    ExpectRefused(result, "cannot read the certificate file " + m_dir.File("missing.p12"));
    args.push_back("--sign");
    EXPECT_EQ(pkgtest::RunProcess(VEXLOR_PACK_BINARY, args).exitStatus, 2);
}

TEST_F(VexlorPack, RefusesAVersionTextOver47Characters) { ExpectRefused(Pack({}, std::string(48, 'v')), "at most 47"); }

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
        {"--program", m_program, "--load", m_load, "--version", "x"},           // no --out
        {"--program", m_program, "--load", m_load, "--out", m_out},             // no --version
        {"--program", m_program, "--load", m_load, "--version", "x", "--out"},  // value missing
        {"--program", m_program, "--program", m_program, "--load", m_load, "--version", "x", "--out", m_out},
        {"--program", m_program, "--load", m_load, "--version", "x", "--out", m_out, "--frobnicate"},
        {"--program", m_program, "--load", m_load, "--version", "x", "--out", m_out, "--value16", "65536"},
        {"--program", m_program, "--load", m_load, "--version", "x", "--out", m_out, "--value32a", "-1"},
        {"--program", m_program, "--load", m_load, "--version", "x", "--out", m_out, "--value32b", "0x100000000"},
        {"--program", m_program, "--load", m_load, "--version", "x", "--out", m_out, "--value32c", "12abc"},
        {"--program", "", "--load", m_load, "--version", "x", "--out", m_out},
        {"--version", "--program", m_program},  // the program's version takes nothing more
    };
    for (const auto& args : bad) {
        const ProcessResult result = pkgtest::RunProcess(VEXLOR_PACK_BINARY, args);
        std::string line;
        for (const auto& a : args) line += a + " ";
        EXPECT_EQ(result.exitStatus, 2) << line << "\n" << result.err;
        EXPECT_NE(result.err.find("vexlor-pack: "), std::string::npos) << line;
        EXPECT_EQ(result.err.find("unknown argument \"" + m_program), std::string::npos) << line << result.err;
        ExpectNoOutput();
    }
    const ProcessResult version = pkgtest::RunProcess(VEXLOR_PACK_BINARY, {"--version", "--program", m_program});
    EXPECT_NE(version.err.find("--version alone shows this program's version and takes no other argument"),
              std::string::npos)
        << version.err;
}

TEST_F(VexlorPack, HelpDescribesEveryOption) {
    const ProcessResult result = pkgtest::RunProcess(VEXLOR_PACK_BINARY, {"--help"});
    EXPECT_EQ(result.exitStatus, 0);
    for (const char* option :
         {"--program", "--load", "--version", "--out", "--value16", "--value32a", "--value32b", "--value32c"})
        EXPECT_NE(result.out.find(option), std::string::npos) << option;
    for (const char* rule : {"program mark", "1 to 47 printable ASCII characters", "\"R1234.56\" fits version 34",
                             "OUT must not be the program or the load", "130 when SIGINT", "--install --load",
                             "~/.local/libexec/vexlor/vexlor", "--setup OUT.exe", "--windows DIR"})
        EXPECT_NE(result.out.find(rule), std::string::npos) << rule;
    const ProcessResult slash = pkgtest::RunProcess(VEXLOR_PACK_BINARY, {"/?"});  // as Windows users ask
    EXPECT_EQ(slash.exitStatus, 0);
    EXPECT_EQ(slash.out, result.out);
}

TEST_F(VexlorPack, InstallMakesTheUsersOwnBenchToolThatItsDesktopEntriesStart) {
    const std::string home = m_dir.File("home of a user");
    std::filesystem::create_directories(home);
    const std::string program = home + "/.local/libexec/vexlor/vexlor";
    const std::string entries = home + "/.local/share/applications/";
    // A version text vexlor-pack refuses: nothing is packed, and no entry starts anything.
    const ProcessResult refused = pkgtest::RunProcess(
        VEXLOR_PACK_BINARY, {"--install", "--load", m_load, "--version", std::string(60, 'V')}, {{"HOME", home}});
    EXPECT_EQ(refused.exitStatus, 1) << refused.err;
    EXPECT_FALSE(std::filesystem::exists(program));
    EXPECT_FALSE(std::filesystem::exists(entries + "org.vexlor.Vexlor.desktop"));
    EXPECT_EQ(pkgtest::RunProcess(VEXLOR_PACK_BINARY, {"--install", "--load", m_load}).exitStatus, 2);

    // The vexlor beside vexlor-pack, packed into the user's folder with the language libraries.
    const ProcessResult installed = pkgtest::RunProcess(
        VEXLOR_PACK_BINARY, {"--install", "--load", m_load, "--version", "VX12.01"}, {{"HOME", home}});
    ASSERT_EQ(installed.exitStatus, 0) << installed.err;
    EXPECT_NE(installed.out.find("Installed in " + home + "/.local/libexec/vexlor"), std::string::npos)
        << installed.out;
    for (const char* library : {"VexlorEngRes.so", "VexlorChtRes.so", "VexlorChsRes.so"})
        EXPECT_TRUE(std::filesystem::exists(home + "/.local/libexec/vexlor/" + library)) << library;
    const ProcessResult verified = pkgtest::RunProcess(program, {"--cli", "--verify"});
    EXPECT_EQ(verified.exitStatus, 0) << verified.err;
    EXPECT_NE(verified.out.find("load version \"VX12.01\", 70000 bytes"), std::string::npos) << verified.out;
    // The user's own entries, under the package's names, start that copy (the path quoted).
    const auto text = [](const std::string& path) {
        const pkgtest::Bytes bytes = pkgtest::ReadFile(path);
        return std::string(bytes.begin(), bytes.end());
    };
    EXPECT_NE(text(entries + "org.vexlor.Vexlor.desktop").find("\nExec=\"" + program + "\"\n"), std::string::npos);
    EXPECT_NE(text(entries + "org.vexlor.VexlorBench.desktop").find("\nExec=\"" + program + "\" --bench\n"),
              std::string::npos);
}

TEST_F(VexlorPack, SetupNeedsTheReleasesWindowsFilesAndWritesNothingWithout) {
    // (The setup program it makes is installed and run under Wine: tests/wine/installer.sh.)
    const std::string setup = m_dir.File("factory-setup.exe");
    EXPECT_EQ(pkgtest::RunProcess(VEXLOR_PACK_BINARY, {"--setup", setup, "--load", m_load}).exitStatus, 2);
    const ProcessResult noFiles = pkgtest::RunProcess(
        VEXLOR_PACK_BINARY, {"--setup", setup, "--load", m_load, "--version", "V1", "--windows", m_dir.Path()});
    EXPECT_EQ(noFiles.exitStatus, 1);
    EXPECT_NE(noFiles.err.find(m_dir.Path() + " has no vexlor.exe"), std::string::npos) << noFiles.err;
    EXPECT_FALSE(std::filesystem::exists(setup));
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
    for (const std::string& program :
         {plain, m_dir.File("cut-short"), m_dir.File("spoiled"), std::string(VEXLOR_PACK_BINARY)}) {
        m_program = program;
        ExpectRefused(Pack(), program +
                                  " is not a vexlor program (no vexlor program mark found); --program takes "
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
    // Nor anything beyond ASCII: the version check would cut a character of several bytes.
    ExpectRefused(Pack({}, "R1 \xC2\x80 \xE7\x89\x88"),
                  "--version: 0xC2 at byte 4 (counting from 1) is not printable ASCII; the version text takes the "
                  "characters 0x20 to 0x7E only");
}

TEST_F(VexlorPack, CountsTheVersionLimitInCharactersOfPrintableAscii) {
    ExpectRefused(Pack({}, std::string(48, 'v')),
                  "--version: the version text is 48 characters; at most 47 fit the parameter block");
    std::string twoByte;
    for (int i = 0; i < 23; ++i) twoByte += "\xC3\xA9";  // é: 47 bytes in all, refused for what they are
    ExpectRefused(Pack({}, twoByte + "v"), "--version: 0xC3 at byte 1 (counting from 1) is not printable ASCII");
    const ProcessResult ascii = Pack({}, std::string(47, '~'));
    EXPECT_EQ(ascii.exitStatus, 0) << ascii.err;
}

TEST_F(VexlorPack, TheRealProgramPacksAndPassesItsCheck) {
    m_program = VEXLOR_BINARY;
    const std::string version = "R1.0 edition";
    const ProcessResult packed = Pack({}, version);
    ASSERT_EQ(packed.exitStatus, 0) << packed.err;
    const ProcessResult verify =
        pkgtest::RunProcess(m_out, {"--cli", "--verify"},
                            {{"VEXLOR_REGISTRY", m_dir.File("no-settings.reg")}, {"XDG_RUNTIME_DIR", m_dir.Path()}});
    EXPECT_EQ(verify.exitStatus, 0) << verify.out << verify.err;
    EXPECT_NE(verify.out.find("\"" + version + "\", 70000 bytes"), std::string::npos) << verify.out;
}

TEST_F(VexlorPack, TellsWhatItMadeAndTheHandsetVersionTheLoadFits) {
    const ProcessResult result = Pack({}, "VX100_34.5.6");
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.out, "Wrote " + m_out + ": " + std::to_string(std::filesystem::file_size(m_out)) +
                              " bytes, carrying a load of 70000 bytes, version \"VX100_34.5.6\".\n"
                              "The load fits handsets whose software version reads 34 (the version check compares "
                              "the two characters before the first full stop of the version text with the two "
                              "numbers the handset reports).\n");
    // Characters no handset reports (it reports digits): told before a handset refuses the load.
    EXPECT_NE(Pack({}, "Build-A").out.find("reads Bu (the"), std::string::npos);
    EXPECT_NE(Pack({}, "Build-A").out.find("every handset will refuse this load"), std::string::npos);
}

TEST_F(VexlorPack, RefusesAnOutputThatIsTheProgramOrTheLoadBeforeWritingAnything) {
    const Bytes load = pkgtest::ReadFile(m_load);
    std::filesystem::create_symlink(m_load, m_dir.File("link"));
    std::filesystem::create_hard_link(m_program, m_dir.File("hard"));
    for (const auto& [out, input] :
         {std::pair{m_load, "--load"}, std::pair{m_dir.Path() + "/./load", "--load"},
          std::pair{m_dir.File("link"), "--load"}, std::pair{m_dir.File("hard"), "--program"}}) {
        m_out = out;
        const ProcessResult result = Pack();
        EXPECT_EQ(result.exitStatus, 1) << out;
        EXPECT_NE(result.err.find("refused: --out " + out + " is the same file as " + input), std::string::npos)
            << result.err;
        EXPECT_EQ(pkgtest::ReadFile(m_load), load) << out;
        EXPECT_TRUE(std::filesystem::is_symlink(m_dir.File("link")));
    }
}

TEST_F(VexlorPack, AStopSignalLeavesNoTemporaryFileBehind) {
    std::filesystem::resize_file(m_load, 96u << 20);  // the writing takes a while
    for (const int signal : {SIGINT, SIGTERM}) {
        ChildProcess pack;
        ASSERT_TRUE(pack.Start(VEXLOR_PACK_BINARY,
                               {"--program", m_program, "--load", m_load, "--version", "V1.0", "--out", m_out}));
        // The temporary file beside OUT shows that the writing has begun.
        bool writing = false;
        for (int i = 0; i < 20000 && !writing; ++i) {
            std::this_thread::sleep_for(std::chrono::microseconds(500));
            for (const auto& entry : std::filesystem::directory_iterator(m_dir.Path())) {
                writing = writing || entry.path().filename().string().rfind("out.", 0) == 0;
            }
        }
        ASSERT_TRUE(writing);
        pack.Signal(signal);
        EXPECT_EQ(pack.Wait(20000), 130) << signal;
        ExpectNoOutput();
    }
}

TEST_F(VexlorPack, AFileSizeLimitIsToldAndLeavesNoTemporaryFile) {
    // The package is larger than the limit: its write fails at its last piece, or half-way.
    for (const auto& [loadSize, limit] : {std::pair{70000, 40000}, std::pair{900000, 400000}}) {
        pkgtest::WriteFile(m_load, pkgtest::RandomBytes(loadSize, 6));
        pkgtest::ProcessLimits limits;
        limits.fileSizeLimit = limit;
        std::vector<std::string> args{"--program", m_program, "--load", m_load, "--version", "V1", "--out", m_out};
        const ProcessResult result = pkgtest::RunProcess(VEXLOR_PACK_BINARY, args, {}, limits);
        EXPECT_EQ(result.exitStatus, 1) << loadSize << ": " << result.err;
        EXPECT_EQ(result.err, "vexlor-pack: cannot write " + m_out + ": File too large\n") << loadSize;
        ExpectNoOutput();
    }
}

TEST_F(VexlorPack, AFinishedPackSucceedsWhateverBecameOfStandardOutput) {
    pkgtest::ProcessLimits limits;
    limits.outputReaderGone = true;
    std::vector<std::string> args{"--program", m_program, "--load", m_load, "--version", "V1", "--out", m_out};
    const ProcessResult gone = pkgtest::RunProcess(VEXLOR_PACK_BINARY, args, {}, limits);
    EXPECT_EQ(gone.exitStatus, 0) << gone.err;
    platform::ReadOnlyFile file;
    ASSERT_TRUE(file.Open(m_out));
    CDLParameter parameters;
    EXPECT_EQ(RunPackageChecks(file, parameters, nullptr), 1);
    // Standard output closed outright: the files opened take its number, and nothing is spoiled.
    std::filesystem::remove(m_out);
    const ProcessResult closed =
        pkgtest::RunProcess("/bin/sh", {"-c", "exec \"$0\" \"$@\" >&-", VEXLOR_PACK_BINARY, "--program", m_program,
                                        "--load", m_load, "--version", "V1", "--out", m_out});
    EXPECT_EQ(closed.exitStatus, 0) << closed.err;
    EXPECT_EQ(pkgtest::ReadFile(m_out).size(),
              std::filesystem::file_size(m_program) + 8 + EncipheredAreaSize(70000) + 512);
    EXPECT_EQ(pkgtest::ReadFile(m_program), MarkedProgram(20000, 5000));
}

}  // namespace
