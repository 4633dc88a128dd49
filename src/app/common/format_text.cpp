// SPDX-License-Identifier: Apache-2.0
#include "app/common/format_text.h"

#include <cctype>
#include <cstring>

namespace {

// Length of the conversion that starts at text[pos] == '%' (flags, width, precision, length,
// conversion character); up to the end of text for an unfinished one.
size_t ConversionLength(std::string_view text, size_t pos) {
    size_t i = pos + 1;
    while (i < text.size() && std::strchr("-+ #0'", text[i])) ++i;
    while (i < text.size() && (std::isdigit(static_cast<unsigned char>(text[i])) || text[i] == '*')) ++i;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && (std::isdigit(static_cast<unsigned char>(text[i])) || text[i] == '*')) ++i;
    }
    while (i < text.size() && std::strchr("hlLqjzt", text[i])) ++i;
    if (i < text.size()) ++i;  // the conversion character
    return i - pos;
}

std::string Fill(std::string_view format, char conversion, std::initializer_list<std::string_view> values) {
    std::string out;
    out.reserve(format.size() + 64);
    auto next = values.begin();
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%' || i + 1 >= format.size()) {
            out += format[i];
            continue;
        }
        const char after = format[i + 1];
        if (after == '%') {
            out += '%';
            ++i;
        } else if (after == conversion && next != values.end()) {
            out += *next++;
            ++i;
        } else {
            out += '%';
        }
    }
    return out;
}

}  // namespace

std::vector<std::string> FormatConversions(std::string_view text) {
    std::vector<std::string> conversions;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') continue;
        if (i + 1 < text.size() && text[i + 1] == '%') {
            ++i;
            continue;
        }
        const size_t length = ConversionLength(text, i);
        conversions.emplace_back(text.substr(i, length));
        i += length - 1;
    }
    return conversions;
}

std::string FormatText(std::string_view format, std::string_view arg) { return Fill(format, 's', {arg}); }

std::string FormatTexts(std::string_view format, std::initializer_list<std::string_view> args) {
    return Fill(format, 's', args);
}

std::string FormatNumber(std::string_view format, long long value) {
    const std::string digits = std::to_string(value);
    return Fill(format, 'd', {digits});
}
