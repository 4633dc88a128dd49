// SPDX-License-Identifier: Apache-2.0
// The store itself: files that are not ours are refused untouched, places that cannot be written
// are told at the open, the history and the outbox, and several writers on one store.
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <fstream>
#include <thread>

#include "records_fixture.h"

namespace {

using FailureKind = StoreFailure::Kind;

class StoreTest : public RecordsTest {
protected:
    StoreFailure OpenFails(const std::string& path, RecordStore::Mode mode = RecordStore::Mode::kWrite) {
        StoreFailure failure;
        EXPECT_FALSE(RecordStore::Open(path, mode, failure)) << path;
        EXPECT_FALSE(failure.detail.empty());
        return failure;
    }
};

TEST_F(StoreTest, FileThatIsNoStoreIsRefusedUntouched) {
    // Another program's database.
    Sql("CREATE TABLE orders(id INTEGER PRIMARY KEY, item TEXT); INSERT INTO orders(item) VALUES('x');");
    const std::string database = ReadWholeFile(StorePath());
    EXPECT_EQ(OpenFails(StorePath()).kind, FailureKind::kNotAStore);
    EXPECT_EQ(OpenFails(StorePath(), RecordStore::Mode::kRead).kind, FailureKind::kNotAStore);
    EXPECT_EQ(ReadWholeFile(StorePath()), database);
    // No database at all: a report someone named by mistake.
    const std::string text = folder.File("report.csv");
    std::ofstream(text) << "start,end,port\r\n2026-12-01,2026-12-01,COM3\r\n";
    const std::string before = ReadWholeFile(text);
    EXPECT_EQ(OpenFails(text).kind, FailureKind::kNotAStore);
    EXPECT_EQ(ReadWholeFile(text), before);
    // A store only read must be there.
    EXPECT_EQ(OpenFails(folder.File("none.db"), RecordStore::Mode::kRead).kind, FailureKind::kCannotOpen);
    EXPECT_FALSE(std::ifstream(folder.File("none.db")).good());
}

TEST_F(StoreTest, PlaceThatCannotBeWrittenIsToldAtTheOpen) {
    std::ofstream(folder.File("plain")) << "x";
    EXPECT_EQ(OpenFails(folder.File("plain") + "/records.db").kind, FailureKind::kCannotOpen);
#ifdef _WIN32
    GTEST_SKIP() << "file modes are POSIX's";
#else
    if (geteuid() == 0) GTEST_SKIP() << "root writes where permissions forbid it";
    Fill(1);
    ASSERT_EQ(chmod(StorePath().c_str(), 0444), 0);
    EXPECT_EQ(OpenFails(StorePath()).kind, FailureKind::kReadOnly);
    const std::string shut = folder.File("shut");
    ASSERT_EQ(mkdir(shut.c_str(), 0555), 0);
    EXPECT_NE(OpenFails(shut + "/records.db").kind, FailureKind::kNone);
#endif
}

TEST_F(StoreTest, HistoryIsNewestFirstByHandsetAndTime) {
    const auto ids = Fill(8);
    auto store = OpenStore(RecordStore::Mode::kRead);
    std::vector<int64_t> seqs;
    auto collect = [&](const ProductionRecord& r) {
        seqs.push_back(r.storeSeq);
        return true;
    };
    EXPECT_FALSE(store->History({}, collect));
    EXPECT_EQ(seqs, (std::vector<int64_t>{8, 7, 6, 5, 4, 3, 2, 1}));
    seqs.clear();
    EXPECT_FALSE(store->History({"8F2A1005", ""}, collect));
    EXPECT_EQ(seqs, (std::vector<int64_t>{5}));
    seqs.clear();
    // Record n started on day 1 + n: from the 6th on, records 5 to 8.
    EXPECT_FALSE(store->History({"", "2026-12-06T00:00:00"}, collect));
    EXPECT_EQ(seqs, (std::vector<int64_t>{8, 7, 6, 5}));
    // What was stored comes back field by field, hashes included.
    ProductionRecord back;
    store->History({"8F2A1002", ""}, [&](const ProductionRecord& r) {
        back = r;
        return false;
    });
    ProductionRecord written = SampleRecord(2);
    written.storeSeq = 2;
    written.recordId = ids[1];
    EXPECT_EQ(CanonicalJson(back), CanonicalJson(written));
    EXPECT_EQ(back.hash, RecordHash(back, back.prevHash));
}

TEST_F(StoreTest, OutboxGivesWaitingRecordsOldestFirstUntilDelivered) {
    const auto ids = Fill(5);
    auto store = OpenStore();
    EXPECT_EQ(store->WaitingCount(), 5u);
    auto waiting = store->Waiting(2);
    ASSERT_EQ(waiting.size(), 2u);
    EXPECT_EQ(waiting[0].sequence, 1);
    EXPECT_EQ(waiting[0].recordId, ids[0]);
    EXPECT_EQ(waiting[0].stationHost, "bench-1");
    EXPECT_EQ(waiting[0].port, "COM4");
    EXPECT_NE(waiting[0].payload.find("\"record_id\":\"" + ids[0] + "\""), std::string::npos);
    EXPECT_NE(waiting[0].payload.find("\"prev_hash\":\"" + kChainStart + "\",\"hash\":\""), std::string::npos);
    EXPECT_TRUE(store->MarkDelivered(1));
    EXPECT_TRUE(store->MarkDelivered(3));
    EXPECT_FALSE(store->MarkDelivered(99));
    EXPECT_EQ(store->WaitingCount(), 3u);
    waiting = store->Waiting(10);
    ASSERT_EQ(waiting.size(), 3u);
    EXPECT_EQ(waiting[0].sequence, 2);
    EXPECT_EQ(waiting[1].sequence, 4);
    EXPECT_EQ(waiting[2].sequence, 5);
}

TEST_F(StoreTest, WritersSideBySideKeepOneChain) {
    OpenStore();
    constexpr int kWriters = 4;
    constexpr int kEach = 25;
    std::vector<std::thread> writers;
    std::atomic<int> failures{0};
    for (int w = 0; w < kWriters; ++w) {
        writers.emplace_back([&, w] {
            // A connection each, as separate processes have.
            StoreFailure failure;
            auto store = RecordStore::Open(StorePath(), RecordStore::Mode::kWrite, failure);
            if (!store) {
                ++failures;
                return;
            }
            for (int n = 0; n < kEach; ++n) {
                ProductionRecord record = SampleRecord(w * kEach + n);
                if (store->Append(record)) ++failures;
            }
        });
    }
    for (auto& writer : writers) writer.join();
    EXPECT_EQ(failures, 0);
    const ChainFinding finding = Verify();
    EXPECT_EQ(finding.kind, ChainFinding::Kind::kWhole);
    EXPECT_EQ(finding.count, kWriters * kEach);
}

}  // namespace
