// SPDX-License-Identifier: Apache-2.0
#include "app/cli/record_lines.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <vector>

#include "app/runs/run_report.h"

namespace {

// "-" stands for an empty field in a line a person reads.
std::string Shown(const std::string& text) { return text.empty() ? "-" : text; }

std::string Padded(std::string text, size_t width) {
    if (text.size() < width) text.append(width - text.size(), ' ');
    return text;
}

std::string Seconds(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

// The CSV columns: the JSON keys, in their order.
std::vector<std::string> CsvFields(const ProductionRecord& r) {
    const std::string confirmed = r.confirmed ? (*r.confirmed ? "true" : "false") : "";
    return {std::to_string(r.storeSeq),
            r.recordId,
            r.started,
            r.ended,
            r.station,
            r.operatorName,
            r.toolVersion,
            r.port,
            r.device,
            std::to_string(r.sequence),
            r.result,
            r.code,
            r.reason,
            confirmed,
            r.confirmedBy,
            r.esn,
            r.esnDecimal,
            r.modeAfter,
            r.platform,
            r.handsetVersion,
            r.loadVersion,
            r.loadSha256,
            Seconds(r.seconds),
            std::to_string(r.bytes),
            r.prevHash,
            r.hash};
}

}  // namespace

std::string RecordLineHeader() {
    return Padded("STARTED (UTC)", 31) + Padded("STATION", 16) + Padded("PORT", 8) + Padded("ESN", 10) +
           Padded("RESULT", 12) + Padded("CODE", 7) + Padded("LOAD", 16) + "RECORD";
}

std::string RecordLine(const ProductionRecord& r) {
    return Padded(r.started, 31) + Padded(Shown(r.station), 16) + Padded(r.port, 8) + Padded(Shown(r.esn), 10) +
           Padded(r.result, 12) + Padded(Shown(r.code), 7) + Padded(Shown(r.loadVersion), 16) + r.recordId;
}

std::optional<ExportFormat> ExportFormatOf(const std::string& path) {
    const size_t dot = path.rfind('.');
    const size_t slash = path.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::nullopt;
    std::string extension = path.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == "csv") return ExportFormat::kCsv;
    if (extension == "jsonl" || extension == "ndjson" || extension == "json") return ExportFormat::kJsonLines;
    return std::nullopt;
}

std::string ExportStart(ExportFormat format) {
    if (format != ExportFormat::kCsv) return std::string();
    return "store_seq,record_id,started,ended,station,operator,tool_version,port,device,sequence,result,code,reason,"
           "confirmed,confirmed_by,esn,esn_dec,mode_after,platform,handset_version,load_version,load_sha256,seconds,"
           "bytes,prev_hash,hash\r\n";
}

std::string ExportLine(ExportFormat format, const ProductionRecord& record) {
    if (format == ExportFormat::kJsonLines) return StoredJson(record) + "\n";
    std::string line;
    for (const std::string& field : CsvFields(record)) {
        if (!line.empty()) line += ',';
        line += CsvField(field);
    }
    return line + "\r\n";
}
