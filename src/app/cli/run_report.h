// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>

#include "app/cli/port_run.h"
#include "app/common/status_lines.h"

// --report FILE: the traceability record a service centre keeps. One CSV row per handset at the
// end of its run (after its confirmation, where one was asked), appended whole (or not at all)
// under a lock (several runs, several processes), with a header when the file is new:
//   start,end,port,device,load_version,handset_version,status_code,status_text,bytes_sent,seconds,
//   sequence,confirmed,platform
// Times are ISO 8601 local times with their offset; status_code is "0x065", the same code the
// JSON summary and the summary table show (empty for a refused port, or a run stopped before its
// first status); status_text is the outcome's line (RunOutcome::Line). The last three came later
// and stay last, so readers of the first ten keep working: the handset's number on its port
// (empty for a refused port), whether its restart was confirmed ("true", "false", empty where no
// confirmation was asked) and the platform text it answered with then. Text fields are quoted
// where needed, and kept as text where a spreadsheet would take them for a formula.
class RunReport {
public:
    RunReport(std::string path, std::string loadVersion, TextLookup text)
        : m_path(std::move(path)), m_loadVersion(std::move(loadVersion)), m_text(std::move(text)) {}

    // Whether rows can be appended (the file is created if missing): 0 or an AppendRecord error.
    int Check() const;
    // Appends the row of a run that has ended: 0 or an AppendRecord error.
    int Append(const PortRun& run) const;
    // "cannot write the report file FILE: <the system's words>" for an error of Check or Append.
    std::string Problem(int error) const;

    const std::string& Path() const { return m_path; }
    static const char* Header();

private:
    std::string m_path;
    std::string m_loadVersion;
    TextLookup m_text;
};

// A CSV field: quoted (quotes doubled) when it holds a comma, a quote or a line break. A field a
// spreadsheet would run as a formula (beginning with =, +, -, @, a tab or a carriage return)
// gets a leading apostrophe, which keeps it text.
std::string CsvField(const std::string& text);
