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

std::string Fill(std::string_view format, char conversion, std::string_view value) {
    std::string out;
    out.reserve(format.size() + value.size());
    bool filled = false;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%' || i + 1 >= format.size()) {
            out += format[i];
            continue;
        }
        const char next = format[i + 1];
        if (next == '%') {
            out += '%';
            ++i;
        } else if (next == conversion && !filled) {
            out += value;
            filled = true;
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

std::string FormatText(std::string_view format, std::string_view arg) { return Fill(format, 's', arg); }

std::string FormatNumber(std::string_view format, long long value) {
    return Fill(format, 'd', std::to_string(value));
}
