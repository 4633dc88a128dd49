// SPDX-License-Identifier: Apache-2.0
#include "records/record_store.h"

#include <sqlite3.h>

#include "records/store_rows.h"
#include "records/store_statement.h"

namespace {

// "VXLR": what PRAGMA application_id holds in every Vexlor record store.
constexpr int kApplicationId = 0x56584C52;
constexpr int kFormat = 1;

const char* const kSchema = R"(
CREATE TABLE vexlor_store(key TEXT PRIMARY KEY, value TEXT NOT NULL);
INSERT INTO vexlor_store VALUES('kind', 'vexlor production records');
CREATE TABLE records(
  store_seq INTEGER PRIMARY KEY,
  record_id TEXT NOT NULL UNIQUE,
  started TEXT NOT NULL,
  ended TEXT NOT NULL,
  station TEXT,
  operator TEXT,
  tool_version TEXT,
  port TEXT NOT NULL,
  device TEXT,
  sequence INTEGER NOT NULL,
  result TEXT NOT NULL,
  code TEXT,
  reason TEXT,
  confirmed INTEGER,
  confirmed_by TEXT,
  esn TEXT,
  esn_dec TEXT,
  mode_after TEXT,
  platform TEXT,
  handset_version TEXT,
  load_version TEXT,
  load_sha256 TEXT,
  seconds REAL NOT NULL,
  bytes INTEGER NOT NULL,
  prev_hash TEXT NOT NULL,
  hash TEXT NOT NULL,
  delivered INTEGER NOT NULL DEFAULT 0);
CREATE INDEX records_esn ON records(esn);
CREATE INDEX records_started ON records(started);
CREATE INDEX records_waiting ON records(store_seq) WHERE delivered = 0;
PRAGMA application_id = 1448627282;
PRAGMA user_version = 1;
)";

// Rolls back a transaction that was not committed.
class Transaction {
public:
    explicit Transaction(sqlite3* db) : m_db(db) {}
    ~Transaction() {
        if (m_open) sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    int Begin() {
        const int code = sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        m_open = code == SQLITE_OK;
        return code;
    }
    int Commit() {
        const int code = sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
        if (code == SQLITE_OK) m_open = false;
        return code;
    }

private:
    sqlite3* m_db;
    bool m_open = false;
};

}  // namespace

std::unique_ptr<RecordStore> RecordStore::Open(const std::string& path, Mode mode, StoreFailure& failure) {
    failure = {};
    sqlite3* db = nullptr;
    const int flags = (mode == Mode::kWrite ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE : SQLITE_OPEN_READONLY) |
                      SQLITE_OPEN_FULLMUTEX;
    const int code = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
    std::unique_ptr<RecordStore> store(new RecordStore(db, path));
    if (code != SQLITE_OK || !db) {
        failure = db ? store->Failure(code) : StoreFailure{StoreFailure::Kind::kCannotOpen, sqlite3_errstr(code)};
        if (failure.kind == StoreFailure::Kind::kOther) failure.kind = StoreFailure::Kind::kCannotOpen;
        return nullptr;
    }
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    failure = store->Prepare(mode);
    if (failure) return nullptr;
    return store;
}

RecordStore::~RecordStore() { sqlite3_close_v2(m_db); }

StoreFailure RecordStore::Failure(int code) const {
    StoreFailure failure{StoreFailure::Kind::kOther, sqlite3_errmsg(m_db)};
    switch (code & 0xFF) {
    case SQLITE_NOTADB: failure.kind = StoreFailure::Kind::kNotAStore; break;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH: failure.kind = StoreFailure::Kind::kReadOnly; break;
    case SQLITE_CANTOPEN: failure.kind = StoreFailure::Kind::kCannotOpen; break;
    case SQLITE_FULL: failure.kind = StoreFailure::Kind::kFull; break;
    case SQLITE_BUSY:
    case SQLITE_LOCKED: failure.kind = StoreFailure::Kind::kBusy; break;
    case SQLITE_CORRUPT: failure.kind = StoreFailure::Kind::kDamaged; break;
    default: break;
    }
    return failure;
}

