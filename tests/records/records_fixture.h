// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "records/record_store.h"
#include "temp_folder.h"

// A record as a run would leave it, told apart by n.
inline ProductionRecord SampleRecord(int n) {
    ProductionRecord r;
    r.recordId = NewRecordId();
    r.started = "2026-12-0" + std::to_string(1 + n % 9) + "T10:00:0" + std::to_string(n % 10) + ".000+00:00";
    r.ended = r.started;
    r.station = "bench-" + std::to_string(n % 3);
    r.operatorName = "tech";
    r.toolVersion = "1.0.0";
    r.port = "COM" + std::to_string(3 + n % 2);
    r.device = "/dev/ttyUSB" + std::to_string(n % 2);
    r.sequence = n;
    r.result = n % 4 == 3 ? "failed" : "done";
    r.code = n % 4 == 3 ? "0xF01" : "0x065";
    r.confirmed = n % 2 == 0;
    char esn[16];
    std::snprintf(esn, sizeof esn, "8F2A10%02X", n);
    r.esn = esn;
    r.loadVersion = "V26.05";
    r.seconds = 12.25 + n;
    r.bytes = 4194304;
    return r;
}

// A store in a folder of its own, and plain SQL on its file (what someone with sqlite3 does).
class RecordsTest : public ::testing::Test {
protected:
    std::string StorePath() const { return folder.File("records.db"); }

    std::unique_ptr<RecordStore> OpenStore(RecordStore::Mode mode = RecordStore::Mode::kWrite) {
        StoreFailure failure;
        auto store = RecordStore::Open(StorePath(), mode, failure);
        EXPECT_TRUE(store) << failure.detail;
        return store;
    }

    // Appends count sample records; their IDs in order.
    std::vector<std::string> Fill(int count) {
        auto store = OpenStore();
        std::vector<std::string> ids;
        for (int n = 1; n <= count && store; ++n) {
            ProductionRecord record = SampleRecord(n);
            EXPECT_FALSE(store->Append(record)) << n;
            ids.push_back(record.recordId);
        }
        return ids;
    }

    void Sql(const std::string& sql) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(StorePath().c_str(), &db), SQLITE_OK);
        char* error = nullptr;
        EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
        sqlite3_free(error);
        sqlite3_close(db);
    }

    ChainFinding Verify() {
        StoreFailure failure;
        auto store = OpenStore(RecordStore::Mode::kRead);
        if (!store) return {};
        const ChainFinding finding = store->Verify(failure);
        EXPECT_FALSE(failure) << failure.detail;
        return finding;
    }

    TempFolder folder;
};
