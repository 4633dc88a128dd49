// SPDX-License-Identifier: Apache-2.0
#include "platform/program_path.h"

#include "platform/win32/wide_text.h"

namespace platform {

std::string ProgramPath() {
    // The path may be longer than MAX_PATH (a \\?\ path): grow until it fits.
    std::wstring buffer(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 8; ++attempt) {
        const DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), size);
        if (n == 0) return std::string();
        if (n < size) return win32::Narrow(std::wstring_view(buffer.data(), n));
        buffer.resize(buffer.size() * 2);
    }
    return std::string();
}

std::string ProgramFolder() {
    std::string path = ProgramPath();
    const auto separator = path.find_last_of("\\/");
    if (separator == std::string::npos) return std::string();
    return path.substr(0, separator + 1);
}

}  // namespace platform
