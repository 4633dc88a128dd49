// SPDX-License-Identifier: Apache-2.0
#include "number_text.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

bool ParseUnsigned(const std::string& text, int base, uint64_t min, uint64_t max, uint64_t& value) {
    // strtoull would skip blanks and take a sign (wrapping "-1" to the largest number).
    if (text.empty() || text[0] == '-' || text[0] == '+' || std::isspace(static_cast<unsigned char>(text[0])))
        return false;
    errno = 0;
    char* end = nullptr;
    const unsigned long long parsed = std::strtoull(text.c_str(), &end, base);
    if (errno != 0 || end == text.c_str() || *end != '\0' || parsed < min || parsed > max) return false;
    value = parsed;
    return true;
}
