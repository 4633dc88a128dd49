// SPDX-License-Identifier: Apache-2.0
#include "app/common/language_choice.h"

#include "platform/program_path.h"
#include "platform/text_library.h"

const char* LanguageLibraryFile(int position) {
    // The system's library suffix: .so here, .dll on Windows.
    static const std::string kFiles[] = {
        std::string("VexlorEngRes") + platform::kLibrarySuffix,
        std::string("VexlorChtRes") + platform::kLibrarySuffix,
        std::string("VexlorChsRes") + platform::kLibrarySuffix,
    };
    switch (position) {
    case LANGUAGE_TRADITIONAL_CHINESE: return kFiles[1].c_str();
    case LANGUAGE_SIMPLIFIED_CHINESE: return kFiles[2].c_str();
    default: return kFiles[0].c_str();
    }
}

std::string LanguageLibraryPath(const std::string& folder, int position) {
    std::string path = folder;
    if (!path.empty() && path.back() != '/' && path.back() != platform::kFolderSeparator) {
        path += platform::kFolderSeparator;
    }
    return path + LanguageLibraryFile(position);
}
