// SPDX-License-Identifier: Apache-2.0
#include "platform/machine_port_lock.h"

#include <cwctype>

#include "platform/win32/wide_text.h"

namespace platform {

std::string MachinePortLock::KeyOf(const std::string& device, const std::string& port) {
    std::string name = !port.empty() ? port : device.rfind("\\\\.\\", 0) == 0 ? device.substr(4) : device;
    for (char& c : name) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return name;
}

// Global\: every session sees it, a service's as well as each desktop's.
std::string MachinePortLock::NameOf(const std::string& key) { return "Global\\vexlor-port-" + key; }

std::optional<Holder> MachinePortLock::HolderOf(const std::string&) { return std::nullopt; }

MachinePortLock::Result MachinePortLock::TryTake(const std::string& key, std::optional<Holder>& holder, bool& byRun,
                                                 int& error) {
    Release();
    holder.reset();
    byRun = true;  // only runs of this tool make the mutex
    error = 0;
    const std::string name = NameOf(key);
    std::wstring wide;
    if (key.empty() || key.find('\\') != std::string::npos || !win32::WidenPath(name, wide)) {
        error = ERROR_INVALID_NAME;
        return Result::kFailed;
    }
    SetLastError(ERROR_SUCCESS);
    // Not owned: its existence is the lock, and any thread of ours may end it.
    HANDLE mutex = CreateMutexW(nullptr, FALSE, wide.c_str());
    const DWORD status = GetLastError();
    // A mutex of another user's or a service's run may not even be opened by this user: that
    // is a held port too.
    if (!mutex) {
        if (status == ERROR_ACCESS_DENIED) return Result::kHeld;
        error = static_cast<int>(status);
        return Result::kFailed;
    }
    if (status == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return Result::kHeld;
    }
    m_handle = win32::AsValue(mutex);
    m_name = name;
    m_taken = true;
    return Result::kTaken;
}

void MachinePortLock::Release() {
    if (!m_taken) return;
    m_taken = false;
    CloseHandle(win32::AsHandle(m_handle));
    m_handle = -1;
    m_name.clear();
}

}  // namespace platform
