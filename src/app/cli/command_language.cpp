// SPDX-License-Identifier: Apache-2.0
#include "app/cli/command_language.h"

#include <string>

#include "app/common/language_choice.h"
#include "platform/program_path.h"

bool LoadCommandLanguage(int language, CResourceLibrary& library, std::FILE* err) {
    const std::string path = LanguageLibraryPath(platform::ProgramFolder(), language);
    if (library.Load(path)) return true;
    std::fprintf(err, "Couldn't load file with path: %s.\n", path.c_str());
    return false;
}
