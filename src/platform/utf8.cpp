// SPDX-License-Identifier: Apache-2.0
#include "platform/utf8.h"

namespace platform {

uint32_t NextCodePoint(std::string_view text, size_t& at, bool* valid) {
    const auto lead = static_cast<uint8_t>(text[at]);
    const size_t length = lead < 0x80                    ? 1
                          : lead >= 0xC2 && lead <= 0xDF ? 2
                          : lead >= 0xE0 && lead <= 0xEF ? 3
                          : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                         : 0;
    auto invalid = [&] {
        ++at;
        if (valid) *valid = false;
        return kReplacementCharacter;
    };
    if (length == 0 || at + length > text.size()) return invalid();
    uint32_t code = length == 1 ? lead : lead & (0x7Fu >> length);
    for (size_t k = 1; k < length; ++k) {
        const auto next = static_cast<uint8_t>(text[at + k]);
        if ((next & 0xC0) != 0x80) return invalid();
        code = (code << 6) | (next & 0x3F);
    }
    const bool shortest = length < 3 || (length == 3 ? code >= 0x800 : code >= 0x10000);
    if (!shortest || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return invalid();
    at += length;
    if (valid) *valid = true;
    return code;
}

void AppendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (code >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (code >> 18)));
        out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

std::string ValidUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        const size_t start = at;
        bool valid = true;
        const uint32_t code = NextCodePoint(text, at, &valid);
        if (valid) {
            out.append(text.substr(start, at - start));
        } else {
            AppendUtf8(out, code);
        }
    }
    return out;
}

}  // namespace platform
