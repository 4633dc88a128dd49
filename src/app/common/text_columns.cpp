// SPDX-License-Identifier: Apache-2.0
#include "app/common/text_columns.h"

#include "platform/utf8.h"

int CodePointColumns(char32_t c) {
    const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3) ||
                      (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
                      (c >= 0xFFE0 && c <= 0xFFE6);
    return wide ? 2 : 1;
}

size_t TextColumns(std::string_view text) {
    size_t columns = 0;
    for (size_t at = 0; at < text.size();) columns += CodePointColumns(platform::NextCodePoint(text, at));
    return columns;
}

std::string PadColumns(const std::string& text, size_t width, bool alignRight) {
    const size_t used = TextColumns(text);
    if (used >= width) return text;
    const std::string pad(width - used, ' ');
    return alignRight ? pad + text : text + pad;
}

std::string JoinSentences(const std::string& first, const std::string& second) {
    if (first.empty()) return second;
    if (second.empty()) return first;
    // The last code point: back over UTF-8 continuation bytes to its lead byte.
    size_t at = first.size() - 1;
    while (at > 0 && (static_cast<unsigned char>(first[at]) & 0xC0) == 0x80) --at;
    const bool wide = CodePointColumns(platform::NextCodePoint(first, at)) == 2;
    return wide ? first + second : first + " " + second;
}

std::string ListWord(std::string_view list, size_t index) {
    size_t begin = 0;
    for (size_t i = 0; i < index; ++i) {
        begin = list.find('|', begin);
        if (begin == std::string_view::npos) return {};
        ++begin;
    }
    const size_t end = list.find('|', begin);
    return std::string(list.substr(begin, end == std::string_view::npos ? std::string_view::npos : end - begin));
}
