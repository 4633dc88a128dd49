// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>

// The languages offered at start-up, by their position in the language list.
enum LanguagePosition : int {
    LANGUAGE_ENGLISH = 0,
    LANGUAGE_TRADITIONAL_CHINESE = 1,
    LANGUAGE_SIMPLIFIED_CHINESE = 2,
};

// What the language list shows, in position order (UTF-8): the program's own texts, not the
// library's, since no library is loaded yet.
inline constexpr const char* kLanguageNames[] = {"English U.S.", "繁體中文", "简体中文"};

// File name of the language library for a list position; any unknown position gives English.
const char* LanguageLibraryFile(int position);
// Full path of that library in folder (which ends with a separator, as platform::ProgramFolder
// does; one is added otherwise).
std::string LanguageLibraryPath(const std::string& folder, int position);
