#include "app/common/resource_library.h"

#include <dlfcn.h>

CResourceLibrary::~CResourceLibrary() { Free(); }

bool CResourceLibrary::Load(const std::string& path) {
    Free();
    m_loadError.clear();
    if (path.empty()) {
        m_loadError = "empty library path";
        return false;
    }
    // A name without a slash would make dlopen search the system's library folders; the
    // library must come from exactly the path given.
    const std::string openPath = path.find('/') == std::string::npos ? "./" + path : path;
    dlerror();
    void* handle = dlopen(openPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        m_loadError = why ? why : "cannot load library";
        return false;
    }
    void* symbol = dlsym(handle, lang::kLookupSymbol);
    if (!symbol) {
        const char* why = dlerror();
        m_loadError = why ? why : "library has no string table";
        dlclose(handle);
        return false;
    }
    m_hLibrary = handle;
    m_lookup = reinterpret_cast<lang::LookupFunction>(symbol);
    return true;
}

std::string CResourceLibrary::LoadString(unsigned id) const {
    if (!m_lookup) return {};
    const char* text = m_lookup(id);
    return text ? std::string(text) : std::string();
}

void CResourceLibrary::Free() {
    if (m_hLibrary) dlclose(m_hLibrary);
    m_hLibrary = nullptr;
    m_lookup = nullptr;
}
