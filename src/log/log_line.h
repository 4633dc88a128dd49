// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/local_time.h"

namespace diaglog {

// A whole log line holds at most this many characters; a longer one is cut and loses its line end.
constexpr size_t kLineMax = 4096;

// The tag a line starts with: "<NML>", "<!ER>", "<WRN>", "<DBG>", or "" for any other level.
const char* LevelTag(int32_t level);

// Builds one log line in a fixed buffer of its own (no allocation). Everything past kLineMax
// characters is dropped, so the result is always the first kLineMax characters of the full line.
class LogLine {
public:
    // tag TAB "YYYY-MM-DD hh:mm:ss:mmm" TAB
    void AppendPrefix(int32_t level, const platform::LocalTime& time);
    void Append(std::string_view text);
    // Formats into at most limit characters (the message limits), then keeps what fits.
    void AppendFormatted(size_t limit, const char* format, va_list args) __attribute__((format(printf, 3, 0)));
    // CR LF, or as much of it as fits.
    void End() { Append("\r\n"); }

    const char* Data() const { return m_text; }
    size_t Size() const { return m_size; }

private:
    char m_text[kLineMax + 1];  // + 1 for the terminator vsnprintf always writes
    size_t m_size = 0;
};

}  // namespace diaglog
