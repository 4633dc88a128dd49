// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "log/log.h"

// Opens the diagnostic log at error level into a fresh temporary folder, through a settings
// file of its own, and hands back the messages of the error lines written meanwhile.
class LogCapture {
public:
    LogCapture() {
        char pattern[] = "/tmp/vexlor-link-test-XXXXXX";
        m_dir = mkdtemp(pattern);
        const std::string reg = m_dir + "/registry.reg";
        std::ofstream(reg) << "Windows Registry Editor Version 5.00\n\n"
                           << "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vexlor]\n"
                           << "\"Level\"=dword:00000001\n"
                           << "\"AppendOption\"=dword:00000000\n"
                           << "\"App\"=\"" << m_dir << "/\"\n";
        setenv("VEXLOR_REGISTRY", reg.c_str(), 1);
        m_opened = LogOpen("SOFTWARE\\Vexlor") == 1;
    }

    ~LogCapture() {
        LogClose();
        std::filesystem::remove_all(m_dir);
    }

    bool Opened() const { return m_opened; }

    // Closes the log and returns the text after the time column of every error line, in order.
    std::vector<std::string> ErrorMessages() {
        LogClose();
        std::vector<std::filesystem::path> files;
        for (const auto& entry : std::filesystem::directory_iterator(m_dir)) {
            if (entry.path().extension() == ".log") files.push_back(entry.path());
        }
        std::sort(files.begin(), files.end());  // a run across midnight writes two days
        std::vector<std::string> messages;
        for (const auto& path : files) {
            std::ifstream file(path, std::ios::binary);
            std::string line;
            while (std::getline(file, line)) {
                if (!line.empty() && line.back() == '\r') line.pop_back();
                if (line.rfind("<!ER>\t", 0) != 0) continue;
                const size_t timeEnd = line.find('\t', 6);
                messages.push_back(timeEnd == std::string::npos ? line : line.substr(timeEnd + 1));
            }
        }
        return messages;
    }

private:
    std::string m_dir;
    bool m_opened = false;
};
