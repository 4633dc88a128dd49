// SPDX-License-Identifier: Apache-2.0
#pragma once
// Shared helpers for the log tests: a private folder with its own settings file, and readers
// for the day's log file. The log is process-wide, so every test opens and closes it itself.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "log/log.h"

namespace logtest {

inline const char* kKey = "SOFTWARE\\Vexlor";
inline const std::string kStars(79, '*');

// True when text at pos holds a time field "YYYY-MM-DD hh:mm:ss:mmm".
inline bool IsTimeAt(const std::string& text, size_t pos) {
    static const char kShape[] = "dddd-dd-dd dd:dd:dd:ddd";
    if (pos + sizeof kShape - 1 > text.size()) return false;
    for (size_t i = 0; i + 1 < sizeof kShape; ++i) {
        char c = text[pos + i];
        if (kShape[i] == 'd' ? (c < '0' || c > '9') : c != kShape[i]) return false;
    }
    return true;
}

// Replaces the first time field of a line with <time>.
inline std::string MaskTime(const std::string& text) {
    for (size_t pos = 0; pos < text.size(); ++pos) {
        if (IsTimeAt(text, pos)) return text.substr(0, pos) + "<time>" + text.substr(pos + 23);
    }
    return text;
}

// Splits at CR LF; a last piece without line end (a cut line) is kept as it is.
inline std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

inline std::string ReadWhole(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream out;
    out << in.rdbuf();
    return out.str();
}

class LogTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "vexlor-logtest-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
        m_settings = m_dir / "registry.reg";
        setenv("VEXLOR_REGISTRY", m_settings.c_str(), 1);
    }

    void TearDown() override {
        LogClose();
        unsetenv("VEXLOR_REGISTRY");
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }

    // The file name prefix every test's log uses: a file "t" in the private folder.
    std::string App() const { return (m_dir / "t").string(); }

    // Writes the settings file with the key holding exactly the given value lines.
    void WriteSettings(const std::string& valueLines) {
        std::ofstream out(m_settings, std::ios::binary | std::ios::trunc);
        out << "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vexlor]\r\n" << valueLines;
    }

    void WriteSettings(int32_t level, uint32_t appendOption) {
        char lines[512];
        std::snprintf(lines, sizeof lines, "\"Level\"=dword:%08X\r\n\"AppendOption\"=dword:%08X\r\n\"App\"=\"%s\"\r\n",
                      static_cast<uint32_t>(level), appendOption, App().c_str());
        WriteSettings(std::string(lines));
    }

    // Opens the log with the given settings; the test fails unless it opens.
    void Open(int32_t level, uint32_t appendOption = 0) {
        WriteSettings(level, appendOption);
        ASSERT_EQ(LogOpen(kKey), 1);
    }

    std::vector<std::filesystem::path> LogFiles() const {
        std::vector<std::filesystem::path> files;
        for (const auto& entry : std::filesystem::directory_iterator(m_dir)) {
            if (entry.path().extension() == ".log") files.push_back(entry.path());
        }
        return files;
    }

    // The text of the one log file of the test (empty, with a failure, when there is not one).
    std::string LogText() const {
        auto files = LogFiles();
        EXPECT_EQ(files.size(), 1u);
        return files.size() == 1 ? ReadWhole(files[0]) : std::string();
    }

    // The lines of the log without the header and footer blocks, time fields masked.
    std::vector<std::string> BodyLines() const {
        std::vector<std::string> body;
        for (const auto& line : SplitLines(LogText())) {
            std::string masked = MaskTime(line);
            if (masked == "<NML>\t<time>\t" + kStars || masked == "<NML>\t<time>\t*... Start ..." ||
                masked == "<NML>\t<time>\t*...End....") {
                continue;
            }
            body.push_back(masked);
        }
        return body;
    }

    std::filesystem::path m_dir;
    std::filesystem::path m_settings;
};

}  // namespace logtest
