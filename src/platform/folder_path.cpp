// SPDX-License-Identifier: Apache-2.0
#include "platform/folder_path.h"

namespace platform {

namespace {

bool IsDrive(std::string_view path, const PathRules& rules) {
    if (!rules.drives || path.size() < 2 || path[1] != ':') return false;
    const char letter = path[0];
    return (letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z');
}

}  // namespace

size_t FolderPartLength(std::string_view path, const PathRules& rules) {
    const size_t last = path.find_last_of(rules.separators);
    if (last != std::string_view::npos) return last + 1;
    return IsDrive(path, rules) ? 2 : 0;
}

std::string FolderPrefix(std::string folder, const PathRules& rules) {
    if (folder.empty() || FolderPartLength(folder, rules) == folder.size()) return folder;
    const size_t used = folder.find_last_of(rules.separators);
    folder.push_back(used == std::string::npos ? rules.separator : folder[used]);
    return folder;
}

}  // namespace platform
