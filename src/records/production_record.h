// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <optional>
#include <string>

// One handset's run as the record store keeps it: the fields of the command line's "handset"
// event, and who, where and with what it was flashed. An empty text is null in JSON and NULL in
// the store.
struct ProductionRecord {
    int64_t storeSeq = 0;      // the record's place in its store's chain, from 1
    std::string recordId;      // UUID v4
    std::string started;       // UTC, "2026-12-09T13:05:09.042+00:00"
    std::string ended;         // UTC
    std::string station;       // the station's host name
    std::string operatorName;  // the operator's login name
    std::string toolVersion;
    std::string port;
    std::string device;
    int64_t sequence = 0;  // the handset's number on its port
    std::string result;    // "done", "failed", "stopped"
    std::string code;      // "0x065"
    std::string reason;
    std::optional<bool> confirmed;
    std::string confirmedBy;
    std::string esn;  // 8 upper-case hex digits
    std::string esnDecimal;
    std::string modeAfter;
    std::string platform;
    std::string handsetVersion;
    std::string loadVersion;
    std::string loadSha256;
    double seconds = 0;
    int64_t bytes = 0;
    // Set by the store: the hash of the record before it (64 zeros for the first) and its own.
    std::string prevHash;
    std::string hash;
};

// The chain's start: the "previous hash" of a store's first record.
inline const std::string kChainStart(64, '0');

// The canonical form: a JSON object on one line, keys in a fixed order, no hashes. What the hash
// is taken of, and the same fields as the "handset" event.
std::string CanonicalJson(const ProductionRecord& record);
// SHA-256 (hex) of the canonical form followed by prevHash's 64 hex digits: the record's hash.
std::string RecordHash(const ProductionRecord& record, const std::string& prevHash);
// The canonical form with "prev_hash" and "hash" added at its end: what is exported and delivered.
std::string StoredJson(const ProductionRecord& record);
// A JSON string literal of text (invalid UTF-8 replaced, control characters escaped).
std::string JsonText(const std::string& text);
// A new random UUID v4, "xxxxxxxx-xxxx-4xxx-yxxx-xxxxxxxxxxxx".
std::string NewRecordId();
