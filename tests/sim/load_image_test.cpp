// SPDX-License-Identifier: Apache-2.0
#include "load_image.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "sim_test_bytes.h"

namespace {

// Unique per run: the same test may run at once in another build's suite.
std::string TempPath(const std::string& name) {
    static const std::string run = std::to_string(std::random_device{}());
    return ::testing::TempDir() + "sim_image_" + run + "_" + name;
}

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(LoadImage, SaveWritesTheImageWholeAndReplacesAnOlderFile) {
    const std::string path = TempPath("save.bin");
    LoadImage image;
    const Bytes first = MakeLoad(3000);
    ASSERT_TRUE(image.Write(0, first));
    EXPECT_EQ(image.SaveTo(path), "");
    EXPECT_TRUE(ReadFile(path) == first);

    image.Clear();
    const Bytes second = MakeLoad(10);
    ASSERT_TRUE(image.Write(0, second));
    EXPECT_EQ(image.SaveTo(path), "");
    EXPECT_TRUE(ReadFile(path) == second);
    EXPECT_FALSE(std::filesystem::exists(path + ".part"));  // no temporary left behind
    std::filesystem::remove(path);
}

TEST(LoadImage, AnEmptyImageSavesAnEmptyFile) {
    const std::string path = TempPath("empty.bin");
    EXPECT_EQ(LoadImage().SaveTo(path), "");
    EXPECT_EQ(ReadFile(path).size(), 0u);
    std::filesystem::remove(path);
}

TEST(LoadImage, SaveIntoAMissingFolderReportsTheError) {
    LoadImage image;
    ASSERT_TRUE(image.Write(0, MakeLoad(4)));
    const std::string error = image.SaveTo("/nonexistent-vexlor-folder/image.bin");
    EXPECT_NE(error.find("/nonexistent-vexlor-folder/image.bin.part"), std::string::npos) << error;
}

TEST(LoadImage, WritesEndingPastTheLimitAreRefused) {
    LoadImage image;
    const Bytes data(16, 1);
    EXPECT_FALSE(image.Write(static_cast<uint32_t>(LoadImage::MAX_BYTES - 15), data));
    EXPECT_FALSE(image.Write(0xFFFFFFF0u, data));  // would wrap around in 32 bits
    EXPECT_TRUE(image.Bytes().empty());
    EXPECT_EQ(image.ReceivedBytes(), 0u);
}

}  // namespace
