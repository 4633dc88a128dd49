// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>

namespace platform {

// How a language library's file name ends on this system.
#ifdef _WIN32
inline constexpr const char* kLibrarySuffix = ".dll";
#else
inline constexpr const char* kLibrarySuffix = ".so";
#endif

// A language library: the texts of one language, found by numeric string ID. On Linux a shared
// module exporting the lookup of lang/string_ids.h; on Windows a DLL with a string table.
class TextLibrary {
public:
    TextLibrary() = default;
    ~TextLibrary() { Free(); }
    TextLibrary(const TextLibrary&) = delete;
    TextLibrary& operator=(const TextLibrary&) = delete;

    // Loads the library at exactly path (one already held is freed first). False, with error
    // set to the system's words, when it cannot be loaded or holds no texts.
    bool Load(const std::string& path, std::string& error);
    // The UTF-8 text of string id; empty when none is loaded or it has no such string.
    std::string Text(unsigned id) const;
    void Free();
    bool IsLoaded() const { return m_handle != nullptr; }

private:
    void* m_handle = nullptr;
    void* m_lookup = nullptr;  // where the library has a lookup function
};

}  // namespace platform
