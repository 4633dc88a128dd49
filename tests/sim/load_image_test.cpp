#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

#include "load_image.h"
#include "sim_test_bytes.h"

namespace {

std::string TempPath(const std::string& name) {
    return ::testing::TempDir() + "sim_image_" + std::to_string(getpid()) + "_" + name;
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
    EXPECT_NE(access((path + ".part").c_str(), F_OK), 0);  // no temporary left behind
    unlink(path.c_str());
}

TEST(LoadImage, AnEmptyImageSavesAnEmptyFile) {
    const std::string path = TempPath("empty.bin");
    EXPECT_EQ(LoadImage().SaveTo(path), "");
    EXPECT_EQ(ReadFile(path).size(), 0u);
    unlink(path.c_str());
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
