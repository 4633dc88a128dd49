// SPDX-License-Identifier: Apache-2.0
#include "platform/file_holder.h"

#include "platform/win32/wide_text.h"

namespace platform {

// Windows names no holder of a device or a mutex to other programs: nothing known.
std::optional<Holder> FindHolder(const std::string&) { return std::nullopt; }
std::optional<Holder> FindLockHolder(const std::string&) { return std::nullopt; }

bool MayReadAndWrite(const std::string& path) {
    // A port map entry (\Device\Serial0) or a device (\\.\COM3) is open to every user; an open
    // to find out would take the port from its holder for a moment.
    if (path.rfind("\\Device\\", 0) == 0 || path.rfind("\\\\.\\", 0) == 0) return true;
    std::wstring wide;
    if (!win32::WidenPath(path, wide)) return false;
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_READONLY);
}

}  // namespace platform
