// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>

namespace platform {

// Local wall-clock time with milliseconds, as the log lines and file names show it.
struct LocalTime {
    int year = 0;   // four digits
    int month = 0;  // 1..12
    int day = 0;    // 1..31
    int hour = 0;   // 0..23
    int minute = 0;
    int second = 0;
    int millisecond = 0;
    int utcOffsetMinutes = 0;  // local time minus UTC
};

LocalTime Now();

// "2026-12-09T14:05:09.042+01:00": the time as ISO 8601 with milliseconds and its offset.
std::string IsoText(const LocalTime& time);

// The same instant in UTC, "2026-12-09T13:05:09.042+00:00": records kept on many stations
// compare and sort as text.
std::string UtcIsoText(const LocalTime& time);

}  // namespace platform
