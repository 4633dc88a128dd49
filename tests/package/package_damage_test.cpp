// SPDX-License-Identifier: Apache-2.0
// A damaged or altered program file fails its own check with its own code, logs what is wrong,
// and never reads past the file or divides by zero.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <random>

#include "package/dl_parameter.h"
#include "package/load_merger.h"
#include "package/package_checks.h"
#include "package/package_errors.h"
#include "package/package_key.h"
#include "package/package_layout.h"
#include "package_fixture.h"
#include "platform/read_only_file.h"

namespace {

using pkgtest::Bytes;

constexpr uint32_t kLoadSize = 0x20200 + 77;
constexpr size_t kImageSize = 10000;

class DamagedPackage : public ::testing::Test {
protected:
    void SetUp() override {
        m_path = m_dir.File("program");
        m_values.version = "V2.07";
        m_values.value16 = 0x0102;
        pkgtest::WriteProgramFile(m_path, pkgtest::RandomBytes(kImageSize, 5), pkgtest::RandomBytes(kLoadSize, 6),
                                  m_values, m_dir.Path());
        m_areaStart = kImageSize + kIntegrityRecordSize;
        m_areaSize = static_cast<int64_t>(EncipheredAreaSize(kLoadSize));
    }

    void Open() { ASSERT_TRUE(m_file.Open(m_path)); }

    // Writes a sealed parameter block built from the sound one by edit.
    template <typename Edit>
    void RewriteParameterBlock(Edit edit, bool seal = true) {
        Bytes block = pkgtest::DecipherParameterBlock(m_path);
        edit(block.data());
        if (seal) SealParameterBlock(block.data());
        pkgtest::ReplaceParameterBlock(m_path, block.data());
    }

    void SetLoadSizeField(uint32_t loadSize) {
        RewriteParameterBlock([loadSize](uint8_t* b) { WriteLe32(b + kParamLoadSizeOffset, loadSize); });
    }

    pkgtest::TempDir m_dir;
    std::string m_path;
    PackageValues m_values;
    int64_t m_areaStart = 0;
    int64_t m_areaSize = 0;
    platform::ReadOnlyFile m_file;
};

void ExpectProgressWithout100(const std::vector<uintptr_t>& progress) {
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.front(), 0u);
    for (size_t i = 1; i < progress.size(); ++i) EXPECT_GT(progress[i], progress[i - 1]);
    EXPECT_LT(progress.back(), 100u);
}

TEST_F(DamagedPackage, AlteredImageByteFailsOnlyTheImageSelfCheck) {
    for (int64_t offset : {int64_t{0}, int64_t{4321}, int64_t{kImageSize - 1}, int64_t{kImageSize + 3}}) {
        SCOPED_TRACE("offset " + std::to_string(offset));
        pkgtest::FlipByte(m_path, offset, 0x40);
        Open();
        pkgtest::LogCapture log;
        CDLParameter parameters;
        pkgtest::RecordingTarget window;
        int step = 0;
        EXPECT_EQ(RunPackageChecks(m_file, parameters, &window, &step), PKGERR_CRC);
        EXPECT_EQ(step, 3);
        EXPECT_EQ(window.Progress().back(), 100u);  // the load itself is sound
        const std::string text = log.CloseAndRead();
        EXPECT_NE(text.find("CDLOperator::SetLoad\t Check Load Exe failed."), std::string::npos) << text;
        EXPECT_EQ(text.find("Check Load CRC failed."), std::string::npos);
        pkgtest::FlipByte(m_path, offset, 0x40);
    }
}

