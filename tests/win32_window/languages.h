// SPDX-License-Identifier: Apache-2.0
#pragma once
// The window tests' languages: the three libraries beside the test program, with the tags the
// pictures taken in them are named by.
#include <gtest/gtest.h>

#include <memory>

#include "app/common/language_choice.h"
#include "app/common/resource_library.h"
#include "platform/program_path.h"

inline constexpr int kLanguages[] = {LANGUAGE_ENGLISH, LANGUAGE_TRADITIONAL_CHINESE, LANGUAGE_SIMPLIFIED_CHINESE};
inline constexpr const char* kTags[] = {"eng", "cht", "chs"};
inline constexpr int kOpenMs = 20000;  // for a window to open or close

inline std::unique_ptr<CResourceLibrary> LoadLanguage(int position) {
    auto library = std::make_unique<CResourceLibrary>();
    EXPECT_TRUE(library->Load(LanguageLibraryPath(platform::ProgramFolder(), position))) << library->LoadError();
    return library;
}
