// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>

#include "app/cli/port_run.h"
#include "app/common/status_lines.h"

// --report FILE: the traceability record a service centre keeps. One CSV row per port at the
// end of its run, appended whole under a lock (several runs, several processes), with a header
// when the file is new:
//   start,end,port,device,load_version,handset_version,status_code,status_text,bytes_sent,seconds
// Times are ISO 8601 local times with their offset; status_code is "0x065" (empty for a refused
// or stopped run, whose status_text says so); text fields are quoted where needed.
class RunReport {
public:
    RunReport(std::string path, std::string loadVersion, TextLookup text)
        : m_path(std::move(path)), m_loadVersion(std::move(loadVersion)), m_text(std::move(text)) {}

    // Whether rows can be appended (the file is created if missing): 0 or the system's error.
    int Check() const;
    // Appends the row of a run that has ended. 0 or the system's error.
    int Append(const PortRun& run) const;

    static const char* Header();

private:
    std::string m_path;
    std::string m_loadVersion;
    TextLookup m_text;
};

// A CSV field: quoted (quotes doubled) when it holds a comma, a quote or a line break.
std::string CsvField(const std::string& text);
