// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <string>

namespace platform {

// A machine-wide named mutex: on Linux a lock file "<name>.lock" held with flock in
// $XDG_RUNTIME_DIR (else /tmp), on Windows a mutex object of the session, created owned by the
// creating thread (other programs, such as the installer, look for it by name). The lock is
// released when the holder closes it or the process ends, so a crashed instance never blocks the
// next one.
class NamedMutex {
public:
    enum class Result {
        Created,        // this object holds the lock now
        AlreadyExists,  // another holder has it
        Failed,         // the lock file (or mutex) could not be opened or locked (errno set)
    };

    NamedMutex() = default;
    ~NamedMutex();
    NamedMutex(const NamedMutex&) = delete;
    NamedMutex& operator=(const NamedMutex&) = delete;

    // Takes the lock named name without waiting. A second Create first closes the held one.
    Result Create(const std::string& name);
    // Releases the lock if held. False (errno set) when closing the file failed.
    bool Close();
    bool IsHeld() const { return m_handle != -1; }

    // The lock file's path for name (on Windows, the mutex's name).
    static std::string LockPath(const std::string& name);

private:
    intptr_t m_handle = -1;  // the lock file's descriptor, or the Windows mutex handle
};

}  // namespace platform
