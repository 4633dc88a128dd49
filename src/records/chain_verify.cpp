// SPDX-License-Identifier: Apache-2.0
#include <optional>

#include "records/record_store.h"
#include "records/store_rows.h"

namespace {

// Whether record hashes as written had it stood at place seq of the chain: a record that did
// was moved by a removal or an insertion, not changed.
bool HashesAt(ProductionRecord record, int64_t seq) {
    record.storeSeq = seq;
    return RecordHash(record, record.prevHash) == record.hash;
}

ChainFinding Found(ChainFinding::Kind kind, const ProductionRecord& record, int64_t seq) {
    ChainFinding finding;
    finding.kind = kind;
    finding.seq = seq;
    finding.recordId = record.recordId;
    return finding;
}

}  // namespace

ChainFinding RecordStore::Verify(StoreFailure& failure) {
    failure = {};
    std::lock_guard<std::mutex> hold(m_lock);
    ChainFinding whole;
    whole.headHash = kChainStart;
    Statement rows(m_db, (std::string("SELECT ") + kRecordColumns + " FROM records ORDER BY store_seq").c_str());
    if (!rows) {
        failure = Failure(rows.Code());
        return whole;
    }
    auto next = [&]() -> std::optional<ProductionRecord> {
        const int step = rows.Step();
        if (step == SQLITE_ROW) return ReadRecord(rows);
        if (step != SQLITE_DONE) failure = Failure(step);
        return std::nullopt;
    };
    using Kind = ChainFinding::Kind;
    std::optional<ProductionRecord> prev;
    std::string beforePrev = kChainStart;  // the hash prev was chained to
    std::optional<ProductionRecord> row = next();
    while (row) {
        const std::string expectedPrev = prev ? prev->hash : kChainStart;
        const int64_t expectedSeq = prev ? prev->storeSeq + 1 : 1;
        const std::optional<ProductionRecord> after = next();
        if (failure) return whole;
        if (RecordHash(*row, row->prevHash) != row->hash) {
            if (prev && row->prevHash == beforePrev && HashesAt(*row, row->storeSeq - 1)) {
                return Found(Kind::kInserted, *prev, prev->storeSeq);  // prev pushed this one up a place
            }
            if (row->prevHash != expectedPrev && HashesAt(*row, row->storeSeq + 1)) {
                return Found(Kind::kRemoved, *row, row->storeSeq);  // this one moved down into the gap
            }
            if (after && after->prevHash == expectedPrev && HashesAt(*after, after->storeSeq - 1)) {
                return Found(Kind::kInserted, *row, row->storeSeq);  // the chain goes on round this one
            }
            return Found(Kind::kChanged, *row, row->storeSeq);
        }
        if (row->prevHash != expectedPrev || row->storeSeq != expectedSeq) {
            if (row->storeSeq > expectedSeq) return Found(Kind::kRemoved, *row, expectedSeq);
            if (prev && row->prevHash == beforePrev) return Found(Kind::kInserted, *prev, prev->storeSeq);
            return Found(Kind::kBroken, *row, row->storeSeq);
        }
        ++whole.count;
        whole.headHash = row->hash;
        beforePrev = expectedPrev;
        prev = row;
        row = after;
    }
    return whole;
}
