#include "platform/text_library.h"

#include "lang/string_ids.h"
#include "platform/sys_error.h"
#include "platform/win32/wide_text.h"

namespace platform {

namespace {

std::string ErrorWords(DWORD error, const char* fallback) {
    std::string words = SysErrorPhrase(static_cast<int>(error));
    return words.empty() ? fallback : words + " (" + std::to_string(error) + ")";
}

}  // namespace

bool TextLibrary::Load(const std::string& path, std::string& error) {
    Free();
    error.clear();
    if (path.empty()) {
        error = "empty library path";
        return false;
    }
    // Backslashes only: LoadLibrary takes a forward slash for part of a name. A name without a
    // folder would send LoadLibrary through the system's search path; the library must come from
    // exactly the path given.
    std::string local = path;
    for (char& c : local) {
        if (c == '/') c = '\\';
    }
    std::wstring wide;
    wchar_t full[4096];
    const DWORD fullLength = win32::WidenPath(local, wide) ? GetFullPathNameW(wide.c_str(), 4096, full, nullptr) : 0;
    if (fullLength == 0 || fullLength >= 4096) {
        error = "not a valid file name: " + path;
        return false;
    }
    // No "cannot find a DLL" box from the system: the caller says so in its own words.
    DWORD previousMode = 0;
    SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previousMode);
    HMODULE module = LoadLibraryExW(full, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    const DWORD loadError = GetLastError();
    SetThreadErrorMode(previousMode, nullptr);
    if (!module) {
        error = ErrorWords(loadError, "cannot load library");
        return false;
    }
    FARPROC symbol = GetProcAddress(module, lang::kLookupSymbol);
    if (!symbol) {
        error = ErrorWords(GetLastError(), "library has no string table");
        FreeLibrary(module);
        return false;
    }
    m_handle = module;
    m_lookup = reinterpret_cast<void*>(symbol);
    return true;
}

std::string TextLibrary::Text(unsigned id) const {
    if (!m_lookup) return {};
    const char* text = reinterpret_cast<lang::LookupFunction>(m_lookup)(id);
    return text ? std::string(text) : std::string();
}

void TextLibrary::Free() {
    if (m_handle) FreeLibrary(static_cast<HMODULE>(m_handle));
    m_handle = nullptr;
    m_lookup = nullptr;
}

}  // namespace platform
