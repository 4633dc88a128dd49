// SPDX-License-Identifier: Apache-2.0
#include "platform/local_time.h"

#include <sys/time.h>

#include <ctime>

namespace platform {

LocalTime Now() {
    struct timespec ts {};
    clock_gettime(CLOCK_REALTIME, &ts);
    struct tm parts {};
    localtime_r(&ts.tv_sec, &parts);
    LocalTime t;
    t.year = parts.tm_year + 1900;
    t.month = parts.tm_mon + 1;
    t.day = parts.tm_mday;
    t.hour = parts.tm_hour;
    t.minute = parts.tm_min;
    t.second = parts.tm_sec;
    t.millisecond = static_cast<int>(ts.tv_nsec / 1000000);
    t.utcOffsetMinutes = static_cast<int>(parts.tm_gmtoff / 60);
    return t;
}

}  // namespace platform
