// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>

#include "lang/string_ids.h"
#include "platform/text_library.h"

// Holds the one language resource library chosen at start-up and hands out its texts by
// string ID (platform::TextLibrary: a shared module on Linux, a DLL on Windows); dialog
// templates and icons never come from it.
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

    bool IsLoaded() const { return m_library.IsLoaded(); }
    const std::string& LoadError() const { return m_loadError; }

private:
    platform::TextLibrary m_library;
    std::string m_loadError;
};
