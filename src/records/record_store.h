// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "records/production_record.h"
#include "records/record_outbox.h"

struct sqlite3;

// Why the store could not do what was asked. detail is SQLite's own text.
struct StoreFailure {
    enum class Kind {
        kNone,
        kCannotOpen,  // missing (when only read), or its folder cannot be made or written
        kNotAStore,   // a file that is not a Vexlor record store (another database, or no database)
        kReadOnly,    // the file or its folder may not be written
        kFull,        // no room left on its disk
        kBusy,        // other processes held it longer than the busy timeout
        kDamaged,     // the database is damaged
        kOther,
    };
    Kind kind = Kind::kNone;
    std::string detail;
    explicit operator bool() const { return kind != Kind::kNone; }
};

// What a walk along the chain found: the first record changed, removed or inserted, or none.
struct ChainFinding {
    enum class Kind {
        kWhole,     // every record is as it was written
        kChanged,   // seq (recordId) no longer hashes to what was written
        kRemoved,   // the record numbered seq is gone; recordId is the one that followed it
        kInserted,  // seq (recordId) was put into the chain after it was written
        kBroken,    // seq (recordId) does not follow the record before it
    };
    Kind kind = Kind::kWhole;
    int64_t seq = 0;
    std::string recordId;
    int64_t count = 0;     // records in the store
    std::string headHash;  // the last record's hash (kChainStart for an empty store)
};

// Which records --history lists: all, or one handset's (its ESN in hex or decimal), from a time.
struct HistoryQuery {
    std::string esn;    // "" for every handset
    std::string since;  // UTC time text to compare with "started"; "" for no limit
};

// The production record store: an SQLite database (WAL, so a reader never blocks a run) that
// many processes on one machine append to, each record in its own transaction, chained by
// SHA-256. Its application_id and marker table tell it from any other database, which is refused
// untouched. Safe to use from several threads.
class RecordStore : public RecordOutbox {
public:
    enum class Mode { kWrite, kRead };
    // How long an append waits for other writers before it gives up.
    static constexpr int kBusyTimeoutMs = 10000;

    // Opens (kWrite: creates where missing, and proves it can be written) the store at path.
    static std::unique_ptr<RecordStore> Open(const std::string& path, Mode mode, StoreFailure& failure);
    ~RecordStore() override;
    RecordStore(const RecordStore&) = delete;
    RecordStore& operator=(const RecordStore&) = delete;

    // Appends record at the chain's head, setting its storeSeq, prevHash and hash.
    StoreFailure Append(ProductionRecord& record);
    // Walks the whole chain, oldest first.
    ChainFinding Verify(StoreFailure& failure);
    // Calls each for the records query names, newest first, until it returns false.
    StoreFailure History(const HistoryQuery& query, const std::function<bool(const ProductionRecord&)>& each);

    std::vector<WaitingRecord> Waiting(std::size_t max) override;
    bool MarkDelivered(std::int64_t sequence) override;
    std::size_t WaitingCount() override;

    const std::string& Path() const { return m_path; }

private:
    RecordStore(sqlite3* db, std::string path) : m_db(db), m_path(std::move(path)) {}
    StoreFailure Prepare(Mode mode);
    StoreFailure Failure(int code) const;

    sqlite3* m_db;
    std::string m_path;
    std::mutex m_lock;
};