StoreFailure RecordStore::Prepare(Mode mode) {
    const StoreFailure notOurs{StoreFailure::Kind::kNotAStore, "no Vexlor record store"};
    Statement id(m_db, "PRAGMA application_id");
    if (!id) return Failure(id.Code());
    if (const int step = id.Step(); step != SQLITE_ROW) return Failure(step);
    const int64_t application = id.Int(0);
    id.Reset();
    Statement tables(m_db, "SELECT count(*) FROM sqlite_schema");
    if (!tables || tables.Step() != SQLITE_ROW) return Failure(tables.Code());
    const bool empty = tables.Int(0) == 0;
    tables.Reset();
    if (application != kApplicationId && !(empty && application == 0)) return notOurs;
    if (application == kApplicationId) {
        Statement kind(m_db, "SELECT value FROM vexlor_store WHERE key = 'kind'");
        if (!kind || kind.Step() != SQLITE_ROW) return notOurs;
        Statement version(m_db, "PRAGMA user_version");
        if (!version || version.Step() != SQLITE_ROW || version.Int(0) > kFormat) {
            return {StoreFailure::Kind::kNotAStore, "written by a newer Vexlor"};
        }
    }
    if (mode == Mode::kRead) return empty ? notOurs : StoreFailure{};
    if (sqlite3_db_readonly(m_db, "main") == 1) {
        return {StoreFailure::Kind::kReadOnly, "the file may not be written"};
    }
    // WAL: readers (--history, a delivery) never block a run's append, nor it them. Each commit
    // is synced: a run that said its record is stored must find it there after a power cut.
    if (sqlite3_exec(m_db, "PRAGMA journal_mode = WAL; PRAGMA synchronous = FULL", nullptr, nullptr, nullptr) !=
        SQLITE_OK) {
        return Failure(sqlite3_errcode(m_db));
    }
    Transaction transaction(m_db);
    if (const int code = transaction.Begin(); code != SQLITE_OK) return Failure(code);
    Statement recheck(m_db, "PRAGMA application_id");
    if (!recheck || recheck.Step() != SQLITE_ROW) return Failure(recheck.Code());
    const bool made = recheck.Int(0) == kApplicationId;
    recheck.Reset();
    if (!made && sqlite3_exec(m_db, kSchema, nullptr, nullptr, nullptr) != SQLITE_OK) {
        return Failure(sqlite3_extended_errcode(m_db));
    }
    // A real write at the start: a full disk or a folder that refuses the WAL file shows here,
    // before any handset is touched, not at the first record.
    if (sqlite3_exec(m_db, "INSERT OR REPLACE INTO vexlor_store VALUES('opened', strftime('%Y-%m-%dT%H:%M:%fZ'))",
                     nullptr, nullptr, nullptr) != SQLITE_OK) {
        return Failure(sqlite3_extended_errcode(m_db));
    }
    if (const int code = transaction.Commit(); code != SQLITE_OK) return Failure(code);
    return {};
}

