// SPDX-License-Identifier: Apache-2.0
#include "platform/text_library.h"

#include <dlfcn.h>

#include "lang/string_ids.h"

namespace platform {

bool TextLibrary::Load(const std::string& path, std::string& error) {
    Free();
    error.clear();
    if (path.empty()) {
        error = "empty library path";
        return false;
    }
    // A name without a slash would make dlopen search the system's library folders; the
    // library must come from exactly the path given.
    const std::string openPath = path.find('/') == std::string::npos ? "./" + path : path;
    dlerror();
    void* handle = dlopen(openPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        error = why ? why : "cannot load library";
        return false;
    }
    void* symbol = dlsym(handle, lang::kLookupSymbol);
    if (!symbol) {
        const char* why = dlerror();
        error = why ? why : "library has no string table";
        dlclose(handle);
        return false;
    }
    m_handle = handle;
    m_lookup = symbol;
    return true;
}

std::string TextLibrary::Text(unsigned id) const {
    if (!m_lookup) return {};
    const char* text = reinterpret_cast<lang::LookupFunction>(m_lookup)(id);
    return text ? std::string(text) : std::string();
}

void TextLibrary::Free() {
    if (m_handle) dlclose(m_handle);
    m_handle = nullptr;
    m_lookup = nullptr;
}

}  // namespace platform
