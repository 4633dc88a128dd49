// SPDX-License-Identifier: Apache-2.0
#include "platform/text_library.h"

#include <cstdint>
#include <string_view>

#include "platform/sys_error.h"
#include "platform/win32/wide_text.h"

namespace platform {

namespace {

std::string ErrorWords(DWORD error, const char* fallback) {
    std::string words = SysErrorPhrase(static_cast<int>(error));
    return words.empty() ? fallback : words + " (" + std::to_string(error) + ")";
}

// LoadStringW takes only the low 16 bits of an ID: 65537 would read string 1.
constexpr unsigned kLargestId = 0xFFFF;

// A string table resource holds its IDs in blocks of 16 counted UTF-16 strings.
constexpr int kStringsPerBlock = 16;

// Whether the size bytes at data can be read: a damaged DLL can point a resource anywhere.
bool IsReadable(const void* data, DWORD size) {
    constexpr DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                                PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    const auto* at = static_cast<const char*>(data);
    const uintptr_t end = reinterpret_cast<uintptr_t>(at) + size;
    if (!data || end < reinterpret_cast<uintptr_t>(at)) return false;
    while (reinterpret_cast<uintptr_t>(at) < end) {
        MEMORY_BASIC_INFORMATION region;
        if (VirtualQuery(at, &region, sizeof region) == 0) return false;
        if (region.State != MEM_COMMIT || (region.Protect & PAGE_GUARD) || !(region.Protect & kReadable)) return false;
        at = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
    }
    return true;
}

// Whether all 16 strings of a block lie inside it, so LoadStringW never reads past its end.
bool IsWholeBlock(const WORD* block, DWORD size) {
    const size_t units = size / sizeof(WORD);
    size_t at = 0;
    for (int i = 0; i < kStringsPerBlock; ++i) {
        if (at >= units) return false;
        at += 1 + static_cast<size_t>(block[at]);
        if (at > units) return false;
    }
    return true;
}

struct TableCheck {
    int blocks = 0;
    bool damaged = false;
};

// Checks every block exactly as LoadStringW will find it (FindResourceW by the block number).
BOOL CALLBACK CheckBlock(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR context) {
    auto& check = *reinterpret_cast<TableCheck*>(context);
    if (!IS_INTRESOURCE(name)) return TRUE;  // never asked for: blocks are numbered
    HRSRC found = FindResourceW(module, name, type);
    const DWORD size = found ? SizeofResource(module, found) : 0;
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data || size == 0 || !IsReadable(data, size) || !IsWholeBlock(static_cast<const WORD*>(data), size)) {
        check.damaged = true;
        return FALSE;
    }
    ++check.blocks;
    return TRUE;
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
    // Mapped as data only: nothing in the file runs, whatever it holds. No "cannot find a DLL"
    // box from the system: the caller says so in its own words.
    DWORD previousMode = 0;
    SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previousMode);
    HMODULE module = LoadLibraryExW(full, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    const DWORD loadError = GetLastError();
    SetThreadErrorMode(previousMode, nullptr);
    if (!module) {
        error = ErrorWords(loadError, "cannot load library");
        return false;
    }
    TableCheck check;
    EnumResourceNamesW(module, RT_STRING, CheckBlock, reinterpret_cast<LONG_PTR>(&check));
    if (check.damaged || check.blocks == 0) {
        error = check.damaged ? "the library's string table is damaged" : "library has no string table";
        FreeLibrary(module);
        return false;
    }
    m_handle = module;
    return true;
}

std::string TextLibrary::Text(unsigned id) const {
    if (!m_handle || id > kLargestId) return {};
    // With a buffer size of 0, LoadStringW points at the text inside the table (not
    // NUL-terminated) and returns its length.
    const wchar_t* text = nullptr;
    const int length = LoadStringW(static_cast<HMODULE>(m_handle), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || !text) return {};
    return win32::Narrow(std::wstring_view(text, static_cast<size_t>(length)));
}

void TextLibrary::Free() {
    if (m_handle) FreeLibrary(static_cast<HMODULE>(m_handle));
    m_handle = nullptr;
    m_lookup = nullptr;
}

}  // namespace platform
