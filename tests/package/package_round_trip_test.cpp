// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "link/crc.h"
#include "package/dl_parameter.h"
#include "package/load_merger.h"
#include "package/package_checks.h"
#include "package/package_errors.h"
#include "package/package_layout.h"
#include "package_fixture.h"
#include "platform/read_only_file.h"

namespace {

using pkgtest::Bytes;

// The progress a sound check of a load of n bytes posts: 0, every new whole percentage after
// each chunk below 100, then 100.
std::vector<uintptr_t> ExpectedProgress(uint32_t n) {
    std::vector<uintptr_t> expected{0};
    const uint64_t chunks = EncipheredAreaSize(n) / kChunkSize;
    for (uint64_t k = 0; k < chunks; ++k) {
        const uint64_t percent = (k * kChunkSize + kChunkSize) * 100 / n;
        if (percent < 100 && percent != expected.back()) expected.push_back(percent);
    }
    expected.push_back(100);
    return expected;
}

uint32_t RandomLargeSize() {
    std::random_device device;
    std::mt19937 rng(device());
    uint32_t size = 1000000 + rng() % 3000000;
    if (size % kChunkSize > kChunkSize - kLoadCrcSize) size -= 3;  // keep the CRC in one chunk
    return size;
}

class PackageRoundTrip : public ::testing::TestWithParam<uint32_t> {};

TEST_P(PackageRoundTrip, PackCheckAndReadBackChunkByChunk) {
    const uint32_t n = GetParam();
    SCOPED_TRACE("load size " + std::to_string(n));
    pkgtest::TempDir dir;
    const Bytes image = pkgtest::RandomBytes(5000 + n % 977, n);
    const Bytes load = pkgtest::RandomBytes(n, n * 7 + 1);
    PackageValues values;
    values.version = "VX-" + std::to_string(n);
    values.value16 = 0xBEEF;
    values.value32a = 0x11223344;
    values.value32b = 0;
    values.value32c = 0xFFFFFFFF;
    const std::string path = dir.File("program");
    pkgtest::WriteProgramFile(path, image, load, values, dir.Path());

    // The layout: image, 8-byte record, S bytes of area, 512-byte block.
    const uint64_t s = EncipheredAreaSize(n);
    ASSERT_EQ(pkgtest::FileLength(path), static_cast<int64_t>(image.size() + 8 + s + 512));
    const Bytes written = pkgtest::ReadFile(path);
    ASSERT_TRUE(std::equal(image.begin(), image.end(), written.begin()));

    platform::ReadOnlyFile file;
    ASSERT_TRUE(file.Open(path));
    CDLParameter parameters;
    ASSERT_EQ(parameters.ReadParameterFromFile(file), 1);
    EXPECT_EQ(parameters.GetVersion(), values.version);
    EXPECT_EQ(parameters.GetValue16(), 0xBEEF);
    EXPECT_EQ(parameters.GetLoadSize(), n);
    EXPECT_EQ(parameters.GetValue32A(), 0x11223344u);
    EXPECT_EQ(parameters.GetValue32B(), 0u);
    EXPECT_EQ(parameters.GetValue32C(), 0xFFFFFFFFu);

    pkgtest::RecordingTarget window;
    ASSERT_EQ(CLoadMerger::CheckLoadFileCRC(file, n, &window), 1);
    EXPECT_EQ(window.Progress(), ExpectedProgress(n));
    ASSERT_EQ(CLoadMerger::CheckExeCRC(file, n), 1);

    // The download's view: seek once, then chunk after chunk.
    ASSERT_EQ(CLoadMerger::SeekToLoad(file, n), 1);
    EXPECT_EQ(file.Position(), static_cast<int64_t>(image.size() + 8));
    Bytes area;
    uint8_t chunk[kChunkSize];
    for (uint64_t k = 0; k < s / kChunkSize; ++k) {
        ASSERT_EQ(CLoadMerger::ReadLoadChunk(file, chunk), 1) << "chunk " << k;
        area.insert(area.end(), chunk, chunk + kChunkSize);
    }
    ASSERT_TRUE(std::equal(load.begin(), load.end(), area.begin()));
    // The load's CRC-30 follows it, then zero filler.
    const uint32_t crc = Crc30Calc(load.data(), n * 8);
    EXPECT_EQ(ReadLe32(area.data() + n), crc);
    EXPECT_TRUE(std::all_of(area.begin() + n + 4, area.end(), [](uint8_t b) { return b == 0; }));
}

INSTANTIATE_TEST_SUITE_P(LoadSizes, PackageRoundTrip,
                         ::testing::Values(1u, 511u, 512u, 4092u, 4096u, 8188u, 8192u, 0x20200u, RandomLargeSize()));

// 8191 leaves 4095 bytes in its last chunk: its CRC would straddle two chunks, so the writer
// refuses it and the reader refuses a block that names it.
TEST(PackageRoundTripLimits, ALoadOf8191BytesIsRefusedByWriterAndReader) {
    pkgtest::TempDir dir;
    pkgtest::WriteFile(dir.File("load"), pkgtest::RandomBytes(8191, 1));
    platform::ReadOnlyFile load;
    ASSERT_TRUE(load.Open(dir.File("load")));
    struct NullSink : PackageSink {
        bool Write(const uint8_t*, size_t) override { return true; }
    } sink;
    PackageWriter writer(sink);
    EXPECT_EQ(writer.AppendLoadArea(load, 8191), PackResult::kLoadSizeRefused);

    const std::string path = dir.File("program");
    pkgtest::WriteProgramFile(path, pkgtest::RandomBytes(20000, 2), pkgtest::RandomBytes(8188, 3), {}, dir.Path());
    uint8_t block[kParameterBlockSize];
    EncodeParameterBlock({}, 8191, block);
    pkgtest::ReplaceParameterBlock(path, block);
    platform::ReadOnlyFile file;
    ASSERT_TRUE(file.Open(path));
    CDLParameter parameters;
    pkgtest::RecordingTarget window;
    int step = 0;
    EXPECT_EQ(RunPackageChecks(file, parameters, &window, &step), PKGERR_LOAD_SIZE);
    EXPECT_EQ(step, 2);
    EXPECT_TRUE(window.Messages().empty());
}

TEST(PackageChecks, RunAllThreeInOrderOnASoundPackage) {
    pkgtest::TempDir dir;
    const std::string path = dir.File("program");
    PackageValues values;
    values.version = "47-char-version-text-0123456789-0123456789-0123";
    ASSERT_EQ(values.version.size(), 47u);
    pkgtest::WriteProgramFile(path, pkgtest::RandomBytes(777, 1), pkgtest::RandomBytes(100000, 2), values, dir.Path());
    platform::ReadOnlyFile file;
    ASSERT_TRUE(file.Open(path));
    CDLParameter parameters;
    pkgtest::RecordingTarget window;
    int failedStep = -1;
    EXPECT_EQ(RunPackageChecks(file, parameters, &window, &failedStep), 1);
    EXPECT_EQ(failedStep, 0);
    EXPECT_EQ(parameters.GetVersion(), values.version);
    EXPECT_EQ(window.Progress(), ExpectedProgress(100000));
    // A null window is allowed: the same result, nothing posted anywhere.
    EXPECT_EQ(RunPackageChecks(file, parameters, nullptr), 1);
}

}  // namespace
