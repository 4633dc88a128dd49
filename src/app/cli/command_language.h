// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdio>

#include "app/common/resource_library.h"

// Loads the language library beside the program at the language list's position (--language)
// into library; false, after telling err which file would not load.
bool LoadCommandLanguage(int language, CResourceLibrary& library, std::FILE* err);