StoreFailure RecordStore::Append(ProductionRecord& r) {
    std::lock_guard<std::mutex> hold(m_lock);
    Transaction transaction(m_db);
    if (const int code = transaction.Begin(); code != SQLITE_OK) return Failure(code);
    Statement head(m_db, "SELECT store_seq, hash FROM records ORDER BY store_seq DESC LIMIT 1");
    if (!head) return Failure(head.Code());
    const int step = head.Step();
    if (step != SQLITE_ROW && step != SQLITE_DONE) return Failure(step);
    r.storeSeq = step == SQLITE_ROW ? head.Int(0) + 1 : 1;
    r.prevHash = step == SQLITE_ROW ? head.Text(1) : kChainStart;
    head.Reset();
    r.hash = RecordHash(r, r.prevHash);
    Statement insert(m_db, (std::string("INSERT INTO records(") + kRecordColumns +
                            ") VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)")
                               .c_str());
    if (!insert) return Failure(insert.Code());
    int i = 1;
    insert.BindInt(i++, r.storeSeq);
    for (const std::string* text :
         {&r.recordId, &r.started, &r.ended, &r.station, &r.operatorName, &r.toolVersion, &r.port, &r.device}) {
        insert.BindTextOrNull(i++, *text);
    }
    insert.BindInt(i++, r.sequence);
    insert.BindTextOrNull(i++, r.result);
    insert.BindTextOrNull(i++, r.code);
    insert.BindTextOrNull(i++, r.reason);
    if (r.confirmed) {
        insert.BindInt(i++, *r.confirmed ? 1 : 0);
    } else {
        insert.BindNull(i++);
    }
    for (const std::string* text : {&r.confirmedBy, &r.esn, &r.esnDecimal, &r.modeAfter, &r.platform, &r.handsetVersion,
                                    &r.loadVersion, &r.loadSha256}) {
        insert.BindTextOrNull(i++, *text);
    }
    insert.BindReal(i++, r.seconds);
    insert.BindInt(i++, r.bytes);
    insert.BindTextOrNull(i++, r.prevHash);
    insert.BindTextOrNull(i++, r.hash);
    if (const int done = insert.Step(); done != SQLITE_DONE) return Failure(sqlite3_extended_errcode(m_db));
    if (const int code = transaction.Commit(); code != SQLITE_OK) return Failure(code);
    return {};
}

StoreFailure RecordStore::History(const HistoryQuery& query, const std::function<bool(const ProductionRecord&)>& each) {
    std::lock_guard<std::mutex> hold(m_lock);
    Statement rows(m_db, (std::string("SELECT ") + kRecordColumns +
                          " FROM records WHERE (?1 = '' OR esn = ?1 OR esn_dec = ?1) AND (?2 = '' OR started >= ?2) "
                          "ORDER BY store_seq DESC")
                             .c_str());
    if (!rows) return Failure(rows.Code());
    rows.BindText(1, query.esn);
    rows.BindText(2, query.since);
    int step;
    while ((step = rows.Step()) == SQLITE_ROW) {
        if (!each(ReadRecord(rows))) return {};
    }
    return step == SQLITE_DONE ? StoreFailure{} : Failure(step);
}

std::vector<WaitingRecord> RecordStore::Waiting(std::size_t max) {
    std::lock_guard<std::mutex> hold(m_lock);
    std::vector<WaitingRecord> waiting;
    Statement rows(m_db, (std::string("SELECT ") + kRecordColumns +
                          " FROM records WHERE delivered = 0 ORDER BY store_seq LIMIT ?1")
                             .c_str());
    if (!rows) return waiting;
    rows.BindInt(1, static_cast<int64_t>(max));
    while (rows.Step() == SQLITE_ROW) {
        const ProductionRecord record = ReadRecord(rows);
        waiting.push_back({record.storeSeq, record.recordId, record.station, record.port, StoredJson(record)});
    }
    return waiting;
}

bool RecordStore::MarkDelivered(std::int64_t sequence) {
    std::lock_guard<std::mutex> hold(m_lock);
    Statement mark(m_db, "UPDATE records SET delivered = 1 WHERE store_seq = ?1");
    if (!mark) return false;
    mark.BindInt(1, sequence);
    return mark.Step() == SQLITE_DONE && sqlite3_changes(m_db) == 1;
}

std::size_t RecordStore::WaitingCount() {
    std::lock_guard<std::mutex> hold(m_lock);
    Statement count(m_db, "SELECT count(*) FROM records WHERE delivered = 0");
    if (!count || count.Step() != SQLITE_ROW) return 0;
    return static_cast<std::size_t>(count.Int(0));
}