TEST_F(DamagedPackage, AlteredLoadAreaByteFailsTheLoadCheckWithout100) {
    for (int64_t areaOffset : {int64_t{0}, int64_t{5000}, m_areaSize - kChunkSize + (kLoadSize % kChunkSize)}) {
        SCOPED_TRACE("area offset " + std::to_string(areaOffset));
        pkgtest::FlipByte(m_path, m_areaStart + areaOffset, 0x08);
        Open();
        pkgtest::LogCapture log;
        CDLParameter parameters;
        pkgtest::RecordingTarget window;
        int step = 0;
        EXPECT_EQ(RunPackageChecks(m_file, parameters, &window, &step), PKGERR_CRC);
        EXPECT_EQ(step, 2);
        ExpectProgressWithout100(window.Progress());
        EXPECT_EQ(CLoadMerger::CheckExeCRC(m_file, kLoadSize), 1);  // the image is untouched
        const std::string text = log.CloseAndRead();
        EXPECT_NE(text.find("CDLOperator::SetLoad\t Check Load CRC failed."), std::string::npos) << text;
        EXPECT_NE(text.find("The encrypted size is 21000"), std::string::npos);
        EXPECT_NE(text.find("The current pos is 20000"), std::string::npos);
        pkgtest::FlipByte(m_path, m_areaStart + areaOffset, 0x08);
    }
}

TEST_F(DamagedPackage, AlteredParameterBlockByteFailsTheParameterCheckFirst) {
    Open();
    CDLParameter parameters;
    ASSERT_EQ(parameters.ReadParameterFromFile(m_file), 1);
    for (int64_t fromEnd : {int64_t{512}, int64_t{300}, int64_t{1}}) {
        SCOPED_TRACE("bytes from the end " + std::to_string(fromEnd));
        pkgtest::FlipByte(m_path, pkgtest::FileLength(m_path) - fromEnd, 0x80);
        pkgtest::LogCapture log;
        pkgtest::RecordingTarget window;
        int step = 0;
        EXPECT_EQ(RunPackageChecks(m_file, parameters, &window, &step), PKGERR_PARAM_CRC);
        EXPECT_EQ(step, 1);
        EXPECT_TRUE(window.Messages().empty());  // the load is not checked
        // A failed read keeps the fields of the last good one.
        EXPECT_EQ(parameters.GetVersion(), "V2.07");
        EXPECT_EQ(parameters.GetLoadSize(), kLoadSize);
        const std::string text = log.CloseAndRead();
        EXPECT_NE(text.find("CDLParameter::ReadParameterFromFile\t CRC failure."), std::string::npos) << text;
        EXPECT_NE(text.find("CDLOperator::SetLoad\t Load download parameter failed."), std::string::npos);
        pkgtest::FlipByte(m_path, pkgtest::FileLength(m_path) - fromEnd, 0x80);
    }
}

TEST_F(DamagedPackage, WrongMarkerWithRightCrcFailsTheMarker) {
    Bytes found;
    RewriteParameterBlock([&found](uint8_t* b) {
        b[2] ^= 0x10;
        found.assign(b, b + 4);
    });
    Open();
    pkgtest::LogCapture log;
    CDLParameter parameters;
    EXPECT_EQ(parameters.ReadParameterFromFile(m_file), PKGERR_MARKER);
    EXPECT_EQ(parameters.GetLoadSize(), 0u);
    EXPECT_EQ(parameters.GetVersion(), "");
    const std::string text = log.CloseAndRead();
    const size_t mismatch = text.find("CDLParameter::ReadParameterFromFile\t First four byte mismatch.");
    const size_t inBuffer = text.find("CDLParameter::ReadParameterFromFile\t The four byte in buffer is.");
    char dump[64];
    std::snprintf(dump, sizeof dump, "The 4 bytes buffer content is: %02X %02X %02X %02X", found[0], found[1], found[2],
                  found[3]);
    const size_t bytes = text.find(dump);
    ASSERT_NE(mismatch, std::string::npos) << text;
    ASSERT_NE(inBuffer, std::string::npos);
    ASSERT_NE(bytes, std::string::npos) << dump << "\n" << text;
    EXPECT_LT(mismatch, inBuffer);
    EXPECT_LT(inBuffer, bytes);
    EXPECT_EQ(text.find("CRC failure."), std::string::npos);
}

TEST_F(DamagedPackage, RightMarkerWithWrongCrcFailsTheCrcOnly) {
    RewriteParameterBlock([](uint8_t* b) { b[kParamVersionOffset] ^= 1; }, /*seal=*/false);
    Open();
    pkgtest::LogCapture log;
    CDLParameter parameters;
    EXPECT_EQ(parameters.ReadParameterFromFile(m_file), PKGERR_PARAM_CRC);
    const std::string text = log.CloseAndRead();
    EXPECT_NE(text.find("CRC failure."), std::string::npos);
    EXPECT_EQ(text.find("First four byte mismatch."), std::string::npos);
}

