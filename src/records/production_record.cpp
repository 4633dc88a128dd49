// SPDX-License-Identifier: Apache-2.0
#include "records/production_record.h"

#include <cmath>
#include <cstdio>
#include <random>

#include "platform/utf8.h"
#include "records/sha256.h"

namespace {

std::string TextOrNull(const std::string& text) { return text.empty() ? "null" : JsonText(text); }

// Seconds as the events show them, one decimal: the same double always gives the same text.
std::string Seconds(double value) {
    if (!std::isfinite(value)) return "0.0";
    char text[40];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

}  // namespace

std::string JsonText(const std::string& raw) {
    const std::string text = platform::ValidUtf8(raw);
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", byte);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string CanonicalJson(const ProductionRecord& r) {
    const std::string confirmed = r.confirmed ? (*r.confirmed ? "true" : "false") : "null";
    return "{\"store_seq\":" + std::to_string(r.storeSeq) + ",\"record_id\":" + JsonText(r.recordId) +
           ",\"started\":" + JsonText(r.started) + ",\"ended\":" + JsonText(r.ended) +
           ",\"station\":" + TextOrNull(r.station) + ",\"operator\":" + TextOrNull(r.operatorName) +
           ",\"tool_version\":" + TextOrNull(r.toolVersion) + ",\"port\":" + JsonText(r.port) +
           ",\"device\":" + TextOrNull(r.device) + ",\"sequence\":" + std::to_string(r.sequence) +
           ",\"result\":" + JsonText(r.result) + ",\"code\":" + TextOrNull(r.code) +
           ",\"reason\":" + TextOrNull(r.reason) + ",\"confirmed\":" + confirmed +
           ",\"confirmed_by\":" + TextOrNull(r.confirmedBy) + ",\"esn\":" + TextOrNull(r.esn) +
           ",\"esn_dec\":" + TextOrNull(r.esnDecimal) + ",\"mode_after\":" + TextOrNull(r.modeAfter) +
           ",\"platform\":" + TextOrNull(r.platform) + ",\"handset_version\":" + TextOrNull(r.handsetVersion) +
           ",\"load_version\":" + TextOrNull(r.loadVersion) + ",\"load_sha256\":" + TextOrNull(r.loadSha256) +
           ",\"seconds\":" + Seconds(r.seconds) + ",\"bytes\":" + std::to_string(r.bytes) + "}";
}

std::string RecordHash(const ProductionRecord& record, const std::string& prevHash) {
    Sha256 hash;
    hash.Update(CanonicalJson(record));
    hash.Update(prevHash);
    return HexDigest(hash.Final());
}

std::string StoredJson(const ProductionRecord& record) {
    std::string json = CanonicalJson(record);
    json.pop_back();
    return json + ",\"prev_hash\":" + JsonText(record.prevHash) + ",\"hash\":" + JsonText(record.hash) + "}";
}

std::string NewRecordId() {
    // One generator per thread, seeded from the system's random source: ids of runs on many
    // stations must not meet.
    thread_local std::mt19937_64 generator([] {
        std::random_device device;
        std::seed_seq seed{device(), device(), device(), device(), device(), device(), device(), device()};
        return std::mt19937_64(seed);
    }());
    uint8_t bytes[16];
    for (int i = 0; i < 16; i += 8) {
        const uint64_t word = generator();
        for (int j = 0; j < 8; ++j) bytes[i + j] = static_cast<uint8_t>(word >> (8 * j));
    }
    bytes[6] = static_cast<uint8_t>((bytes[6] & 0x0F) | 0x40);  // version 4
    bytes[8] = static_cast<uint8_t>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
    char text[40];
    std::snprintf(text, sizeof text, "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", bytes[0],
                  bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7], bytes[8], bytes[9], bytes[10],
                  bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
    return text;
}
