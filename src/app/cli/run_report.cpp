// SPDX-License-Identifier: Apache-2.0
#include "app/cli/run_report.h"

#include <cstdio>

#include "platform/record_file.h"

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (const char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

const char* RunReport::Header() {
    return "start,end,port,device,load_version,handset_version,status_code,status_text,bytes_sent,seconds\n";
}

int RunReport::Check() const { return platform::AppendRecord(m_path, Header(), ""); }

int RunReport::Append(const PortRun& run) const {
    const bool ran = run.result != PortRun::Result::kRefused;
    std::string code;
    std::string text;
    switch (run.result) {
    case PortRun::Result::kRefused: text = "refused: " + run.claim.Why(); break;
    case PortRun::Result::kStopped: text = "stopped"; break;
    default: {
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%03X", static_cast<unsigned>(run.lastStatus));
        code = run.lastStatus ? hex : "";
        text = StatusLineBody(run.lastStatus, m_text);
        const std::string why = FailureDetailLine(run.lastStatus, run.failure, run.Port(), m_text);
        if (!why.empty()) text += " " + why;
    }
    }
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f", ran ? run.Seconds() : 0.0);
    const std::string row = CsvField(platform::IsoText(run.startedAt)) + "," + CsvField(platform::IsoText(run.endedAt)) +
                            "," + CsvField(run.Port()) + "," + CsvField(run.Device()) + "," + CsvField(m_loadVersion) +
                            "," + CsvField(run.op ? run.op->HandsetVersion() : std::string()) + "," + code + "," +
                            CsvField(text) + "," + std::to_string(run.Bytes()) + "," + seconds + "\n";
    return platform::AppendRecord(m_path, Header(), row);
}
