// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdio>
#include <string>
#include <vector>

#include "app/common/status_lines.h"
#include "app/runs/port_run.h"
#include "platform/system_kind.h"

// --report FILE: the traceability record a service centre keeps. One CSV row per handset at the
// end of its run (after its confirmation, where one was asked), appended whole (or not at all)
// under a lock (several runs, several processes), with a header when the file is new:
//   start,end,port,device,load_version,handset_version,status_code,status_text,bytes_sent,seconds,
//   sequence,confirmed,platform
// Times are ISO 8601 local times with their offset; status_code is "0x065", the same code the
// JSON summary and the summary table show (empty for a refused port, or a run stopped before its
// first status); status_text is the outcome's line (RunOutcome::Line). The last three came later:
// the handset's number on its port (empty for a refused port), whether its restart was confirmed
// ("true", "false", empty where no confirmation was asked) and the platform text it answered
// with then. Text fields are quoted where needed, and kept as text where a spreadsheet would
// take them for a formula. A new file's lines end in CR LF (RFC 4180); rows appended to an
// existing file end as its header line does.
//
// A file that already has a header keeps it: each row is laid out in the columns that header
// names, in its order (a file begun by an older Vexlor, or one whose columns were reordered).
// Our columns it does not name are left out of its rows (told once, LeftOutNote), and a column
// it names that we no longer write stays empty. A first line that names anything else is not a
// report: the file is refused (kNotAReport) and nothing is appended to it.
class RunReport {
public:
    // Check's and Append's answer for a file whose first line is not a report's header.
    static constexpr int kNotAReport = -100;

    RunReport(std::string path, std::string loadVersion, TextLookup text)
        : m_path(std::move(path)), m_loadVersion(std::move(loadVersion)), m_text(std::move(text)) {}

    // Whether a new file begins with a UTF-8 byte order mark, which Excel needs to read the
    // Chinese texts as UTF-8: on Windows by default (--report-bom, --no-report-bom). A file
    // that exists never gets one.
    void SetByteOrderMark(bool mark) { m_byteOrderMark = mark; }

    // Whether rows can be appended (the file is created, with our header, if missing or empty):
    // 0, kNotAReport or an AppendRecord error. Learns which of our columns the file leaves out.
    int Check() const;
    // Appends the row of a run that has ended: 0, kNotAReport or an AppendRecord error.
    int Append(const PortRun& run) const;
    // "cannot write the report file FILE: <why>" for an error of Check or Append.
    std::string Problem(int error) const;
    // After Check: our columns the file's header does not name, in our order.
    const std::vector<std::string>& LeftOut() const { return m_leftOut; }
    // After Check: what LeftOut means, in one line ("" when the file has every column).
    std::string LeftOutNote() const;
    // Tells LeftOutNote, if any, on err (when there is one) as a warning, and in the log.
    void TellLeftOut(std::FILE* err) const;

    const std::string& Path() const { return m_path; }
    // Today's header line, with a new file's line end (CR LF).
    static std::string Header();

private:
    // What a new file begins with: the mark where asked, and the header.
    std::string NewFileStart() const;

    std::string m_path;
    std::string m_loadVersion;
    TextLookup m_text;
    mutable std::vector<std::string> m_leftOut;
    bool m_byteOrderMark = platform::kWindowsSystem;
};

// The column names of a report's header line (a UTF-8 byte order mark, quotes and blanks around
// names taken away): true when each is a column a Vexlor report has, none twice; false for any
// other line, which is then no report's header.
bool ReportHeaderColumns(const std::string& line, std::vector<std::string>& columns);

// A CSV field: quoted (quotes doubled) when it holds a comma, a quote or a line break. A field a
// spreadsheet would run as a formula (beginning with =, +, -, @, a tab or a carriage return)
// gets a leading apostrophe, which keeps it text.
std::string CsvField(const std::string& text);
