// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

// The optional --log trace: one line per step, each with the milliseconds since start, every
// byte received and sent in hex. Written and flushed line by line, so a test can read it while
// the simulator runs. Does nothing until opened; opening replaces an older file.
class TraceLog {
public:
    TraceLog() = default;
    ~TraceLog();
    TraceLog(const TraceLog&) = delete;
    TraceLog& operator=(const TraceLog&) = delete;

    // Empty on success, else the error text.
    std::string Open(const std::string& path);

    void Line(const std::string& text);
    // "<direction> <n> bytes: xx xx ..." (received: "rx", sent: "tx").
    void Bytes(const char* direction, std::span<const uint8_t> bytes);

private:
    std::FILE* m_file = nullptr;
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};
