// SPDX-License-Identifier: Apache-2.0
#include <chrono>
#include <cstdio>

#include "platform/local_time.h"

namespace platform {

std::string IsoText(const LocalTime& t) {
    const int offset = t.utcOffsetMinutes < 0 ? -t.utcOffsetMinutes : t.utcOffsetMinutes;
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02d:%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second, t.millisecond, t.utcOffsetMinutes < 0 ? '-' : '+', offset / 60, offset % 60);
    return text;
}

std::string UtcIsoText(const LocalTime& t) {
    using namespace std::chrono;
    const sys_days day{year{t.year} / month{static_cast<unsigned>(t.month)} /
                       std::chrono::day{static_cast<unsigned>(t.day)}};
    const sys_seconds local = day + hours{t.hour} + minutes{t.minute} + seconds{t.second};
    const sys_seconds utc = local - minutes{t.utcOffsetMinutes};
    const sys_days utcDay = floor<days>(utc);
    const year_month_day date{utcDay};
    const hh_mm_ss clock{utc - utcDay};
    LocalTime u;
    u.year = static_cast<int>(date.year());
    u.month = static_cast<int>(static_cast<unsigned>(date.month()));
    u.day = static_cast<int>(static_cast<unsigned>(date.day()));
    u.hour = static_cast<int>(clock.hours().count());
    u.minute = static_cast<int>(clock.minutes().count());
    u.second = static_cast<int>(clock.seconds().count());
    u.millisecond = t.millisecond;
    return IsoText(u);
}

}  // namespace platform
