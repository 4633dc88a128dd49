#include "platform/local_time.h"

#include <cstdio>
#include <ctime>
#include <sys/time.h>

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

std::string IsoText(const LocalTime& t) {
    const int offset = t.utcOffsetMinutes < 0 ? -t.utcOffsetMinutes : t.utcOffsetMinutes;
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02d:%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second, t.millisecond, t.utcOffsetMinutes < 0 ? '-' : '+', offset / 60, offset % 60);
    return text;
}

}  // namespace platform
