// SPDX-License-Identifier: Apache-2.0
#include "platform/station_names.h"

#include <windows.h>

#include "platform/win32/wide_text.h"

namespace platform {

std::string HostName() {
    wchar_t name[256];
    DWORD size = 256;
    if (!GetComputerNameExW(ComputerNameDnsHostname, name, &size)) return std::string();
    return win32::Narrow(std::wstring_view(name, size));
}

std::string LoginName() {
    wchar_t name[257];
    DWORD size = 257;
    if (!GetUserNameW(name, &size) || size == 0) return std::string();
    return win32::Narrow(std::wstring_view(name, size - 1));  // size counts the terminating null
}

std::string DefaultRecordStorePath() {
    wchar_t folder[MAX_PATH + 1];
    const DWORD length = GetEnvironmentVariableW(L"LOCALAPPDATA", folder, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH) return std::string();
    return win32::Narrow(std::wstring_view(folder, length)) + "\\Vexlor\\records.db";
}

}  // namespace platform
