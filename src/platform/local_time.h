#pragma once

namespace platform {

// Local wall-clock time with milliseconds, as the log lines and file names show it.
struct LocalTime {
    int year = 0;    // four digits
    int month = 0;   // 1..12
    int day = 0;     // 1..31
    int hour = 0;    // 0..23
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

LocalTime Now();

}  // namespace platform
