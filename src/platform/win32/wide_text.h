// SPDX-License-Identifier: Apache-2.0
#pragma once
// UTF-8 inside the program, UTF-16 at every Windows call: the conversions between the two.
#include <windows.h>

#include <string>
#include <string_view>

namespace platform::win32 {

// The UTF-8 form of UTF-16 text; an unpaired surrogate becomes U+FFFD.
inline std::string Narrow(std::wstring_view text) {
    if (text.empty() || text.size() > 0x7FFFFFFF) return std::string();
    const int size = static_cast<int>(text.size());
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return std::string();
    std::string narrow(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, narrow.data(), bytes, nullptr, nullptr);
    return narrow;
}

// The UTF-16 form of UTF-8 text. Invalid UTF-8 gives an empty text, which no Windows call
// takes for a name, so a damaged path can never stand for another one.
inline std::wstring Widen(std::string_view text) {
    if (text.empty() || text.size() > 0x7FFFFFFF) return std::wstring();
    const int size = static_cast<int>(text.size());
    const int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
    if (units <= 0) return std::wstring();
    std::wstring wide(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, wide.data(), units);
    return wide;
}

// A path for the file functions: empty text (or one holding a NUL) is no name at all.
inline bool WidenPath(std::string_view path, std::wstring& wide) {
    if (path.empty() || path.find('\0') != std::string_view::npos) return false;
    wide = Widen(path);
    return !wide.empty();
}

inline HANDLE AsHandle(intptr_t value) { return reinterpret_cast<HANDLE>(value); }
inline intptr_t AsValue(HANDLE handle) { return reinterpret_cast<intptr_t>(handle); }

}  // namespace platform::win32
