// SPDX-License-Identifier: Apache-2.0
#include "platform/named_mutex.h"

#include <cerrno>

#include "platform/win32/wide_text.h"

namespace platform {

NamedMutex::~NamedMutex() { Close(); }

// A mutex object has no file: its name is all there is to show.
std::string NamedMutex::LockPath(const std::string& name) { return name; }

NamedMutex::Result NamedMutex::Create(const std::string& name) {
    Close();
    // A backslash would name a namespace (Global\, Local\), not a mutex of this session.
    std::wstring wide;
    if (name.find('\\') != std::string::npos || name.size() > MAX_PATH || !win32::WidenPath(name, wide)) {
        errno = ERROR_INVALID_NAME;
        return Result::Failed;
    }
    SetLastError(ERROR_SUCCESS);
    // Owned by the creating thread from the start, so that no one else can ever acquire it while
    // this holder lives. A mutex that already exists is not acquired by this call.
    HANDLE mutex = CreateMutexW(nullptr, TRUE, wide.c_str());
    const DWORD error = GetLastError();
    if (!mutex) {
        errno = static_cast<int>(error);
        return Result::Failed;
    }
    // The object lives as long as a handle to it does: another holder's handle kept it.
    if (error == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return Result::AlreadyExists;
    }
    m_handle = win32::AsValue(mutex);
    return Result::Created;
}

bool NamedMutex::Close() {
    if (m_handle == -1) return true;
    HANDLE mutex = win32::AsHandle(m_handle);
    m_handle = -1;
    // Released before the handle goes, so that another holder of a handle takes it over cleanly
    // rather than as abandoned once this thread ends. Only the creating thread owns it: from any
    // other thread the release fails, harmlessly.
    ReleaseMutex(mutex);
    if (CloseHandle(mutex)) return true;
    errno = static_cast<int>(GetLastError());
    return false;
}

}  // namespace platform
