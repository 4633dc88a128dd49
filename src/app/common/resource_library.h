#pragma once
#include <string>

#include "lang/string_ids.h"

// Holds the one language resource library chosen at start-up and hands out its texts by
// string ID. The library is a shared module exporting lang::kLookupSymbol; dialog templates
// and icons never come from it.
class CResourceLibrary {
public:
    CResourceLibrary() = default;
    ~CResourceLibrary();
    CResourceLibrary(const CResourceLibrary&) = delete;
    CResourceLibrary& operator=(const CResourceLibrary&) = delete;

    // Loads the library at path (a library already held is freed first). False when the file
    // cannot be loaded or does not export the lookup; LoadError() then says why.
    bool Load(const std::string& path);
    // The text of string id; empty when no library is loaded or it has no such string.
    std::string LoadString(unsigned id) const;
    // Unloads the library, if one is held.
    void Free();

    bool IsLoaded() const { return m_hLibrary != nullptr; }
    const std::string& LoadError() const { return m_loadError; }

private:
    void* m_hLibrary = nullptr;
    lang::LookupFunction m_lookup = nullptr;
    std::string m_loadError;
};
