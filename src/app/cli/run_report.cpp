// SPDX-License-Identifier: Apache-2.0
#include "app/cli/run_report.h"

#include <cstdio>

#include "app/cli/run_outcome.h"
#include "platform/record_file.h"
#include "platform/sys_error.h"

std::string CsvField(const std::string& text) {
    const bool formula = !text.empty() && std::string("=+-@\t\r").find(text.front()) != std::string::npos;
    const std::string field = formula ? "'" + text : text;
    if (field.find_first_of(",\"\r\n") == std::string::npos) return field;
    std::string quoted = "\"";
    for (const char c : field) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

const char* RunReport::Header() {
    return "start,end,port,device,load_version,handset_version,status_code,status_text,bytes_sent,seconds,sequence,"
           "confirmed,platform\n";
}

int RunReport::Check() const { return platform::AppendRecord(m_path, Header(), ""); }

int RunReport::Append(const PortRun& run) const {
    const bool ran = run.result != PortRun::Result::kRefused;
    const RunOutcome outcome = OutcomeOf(run, m_text);
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f", ran ? run.Seconds() : 0.0);
    const std::string row =
        CsvField(platform::IsoText(run.startedAt)) + "," + CsvField(platform::IsoText(run.endedAt)) + "," +
        CsvField(run.Port()) + "," + CsvField(run.Device()) + "," + CsvField(m_loadVersion) + "," +
        CsvField(run.worker ? run.worker->HandsetVersion() : std::string()) + "," +
        (outcome.code ? StatusCodeText(*outcome.code) : std::string()) + "," + CsvField(outcome.Line()) + "," +
        std::to_string(run.Bytes()) + "," + seconds + "," + (ran ? std::to_string(run.sequence) : std::string()) + "," +
        (run.confirmed ? (*run.confirmed ? "true" : "false") : "") + "," + CsvField(run.platform) + "\n";
    return platform::AppendRecord(m_path, Header(), row);
}

std::string RunReport::Problem(int error) const {
    const std::string words = error == platform::kRecordNotAFile
                                  ? "it is not a regular file (a FIFO, a device or a folder); --report takes a file"
                                  : platform::SysErrorPhrase(error);
    return "cannot write the report file " + m_path + ": " + words;
}