TEST_F(DamagedPackage, WrongMarkerAndWrongCrcReportOnlyTheCrc) {
    RewriteParameterBlock([](uint8_t* b) { b[0] ^= 0xFF; }, /*seal=*/false);
    Open();
    pkgtest::LogCapture log;
    CDLParameter parameters;
    EXPECT_EQ(parameters.ReadParameterFromFile(m_file), PKGERR_PARAM_CRC);
    const std::string text = log.CloseAndRead();
    EXPECT_NE(text.find("CRC failure."), std::string::npos);
    EXPECT_EQ(text.find("First four byte mismatch."), std::string::npos);
}

TEST_F(DamagedPackage, VersionWithoutNulIsReadNoFurtherThanOffset69) {
    RewriteParameterBlock([](uint8_t* b) {
        for (size_t i = kParamVersionOffset; i < 80; ++i) b[i] = 'A' + i % 26;
    });
    Open();
    CDLParameter parameters;
    ASSERT_EQ(parameters.ReadParameterFromFile(m_file), 1);
    ASSERT_EQ(parameters.GetVersion().size(), 66u);
    EXPECT_EQ(parameters.GetVersion().back(), 'A' + 69 % 26);
}

TEST_F(DamagedPackage, LoadSizeZeroIsRefusedBeforeAnyProgress) {
    SetLoadSizeField(0);
    Open();
    pkgtest::LogCapture log;
    CDLParameter parameters;
    ASSERT_EQ(parameters.ReadParameterFromFile(m_file), 1);
    pkgtest::RecordingTarget window;
    EXPECT_EQ(CLoadMerger::CheckLoadFileCRC(m_file, 0, &window), PKGERR_LOAD_SIZE);
    EXPECT_TRUE(window.Messages().empty());
    EXPECT_EQ(CLoadMerger::CheckExeCRC(m_file, 0), PKGERR_LOAD_SIZE);
    EXPECT_EQ(CLoadMerger::SeekToLoad(m_file, 0), PKGERR_LOAD_SIZE);
    int step = 0;
    EXPECT_EQ(RunPackageChecks(m_file, parameters, &window, &step), PKGERR_LOAD_SIZE);
    EXPECT_EQ(step, 2);
    const std::string text = log.CloseAndRead();
    EXPECT_NE(text.find("CLoadMerger::CheckLoadFileCRC\t Load size 0 refused: the load is empty."), std::string::npos)
        << text;
}

TEST_F(DamagedPackage, LoadSizesWhoseCrcWouldStraddleTwoChunksAreRefused) {
    Open();
    for (uint32_t n : {4093u, 4094u, 4095u, 0x20000u + 4095u}) {
        pkgtest::RecordingTarget window;
        EXPECT_EQ(CLoadMerger::CheckLoadFileCRC(m_file, n, &window), PKGERR_LOAD_SIZE) << n;
        EXPECT_TRUE(window.Messages().empty());
        EXPECT_EQ(CLoadMerger::CheckExeCRC(m_file, n), PKGERR_LOAD_SIZE) << n;
        EXPECT_EQ(CLoadMerger::SeekToLoad(m_file, n), PKGERR_LOAD_SIZE) << n;
    }
}

TEST_F(DamagedPackage, LoadSizeTheFileCannotHoldIsRefused) {
    Open();
    const int64_t before = m_file.Position();
    for (uint32_t n : {kLoadSize + 3 * 4096u, 0x7FFFF000u, kMaxLoadSize}) {
        EXPECT_EQ(CLoadMerger::CheckLoadFileCRC(m_file, n, nullptr), PKGERR_LOAD_FIT) << n;
        EXPECT_EQ(CLoadMerger::CheckExeCRC(m_file, n), PKGERR_LOAD_FIT) << n;
        EXPECT_EQ(CLoadMerger::SeekToLoad(m_file, n), PKGERR_LOAD_FIT) << n;
        EXPECT_EQ(m_file.Position(), before);
    }
    for (uint32_t n : {kMaxLoadSize + 1, 0xFFFFFFFFu}) {
        EXPECT_EQ(CLoadMerger::CheckLoadFileCRC(m_file, n, nullptr), PKGERR_LOAD_SIZE) << n;
        EXPECT_EQ(CLoadMerger::CheckExeCRC(m_file, n), PKGERR_LOAD_SIZE) << n;
    }
}

