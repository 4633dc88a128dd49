// SPDX-License-Identifier: Apache-2.0
// The record store through the real program: a download's record is in the store, and
// --history, --records-verify and --records-export tell it (and a record edited afterwards); a
// file that is no record store stops the start before any handset is touched.
#include <openssl/sha.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "cli_rig.h"

namespace {

// The load's SHA-256 as an independent library works it out.
std::string LoadDigest(const std::vector<uint8_t>& load) {
    unsigned char digest[SHA256_DIGEST_LENGTH];
    SHA256(load.data(), load.size(), digest);
    std::string text;
    for (const unsigned char byte : digest) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02x", byte);
        text += hex;
    }
    return text;
}

// The value of a JSON line's text field key ("" when absent).
std::string Field(const std::string& line, const std::string& key) {
    const std::string head = "\"" + key + "\":\"";
    const size_t at = line.find(head);
    if (at == std::string::npos) return std::string();
    const size_t start = at + head.size();
    return line.substr(start, line.find('"', start) - start);
}

class CliRecordsTest : public CliDownloadTest {
protected:
    // Where the program keeps its store by default (the rig's XDG_DATA_HOME).
    std::string DefaultStore() const { return rig.Folder().File("data") + "/vexlor/records.db"; }
};

TEST_F(CliRecordsTest, DownloadsRecordIsStoredQueriedCheckedAndExported) {
    Prepare(0x20201, {"--mode", "diag"});
    ASSERT_EQ(Run(), 0) << Errors();
    ASSERT_TRUE(std::filesystem::exists(DefaultStore()));

    ASSERT_EQ(Run({"--cli", "--history", "--json"}), 0) << Errors();
    const std::string line = Output();
    ASSERT_EQ(std::count(line.begin(), line.end(), '\n'), 1) << line;
    EXPECT_EQ(Field(line, "result"), "done");
    EXPECT_EQ(Field(line, "code"), "0x065");
    EXPECT_EQ(Field(line, "port"), DownloadRig::kPort);
    EXPECT_EQ(Field(line, "load_sha256"), LoadDigest(rig.Load()));
    EXPECT_NE(line.find("\"store_seq\":1,"), std::string::npos) << line;
    EXPECT_NE(line.find("\"bytes\":131585,"), std::string::npos) << line;
    const std::string esn = Field(line, "esn");
    const std::string id = Field(line, "record_id");
    ASSERT_EQ(esn.size(), 8u) << line;
    EXPECT_EQ(id.size(), 36u);
    EXPECT_EQ(line.find("\"started\":\"") + 34, line.find("+00:00\",\"ended\"")) << "UTC: " << line;

    // By its ESN, and not by another's.
    ASSERT_EQ(Run({"--cli", "--history", esn}), 0) << Errors();
    EXPECT_NE(Output().find(id), std::string::npos) << Output();
    ASSERT_EQ(Run({"--cli", "--history", "00000001"}), 0) << Errors();
    EXPECT_EQ(Output().find(id), std::string::npos) << Output();

    ASSERT_EQ(Run({"--cli", "--records-verify"}), 0) << Errors();
    EXPECT_NE(Output().find("1 records; the chain is whole. Head hash: " + Field(line, "hash")), std::string::npos)
        << Output();

    const std::string csv = rig.Folder().File("records.csv");
    ASSERT_EQ(Run({"--cli", "--records-export", csv}), 0) << Errors();
    const std::string exported = ReadWholeFile(csv);
    EXPECT_EQ(exported.rfind("store_seq,record_id,started,", 0), 0u) << exported;
    EXPECT_EQ(CountOccurrences(exported, "\r\n"), 2) << exported;
    EXPECT_NE(exported.find("," + id + ","), std::string::npos) << exported;

    // Someone turns the failure into a success by hand: the check names the record.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(DefaultStore().c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, "UPDATE records SET bytes = 1", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    EXPECT_EQ(Run({"--cli", "--records-verify"}), 10) << Errors();
    EXPECT_NE(Output().find("Record 1 (" + id + ") was changed"), std::string::npos) << Output();
}

TEST_F(CliRecordsTest, FileThatIsNoStoreStopsTheStartBeforeAnyHandset) {
    Prepare(0x200, {"--mode", "diag"});
    const std::string notes = rig.Folder().File("notes.db");
    std::ofstream(notes) << "not a database\n";
    EXPECT_EQ(Run({"--cli", "--port", DownloadRig::kPort, "--records", notes}), 9);
    EXPECT_NE(Errors().find(notes + " is not a Vexlor record store"), std::string::npos) << Errors();
    EXPECT_TRUE(PrintedStatuses().empty()) << Output();
    EXPECT_EQ(Output().find("Checking firmware data"), std::string::npos) << Output();
    EXPECT_EQ(ReadWholeFile(notes), "not a database\n");

    // With records off the same download runs, and no store is made: there is none to list.
    EXPECT_EQ(Run({"--cli", "--port", DownloadRig::kPort, "--no-records"}), 0) << Errors();
    EXPECT_FALSE(std::filesystem::exists(DefaultStore()));
    EXPECT_EQ(Run({"--cli", "--history"}), 9);
    EXPECT_NE(Errors().find("There is no record store at " + DefaultStore() + " yet"), std::string::npos) << Errors();
    EXPECT_FALSE(std::filesystem::exists(DefaultStore()));
    ExpectImageIsLoad();
}

}  // namespace
