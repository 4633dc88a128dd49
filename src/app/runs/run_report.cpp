// SPDX-License-Identifier: Apache-2.0
#include "app/runs/run_report.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "app/runs/run_outcome.h"
#include "log/log.h"
#include "platform/record_file.h"
#include "platform/sys_error.h"
#include "serial/handset_identity.h"

namespace {

// Every column a Vexlor report has had, in today's order. A column added later goes at the end;
// one no longer written stays here (files that have it stay reports) and gets no field in
// FieldsOf, so its cells stay empty.
constexpr const char* kColumns[] = {
    "start",       "end",        "port",    "device",   "load_version", "handset_version", "status_code",
    "status_text", "bytes_sent", "seconds", "sequence", "confirmed",    "platform",        "esn",
};

using Fields = std::map<std::string, std::string>;

bool IsColumn(const std::string& name) {
    return std::find(std::begin(kColumns), std::end(kColumns), name) != std::end(kColumns);
}

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

constexpr const char* kByteOrderMark = "\xEF\xBB\xBF";
// A new file's line end, as RFC 4180 writes CSV; a file begun otherwise keeps its own.
constexpr const char* kNewLineEnd = "\r\n";

// One row: the fields in the order of columns, a column without a field left empty.
std::string RowText(const std::vector<std::string>& columns, const Fields& fields, const char* lineEnd) {
    std::string row;
    for (size_t i = 0; i < columns.size(); ++i) {
        if (i > 0) row += ',';
        if (const auto field = fields.find(columns[i]); field != fields.end()) row += field->second;
    }
    return row + lineEnd;
}

// An existing file's line end: its first line's (the record file hands it over with its CR).
const char* LineEndOf(std::string& firstLine) {
    if (firstLine.empty() || firstLine.back() != '\r') return "\n";
    firstLine.pop_back();
    return "\r\n";
}

std::vector<std::string> TodaysColumns() { return {std::begin(kColumns), std::end(kColumns)}; }

}  // namespace

std::string CsvField(const std::string& text) {
    const bool formula = !text.empty() && std::string("=+-@\t\r").find(text.front()) != std::string::npos;
    const std::string field = formula ? "'" + text : text;
    if (field.find_first_of(",\"\r\n") == std::string::npos) return field;
    std::string quoted = "\"";
    for (const char c : field) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

bool ReportHeaderColumns(const std::string& line, std::vector<std::string>& columns) {
    columns.clear();
    std::string text = line.rfind(kByteOrderMark, 0) == 0 ? line.substr(3) : line;  // a spreadsheet's BOM
    if (!text.empty() && text.back() == '\r') text.pop_back();                      // a CRLF line's CR
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        std::string name = Trimmed(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (name.size() >= 2 && name.front() == '"' && name.back() == '"') name = name.substr(1, name.size() - 2);
        if (!IsColumn(name) || std::find(columns.begin(), columns.end(), name) != columns.end()) return false;
        columns.push_back(name);
        if (comma == std::string::npos) return true;
        start = comma + 1;
    }
}

std::string RunReport::Header() {
    std::string header;
    for (const char* name : kColumns) header += (header.empty() ? "" : ",") + std::string(name);
    return header + kNewLineEnd;
}

std::string RunReport::NewFileStart() const { return (m_byteOrderMark ? kByteOrderMark : "") + Header(); }

int RunReport::Check() const {
    return platform::AppendRecordFor(m_path, [this](bool empty, const std::string& firstLine, std::string& text) {
        std::vector<std::string> columns;
        if (empty) {
            text = NewFileStart();
            columns = TodaysColumns();
        } else if (!ReportHeaderColumns(firstLine, columns)) {
            return kNotAReport;
        }
        m_leftOut.clear();
        for (const char* name : kColumns) {
            if (std::find(columns.begin(), columns.end(), name) == columns.end()) m_leftOut.push_back(name);
        }
        return 0;
    });
}

int RunReport::Append(const PortRun& run) const {
    const bool ran = run.result != PortRun::Result::kRefused;
    const RunOutcome outcome = OutcomeOf(run, m_text);
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f", ran ? run.Seconds() : 0.0);
    const Fields fields = {
        {"start", CsvField(platform::IsoText(run.startedAt))},
        {"end", CsvField(platform::IsoText(run.endedAt))},
        {"port", CsvField(run.Port())},
        {"device", CsvField(run.Device())},
        {"load_version", CsvField(m_loadVersion)},
        {"handset_version", CsvField(run.worker ? run.worker->HandsetVersion() : std::string())},
        {"status_code", outcome.code ? StatusCodeText(*outcome.code) : std::string()},
        {"status_text", CsvField(outcome.Line())},
        {"bytes_sent", std::to_string(run.Bytes())},
        {"seconds", seconds},
        {"sequence", ran ? std::to_string(run.sequence) : std::string()},
        {"confirmed", run.confirmed ? (*run.confirmed ? "true" : "false") : ""},
        {"platform", CsvField(run.platform)},
        {"esn", run.esn ? EsnText(*run.esn) : std::string()},
    };
    // The layout is the file's own, read under the lock: it may have been begun meanwhile.
    return platform::AppendRecordFor(m_path, [&](bool empty, const std::string& firstLine, std::string& text) {
        if (empty) {
            text = NewFileStart() + RowText(TodaysColumns(), fields, kNewLineEnd);
            return 0;
        }
        std::string header = firstLine;
        const char* lineEnd = LineEndOf(header);
        std::vector<std::string> columns;
        if (!ReportHeaderColumns(header, columns)) return kNotAReport;
        text = RowText(columns, fields, lineEnd);
        return 0;
    });
}

std::string RunReport::Problem(int error) const {
    if (error == kNotAReport) {
        std::string header = Header();
        header.resize(header.size() - 2);
        return "the report file " + m_path +
               " is not a Vexlor report: its first line is not a header of columns from " + header +
               "; nothing is appended to it (give a report file or a new file name)";
    }
    const std::string words = error == platform::kRecordNotAFile
                                  ? "it is not a regular file (a FIFO, a device or a folder); --report takes a file"
                                  : platform::SysErrorPhrase(error);
    return "cannot write the report file " + m_path + ": " + words;
}

std::string RunReport::LeftOutNote() const {
    if (m_leftOut.empty()) return {};
    std::string names;
    for (const std::string& name : m_leftOut) names += (names.empty() ? "" : ", ") + name;
    return "the report file " + m_path + " has no column " + names +
           " (its header is an older one): its rows leave them out";
}

void RunReport::TellLeftOut(std::FILE* err) const {
    const std::string note = LeftOutNote();
    if (note.empty()) return;
    if (err) std::fprintf(err, "vexlor: warning: %s.\n", note.c_str());
    LogWrite(LOG_ER, "Report: %s.", note.c_str());
}