TEST_F(DamagedPackage, LoadSizeSmallerThanStoredFailsTheCrcCleanly) {
    // A shorter load puts the area further on: chunks decipher to other bytes and the CRC fails.
    Open();
    EXPECT_EQ(CLoadMerger::CheckLoadFileCRC(m_file, kLoadSize - 4096, nullptr), PKGERR_CRC);
    EXPECT_EQ(CLoadMerger::CheckExeCRC(m_file, kLoadSize - 4096), PKGERR_CRC);
}

TEST_F(DamagedPackage, FileTooShortForAParameterBlock) {
    for (size_t length : {size_t{0}, size_t{1}, size_t{511}}) {
        const std::string path = m_dir.File("short" + std::to_string(length));
        pkgtest::WriteFile(path, pkgtest::RandomBytes(length, 9));
        platform::ReadOnlyFile file;
        ASSERT_TRUE(file.Open(path));
        pkgtest::LogCapture log;
        CDLParameter parameters;
        EXPECT_EQ(parameters.ReadParameterFromFile(file), PKGERR_PARAM_SHORT) << length;
        EXPECT_NE(log.CloseAndRead().find("too short for a parameter block"), std::string::npos);
    }
}

TEST_F(DamagedPackage, TruncatedFileKeepsItsBlockButNotItsArea) {
    // Cut the front away so the block survives but the area does not fit any more.
    const Bytes all = pkgtest::ReadFile(m_path);
    const std::string cut = m_dir.File("cut");
    pkgtest::WriteFile(cut, Bytes(all.begin() + kImageSize + 4096, all.end()));
    platform::ReadOnlyFile file;
    ASSERT_TRUE(file.Open(cut));
    pkgtest::LogCapture log;
    CDLParameter parameters;
    pkgtest::RecordingTarget window;
    int step = 0;
    EXPECT_EQ(RunPackageChecks(file, parameters, &window, &step), PKGERR_LOAD_FIT);
    EXPECT_EQ(step, 2);
    EXPECT_TRUE(window.Messages().empty());
    EXPECT_NE(log.CloseAndRead().find("cannot hold a load area of 21000 bytes"), std::string::npos);
}

TEST_F(DamagedPackage, TruncatedTailFailsTheParameterBlock) {
    std::filesystem::resize_file(m_path, pkgtest::FileLength(m_path) - 100);
    Open();
    CDLParameter parameters;
    EXPECT_EQ(RunPackageChecks(m_file, parameters, nullptr), PKGERR_PARAM_CRC);
}

// A notification target that cuts the file short when the check starts: every read that
// follows comes back short, as with a file truncated on disk while it is checked.
class TruncatingTarget : public pkgtest::RecordingTarget {
public:
    TruncatingTarget(std::string path, int64_t length) : m_path(std::move(path)), m_length(length) {}
    void Post(uint32_t message, uintptr_t wParam) override {
        RecordingTarget::Post(message, wParam);
        if (wParam == 0) std::filesystem::resize_file(m_path, static_cast<uintmax_t>(m_length));
    }

private:
    std::string m_path;
    int64_t m_length;
};

TEST_F(DamagedPackage, ShortReadDuringTheLoadCheckFailsCleanly) {
    Open();
    for (int64_t keep : {m_areaStart + 3 * 4096 + 100, m_areaStart, int64_t{0}}) {
        SCOPED_TRACE("file cut to " + std::to_string(keep));
        TruncatingTarget window(m_path, keep);
        pkgtest::LogCapture log;
        EXPECT_EQ(CLoadMerger::CheckLoadFileCRC(m_file, kLoadSize, &window), PKGERR_LOAD_READ);
        ExpectProgressWithout100(window.Progress());
        const std::string text = log.CloseAndRead();
        EXPECT_NE(text.find("CLoadMerger::CheckLoadFileCRC"), std::string::npos);
        EXPECT_TRUE(text.find("of 4096 bytes could be read") != std::string::npos ||
                    text.find("Reading the load area") != std::string::npos)
            << text;
        SetUp();  // a sound file again
    }
}

