// SPDX-License-Identifier: Apache-2.0
// Appending one record (its own transaction, synced, as a run does) to a store that holds 50,000
// already, and what each record costs on disk. The store is filled in one transaction with a
// whole chain first, so only the appends are timed.
//   record_store_bench [--benchmark_...]     (the store goes into $TMPDIR, else /tmp)
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "records/record_store.h"

namespace {

constexpr int kFilled = 49999;  // the timed append is the 50,000th record

ProductionRecord Sample(int64_t n) {
    ProductionRecord r;
    r.recordId = NewRecordId();
    r.started = "2026-12-10T08:00:00.000+00:00";
    r.ended = "2026-12-10T08:01:02.500+00:00";
    r.station = "line3-bench07";
    r.operatorName = "tech";
    r.toolVersion = "1.0.0";
    r.port = "COM" + std::to_string(3 + n % 16);
    r.device = "/dev/ttyUSB" + std::to_string(n % 16);
    r.sequence = n / 16 + 1;
    r.result = "done";
    r.code = "0x065";
    r.confirmed = true;
    r.confirmedBy = "esn";
    char esn[16];
    std::snprintf(esn, sizeof esn, "%08X", static_cast<unsigned>(0x8F000000 + n));
    r.esn = esn;
    r.esnDecimal = "14300000001";
    r.modeAfter = "ds";
    r.platform = "QSC6010";
    r.handsetVersion = "V26.04";
    r.loadVersion = "V26.05";
    r.loadSha256 = std::string(64, 'e');
    r.seconds = 62.5;
    r.bytes = 4194304;
    return r;
}

std::string StorePath() {
    const char* folder = std::getenv("TMPDIR");
    return std::string(folder && *folder ? folder : "/tmp") + "/vexlor-record-bench-" + std::to_string(getpid()) +
           ".db";
}

uintmax_t StoreBytes(const std::string& path) {
    uintmax_t bytes = 0;
    for (const char* suffix : {"", "-wal", "-shm"}) {
        std::error_code error;
        const uintmax_t size = std::filesystem::file_size(path + suffix, error);
        if (!error) bytes += size;
    }
    return bytes;
}

void Remove(const std::string& path) {
    for (const char* suffix : {"", "-wal", "-shm"}) std::remove((path + suffix).c_str());
}

// kFilled records with a whole chain, in one transaction.
bool Fill(const std::string& path) {
    StoreFailure failure;
    if (!RecordStore::Open(path, RecordStore::Mode::kWrite, failure)) return false;
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) return false;
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT INTO records(store_seq, record_id, started, ended, station, operator, tool_version, "
                       "port, device, sequence, result, code, confirmed, confirmed_by, esn, esn_dec, mode_after, "
                       "platform, handset_version, load_version, load_sha256, seconds, bytes, prev_hash, hash) "
                       "VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
                       -1, &insert, nullptr);
    std::string prev = kChainStart;
    for (int64_t n = 1; n <= kFilled; ++n) {
        ProductionRecord r = Sample(n);
        r.storeSeq = n;
        const std::string hash = RecordHash(r, prev);
        int i = 1;
        sqlite3_bind_int64(insert, i++, n);
        for (const std::string* text :
             {&r.recordId, &r.started, &r.ended, &r.station, &r.operatorName, &r.toolVersion, &r.port, &r.device}) {
            sqlite3_bind_text(insert, i++, text->c_str(), -1, SQLITE_TRANSIENT);
        }
        sqlite3_bind_int64(insert, i++, r.sequence);
        sqlite3_bind_text(insert, i++, r.result.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, i++, r.code.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(insert, i++, 1);
        for (const std::string* text : {&r.confirmedBy, &r.esn, &r.esnDecimal, &r.modeAfter, &r.platform,
                                        &r.handsetVersion, &r.loadVersion, &r.loadSha256}) {
            sqlite3_bind_text(insert, i++, text->c_str(), -1, SQLITE_TRANSIENT);
        }
        sqlite3_bind_double(insert, i++, r.seconds);
        sqlite3_bind_int64(insert, i++, r.bytes);
        sqlite3_bind_text(insert, i++, prev.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, i++, hash.c_str(), -1, SQLITE_TRANSIENT);
        if (sqlite3_step(insert) != SQLITE_DONE) return false;
        sqlite3_reset(insert);
        prev = hash;
    }
    sqlite3_finalize(insert);
    const bool committed = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_exec(db, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return committed;
}

void BM_AppendAtTheFiftyThousandth(benchmark::State& state) {
    const std::string path = StorePath();
    Remove(path);
    if (!Fill(path)) {
        state.SkipWithError("cannot fill the store");
        return;
    }
    const double filledBytes = static_cast<double>(StoreBytes(path));
    StoreFailure failure;
    auto store = RecordStore::Open(path, RecordStore::Mode::kWrite, failure);
    if (!store) {
        state.SkipWithError(failure.detail.c_str());
        return;
    }
    int64_t n = kFilled;
    for (auto _ : state) {
        ProductionRecord record = Sample(++n);
        if (store->Append(record)) state.SkipWithError("append failed");
    }
    store.reset();  // the last connection checkpoints the WAL into the file
    const double appended = static_cast<double>(n - kFilled);
    state.counters["bytes_per_record_filled"] = filledBytes / kFilled;
    state.counters["bytes_per_record_appended"] = (static_cast<double>(StoreBytes(path)) - filledBytes) / appended;
    state.counters["records"] = static_cast<double>(n);
    Remove(path);
}
BENCHMARK(BM_AppendAtTheFiftyThousandth)->Unit(benchmark::kMillisecond)->Iterations(500);

}  // namespace

BENCHMARK_MAIN();
