// SPDX-License-Identifier: Apache-2.0
#include "platform/settings_text.h"

#include <cstdint>
#include <cstdio>

#include "platform/utf8.h"

namespace platform {

namespace {

constexpr std::string_view kBomUtf8 = "\xEF\xBB\xBF";
constexpr std::string_view kBomUtf16Le = "\xFF\xFE";
constexpr std::string_view kBomUtf16Be = "\xFE\xFF";

bool BigEndian(SettingsEncoding encoding) {
    return encoding == SettingsEncoding::kUtf16Be || encoding == SettingsEncoding::kUtf16BeNoBom;
}

bool Utf16(SettingsEncoding encoding) {
    return encoding != SettingsEncoding::kUtf8 && encoding != SettingsEncoding::kUtf8Bom;
}

bool WithBom(SettingsEncoding encoding) {
    return encoding == SettingsEncoding::kUtf8Bom || encoding == SettingsEncoding::kUtf16Le ||
           encoding == SettingsEncoding::kUtf16Be;
}

void AppendUnit(std::string& out, uint32_t unit, bool bigEndian) {
    const char hi = static_cast<char>(unit >> 8);
    const char lo = static_cast<char>(unit & 0xFF);
    out.push_back(bigEndian ? hi : lo);
    out.push_back(bigEndian ? lo : hi);
}

}  // namespace

SettingsEncoding DetectSettingsEncoding(std::string_view bytes) {
    if (bytes.substr(0, 3) == kBomUtf8) return SettingsEncoding::kUtf8Bom;
    if (bytes.substr(0, 2) == kBomUtf16Le) return SettingsEncoding::kUtf16Le;
    if (bytes.substr(0, 2) == kBomUtf16Be) return SettingsEncoding::kUtf16Be;
    if (bytes.size() >= 4) {
        const bool zero[4] = {bytes[0] == '\0', bytes[1] == '\0', bytes[2] == '\0', bytes[3] == '\0'};
        if (!zero[0] && zero[1] && !zero[2] && zero[3]) return SettingsEncoding::kUtf16LeNoBom;
        if (zero[0] && !zero[1] && zero[2] && !zero[3]) return SettingsEncoding::kUtf16BeNoBom;
    }
    return SettingsEncoding::kUtf8;
}

std::string SettingsTextToUtf8(std::string_view bytes, SettingsEncoding encoding) {
    if (WithBom(encoding)) bytes.remove_prefix(encoding == SettingsEncoding::kUtf8Bom ? 3 : 2);
    if (!Utf16(encoding)) return std::string(bytes);
    const bool bigEndian = BigEndian(encoding);
    auto unitAt = [&](size_t u) {
        const auto first = static_cast<uint8_t>(bytes[2 * u]);
        const auto second = static_cast<uint8_t>(bytes[2 * u + 1]);
        return bigEndian ? static_cast<uint32_t>(first << 8 | second) : static_cast<uint32_t>(second << 8 | first);
    };
    std::string out;
    out.reserve(bytes.size() / 2 * 3);  // the most a unit takes, so no reallocation
    const size_t units = bytes.size() / 2;
    for (size_t u = 0; u < units; ++u) {
        const uint32_t unit = unitAt(u);
        if (unit >= 0xD800 && unit <= 0xDBFF && u + 1 < units) {
            const uint32_t next = unitAt(u + 1);
            if (next >= 0xDC00 && next <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
                ++u;
                continue;
            }
        }
        AppendUtf8(out, (unit >= 0xD800 && unit <= 0xDFFF) ? kReplacementCharacter : unit);
    }
    return out;
}

std::string SettingsTextFromUtf8(std::string_view text, SettingsEncoding encoding) {
    const std::string_view bom = encoding == SettingsEncoding::kUtf8Bom   ? kBomUtf8
                                 : encoding == SettingsEncoding::kUtf16Le ? kBomUtf16Le
                                 : encoding == SettingsEncoding::kUtf16Be ? kBomUtf16Be
                                                                          : std::string_view();
    std::string out(bom.data(), bom.size());
    if (!Utf16(encoding)) return out.append(text);
    const bool bigEndian = BigEndian(encoding);
    out.reserve(out.size() + text.size() * 2);
    for (size_t i = 0; i < text.size();) {
        const uint32_t code = NextCodePoint(text, i);
        if (code < 0x10000) {
            AppendUnit(out, code, bigEndian);
        } else {
            AppendUnit(out, 0xD800 + ((code - 0x10000) >> 10), bigEndian);
            AppendUnit(out, 0xDC00 + ((code - 0x10000) & 0x3FF), bigEndian);
        }
    }
    return out;
}

std::string WhyNotSettingsText(std::string_view bytes) {
    const std::string text = SettingsTextToUtf8(bytes, DetectSettingsEncoding(bytes));
    int line = 1;
    for (size_t at = 0; at < text.size();) {
        const auto byte = static_cast<uint8_t>(text[at]);
        bool valid = true;
        const size_t start = at;
        NextCodePoint(text, at, &valid);
        if (byte == '\n') ++line;
        const bool control = (byte < 0x20 && byte != '\t' && byte != '\r' && byte != '\n') || byte == 0x7F;
        if (!valid || control) {
            char shown[8];
            std::snprintf(shown, sizeof shown, "0x%02X", static_cast<unsigned>(static_cast<uint8_t>(text[start])));
            return std::string("it holds bytes no text has: ") + shown + " on line " + std::to_string(line);
        }
    }
    return {};
}

}  // namespace platform