TEST_F(DamagedPackage, ReadLoadChunkAtTheEndOfTheFileFailsAndClearsTheBuffer) {
    Open();
    ASSERT_EQ(CLoadMerger::SeekToLoad(m_file, kLoadSize), 1);
    ASSERT_TRUE(m_file.SeekFromEnd(-100));
    uint8_t buffer[kChunkSize];
    std::memset(buffer, 0xCC, sizeof buffer);
    EXPECT_EQ(CLoadMerger::ReadLoadChunk(m_file, buffer), PKGERR_LOAD_READ);
    for (uint8_t b : buffer) ASSERT_EQ(b, 0);
}

TEST(PackageOnAFileThatIsNotOpen, EveryOperationFailsWithAReadCode) {
    platform::ReadOnlyFile file;
    CDLParameter parameters;
    EXPECT_EQ(parameters.ReadParameterFromFile(file), PKGERR_PARAM_READ);
    EXPECT_EQ(CLoadMerger::CheckLoadFileCRC(file, 1000, nullptr), PKGERR_LOAD_READ);
    EXPECT_EQ(CLoadMerger::CheckExeCRC(file, 1000), PKGERR_LOAD_READ);
    EXPECT_EQ(CLoadMerger::SeekToLoad(file, 1000), PKGERR_LOAD_READ);
    uint8_t buffer[kChunkSize];
    EXPECT_EQ(CLoadMerger::ReadLoadChunk(file, buffer), PKGERR_LOAD_READ);
}

// Random files, some with a valid parameter block naming a random load size: every operation
// ends with 1 or one of the package's codes.
TEST(PackageOnRandomFiles, EveryOperationEndsWithAKnownResult) {
    pkgtest::TempDir dir;
    std::mt19937 rng(2024);
    const int32_t known[] = {1,          PKGERR_MARKER,    PKGERR_PARAM_CRC, PKGERR_PARAM_SHORT, PKGERR_PARAM_READ,
                             PKGERR_CRC, PKGERR_LOAD_SIZE, PKGERR_LOAD_FIT,  PKGERR_LOAD_READ};
    auto isKnown = [&known](int32_t result) {
        return std::find(std::begin(known), std::end(known), result) != std::end(known);
    };
    for (int round = 0; round < 150; ++round) {
        const size_t length = rng() % 30000;
        Bytes bytes = pkgtest::RandomBytes(length, static_cast<uint32_t>(round));
        const std::string path = dir.File("random" + std::to_string(round));
        pkgtest::WriteFile(path, bytes);
        if (length >= kParameterBlockSize && round % 2 == 0) {
            PackageValues values;
            uint8_t block[kParameterBlockSize];
            const uint32_t sizes[] = {0, static_cast<uint32_t>(rng()), static_cast<uint32_t>(rng() % 40000),
                                      static_cast<uint32_t>(length) - 520};
            EncodeParameterBlock(values, sizes[round / 2 % 4], block);
            pkgtest::ReplaceParameterBlock(path, block);
        }
        platform::ReadOnlyFile file;
        ASSERT_TRUE(file.Open(path));
        CDLParameter parameters;
        pkgtest::RecordingTarget window;
        const int32_t result = RunPackageChecks(file, parameters, &window);
        EXPECT_TRUE(isKnown(result)) << std::hex << result;
        if (result != 1) {
            EXPECT_TRUE(window.Progress().empty() || window.Progress().back() != 100u);
        }
        const uint32_t n = parameters.GetLoadSize();
        EXPECT_TRUE(isKnown(CLoadMerger::CheckExeCRC(file, n)));
        if (CLoadMerger::SeekToLoad(file, n) == 1) {
            uint8_t chunk[kChunkSize];
            EXPECT_TRUE(isKnown(CLoadMerger::ReadLoadChunk(file, chunk)));
        }
    }
}

}  // namespace
