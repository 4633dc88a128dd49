// SPDX-License-Identifier: Apache-2.0
#include "trace_log.h"

#include <cerrno>
#include <cstring>

TraceLog::~TraceLog() {
    if (m_file) std::fclose(m_file);
}

std::string TraceLog::Open(const std::string& path) {
    m_file = std::fopen(path.c_str(), "w");
    if (!m_file) return "cannot open " + path + ": " + std::strerror(errno);
    return {};
}

void TraceLog::Line(const std::string& text) {
    if (!m_file) return;
    using std::chrono::milliseconds;
    const auto elapsed = std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - m_start);
    std::fprintf(m_file, "%10lld %s\n", static_cast<long long>(elapsed.count()), text.c_str());
    std::fflush(m_file);
}

void TraceLog::Bytes(const char* direction, std::span<const uint8_t> bytes) {
    if (!m_file) return;
    std::string text = std::string(direction) + " " + std::to_string(bytes.size()) + " bytes:";
    static const char DIGITS[] = "0123456789ABCDEF";
    for (uint8_t b : bytes) {
        text += ' ';
        text += DIGITS[b >> 4];
        text += DIGITS[b & 0xF];
    }
    Line(text);
}
