// SPDX-License-Identifier: Apache-2.0
// The hash chain: a whole store is counted with its head; a record edited, deleted or slipped in
// with plain SQL is named, also where the rows after it were renumbered to hide the gap.
#include "records_fixture.h"

namespace {

using Kind = ChainFinding::Kind;

// Moves the records from seq on by delta places (through negative numbers, as the primary key
// allows no two rows on one number at any moment).
std::string Renumber(int from, int delta) {
    return "UPDATE records SET store_seq = -store_seq WHERE store_seq >= " + std::to_string(from) +
           "; UPDATE records SET store_seq = -store_seq + (" + std::to_string(delta) + ") WHERE store_seq < 0;";
}

// A row put in by hand at seq, chained to prevHash; with its right hash unless hash is given.
std::string ForgedRow(int64_t seq, const std::string& prevHash, std::string* id, const std::string& hash = "") {
    ProductionRecord r;
    r.storeSeq = seq;
    r.recordId = NewRecordId();
    r.started = "2026-12-05T10:00:00.000+00:00";
    r.ended = r.started;
    r.port = "COM3";
    r.sequence = 1;
    r.result = "done";
    r.seconds = 1;
    r.bytes = 10;
    *id = r.recordId;
    return "INSERT INTO records(store_seq, record_id, started, ended, port, sequence, result, seconds, bytes, "
           "prev_hash, hash) VALUES(" +
           std::to_string(seq) + ",'" + r.recordId + "','" + r.started + "','" + r.ended + "','COM3',1,'done',1,10,'" +
           prevHash + "','" + (hash.empty() ? RecordHash(r, prevHash) : hash) + "');";
}

class ChainTest : public RecordsTest {
protected:
    std::string HashOf(int64_t seq) {
        auto store = OpenStore(RecordStore::Mode::kRead);
        std::string hash;
        store->History({}, [&](const ProductionRecord& r) {
            if (r.storeSeq == seq) hash = r.hash;
            return true;
        });
        return hash;
    }
};

TEST_F(ChainTest, WholeStoreIsCountedWithItsHead) {
    OpenStore();
    ChainFinding finding = Verify();
    EXPECT_EQ(finding.kind, Kind::kWhole);
    EXPECT_EQ(finding.count, 0);
    EXPECT_EQ(finding.headHash, kChainStart);

    Fill(6);
    finding = Verify();
    EXPECT_EQ(finding.kind, Kind::kWhole);
    EXPECT_EQ(finding.count, 6);
    EXPECT_EQ(finding.headHash, HashOf(6));
    EXPECT_EQ(finding.headHash.size(), 64u);
    // Delivery's flag is no part of a record: marking one delivered breaks nothing.
    Sql("UPDATE records SET delivered = 1 WHERE store_seq = 2");
    EXPECT_EQ(Verify().kind, Kind::kWhole);
}

TEST_F(ChainTest, ChangedRecordIsNamed) {
    const auto ids = Fill(6);
    Sql("UPDATE records SET esn = '00000000' WHERE store_seq = 4");
    ChainFinding finding = Verify();
    EXPECT_EQ(finding.kind, Kind::kChanged);
    EXPECT_EQ(finding.seq, 4);
    EXPECT_EQ(finding.recordId, ids[3]);

    // Put back as it was, the record hashes again; a changed hash is a change too.
    Sql("UPDATE records SET esn = '8F2A1004' WHERE store_seq = 4");
    EXPECT_EQ(Verify().kind, Kind::kWhole);
    Sql("UPDATE records SET hash = '" + std::string(64, 'a') + "' WHERE store_seq = 2");
    finding = Verify();
    EXPECT_EQ(finding.kind, Kind::kChanged);
    EXPECT_EQ(finding.seq, 2);
}

TEST_F(ChainTest, RecordHashedAgainAfterAChangeBreaksTheLinkAfterIt) {
    const auto ids = Fill(5);
    auto store = OpenStore(RecordStore::Mode::kRead);
    ProductionRecord third;
    store->History({}, [&](const ProductionRecord& r) {
        if (r.storeSeq == 3) third = r;
        return true;
    });
    third.esn = "DEADBEEF";
    Sql("UPDATE records SET esn = 'DEADBEEF', hash = '" + RecordHash(third, third.prevHash) + "' WHERE store_seq = 3");
    const ChainFinding finding = Verify();
    EXPECT_EQ(finding.kind, Kind::kBroken);
    EXPECT_EQ(finding.seq, 4);
    EXPECT_EQ(finding.recordId, ids[3]);
}

TEST_F(ChainTest, RemovedRecordIsNamedWithTheOneAfterIt) {
    const auto ids = Fill(6);
    Sql("DELETE FROM records WHERE store_seq = 3");
    ChainFinding finding = Verify();
    EXPECT_EQ(finding.kind, Kind::kRemoved);
    EXPECT_EQ(finding.seq, 3);
    EXPECT_EQ(finding.recordId, ids[3]);

    // The gap closed by renumbering the rest: still the same record is missing.
    Sql(Renumber(4, -1));
    finding = Verify();
    EXPECT_EQ(finding.kind, Kind::kRemoved);
    EXPECT_EQ(finding.seq, 3);
    EXPECT_EQ(finding.recordId, ids[3]);

    Sql("DELETE FROM records WHERE store_seq = 1");
    finding = Verify();
    EXPECT_EQ(finding.kind, Kind::kRemoved);
    EXPECT_EQ(finding.seq, 1);
    EXPECT_EQ(finding.recordId, ids[1]);
}

TEST_F(ChainTest, InsertedRecordIsNamed) {
    Fill(5);
    const std::string second = HashOf(2);
    std::string forged;
    // A careful forger: the rows after moved up, the new one chained to the one before it.
    Sql(Renumber(3, 1) + ForgedRow(3, second, &forged));
    ChainFinding finding = Verify();
    EXPECT_EQ(finding.kind, Kind::kInserted);
    EXPECT_EQ(finding.seq, 3);
    EXPECT_EQ(finding.recordId, forged);

    // A careless one, whose row does not even hash: named as inserted all the same.
    Sql("DELETE FROM records WHERE store_seq = 3;" + Renumber(4, -1));
    ASSERT_EQ(Verify().kind, Kind::kWhole);
    Sql(Renumber(3, 1) + ForgedRow(3, second, &forged, std::string(64, 'b')));
    finding = Verify();
    EXPECT_EQ(finding.kind, Kind::kInserted);
    EXPECT_EQ(finding.seq, 3);
    EXPECT_EQ(finding.recordId, forged);
}

}  // namespace
