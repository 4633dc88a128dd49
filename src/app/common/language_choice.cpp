#include "app/common/language_choice.h"

const char* LanguageLibraryFile(int position) {
    switch (position) {
    case LANGUAGE_TRADITIONAL_CHINESE: return "VexlorChtRes.so";
    case LANGUAGE_SIMPLIFIED_CHINESE: return "VexlorChsRes.so";
    default: return "VexlorEngRes.so";
    }
}

std::string LanguageLibraryPath(const std::string& folder, int position) {
    std::string path = folder;
    if (!path.empty() && path.back() != '/') path += '/';
    return path + LanguageLibraryFile(position);
}
