// SPDX-License-Identifier: Apache-2.0
#include "platform/local_time.h"

#include "platform/win32/wide_text.h"

namespace platform {

namespace {

int64_t Ticks(const SYSTEMTIME& time) {
    FILETIME file{};
    if (!SystemTimeToFileTime(&time, &file)) return 0;
    return static_cast<int64_t>((static_cast<uint64_t>(file.dwHighDateTime) << 32) | file.dwLowDateTime);
}

}  // namespace

LocalTime Now() {
    // One instant, taken once, gives both the local time and its distance from UTC, so the
    // offset is right even in the minute daylight saving time begins or ends.
    SYSTEMTIME utc{};
    GetSystemTime(&utc);
    SYSTEMTIME local{};
    if (!SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) local = utc;
    constexpr int64_t kTicksPerMinute = 60LL * 10000000LL;
    const int64_t difference = Ticks(local) - Ticks(utc);
    LocalTime t;
    t.year = local.wYear;
    t.month = local.wMonth;
    t.day = local.wDay;
    t.hour = local.wHour;
    t.minute = local.wMinute;
    t.second = local.wSecond;
    t.millisecond = local.wMilliseconds;
    t.utcOffsetMinutes =
        static_cast<int>((difference + (difference < 0 ? -kTicksPerMinute : kTicksPerMinute) / 2) / kTicksPerMinute);
    return t;
}

}  // namespace platform
