// SPDX-License-Identifier: Apache-2.0
#include "log/log_line.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace diaglog {

const char* LevelTag(int32_t level) {
    switch (level) {
    case 0: return "<NML>";
    case 1: return "<!ER>";
    case 3: return "<WRN>";
    case 5: return "<DBG>";
    default: return "";
    }
}

void LogLine::AppendPrefix(int32_t level, const platform::LocalTime& t) {
    char prefix[96];
    int n = std::snprintf(prefix, sizeof prefix, "%s\t%04d-%02d-%02d %02d:%02d:%02d:%03d\t", LevelTag(level), t.year,
                          t.month, t.day, t.hour, t.minute, t.second, t.millisecond);
    if (n > 0) Append(std::string_view(prefix, std::min(static_cast<size_t>(n), sizeof prefix - 1)));
}

void LogLine::Append(std::string_view text) {
    size_t take = std::min(text.size(), kLineMax - m_size);
    std::memcpy(m_text + m_size, text.data(), take);
    m_size += take;
}

void LogLine::AppendFormatted(size_t limit, const char* format, va_list args) {
    size_t room = kLineMax - m_size;
    if (room == 0 || !format) return;
    int n = std::vsnprintf(m_text + m_size, room + 1, format, args);
    if (n <= 0) return;  // empty, or a conversion the C library refused
    m_size += std::min({static_cast<size_t>(n), limit, room});
}

}  // namespace diaglog
