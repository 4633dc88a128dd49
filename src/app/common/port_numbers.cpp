// SPDX-License-Identifier: Apache-2.0
#include "app/common/port_numbers.h"

#include <algorithm>
#include <cctype>
#include <cstring>

uint32_t PortNumberFromName(const char* name, const char* end) {
    const char* p = name;
    for (const char* q = name; q < end; ++q) {
        if (*q == 'M') p = q + 1;
    }
    while (p < end && (*p == ' ' || *p == '\t')) ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    // Accumulate in 64 bits and stop growing at the 32-bit range, so a long digit run cannot
    // overflow; the result wraps to 32 bits as the port number's type does.
    int64_t value = 0;
    for (; p < end && *p >= '0' && *p <= '9'; ++p) {
        value = std::min<int64_t>(value * 10 + (*p - '0'), INT64_C(0x80000000));
    }
    if (negative) value = -value;
    value = std::clamp<int64_t>(value, INT32_MIN, INT32_MAX);
    return static_cast<uint32_t>(static_cast<int32_t>(value));
}

std::vector<uint32_t> ParsePortNumbers(const char* listText) {
    std::vector<uint32_t> ports;
    if (!listText || !*listText) return ports;
    const char* start = listText;
    for (;;) {
        const char* stop = std::strchr(start, ';');
        const char* end = stop ? stop : start + std::strlen(start);
        if (end > start) ports.push_back(PortNumberFromName(start, end));
        if (!stop) break;
        start = stop + 1;
    }
    std::sort(ports.begin(), ports.end());
    return ports;
}

std::optional<std::string> NormalisePortName(std::string text) {
    if (text.rfind("\\\\.\\", 0) == 0) text.erase(0, 4);
    if (text.size() < 4 || text.size() > 6) return std::nullopt;
    for (size_t i = 0; i < 3; ++i) text[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
    if (text.compare(0, 3, "COM") != 0 || text[3] == '0') return std::nullopt;
    for (size_t i = 3; i < text.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) return std::nullopt;
    }
    return text;
}
