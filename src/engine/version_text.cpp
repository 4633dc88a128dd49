// SPDX-License-Identifier: Apache-2.0
#include "engine/version_text.h"

#include <algorithm>
#include <cctype>

std::string NewVersionOf(std::string_view loadVersionText) {
    const size_t stop = loadVersionText.find('.');
    size_t start = 0;
    if (stop != std::string_view::npos && stop >= 2) start = stop - 2;
    return std::string(loadVersionText.substr(start, 2));
}

std::string NewVersionShown(std::string_view loadVersionText) {
    const size_t stop = loadVersionText.find('.');
    size_t start = stop != std::string_view::npos && stop >= 2 ? stop - 2 : 0;
    size_t end = std::min(start + 2, loadVersionText.size());
    auto continuation = [&](size_t at) { return (static_cast<unsigned char>(loadVersionText[at]) & 0xC0) == 0x80; };
    while (start > 0 && start < loadVersionText.size() && continuation(start)) --start;
    while (end < loadVersionText.size() && continuation(end)) ++end;
    return std::string(loadVersionText.substr(start, end - start));
}

std::string OldVersionOf(uint8_t major, uint8_t minor) { return std::to_string(major) + std::to_string(minor); }

bool SameVersion(std::string_view newVersion, std::string_view oldVersion) {
    if (newVersion.size() != oldVersion.size()) return false;
    for (size_t i = 0; i < newVersion.size(); ++i) {
        const auto a = static_cast<unsigned char>(newVersion[i]);
        const auto b = static_cast<unsigned char>(oldVersion[i]);
        if (std::tolower(a) != std::tolower(b)) return false;
    }
    return true;
}
