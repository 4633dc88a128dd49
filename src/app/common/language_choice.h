// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>

// The languages offered at start-up, by their position in the language list.
enum LanguagePosition : int {
    LANGUAGE_ENGLISH = 0,
    LANGUAGE_TRADITIONAL_CHINESE = 1,
    LANGUAGE_SIMPLIFIED_CHINESE = 2,
};

// File name of the language library for a list position; any unknown position gives English.
const char* LanguageLibraryFile(int position);
// Full path of that library in folder (which ends with a separator, as platform::ProgramFolder
// does; one is added otherwise).
std::string LanguageLibraryPath(const std::string& folder, int position);
