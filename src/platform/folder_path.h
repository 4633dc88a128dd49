// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// How the system writes a path's folder part. '/' separates folders everywhere; Windows takes
// '\\' as well, and a drive alone ("D:") names the current folder of that drive.
struct PathRules {
    std::string_view separators;
    char separator;  // added when a folder is joined to a name and shows no separator of its own
    bool drives;
};
inline constexpr PathRules kPosixPaths{"/", '/', false};
inline constexpr PathRules kWindowsPaths{"\\/", '\\', true};
#ifdef _WIN32
inline constexpr PathRules kSystemPaths = kWindowsPaths;
#else
inline constexpr PathRules kSystemPaths = kPosixPaths;
#endif

// The length of path's folder part: up to and including its last separator (or a drive's colon
// where there is none); 0 when path is a bare name.
size_t FolderPartLength(std::string_view path, const PathRules& rules = kSystemPaths);

// folder made ready to have a file name put after it: it gets a separator unless it is empty
// (the current folder), already ends in one, or is a drive alone. The separator added is the
// last one folder already uses, else rules.separator.
std::string FolderPrefix(std::string folder, const PathRules& rules = kSystemPaths);

}  // namespace platform
