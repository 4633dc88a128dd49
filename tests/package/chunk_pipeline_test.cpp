// SPDX-License-Identifier: Apache-2.0
#include "package/chunk_pipeline.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "package/image_digest.h"
#include "package/load_progress.h"
#include "package/package_cipher.h"
#include "package/package_errors.h"
#include "package/package_layout.h"
#include "package_fixture.h"
#include "platform/window_messages.h"

namespace {

using pkgtest::Bytes;

// A file of `chunks` chunks after a head of `head` bytes, and what each chunk deciphers to.
struct ChunkFile {
    std::string path;
    std::vector<Bytes> plain;
};

ChunkFile WriteChunkFile(const pkgtest::TempDir& dir, size_t head, uint32_t chunks, uint32_t seed) {
    ChunkFile made;
    made.path = dir.File("chunks" + std::to_string(seed));
    Bytes file = pkgtest::RandomBytes(head, seed);
    PackageCipher cipher;
    for (uint32_t k = 0; k < chunks; ++k) {
        Bytes chunk = pkgtest::RandomBytes(kChunkSize, seed * 1000 + k);
        made.plain.push_back(chunk);
        cipher.EncipherUnit(chunk.data(), chunk.size());
        file.insert(file.end(), chunk.begin(), chunk.end());
    }
    pkgtest::WriteFile(made.path, file);
    return made;
}

TEST(ChunkPipeline, HandsOutEveryChunkDecipheredAndInOrder) {
    pkgtest::TempDir dir;
    for (uint32_t chunks : {1u, 2u, 4u, 5u, 15u, 16u, 17u, 33u, 200u}) {
        SCOPED_TRACE(std::to_string(chunks) + " chunks");
        const ChunkFile made = WriteChunkFile(dir, 123, chunks, chunks);
        platform::ReadOnlyFile file;
        ASSERT_TRUE(file.Open(made.path));
        ChunkPipeline pipeline(file, 123, chunks);
        for (uint32_t k = 0; k < chunks; ++k) {
            const uint8_t* chunk = pipeline.Next();
            ASSERT_NE(chunk, nullptr) << "chunk " << k;
            ASSERT_EQ(0, std::memcmp(chunk, made.plain[k].data(), kChunkSize)) << "chunk " << k;
        }
        EXPECT_EQ(pipeline.Next(), nullptr);  // nothing past the area
    }
}

TEST(ChunkPipeline, ASlowConsumerStillGetsEveryChunkIntact) {
    // The worker runs far ahead and must wait for slots; a chunk may not be overwritten while the
    // consumer still holds it.
    pkgtest::TempDir dir;
    const uint32_t chunks = 4 * ChunkPipeline::kChunksPerBatch * ChunkPipeline::kBatchSlots;
    const ChunkFile made = WriteChunkFile(dir, 0, chunks, 77);
    platform::ReadOnlyFile file;
    ASSERT_TRUE(file.Open(made.path));
    ChunkPipeline pipeline(file, 0, chunks);
    for (uint32_t k = 0; k < chunks; ++k) {
        const uint8_t* chunk = pipeline.Next();
        ASSERT_NE(chunk, nullptr);
        if (k % 16 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        ASSERT_EQ(0, std::memcmp(chunk, made.plain[k].data(), kChunkSize)) << "chunk " << k;
    }
}

TEST(ChunkPipeline, StopsCleanlyWhenLeftEarly) {
    pkgtest::TempDir dir;
    const ChunkFile made = WriteChunkFile(dir, 0, 300, 5);
    platform::ReadOnlyFile file;
    ASSERT_TRUE(file.Open(made.path));
    for (int taken : {0, 1, 3}) {
        ChunkPipeline pipeline(file, 0, 300);
        for (int k = 0; k < taken; ++k) ASSERT_NE(pipeline.Next(), nullptr);
    }  // the destructors must not hang with the worker waiting for a slot
}

TEST(ChunkPipeline, AChunkPastTheEndOfTheFileFailsWithItsReadCount) {
    pkgtest::TempDir dir;
    // Cut inside the first chunk, inside a later one, and right at a chunk's start.
    for (uint32_t wholeChunks : {0u, 2u, 5u}) {
        for (int64_t partial : {int64_t{1000}, int64_t{0}}) {
            SCOPED_TRACE(std::to_string(wholeChunks) + " whole chunks and " + std::to_string(partial) + " bytes");
            const ChunkFile again = WriteChunkFile(dir, 0, 6, 8);
            std::filesystem::resize_file(again.path, wholeChunks * kChunkSize + partial);
            platform::ReadOnlyFile file;
            ASSERT_TRUE(file.Open(again.path));
            ChunkPipeline pipeline(file, 0, 12);
            for (uint32_t k = 0; k < wholeChunks; ++k) {
                const uint8_t* chunk = pipeline.Next();
                ASSERT_NE(chunk, nullptr) << k;
                ASSERT_EQ(0, std::memcmp(chunk, again.plain[k].data(), kChunkSize)) << k;
            }
            EXPECT_EQ(pipeline.Next(), nullptr);
            EXPECT_EQ(pipeline.LastFailure().offset, wholeChunks * int64_t{kChunkSize});
            EXPECT_EQ(pipeline.LastFailure().bytesRead, partial);
            EXPECT_EQ(pipeline.Next(), nullptr);  // nothing after a failed chunk
        }
    }
}

TEST(DigestImage, MatchesTheHashOfTheBytesAndFailsPastTheEnd) {
    pkgtest::TempDir dir;
    const Bytes bytes = pkgtest::RandomBytes(600000, 4);
    pkgtest::WriteFile(dir.File("image"), bytes);
    platform::ReadOnlyFile file;
    ASSERT_TRUE(file.Open(dir.File("image")));
    uint64_t digest = 0;
    ASSERT_EQ(DigestImage(file, 600000, "test", digest), 1);
    SipHash24 expected = NewImageHash();
    expected.Update(bytes.data(), bytes.size());
    EXPECT_EQ(digest, expected.Finish());
    uint64_t shorter = 0;
    ASSERT_EQ(DigestImage(file, 599999, "test", shorter), 1);
    EXPECT_NE(shorter, digest);
    EXPECT_EQ(DigestImage(file, 600001, "test", digest), PKGERR_LOAD_READ);
}

std::vector<uintptr_t> ProgressFor(uint32_t loadSize, bool succeed) {
    pkgtest::RecordingTarget window;
    LoadProgress progress(loadSize, &window);
    progress.Start();
    const uint64_t chunks = EncipheredAreaSize(loadSize) / kChunkSize;
    for (uint64_t k = 0; k < chunks; ++k) progress.ChunkChecked(k * kChunkSize);
    if (succeed) progress.Succeeded();
    for (const auto& m : window.Messages()) EXPECT_EQ(m.message, WM_DL_PROGRESS);
    return window.Progress();
}

TEST(LoadProgress, LargeLoadsPostEveryPercentOnceWithoutOverflow) {
    // Beyond 42,949,672 bytes a 32-bit offset x 100 would wrap.
    for (uint32_t n : {25276412u, 100000000u, kMaxLoadSize}) {
        const auto progress = ProgressFor(n, true);
        ASSERT_EQ(progress.size(), 101u) << n;
        for (uintptr_t i = 0; i <= 100; ++i) ASSERT_EQ(progress[i], i) << n;
    }
}

TEST(LoadProgress, SmallLoadsNeverPostAbove100) {
    // 5000 bytes: after chunk 0 that is 81 %; after chunk 1 the share passes 100 and is not posted.
    EXPECT_EQ(ProgressFor(5000, true), (std::vector<uintptr_t>{0, 81, 100}));
    EXPECT_EQ(ProgressFor(1, true), (std::vector<uintptr_t>{0, 100}));
    EXPECT_EQ(ProgressFor(4096, true), (std::vector<uintptr_t>{0, 100}));
    EXPECT_EQ(ProgressFor(8191, true), (std::vector<uintptr_t>{0, 50, 100}));
}

TEST(LoadProgress, FailurePostsNo100AndANullWindowNothing) {
    EXPECT_EQ(ProgressFor(5000, false), (std::vector<uintptr_t>{0, 81}));
    LoadProgress silent(5000, nullptr);
    silent.Start();
    silent.ChunkChecked(0);
    silent.Succeeded();  // must not crash
}

}  // namespace
